// Texture loading: the load request, the load job (at once or on a thread of its own), the
// cache files beside the image sources, and the reaping of finished threaded jobs.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/platform/File.h"
#include "quorlix/platform/Process.h"
#include "quorlix/platform/Thread.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/Texture.h"
#include "quorlix/render/internal/TextureLoadJob.h"
#include "quorlix/render/internal/TileFile.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <atomic>
#include <string>

namespace Quorlix {

namespace {

using Internal::TextureLoadJob;

std::atomic<int32_t> G_ThreadJobs{0};
std::atomic<bool> G_PriorityWarned{false};
std::atomic<uint32_t> G_TemporaryCounter{0};
constinit std::atomic<void (*)(int)> G_TakeLibrary{nullptr};
constinit std::atomic<void (*)(int)> G_DropLibrary{nullptr};

// Threaded jobs not yet reaped, newest first. Never destroyed: the library's unload waits on it
// after static destructors elsewhere may have begun.
CriticalSection& JobsLock() {
    static CriticalSection* const s_Lock = new CriticalSection;
    return *s_Lock;
}
TextureLoadJob* G_Jobs = nullptr; // under JobsLock()

bool IsPowerOfTwo(int v) {
    return ((v - 1) | v) + 1 == 2 * v;
}

// The last write time of `path` as the storage layer finds it; 0 when it does not open.
uint64_t WriteTime(const String& path) {
    Obj<StreamPipe> pipe = Storage::OpenStream(path, 1 | Storage::k_QuietNotFound);
    if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton())
        return 0;
    uint64_t created = 0, accessed = 0, written = 0;
    pipe->GetFileTime(created, accessed, written);
    return written;
}

bool IsEmpty(const Image& image) {
    return image.GetWidth() == 0 || image.GetHeight() == 0 || image.GetData() == nullptr;
}

// Names inside archives cannot be written beside; multipart names have no single place; a
// name.bmg file is what ImportFile reads first, so a cache would never be read instead.
bool CacheAllowed(const String& name) {
    if (name.Size() == 0 || name.Search('{') >= 0 || name.Search(".kxp") >= 0 ||
        name.Search(".KXP") >= 0)
        return false;
    return WriteTime(name + ".bmg") == 0;
}

struct CacheTimes {
    uint64_t m_Cache = 0;
    uint64_t m_Newest = 0; // of the sources compared with the cache
};

CacheTimes TimesOf(const String& name) {
    CacheTimes times;
    times.m_Cache = WriteTime(name + ".cache.bmg");
    const uint64_t jp2 = WriteTime(name + ".jp2");
    const uint64_t png = WriteTime(name + ".png");
    times.m_Newest = jp2 > png ? jp2 : png;
    return times;
}

bool CacheIsNewer(const CacheTimes& times) {
    return times.m_Cache != 0 && times.m_Cache > times.m_Newest;
}

// The cache read whole; false (image cleared) when it is not a readable image.
bool ReadCache(const String& cache, Image& image) {
    Obj<StreamPipe> pipe = Storage::OpenStream(cache, 1 | Storage::k_QuietNotFound);
    if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton())
        return false;
    if (Failed(image.ImportStream(cache.GetCPtr(), pipe)) || IsEmpty(image)) {
        image.Clear();
        return false;
    }
    return true;
}

