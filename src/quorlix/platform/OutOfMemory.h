#pragma once
// The library's out-of-memory policy: allocation never returns null. When memory runs out the
// process reports it and ends with exit code -9 (a parent sees exit status 247).

#include "quorlix/platform/Export.h"

namespace Quorlix::Platform {

/// Caption and text of the out-of-memory report.
extern QUORLIX_API const char* const k_OutOfMemoryCaption;
extern QUORLIX_API const char* const k_OutOfMemoryText;

/// Writes the report to standard error (and shows a dialog where the host allows dialogs),
/// then ends the process at once with exit code -9. Safe to call from any thread.
QUORLIX_API [[noreturn]] void ReportOutOfMemory();

/// Hook for the dialog step; the windowing layer installs one when dialogs are available.
/// The hook must not allocate from the exhausted heap unless it can cope with failure.
using OutOfMemoryDialogHook = void (*)(const char* caption, const char* text);
QUORLIX_API void SetOutOfMemoryDialogHook(OutOfMemoryDialogHook hook);

/// Installs ReportOutOfMemory as the std::new_handler. Done once when the library loads.
QUORLIX_API void InstallOutOfMemoryNewHandler();

} // namespace Quorlix::Platform
