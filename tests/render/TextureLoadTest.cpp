// Texture loading: the cache beside PNG sources made by ImageMagick, the names that get no
// cache, loads without threads, threaded loads of textures dropped while they load, and the
// tile lists of tile textures.

#include "quorlix/library/Library.h"
#include "quorlix/platform/File.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/render/Texture.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class TextureLoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

bool Run(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

// A `size` PNG (8-bit RGB) at `path` + ".png".
void MakePng(const std::string& path, const char* size, const char* colour = "red") {
    ASSERT_TRUE(Run(std::string("convert -size ") + size + " xc:" + colour +
                    " -depth 8 -strip 'PNG24:" + path + ".png'"));
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Moves the file's write time `seconds` away from `reference`'s.
void TouchRelative(const std::string& path, const std::string& reference, int seconds) {
    Platform::PathInfo info;
    ASSERT_TRUE(Platform::GetPathInfo(reference.c_str(), info));
    const long long unix = static_cast<long long>(info.m_Written / 10000000ull) - 11644473600ll;
    ASSERT_TRUE(Run("touch -d @" + std::to_string(unix + seconds) + " '" + path + "'"));
}

template <class T = Texture2D>
Obj<T> MakeTexture(const char* fileName, bool mipMap = true) {
    Obj<FileObject> file(FileObject::Create());
    file->SetFileName(String(fileName));
    Obj<T> texture(T::Create());
    texture->SetFileObject(file);
    texture->m_MipMapEnable = mipMap;
    return texture;
}

// Loads `fileName` under `folder` at once; the loaded image (null when none).
Obj<Image> LoadNow(const TempDir& folder, const char* fileName, bool mipMap = true) {
    Obj<Texture> texture = MakeTexture(fileName, mipMap);
    EXPECT_EQ(texture->RequestLoad(0, String((folder.Path() + "/").c_str())), k_TextureReady);
    EXPECT_EQ(texture->GetLoadState(), k_TextureReady);
    return texture->TakeLoadedImage();
}

std::vector<float> Flat(const Array<Vector2f>& coords) {
    std::vector<float> flat;
    for (const Vector2f& v : coords) {
        flat.push_back(v.GetX());
        flat.push_back(v.GetY());
    }
    return flat;
}

int Levels(const Image* image) {
    int levels = 0;
    for (; image != nullptr; image = image->GetMipMap())
        ++levels;
    return levels;
}

// A 2 x 2 BMG, to tell a cache that was read from a source that was decoded.
void WriteSmallBmg(const std::string& path) {
    Obj<Image> image(Image::Create());
    ASSERT_TRUE(image->Allocate(3, 2, 2, 0));
    Obj<StreamPipeMemory> pipe(StreamPipeMemory::Create());
    ASSERT_EQ(image->ExportStream("x.bmg", pipe, 0), SOK);
    WriteFileBytes(
        path, std::string(reinterpret_cast<const char*>(pipe->GetData()), size_t(pipe->GetSize())));
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

} // namespace

TEST_F(TextureLoad, CacheIsReadOnlyWhileNewerThanItsSources) {
    TempDir folder;
    const std::string base = folder / "wall";
    const std::string cache = base + ".cache.bmg";
    MakePng(base, "8x8");
    TouchRelative(base + ".png", base + ".png", -100); // room for newer times before now
    {
        // The first load decodes the PNG, builds the chain and writes it to the cache.
        Obj<Image> image = LoadNow(folder, "wall");
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), 8);
        EXPECT_EQ(Levels(image), 4);
        ASSERT_TRUE(Exists(cache));
        Obj<Image> cached(Image::Create());
        EXPECT_EQ(cached->ImportFile((base + ".cache").c_str()), SOK);
        EXPECT_EQ(Levels(cached), 4);
        EXPECT_EQ(Texture::CheckImageCache(String(base.c_str())), k_TextureCacheFresh);
    }
    {
        // A cache newer than the source is what a load reads, and it writes nothing.
        WriteSmallBmg(cache);
        TouchRelative(cache, base + ".png", 10);
        const std::string before = ReadFileBytes(cache);
        Obj<Image> image = LoadNow(folder, "wall");
        EXPECT_EQ(image->GetWidth(), 2);
        EXPECT_EQ(ReadFileBytes(cache), before);
    }
    {
        // A source touched after the cache is decoded again and the cache rewritten.
        TouchRelative(base + ".png", cache, 10);
        EXPECT_EQ(Texture::CheckImageCache(String(base.c_str())), k_TextureCacheStale);
        EXPECT_EQ(LoadNow(folder, "wall")->GetWidth(), 8);
        EXPECT_EQ(Texture::CheckImageCache(String(base.c_str())), k_TextureCacheFresh);
    }
    {
        // A truncated cache, though newer, is not trusted: the source is decoded and the cache
        // written whole again.
        const std::string whole = ReadFileBytes(cache);
        WriteFileBytes(cache, whole.substr(0, 40));
        TouchRelative(cache, base + ".png", 10);
        EXPECT_EQ(Texture::CheckImageCache(String(base.c_str())), k_TextureCacheUnreadable);
        EXPECT_EQ(LoadNow(folder, "wall")->GetWidth(), 8);
        EXPECT_EQ(ReadFileBytes(cache), whole);
    }
    {
        // Without MipMapEnable, and for sizes that are not powers of two, no chain is built
        // (and no note about the size is logged).
        MakePng(folder / "flat", "8x8");
        EXPECT_EQ(Levels(LoadNow(folder, "flat", false)), 1);
        MakePng(folder / "odd", "6x4");
        LogCapture log;
        EXPECT_EQ(Levels(LoadNow(folder, "odd")), 1);
        EXPECT_TRUE(log.Messages().empty()) << log.Text();
    }
    // No temporary cache file stays behind.
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(TextureLoad, NamesThatGetNoCache) {
    TempDir folder;
    {
        // Names in archives are never written beside.
        MakePng(folder / "pack.kxp", "4x4");
        EXPECT_EQ(LoadNow(folder, "pack.kxp")->GetWidth(), 4);
        EXPECT_FALSE(Exists(folder / "pack.kxp.cache.bmg"));
    }
    {
        // A .bmg source is read first whatever the cache, so it gets none.
        MakePng(folder / "both", "4x4");
        WriteSmallBmg(folder / "both.bmg");
        EXPECT_EQ(LoadNow(folder, "both")->GetWidth(), 2);
        EXPECT_FALSE(Exists(folder / "both.cache.bmg"));
        EXPECT_EQ(Texture::CheckImageCache(String((folder / "both").c_str())),
                  k_TextureCacheMissing);
    }
    {
        // A multipart name has no single place for its cache.
        MakePng(folder / "lo", "4x4");
        EXPECT_EQ(LoadNow(folder, "{hi;lo}")->GetWidth(), 4);
        EXPECT_FALSE(Exists(folder / "{hi;lo}.cache.bmg"));
        EXPECT_FALSE(Exists(folder / "lo.cache.bmg"));
    }
}

TEST_F(TextureLoad, RequestWithoutThreadsEndsReadyEvenForMissingFiles) {
    TempDir folder;
    MakePng(folder / "there", "4x4");
    {
        LogCapture log;
        Obj<Image> image = LoadNow(folder, "there");
        EXPECT_EQ(image->GetWidth(), 4);
        EXPECT_EQ(Texture::GetTextureThreadJobs(), 0);
    }
    {
        LogCapture log;
        Obj<Image> image = LoadNow(folder, "gone");
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetWidth(), 0);
        EXPECT_NE(log.Text().find("[Error]TextureLoad: image file \"" + (folder / "gone") +
                                  "\" not found or format unsupported."),
                  std::string::npos)
            << log.Text();
        EXPECT_FALSE(Exists(folder / "gone.cache.bmg"));
    }
    {
        // An absolute name ignores the prefix.
        Obj<Texture> texture = MakeTexture(("absolute://" + (folder / "there")).c_str());
        EXPECT_EQ(texture->RequestLoad(0, String("nowhere/")), k_TextureReady);
        EXPECT_EQ(texture->GetLoadedImage()->GetWidth(), 4);
    }
    {
        // A texture with a layer composes it at once, even when a thread is allowed: the
        // layer's file is named with the prefix; a layer that yields nothing leaves state 0.
        Obj<Texture> texture = MakeTexture("ignored");
        Obj<ImageLayer> layer(ImageLayer::Create());
        texture->m_ImageLayer = layer;
        LogCapture log;
        EXPECT_EQ(texture->RequestLoad(1, String((folder.Path() + "/").c_str())), k_TextureIdle);
        EXPECT_NE(log.Text().find("ImageLayer::ApplyToImage: fileobject undefined for"),
                  std::string::npos);
        Obj<FileObject> file(FileObject::Create());
        file->SetFileName(String("there"));
        layer->SetFileObject(file);
        EXPECT_EQ(texture->RequestLoad(1, String((folder.Path() + "/").c_str())), k_TextureReady);
        EXPECT_EQ(Texture::GetTextureThreadJobs(), 0);
        EXPECT_EQ(texture->GetLoadedImage()->GetWidth(), 4);
    }
}

