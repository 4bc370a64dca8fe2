#include "quorlix/platform/DynamicLibrary.h"

#include "quorlix/platform/CrashSignals.h"
#include "quorlix/platform/LoadedModules.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>

namespace Quorlix::Platform {

namespace {
thread_local std::string G_LastError;

void RememberError() {
    const char* text = ::dlerror();
    G_LastError = text != nullptr ? text : "";
}
} // namespace

DynamicLibrary* LoadDynamicLibrary(const char* fileName) {
    if (fileName == nullptr || *fileName == '\0') {
        G_LastError = "empty library name";
        return nullptr;
    }
    void* handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        RememberError();
    else
        G_LastError.clear();
    // A crash report names modules from the snapshot: keep it current.
    if (handle != nullptr && IsCrashHandlerInstalled())
        RefreshModuleSnapshot();
    return static_cast<DynamicLibrary*>(handle);
}

void* FindLibrarySymbol(DynamicLibrary* library, const char* name) {
    if (library == nullptr || name == nullptr)
        return nullptr;
    ::dlerror();
    void* symbol = ::dlsym(library, name);
    if (symbol == nullptr)
        RememberError();
    return symbol;
}

void UnloadDynamicLibrary(DynamicLibrary* library) {
    if (library == nullptr)
        return;
    ::dlclose(library);
    if (IsCrashHandlerInstalled())
        RefreshModuleSnapshot();
}

std::string LastLibraryError() {
    return G_LastError;
}

std::string ModulePathOfAddress(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr || *info.dli_fname == '\0')
        return {};
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) == nullptr)
        return info.dli_fname;
    return resolved;
}

std::string LibraryPath() {
    return ModulePathOfAddress(reinterpret_cast<const void*>(&LibraryPath));
}

} // namespace Quorlix::Platform
