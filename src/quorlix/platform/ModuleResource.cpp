#include "quorlix/platform/ModuleResource.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace Quorlix::Platform {

namespace {

// Must match the table that cmake/QuorlixResources.cmake generates.
struct ResourceEntry {
    const char* m_Name;
    const unsigned char* m_Data;
    size_t m_Size;
};
using ResourceTableFunction = const void* (*)(size_t* count);

// More entries than this means the symbol is not a resource table.
constexpr size_t k_MaxResources = size_t{1} << 20;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           EqualIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// "libQuorlix010219.so", "Quorlix010219.dll" and "Quorlix010219" all give "Quorlix010219".
std::string_view Stem(std::string_view fileName) {
    for (std::string_view suffix : {".so", ".dll", ".exe"}) {
        if (EndsWithIgnoringCase(fileName, suffix)) {
            fileName.remove_suffix(suffix.size());
            break;
        }
    }
    if (StartsWithIgnoringCase(fileName, "lib") && fileName.size() > 3)
        fileName.remove_prefix(3);
    return fileName;
}

std::string_view FileNameOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string ExecutablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 && static_cast<size_t>(length) < sizeof buffer
               ? std::string(buffer, static_cast<size_t>(length))
               : std::string();
}

struct Segment {
    uintptr_t m_Begin;
    uintptr_t m_End;
};

struct ModuleSearch {
    std::string_view m_Wanted;
    bool m_Found = false;
    bool m_SeenMainProgram = false;
    bool m_IsMainProgram = false;
    std::string m_Path;
    std::vector<Segment> m_Segments;
};

bool Matches(std::string_view wanted, const std::string& path) {
    if (path.empty())
        return false;
    if (wanted.find('/') != std::string_view::npos) {
        if (wanted == path)
            return true;
        char left[PATH_MAX], right[PATH_MAX];
        return ::realpath(std::string(wanted).c_str(), left) != nullptr &&
               ::realpath(path.c_str(), right) != nullptr && std::strcmp(left, right) == 0;
    }
    return EqualIgnoringCase(Stem(wanted), Stem(FileNameOf(path)));
}

int VisitModule(dl_phdr_info* info, size_t, void* data) {
    auto& search = *static_cast<ModuleSearch*>(data);
    const bool isMain = info->dlpi_name == nullptr || info->dlpi_name[0] == '\0';
    // Only the first object without a name is the main program (the vDSO has a name).
    if (isMain && search.m_SeenMainProgram)
        return 0;
    if (isMain)
        search.m_SeenMainProgram = true;
    std::string path = isMain ? ExecutablePath() : std::string(info->dlpi_name);
    if (!Matches(search.m_Wanted, path))
        return 0;
    search.m_Found = true;
    search.m_IsMainProgram = isMain;
    search.m_Path = std::move(path);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD) {
            const uintptr_t begin = info->dlpi_addr + header.p_vaddr;
            search.m_Segments.push_back({begin, begin + header.p_memsz});
        }
    }
    return 1;
}

bool Inside(const std::vector<Segment>& segments, const void* address) {
    const auto at = reinterpret_cast<uintptr_t>(address);
    for (const Segment& segment : segments)
        if (at >= segment.m_Begin && at < segment.m_End)
            return true;
    return false;
}

} // namespace

bool FindModuleResource(std::string_view module, std::string_view name, ModuleResource& found) {
    found = ModuleResource{};
    if (module.empty() || name.empty())
        return false;
    ModuleSearch search;
    search.m_Wanted = module;
    ::dl_iterate_phdr(&VisitModule, &search);
    if (!search.m_Found)
        return false;
    // RTLD_NOLOAD: only modules that are already there; the handle keeps it loaded meanwhile.
    void* handle = search.m_IsMainProgram
                       ? ::dlopen(nullptr, RTLD_LAZY)
                       : ::dlopen(search.m_Path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    // dlsym also searches the module's dependencies: the table must be the module's own.
    void* symbol = ::dlsym(handle, "QuorlixResourceTable");
    if (symbol != nullptr && Inside(search.m_Segments, symbol)) {
        size_t count = 0;
        const auto* table = static_cast<const ResourceEntry*>(
            reinterpret_cast<ResourceTableFunction>(symbol)(&count));
        if (table != nullptr && count <= k_MaxResources) {
            for (size_t i = 0; i < count; ++i) {
                const ResourceEntry& entry = table[i];
                if (entry.m_Name != nullptr && entry.m_Data != nullptr &&
                    EqualIgnoringCase(entry.m_Name, name)) {
                    found.m_Data = entry.m_Data;
                    found.m_Size = entry.m_Size;
                    found.m_Module = static_cast<DynamicLibrary*>(handle);
                    return true;
                }
            }
        }
    }
    ::dlclose(handle);
    return false;
}

void ReleaseModuleResource(ModuleResource& resource) noexcept {
    if (resource.m_Module != nullptr)
        ::dlclose(resource.m_Module);
    resource = ModuleResource{};
}

} // namespace Quorlix::Platform
