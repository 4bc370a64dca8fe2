#pragma once
// Run-time loading of shared libraries and the location of this library itself.

#include <string>

namespace Quorlix::Platform {

struct DynamicLibrary;

/// Loads a shared library by file name or path. Returns null on failure; LastLibraryError
/// then tells why.
DynamicLibrary* LoadDynamicLibrary(const char* fileName);
/// Looks up an exported symbol; null when the library does not export it.
void* FindLibrarySymbol(DynamicLibrary* library, const char* name);
void UnloadDynamicLibrary(DynamicLibrary* library);
/// The loader's message for the last failure on this thread ("" when none).
std::string LastLibraryError();

/// Absolute path of the loaded module that contains `address` ("" when none does).
std::string ModulePathOfAddress(const void* address);
/// Absolute path of this library's own file.
std::string LibraryPath();

} // namespace Quorlix::Platform
