#pragma once
// Run-time loading of shared libraries and the location of this library itself.

#include "quorlix/platform/Export.h"

#include <string>

namespace Quorlix::Platform {

struct DynamicLibrary;

/// Loads a shared library by file name or path. Returns null on failure; LastLibraryError
/// then tells why.
QUORLIX_API DynamicLibrary* LoadDynamicLibrary(const char* fileName);
/// Looks up an exported symbol; null when the library does not export it.
QUORLIX_API void* FindLibrarySymbol(DynamicLibrary* library, const char* name);
QUORLIX_API void UnloadDynamicLibrary(DynamicLibrary* library);
/// The loader's message for the last failure on this thread ("" when none).
QUORLIX_API std::string LastLibraryError();

/// Absolute path of the loaded module that contains `address` ("" when none does).
QUORLIX_API std::string ModulePathOfAddress(const void* address);
/// Absolute path of this library's own file.
QUORLIX_API std::string LibraryPath();

} // namespace Quorlix::Platform
