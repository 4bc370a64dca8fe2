#pragma once
// Named byte blobs compiled into a module. A module that carries resources exports
//
//   extern "C" const void* QuorlixResourceTable(size_t* count);
//
// returning an array of `count` entries { const char* name; const unsigned char* data;
// size_t size; }. cmake/QuorlixResources.cmake generates it.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <string_view>

namespace Quorlix::Platform {

struct DynamicLibrary;

/// A resource found in a loaded module. The module stays loaded until the resource is released,
/// so the bytes may be read in place.
struct QUORLIX_API ModuleResource {
    const unsigned char* m_Data = nullptr;
    size_t m_Size = 0;
    DynamicLibrary* m_Module = nullptr;
};

/// Finds resource `name` in the module `module` that is already loaded in the process; nothing
/// is loaded by this call. Without a '/', `module` names a module by its file name, where the
/// "lib" prefix and a ".so" (or ".dll", ".exe") suffix are optional and letters compare ignoring
/// ASCII case, so "Quorlix010219" names libQuorlix010219.so; the main program answers to its own
/// file name. With a '/', it must equal the module's path. Resource names compare ignoring ASCII
/// case. False when the module or the resource is not there.
QUORLIX_API bool FindModuleResource(std::string_view module, std::string_view name,
                                    ModuleResource& found);
/// Lets the module go; `resource` is emptied.
QUORLIX_API void ReleaseModuleResource(ModuleResource& resource) noexcept;

} // namespace Quorlix::Platform