// Written under a name of its own and renamed into place, so a reader (another thread, another
// process) never sees half a cache and two writers never mix their bytes.
void WriteCache(const String& name, Image& image) {
    const String cache = name + ".cache.bmg";
    std::string temporary(cache.GetCPtr());
    temporary += '.';
    temporary += std::to_string(Platform::CurrentThreadId());
    temporary += '-';
    temporary += std::to_string(G_TemporaryCounter.fetch_add(1, std::memory_order_relaxed));
    temporary += ".tmp";
    const String temporaryName(temporary.c_str());
    bool written = false;
    {
        Obj<StreamPipe> pipe = Storage::OpenStream(temporaryName, 14);
        if (pipe && pipe.Get() != StreamPipeNull::GetSingleton()) {
            written = Succeeded(image.ExportStream(cache.GetCPtr(), pipe, 0));
            pipe->Flush();
        }
    }
    if (written)
        written = Platform::ReplaceFile(temporary.c_str(), cache.GetCPtr());
    if (!written) {
        Platform::DeleteFile(temporary.c_str());
        Xerr.pLockWarn() << "TextureLoad: could not write the cache file \"" << cache << "\".";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
}

void BuildMipMaps(Image& image) {
    if (image.GetMipMap() == nullptr && (image.GetWidth() > 1 || image.GetHeight() > 1) &&
        IsPowerOfTwo(image.GetWidth()) && IsPowerOfTwo(image.GetHeight()))
        image.MipMap(1); // colour weighted by alpha: clear texels do not darken their neighbours
}

void LogStarted() {
    Xerr.pLockDebug() << "AsyncTextureLoad: started.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

void RunThreadedJob(void* context) {
    auto* job = static_cast<TextureLoadJob*>(context);
    LogStarted();
    void (*const drop)(int) = G_DropLibrary.load(std::memory_order_acquire);
    if (void (*take)(int) = G_TakeLibrary.load(std::memory_order_acquire))
        take(0);
    if (!Platform::RaiseCurrentThreadPriority() && !G_PriorityWarned.exchange(true)) {
        Xerr.pLockWarn() << "AsyncTextureLoad: could not set thread priority.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    job->Run();
    Xerr.pLockDebug() << "AsyncTextureLoad: completed.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    G_ThreadJobs.fetch_sub(1, std::memory_order_acq_rel);
    // The library reference goes last: its last release may shut the library down, after which
    // this thread touches nothing of it. The job itself (and its texture reference) stays with
    // the list until the host's thread reaps it.
    if (drop != nullptr)
        drop(0);
    job->m_Finished.store(true, std::memory_order_release);
}

// Unlinks the finished jobs (all of them with `all`), then joins their threads, hands their tile
// lists over and deletes them outside the lock: a texture destructor may run here.
int Reap(bool all) {
    TextureLoadJob* reaped = nullptr;
    {
        CriticalSectionLock lock(JobsLock());
        TextureLoadJob** link = &G_Jobs;
        while (TextureLoadJob* job = *link) {
            if (all || job->m_Finished.load(std::memory_order_acquire)) {
                *link = job->m_Next;
                job->m_Next = reaped;
                reaped = job;
            } else {
                link = &job->m_Next;
            }
        }
    }
    int count = 0;
    while (TextureLoadJob* job = reaped) {
        reaped = job->m_Next;
        Platform::JoinThread(job->m_Thread);
        if (job->m_Finished.load(std::memory_order_acquire))
            job->ApplyTiles();
        delete job;
        ++count;
    }
    return count;
}

// The tile list `name`.txf as texture coordinates of a width x height image; empty when there
// is no such file or it does not read (the reader logs why).
void ReadTiles(const String& name, int width, int height, Array<Vector2f>& out) {
    out.Clear();
    const String path = name + ".txf";
    Obj<StreamPipe> pipe = Storage::OpenStream(path, 1 | Storage::k_QuietNotFound);
    if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton())
        return;
    // Read in pieces so a pipe whose size is unknown (an archive member) reads all the same;
    // the bound keeps a bogus file from taking memory without end.
    constexpr int k_MaxTileFileBytes = 4 << 20;
    std::string text;
    char buffer[4096];
    while (text.size() < static_cast<size_t>(k_MaxTileFileBytes)) {
        const int n = pipe->Read(buffer, static_cast<int>(sizeof buffer));
        if (n <= 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    if (text.size() >= static_cast<size_t>(k_MaxTileFileBytes)) {
        Xerr.pLockError() << "Invalid file format in \"" << path << "\": larger than "
                          << k_MaxTileFileBytes << " bytes";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return;
    }
    Array<Internal::TileRect> tiles;
    if (Internal::ReadTileFile(text.data(), text.size(), path.Ref(), tiles))
        Internal::TileTexCoords(tiles, width, height, out);
}

int RunningJobs() {
    CriticalSectionLock lock(JobsLock());
    int running = 0;
    for (const TextureLoadJob* job = G_Jobs; job != nullptr; job = job->m_Next)
        running += job->m_Finished.load(std::memory_order_acquire) ? 0 : 1;
    return running;
}

} // namespace

void Internal::TextureLoadJob::Run() {
    m_Image = Texture::LoadImageFile(m_FileName, m_MipMap);
    if (m_ReadTiles && !IsEmpty(*m_Image))
        ReadTiles(m_FileName, m_Image->GetWidth(), m_Image->GetHeight(), m_TileTexCoords);
    if (m_Texture) {
        m_Texture->m_LoadedImage = m_Image;
        m_Texture->SetLoadState(k_TextureReady); // publishes the image (release)
    }
}

void Internal::TextureLoadJob::ApplyTiles() {
    auto* tile = dynamic_cast<TileTexture2D*>(m_Texture.Get());
    if (tile != nullptr && tile->m_TileTexCoordArray.Size() == 0 && m_TileTexCoords.Size() != 0)
        tile->m_TileTexCoordArray = static_cast<Array<Vector2f>&&>(m_TileTexCoords);
}

Obj<Image> Texture::LoadImageFile(const String& name, bool mipMap) {
    Obj<Image> image(Image::Create());
    if (name.Size() != 0) {
        const bool cached = CacheAllowed(name);
        const CacheTimes times = cached ? TimesOf(name) : CacheTimes{};
        // A cache that does not read is not trusted: the source is decoded and the cache
        // written again.
        if (!cached || !CacheIsNewer(times) || !ReadCache(name + ".cache.bmg", *image)) {
            (void)image->ImportFile(name.GetCPtr()); // an empty image is the answer
            if (!IsEmpty(*image)) {
                if (mipMap)
                    BuildMipMaps(*image);
                if (cached)
                    WriteCache(name, *image);
            }
        } else if (mipMap) {
            BuildMipMaps(*image); // a cache written while mipmaps were off has no chain
        }
    }
    if (IsEmpty(*image)) {
        Xerr.pLockError() << "TextureLoad: image file \"" << name
                          << "\" not found or format unsupported.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    return image;
}

TextureCacheStatus Texture::CheckImageCache(const String& name) {
    if (!CacheAllowed(name))
        return k_TextureCacheMissing;
    const CacheTimes times = TimesOf(name);
    if (times.m_Cache == 0)
        return k_TextureCacheMissing;
    if (!CacheIsNewer(times))
        return k_TextureCacheStale;
    Obj<Image> image(Image::Create());
    return ReadCache(name + ".cache.bmg", *image) ? k_TextureCacheFresh : k_TextureCacheUnreadable;
}

uint32_t Texture::RequestLoad(int allowThread, const String& imagePath) {
    Reap(false);
    const uint32_t state = GetLoadState();
    if (state == k_TextureLoading)
        return state; // a job has it already
    if (m_ImageLayer) {
        // Layers compose at once, on the calling thread: they may name several files.
        const Platform::WaitCursor cursor;
        SetLoadState(k_TextureLoading);
        const Obj<Image> image = m_ImageLayer->ComposeImage(imagePath.Ref());
        m_LoadedImage = image;
        SetLoadState(image ? k_TextureReady : k_TextureIdle);
        return GetLoadState();
    }
    auto* job = new TextureLoadJob;
    job->m_Texture = this;
    job->m_ImagePath = imagePath;
    job->m_MipMap = m_MipMapEnable;
    if (const auto* tile = dynamic_cast<const TileTexture2D*>(this))
        job->m_ReadTiles = tile->m_TileTexCoordArray.Size() == 0;
    (void)FormFileName(m_FileObject.Get(), imagePath, job->m_FileName);
    m_LoadedImage = nullptr;
    SetLoadState(k_TextureLoading);

    // Past the limit a request loads at once rather than queue yet another thread.
    if (allowThread != 0 &&
        G_ThreadJobs.fetch_add(1, std::memory_order_acq_rel) < k_MaxThreadJobs) {
        job->m_Threaded = true;
        CriticalSectionLock lock(JobsLock());
        int error = 0;
        job->m_Thread = Platform::StartThread(&RunThreadedJob, job, error);
        if (job->m_Thread != nullptr) {
            job->m_Next = G_Jobs;
            G_Jobs = job;
            return k_TextureLoading;
        }
        G_ThreadJobs.fetch_sub(1, std::memory_order_acq_rel);
        Xerr.pLockError() << "Texture2D: AsyncTexture: CreateThread failed: "
                          << Platform::SystemErrorText(error).c_str() << ".";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    } else if (allowThread != 0) {
        G_ThreadJobs.fetch_sub(1, std::memory_order_acq_rel);
    }
    job->m_Threaded = false;
    job->Run();
    job->ApplyTiles();
    // The caller's reference keeps the texture for this call; a texture nobody holds yet
    // (count 0) must not be destroyed by the job's release.
    BlockDropToZero(job->m_Texture.Detach());
    delete job;
    return GetLoadState();
}

int32_t Texture::GetTextureThreadJobs() noexcept {
    return G_ThreadJobs.load(std::memory_order_acquire);
}

int Texture::ReapLoadJobs() {
    return Reap(false);
}

bool Texture::WaitForLoadJobs(int32_t milliseconds) {
    int running = RunningJobs();
    if (running != 0) {
        Xerr.pLockInfo() << "Texture::WaitForLoadJobs: waiting for " << running
                         << " texture load jobs.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    for (int32_t waited = 0; running != 0 && waited < milliseconds; waited += 5) {
        Platform::SleepMilliseconds(5);
        running = RunningJobs();
    }
    if (running != 0) {
        Xerr.pLockError() << "Texture::WaitForLoadJobs: " << running
                          << " texture load jobs still running after " << milliseconds << " ms.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        Reap(false);
        return false;
    }
    Reap(true);
    return true;
}

void Texture::SetLibraryReferenceHooks(void (*take)(int), void (*drop)(int)) noexcept {
    G_TakeLibrary.store(take, std::memory_order_release);
    G_DropLibrary.store(drop, std::memory_order_release);
}

} // namespace Quorlix
