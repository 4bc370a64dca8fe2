#pragma once
// The modules (the program and its shared objects) mapped into the process, and the file facts
// the library's self-checks need about module files. Nothing here allocates, so crash reports
// may use it.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>

namespace Quorlix::Platform {

/// Called once per loaded module with its path as the loader knows it (the program's own path
/// for the program) and its load address; returning false stops the walk.
using ModuleVisitor = bool (*)(const char* path, const void* base, void* context);

/// Visits every loaded module in the loader's order, the program first. Modules without a file
/// (the kernel's vDSO) are skipped.
QUORLIX_API void ForEachLoadedModule(ModuleVisitor visitor, void* context);

/// Copies the path of the module whose loaded segments contain `address` into `path` (cut to
/// `capacity` - 1 bytes, always terminated). False, with "" in `path`, when no module holds the
/// address.
QUORLIX_API bool ModuleOfAddress(const void* address, char* path, size_t capacity) noexcept;

/// Copies the module list (paths and loaded segments) into static storage for crash reports,
/// which may not ask the loader (it takes a lock that the crashed thread may hold). Runs when
/// the crash handler is installed and after every load and unload through LoadDynamicLibrary;
/// modules that a host loads on its own are seen from the next refresh on. At most 512 modules
/// with 64 KiB of paths are kept. Thread-safe.
QUORLIX_API void RefreshModuleSnapshot() noexcept;
/// ForEachLoadedModule and ModuleOfAddress over the last snapshot. Async-signal-safe.
QUORLIX_API void ForEachSnapshotModule(ModuleVisitor visitor, void* context) noexcept;
QUORLIX_API bool SnapshotModuleOfAddress(const void* address, char* path, size_t capacity) noexcept;

/// The load address of the module that holds `address` (its handle in the library's terms);
/// null when no module holds it.
QUORLIX_API const void* ModuleBaseOfAddress(const void* address) noexcept;

/// Whether the file name of `path` names an OpenGL or EGL library or a graphics driver that
/// serves one: a name containing "libGL" (libGL, libGLX, libGLdispatch, libGLESv2), "libEGL",
/// "libOpenGL", "nvidia", "mesa", "gallium", "radeon", "amdgpu", "iris", "i965", "crocus",
/// "nouveau", "swrast", "llvmpipe", "zink", "vmwgfx" or "_dri". Only the part after the last '/'
/// is looked at, so folder names never count.
QUORLIX_API bool IsGraphicsDriverModule(const char* path) noexcept;

/// The last-write time of the regular file `path` (the exact name, no case folding) as a 100-ns
/// count since 1601. False, with 0, for missing paths and for anything but a regular file.
QUORLIX_API bool GetFileWriteTime(const char* path, uint64_t& written) noexcept;

} // namespace Quorlix::Platform