TEST_F(TextureLoad, ThreadedLoadsOfDroppedTexturesLeaveNothingBehind) {
    TempDir folder;
    MakePng(folder / "tile", "16x16");
    const String prefix((folder.Path() + "/").c_str());
    const int descriptors = OpenDescriptors();
    const int references = DLLGetInitializeCount();
    {
        // A request while a load is under way starts nothing.
        Obj<Texture> texture = MakeTexture("tile");
        texture->SetLoadState(k_TextureLoading);
        EXPECT_EQ(texture->RequestLoad(1, prefix), k_TextureLoading);
        EXPECT_EQ(Texture::GetTextureThreadJobs(), 0);
        // The job holds its texture until the host's thread reaps it.
        texture->SetLoadState(k_TextureIdle);
        texture->RequestLoad(1, prefix);
        while (texture->GetLoadState() != k_TextureReady)
            Platform::SleepMilliseconds(1);
        EXPECT_EQ(texture->GetLoadedImage()->GetWidth(), 16);
        EXPECT_EQ(BlockRefCount(texture.Get()), 2);
        EXPECT_TRUE(Texture::WaitForLoadJobs());
        EXPECT_EQ(BlockRefCount(texture.Get()), 1);
    }
    {
        LogCapture log;
        int most = 0;
        std::vector<Obj<Texture>> kept;
        for (int i = 0; i < 500; ++i) {
            Obj<Texture> texture = MakeTexture(i % 50 == 25 ? "missing" : "tile");
            texture->RequestLoad(1, prefix);
            most = std::max(most, Texture::GetTextureThreadJobs());
            if (i % 50 == 1)
                kept.push_back(texture); // the others are dropped while they load
            if (i % 10 == 0)
                Texture::ReapLoadJobs();
        }
        EXPECT_TRUE(Texture::WaitForLoadJobs());
        EXPECT_GT(most, 0);
        EXPECT_LE(most, Texture::k_MaxThreadJobs);
        for (const Obj<Texture>& texture : kept) {
            EXPECT_EQ(texture->GetLoadState(), k_TextureReady);
            EXPECT_EQ(texture->GetLoadedImage()->GetWidth(), 16);
            EXPECT_EQ(BlockRefCount(texture.Get()), 1);
        }
    }
    EXPECT_EQ(Texture::GetTextureThreadJobs(), 0);
    EXPECT_EQ(Texture::ReapLoadJobs(), 0);
    EXPECT_EQ(DLLGetInitializeCount(), references);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(TextureLoad, TileTexturesReadTheirTileListBesideTheImage) {
    TempDir folder;
    MakePng(folder / "tiles", "64x32");
    WriteFileBytes(folder / "tiles.txf", "# two tiles\n0 0 32 32\n32 16 32 16\n");
    const String prefix((folder.Path() + "/").c_str());
    const std::vector<float> expected{0, 0, 0.5f, 1, 0.5f, 0.5f, 1, 1};
    {
        Obj<TileTexture2D> texture = MakeTexture<TileTexture2D>("tiles");
        EXPECT_EQ(texture->RequestLoad(0, prefix), k_TextureReady);
        EXPECT_EQ(Flat(texture->m_TileTexCoordArray), expected);
    }
    {
        // Threaded: the tiles reach the texture only when the host's thread reaps the job.
        Obj<TileTexture2D> texture = MakeTexture<TileTexture2D>("tiles");
        texture->RequestLoad(1, prefix);
        while (texture->GetLoadState() != k_TextureReady)
            Platform::SleepMilliseconds(1);
        EXPECT_EQ(texture->m_TileTexCoordArray.Size(), 0);
        EXPECT_TRUE(Texture::WaitForLoadJobs());
        EXPECT_EQ(Flat(texture->m_TileTexCoordArray), expected);
    }
    {
        // Tiles already given are kept.
        Obj<TileTexture2D> texture = MakeTexture<TileTexture2D>("tiles");
        texture->m_TileTexCoordArray.Add(Vector2f(0.25f, 0.75f));
        texture->RequestLoad(0, prefix);
        EXPECT_EQ(Flat(texture->m_TileTexCoordArray), (std::vector<float>{0.25f, 0.75f}));
    }
    {
        // A malformed list logs the reader's message and gives no tiles; a missing one is quiet.
        MakePng(folder / "bad", "8x8");
        WriteFileBytes(folder / "bad.txf", "0 0 4 4\n1 2 three 4\n");
        MakePng(folder / "plain", "8x8");
        LogCapture log;
        Obj<TileTexture2D> bad = MakeTexture<TileTexture2D>("bad");
        EXPECT_EQ(bad->RequestLoad(0, prefix), k_TextureReady);
        EXPECT_EQ(bad->m_TileTexCoordArray.Size(), 0);
        EXPECT_NE(log.Text().find("Invalid file format in \"" + (folder / "bad.txf") + "\" line 2"),
                  std::string::npos)
            << log.Text();
        Obj<TileTexture2D> plain = MakeTexture<TileTexture2D>("plain");
        EXPECT_EQ(plain->RequestLoad(0, prefix), k_TextureReady);
        EXPECT_EQ(plain->m_TileTexCoordArray.Size(), 0);
        EXPECT_EQ(log.Text().find("plain"), std::string::npos) << log.Text();
    }
    {
        // A plain Texture2D never reads one: a malformed list beside it goes unnoticed.
        MakePng(folder / "flat", "8x8");
        WriteFileBytes(folder / "flat.txf", "not a tile list\n");
        LogCapture log;
        EXPECT_EQ(LoadNow(folder, "flat")->GetWidth(), 8);
        EXPECT_EQ(log.Text().find("txf"), std::string::npos) << log.Text();
    }
}
