#include "quorlix/core/Module.h"

#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/LoadedModules.h"

#include <cstring>
#include <string>

namespace Quorlix {

int G_SIGCRASH = 0;
int G_SIGABORT = 0;

namespace {

constexpr size_t k_ModulePathBytes = 1024;

void* G_Module = nullptr;
char G_ModulePath[k_ModulePathBytes] = {};

// What the load notification does: no lock, no class system, only the module's identity.
__attribute__((constructor)) void OnLibraryLoad() {
    G_SIGABORT = 0;
    if (G_Module != nullptr)
        return;
    G_Module = const_cast<void*>(Platform::ModuleBaseOfAddress(&G_ModulePath));
    const std::string path = Platform::LibraryPath();
    std::strncpy(G_ModulePath, path.c_str(), k_ModulePathBytes - 1);
}

} // namespace

void* DLLGetModule() {
    return G_Module;
}

const char* DLLGetModulePath() {
    return G_ModulePath;
}

int DLLGetCrashStatus() {
    return G_SIGCRASH;
}

} // namespace Quorlix
