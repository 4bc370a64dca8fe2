// Loading a 2048 x 2048 RGBA texture image from its cache file (with the mipmap chain in it)
// beside decoding its PNG and building the chain, which is what a load does without a cache.

#include "BenchRatios.h"
#include "BenchSupport.h"
#include "quorlix/core/Obj.h"
#include "quorlix/image/Image.h"
#include "quorlix/library/Library.h"
#include "quorlix/render/Texture.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace Quorlix;

namespace {

constexpr int k_Size = 2048;

std::filesystem::path g_Folder;
std::string g_Base; // base path of picture.png and picture.cache.bmg

Obj<Image> MakePicture() {
    return QuorlixBench::MakePicture(k_Size);
}

void CheckSize(benchmark::State& state, const Image& image) {
    if (image.GetWidth() != k_Size || image.GetMipMap() == nullptr)
        state.SkipWithError("the image did not load with its chain");
}

void LoadCache(benchmark::State& state) {
    const String base(g_Base.c_str());
    for (auto _ : state) {
        Obj<Image> image = Texture::LoadImageFile(base, true);
        CheckSize(state, *image);
        benchmark::DoNotOptimize(image.Get());
    }
}

void DecodePngAndMipMap(benchmark::State& state) {
    for (auto _ : state) {
        Obj<Image> image = Image::Create();
        (void)image->ImportFile(g_Base.c_str());
        image->MipMap(1);
        CheckSize(state, *image);
        benchmark::DoNotOptimize(image.Get());
    }
}

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    g_Folder = std::filesystem::temp_directory_path() / "quorlix-texturecachebench";
    std::filesystem::create_directories(g_Folder);
    g_Base = (g_Folder / "picture").string();
    int result = 1;
    {
        Obj<Image> picture = MakePicture();
        std::error_code ignored;
        std::filesystem::remove(g_Base + ".cache.bmg", ignored);
        if (picture->ExportFile((g_Base + ".png").c_str(), 0) != SOK) {
            std::printf("TextureCacheBench: the PNG could not be written\n");
        } else {
            // The first load decodes the PNG and writes the cache the benchmark then reads.
            Texture::LoadImageFile(String(g_Base.c_str()), true);
            std::printf("TextureCacheBench: %d x %d RGBA, PNG %.1f MiB, cache %.1f MiB\n", k_Size,
                        k_Size, double(std::filesystem::file_size(g_Base + ".png")) / 1048576.0,
                        double(std::filesystem::file_size(g_Base + ".cache.bmg")) / 1048576.0);
            benchmark::RegisterBenchmark("BM_Texture_LoadCache", LoadCache)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            benchmark::RegisterBenchmark("BM_Texture_DecodePngAndMipMap", DecodePngAndMipMap)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
            result = QuorlixBench::RunAndCompare(
                argc, argv,
                {{"BM_Texture_LoadCache/real_time", "BM_Texture_DecodePngAndMipMap/real_time"}}, {},
                {},
                {{"BM_Texture_LoadCache/real_time", "BM_Texture_DecodePngAndMipMap/real_time",
                  "4x faster than decoding", 4.0}});
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(g_Folder, ignored);
    DLLDeInitialize(0);
    return result;
}
