#include "quorlix/platform/LoadedModules.h"

#include <cstring>
#include <dlfcn.h>
#include <link.h>
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
