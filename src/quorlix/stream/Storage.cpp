#include "quorlix/stream/Storage.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/Archive.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace Quorlix {

namespace {

// The bits of the open-mode word that ask for writing or creation.
constexpr unsigned k_WriteBits = 0x2 | 0x4 | 0x8;
constexpr int k_CopyBlock = 65536;

// The calling thread's paths. Empty strings hold no buffer, so a thread that never sets a
// path costs nothing, and releasing the pair is emptying it.
struct PathPair {
    String m_Read;
    String m_Write;
};
thread_local PathPair t_Paths;

// Archives opened for reading, shared by every thread. The arrays run in parallel; entries are
// only ever appended, and ExitStorage(1) drops them all at once.
struct ArchiveCache {
    CriticalSection m_Section;
    Array<String> m_Names;          // as written in the requested names, extension included
    Array<Obj<Archive>> m_Archives; // open for reading
    Array<int> m_Lookups;           // requests served from each archive; reported on release
};

ArchiveCache& Cache() {
    // Never destroyed: static destructors elsewhere may still open files at exit. What it
    // holds then is still reachable, so it is not reported as a leak.
    alignas(ArchiveCache) static unsigned char s_Storage[sizeof(ArchiveCache)];
    static ArchiveCache* const s_Cache = new (s_Storage) ArchiveCache;
    return *s_Cache;
}

// '\' becomes '/', and a '/' ends every non-empty path.
String NormalisePath(const StringRef& path) {
    String result(path);
    for (int i = 0; i < result.Size(); ++i)
        if (result[i] == '\\')
            result.Replace(i, '/');
    if (result.Size() > 0 && result[result.Size() - 1] != '/')
        result.Add('/');
    return result;
}

int FindFirst(const char* chars, int size, char ch) {
    const void* at = std::memchr(chars, ch, static_cast<size_t>(size));
    return at != nullptr ? static_cast<int>(static_cast<const char*>(at) - chars) : -1;
}

int FindLast(const char* chars, int size, char ch) {
    for (int i = size; i-- > 0;)
        if (chars[i] == ch)
            return i;
    return -1;
}

StreamPipe* NullPipe() {
    return StreamPipeNull::GetSingleton();
}

// A fresh pipe from a local handle, for the caller's first handle to take.
StreamPipe* HandOut(Obj<StreamPipe>& pipe) {
    return pipe.Handover();
}

Obj<StreamPipeFile> OpenFilePipe(const StringRef& path, unsigned mode) {
    if ((mode & IOUnbuffered) != 0)
        return StreamPipeFile::Create(path.GetCPtr(), mode);
    return StreamPipeFileCache::Create(path.GetCPtr(), mode);
}

// The cached archive `name`, opened and cached on first use; null when it does not open. The
// reference is taken under the lock, so a concurrent ExitStorage(1) cannot free it under the
// caller. Opening under the lock too means each archive is parsed once however many threads
// ask for it at the same time.
Obj<Archive> GetArchive(const String& name) {
    ArchiveCache& cache = Cache();
    CriticalSectionLock lock(cache.m_Section);
    for (int i = 0; i < cache.m_Names.Size(); ++i) {
        if (cache.m_Names[i] == name) {
            ++cache.m_Lookups[i];
            return cache.m_Archives[i];
        }
    }
    const int slash = name.RSearch('/');
    Xreport.pLockDebug() << "Storage: opening archive ";
    Xreport.pQuotedC(name.GetCPtr() + slash + 1, name.Size() - slash - 1, '"') << ".";
    Xreport.pLF();
    Xreport.pUnlockMessage();
    Obj<Archive> archive = Archive::Create();
    const Result result = archive->OpenExisting(name);
    if (result != nullptr) {
        // Not cached: a later request tries again.
        Xreport.pLockWarn() << "TestOpenStream: failed for " << name << " returncode "
                            << GetResultString(result) << ".";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return Obj<Archive>();
    }
    cache.m_Names.Add(name);
    cache.m_Archives.Add(archive);
    cache.m_Lookups.Add(1);
    return archive;
}

// One expanded candidate opened for reading; null when it does not open. Only failures other
// than a missing member are logged: a missing one may just be an alternative not taken.
Obj<StreamPipe> OpenCandidate(const String& candidate, unsigned mode) {
    int at = candidate.Search(".KXP/");
    if (at < 0)
        at = candidate.Search(".kxp/");
    if (at < 0) {
        Obj<StreamPipeFile> file = OpenFilePipe(candidate, mode);
        return file->IsOpen() ? Obj<StreamPipe>(file) : Obj<StreamPipe>();
    }
    const String name(candidate.GetCPtr(), at + 4);
    const String inner(candidate.GetCPtr() + at + 5);
    Obj<Archive> archive = GetArchive(name);
    if (!archive)
        return Obj<StreamPipe>();
    Result result = nullptr;
    // Outside the cache lock: members of one archive are read by many threads at once.
    Obj<StreamPipe> pipe = archive->OpenStream(inner, mode, result);
    if (result == nullptr && pipe)
        return pipe;
    if (result != nullptr && result != RArchiveFileNotFound) {
        Xreport.pLockNote() << result << ": " << GetResultString(result) << ": ";
        Xreport.pQuotedC(candidate, '"') << ".";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    return Obj<StreamPipe>();
}

} // namespace

String Storage::GetReadPath() {
    return t_Paths.m_Read;
}

String Storage::GetWritePath() {
    return t_Paths.m_Write;
}

Result Storage::SetReadPath(const StringRef& path) {
    String normal = NormalisePath(path);
    if (normal == t_Paths.m_Read)
        return nullptr;
    t_Paths.m_Read = static_cast<String&&>(normal);
    Xreport.pLockInfo() << "Storage::SetReadPath: T[";
    Xreport.pMemPtr(&t_Paths) << "] ";
    Xreport.pQuotedC(t_Paths.m_Read, '"') << ".";
    Xreport.pLF();
    Xreport.pUnlockMessage();
    return nullptr;
}

Result Storage::SetWritePath(const StringRef& path) {
    t_Paths.m_Write = NormalisePath(path);
    return nullptr;
}

bool Storage::ExpandMultipartPath(const StringRef& path, Array<String>& candidates) {
    candidates.Clear();
    if (FindFirst(path.GetCPtr(), path.Size(), '{') < 0) {
        candidates.Add(String(path));
        return true;
    }
    // Depth first with a stack of texts still to expand, the last alternative pushed first,
    // so candidates come out in order and nesting costs no recursion. `texts` and `bytes`
    // count what is pending plus what was produced; each pending text yields at least one
    // candidate, so the limits are checked before anything is made.
    std::vector<String> pending;
    pending.push_back(String(path));
    int64_t texts = 1;
    int64_t bytes = path.Size();
    std::vector<int> cuts; // alternative i lies between cuts[i] + 1 and cuts[i + 1]
    const auto fail = [&candidates] {
        candidates.Clear();
        return false;
    };
    if (bytes > k_MaxMultipartBytes)
        return fail();
    while (!pending.empty()) {
        const String text = static_cast<String&&>(pending.back());
        pending.pop_back();
        const char* chars = text.GetCPtr();
        const int size = text.Size();
        const int open = FindFirst(chars, size, '{');
        if (open < 0) {
            candidates.Add(text);
            continue;
        }
        const int close = FindLast(chars, size, '}');
        if (close < open)
            return fail();
        cuts.assign(1, open);
        int depth = 0;
        for (int i = open; i <= close; ++i) {
            if (chars[i] == '{') {
                if (++depth > k_MaxMultipartDepth)
                    return fail();
            } else if (chars[i] == '}') {
                if (--depth == 0 && i != close)
                    return fail(); // a second group
            } else if (chars[i] == ';' && depth == 1) {
                cuts.push_back(i);
            }
        }
        if (depth != 0)
            return fail();
        cuts.push_back(close);
        const int alternatives = static_cast<int>(cuts.size()) - 1;
        const int outside = size - (close - open + 1);
        texts += alternatives - 1;
        bytes += int64_t{alternatives} * outside + (close - open - 1 - (alternatives - 1)) - size;
        if (texts > k_MaxMultipartCandidates || bytes > k_MaxMultipartBytes)
            return fail();
        for (int a = alternatives; a-- > 0;) {
            const int from = cuts[a] + 1;
            const int length = cuts[a + 1] - from;
            String expanded;
            char* out = expanded.Allocate(outside + length);
            std::memcpy(out, chars, static_cast<size_t>(open));
            std::memcpy(out + open, chars + from, static_cast<size_t>(length));
            std::memcpy(out + open + length, chars + close + 1,
                        static_cast<size_t>(size - close - 1));
            pending.push_back(static_cast<String&&>(expanded));
        }
    }
    return true;
}

StreamPipe* Storage::OpenStream(const StringRef& path, unsigned mode) {
    if ((mode & k_WriteBits) != 0) {
        Obj<StreamPipe> pipe(OpenFilePipe(path, mode));
        return HandOut(pipe);
    }
    Array<String> candidates;
    if (!ExpandMultipartPath(path, candidates)) {
        Xreport.pLockError() << "Storage::OpenStream: invalid multipart path: ";
        Xreport.pQuotedC(path, '"') << ".";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return NullPipe();
    }
    for (const String& candidate : candidates) {
        Obj<StreamPipe> pipe = OpenCandidate(candidate, mode);
        if (pipe)
            return HandOut(pipe);
    }
    if ((mode & k_QuietNotFound) == 0) {
        Xreport.pLockNote() << RArchiveFileNotFound << ": " << GetResultString(RArchiveFileNotFound)
                            << ": ";
        Xreport.pQuotedC(path, '"') << ".";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    return NullPipe();
}

String Storage::OpenFileLocal(const StringRef& path, unsigned mode) {
    if (path.Search(".KXP/") < 0 && path.Search(".kxp/") < 0)
        return String(path);
    // Only ever read: a write bit would create a file named like the member.
    Obj<StreamPipe> pipe = OpenStream(path, mode & ~k_WriteBits);
    if (pipe.Get() == NullPipe())
        return String(path);
    std::string local;
    const Platform::FileHandle file = Platform::CreateTemporaryFile("", "~KXP", local);
    bool copied = file != Platform::FileHandle::Invalid;
    if (copied) {
        std::vector<unsigned char> block(k_CopyBlock);
        for (int n; copied && (n = pipe->Read(block.data(), k_CopyBlock)) > 0;)
            copied = Platform::WriteFileFully(file, block.data(), static_cast<size_t>(n)) == n;
        Platform::CloseFile(file);
        if (!copied)
            Platform::DeleteFile(local.c_str());
    }
    if (!copied) {
        Xreport.pLockWarn() << "Storage::OpenFileLocal: could not copy ";
        Xreport.pQuotedC(path, '"') << " to a temporary file.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return String(path);
    }
    return String(local.c_str());
}

void ExitStorage(int all) {
    t_Paths.m_Read.Clear();
    t_Paths.m_Write.Clear();
    if (all == 0)
        return;
    Array<String> names;
    Array<Obj<Archive>> archives;
    Array<int> lookups;
    {
        ArchiveCache& cache = Cache();
        CriticalSectionLock lock(cache.m_Section);
        names.Swap(cache.m_Names);
        archives.Swap(cache.m_Archives);
        lookups.Swap(cache.m_Lookups);
    }
    // Closed outside the lock, when the last reference goes; pipes handed out keep their own
    // file open.
    for (int i = 0; i < names.Size(); ++i) {
        Xreport.pLockDebug() << "Storage: releasing archive ";
        Xreport.pQuotedC(names[i], '"') << " after " << lookups[i] << " requests.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
}

} // namespace Quorlix
