#include "quorlix/platform/LoadedModules.h"

#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace Quorlix::Platform {

namespace {

// The loader names the program "" and the vDSO by a name that is no file.
const char* ModuleName(const dl_phdr_info* info, char* programPath, size_t capacity) {
    const char* name = info->dlpi_name;
    if (name != nullptr && name[0] != '\0')
        return std::strncmp(name, "linux-vdso", 10) == 0 ||
                       std::strncmp(name, "linux-gate", 10) == 0
                   ? nullptr
                   : name;
    const ssize_t length = ::readlink("/proc/self/exe", programPath, capacity - 1);
    if (length <= 0)
        return nullptr;
    programPath[length] = '\0';
    return programPath;
}

struct Walk {
    ModuleVisitor m_Visitor;
    void* m_Context;
};

int VisitModule(dl_phdr_info* info, size_t, void* data) {
    auto* walk = static_cast<Walk*>(data);
    char programPath[1024];
    const char* name = ModuleName(info, programPath, sizeof programPath);
    if (name == nullptr)
        return 0;
    return walk->m_Visitor(name, reinterpret_cast<const void*>(info->dlpi_addr), walk->m_Context)
               ? 0
               : 1;
}

struct Search {
    uintptr_t m_Address;
    char* m_Path;
    size_t m_Capacity;
    bool m_Found;
};

int FindContainingModule(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (search->m_Address < start || search->m_Address - start >= segment.p_memsz)
            continue;
        char programPath[1024];
        const char* name = ModuleName(info, programPath, sizeof programPath);
        if (name == nullptr)
            return 1; // the vDSO holds it: no file to name
        std::strncpy(search->m_Path, name, search->m_Capacity - 1);
        search->m_Path[search->m_Capacity - 1] = '\0';
        search->m_Found = true;
        return 1;
    }
    return 0;
}

// Two snapshots: a refresh fills the one not published and then publishes it, so a crash report
// reading the published one never sees it change (unless two refreshes pass during one report).
constexpr int k_SnapshotModules = 512;
constexpr int k_SnapshotRanges = 2048;
constexpr size_t k_SnapshotPathBytes = 64 * 1024;

struct Snapshot {
    struct Range {
        uintptr_t m_Start, m_End;
        int m_Module;
    };
    int m_Modules;
    int m_Ranges;
    size_t m_PathBytes;
    uint32_t m_PathOffset[k_SnapshotModules];
    const void* m_Base[k_SnapshotModules];
    Range m_Range[k_SnapshotRanges];
    char m_Paths[k_SnapshotPathBytes];
};

Snapshot G_Snapshots[2];
std::atomic<const Snapshot*> G_Published{nullptr};
std::mutex G_RefreshLock;

int AddToSnapshot(dl_phdr_info* info, size_t, void* data) {
    auto* snapshot = static_cast<Snapshot*>(data);
    char programPath[1024];
    const char* name = ModuleName(info, programPath, sizeof programPath);
    if (name == nullptr)
        return 0;
    const size_t length = std::strlen(name) + 1;
    if (snapshot->m_Modules == k_SnapshotModules ||
        length > k_SnapshotPathBytes - snapshot->m_PathBytes)
        return 1; // full: the rest stays unknown
    const int module = snapshot->m_Modules++;
    snapshot->m_PathOffset[module] = static_cast<uint32_t>(snapshot->m_PathBytes);
    std::memcpy(snapshot->m_Paths + snapshot->m_PathBytes, name, length);
    snapshot->m_PathBytes += length;
    snapshot->m_Base[module] = reinterpret_cast<const void*>(info->dlpi_addr);
    for (int i = 0; i < info->dlpi_phnum && snapshot->m_Ranges < k_SnapshotRanges; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        snapshot->m_Range[snapshot->m_Ranges++] = {start, start + segment.p_memsz, module};
    }
    return 0;
}

bool Contains(const char* name, const char* part) {
    return std::strstr(name, part) != nullptr;
}

} // namespace

void ForEachLoadedModule(ModuleVisitor visitor, void* context) {
    if (visitor == nullptr)
        return;
    Walk walk{visitor, context};
    ::dl_iterate_phdr(&VisitModule, &walk);
}

bool ModuleOfAddress(const void* address, char* path, size_t capacity) noexcept {
    if (path == nullptr || capacity == 0)
        return false;
    path[0] = '\0';
    if (address == nullptr)
        return false;
    Search search{reinterpret_cast<uintptr_t>(address), path, capacity, false};
    ::dl_iterate_phdr(&FindContainingModule, &search);
    return search.m_Found;
}

void RefreshModuleSnapshot() noexcept {
    std::lock_guard<std::mutex> lock(G_RefreshLock);
    Snapshot* next = G_Published.load() == &G_Snapshots[0] ? &G_Snapshots[1] : &G_Snapshots[0];
    next->m_Modules = 0;
    next->m_Ranges = 0;
    next->m_PathBytes = 0;
    ::dl_iterate_phdr(&AddToSnapshot, next);
    G_Published.store(next);
}

void ForEachSnapshotModule(ModuleVisitor visitor, void* context) noexcept {
    const Snapshot* snapshot = G_Published.load();
    if (visitor == nullptr || snapshot == nullptr)
        return;
    for (int i = 0; i < snapshot->m_Modules; ++i)
        if (!visitor(snapshot->m_Paths + snapshot->m_PathOffset[i], snapshot->m_Base[i], context))
            return;
}

bool SnapshotModuleOfAddress(const void* address, char* path, size_t capacity) noexcept {
    if (path == nullptr || capacity == 0)
        return false;
    path[0] = '\0';
    const Snapshot* snapshot = G_Published.load();
    if (address == nullptr || snapshot == nullptr)
        return false;
    const auto at = reinterpret_cast<uintptr_t>(address);
    for (int i = 0; i < snapshot->m_Ranges; ++i) {
        const Snapshot::Range& range = snapshot->m_Range[i];
        if (at < range.m_Start || at >= range.m_End)
            continue;
        std::strncpy(path, snapshot->m_Paths + snapshot->m_PathOffset[range.m_Module],
                     capacity - 1);
        path[capacity - 1] = '\0';
        return true;
    }
    return false;
}

const void* ModuleBaseOfAddress(const void* address) noexcept {
    Dl_info info{};
    if (address == nullptr || ::dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
}

bool IsGraphicsDriverModule(const char* path) noexcept {
    if (path == nullptr)
        return false;
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    static const char* const k_Parts[] = {
        "libGL", "libEGL", "libOpenGL", "nvidia", "mesa",     "gallium", "radeon", "amdgpu", "iris",
        "i965",  "crocus", "nouveau",   "swrast", "llvmpipe", "zink",    "vmwgfx", "_dri"};
    for (const char* part : k_Parts)
        if (Contains(name, part))
            return true;
    return false;
}

bool GetFileWriteTime(const char* path, uint64_t& written) noexcept {
    written = 0;
    struct stat status {};
    if (path == nullptr || ::stat(path, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    // 100-ns steps since 1601; 11,644,473,600 s lie between 1601 and 1970.
    constexpr int64_t k_EpochDifference = 11644473600LL;
    const int64_t seconds = static_cast<int64_t>(status.st_mtim.tv_sec) + k_EpochDifference;
    if (seconds < 0)
        return true; // before 1601: no FILETIME holds it; 0 stands for "unknown"
    written = static_cast<uint64_t>(seconds) * 10000000u +
              static_cast<uint64_t>(status.st_mtim.tv_nsec) / 100u;
    return true;
}

} // namespace Quorlix::Platform
