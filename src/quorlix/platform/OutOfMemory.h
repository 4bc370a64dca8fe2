#pragma once
// The library's out-of-memory policy: allocation never returns null. When memory runs out the
// process reports it and ends with exit code -9 (a parent sees exit status 247).

#include "quorlix/platform/Export.h"

namespace Quorlix::Platform {

/// Caption and text of the out-of-memory report.
extern QUORLIX_API const char* const k_OutOfMemoryCaption;
extern QUORLIX_API const char* const k_OutOfMemoryText;

/// Writes the report to standard error, shows the dialog when one is installed (see
/// ChooseOutOfMemoryDialog), then ends the process at once with exit code -9. Safe to call from
/// any thread: the first caller reports; an allocation failure inside the report (the dialog's)
/// exits at once, and other threads wait for the reporting one to end the process.
[[noreturn]] QUORLIX_API void ReportOutOfMemory();

/// Hook for the dialog step. It may allocate: a failure inside it ends the process at once.
using OutOfMemoryDialogHook = void (*)(const char* caption, const char* text);
QUORLIX_API void SetOutOfMemoryDialogHook(OutOfMemoryDialogHook hook);
QUORLIX_API OutOfMemoryDialogHook GetOutOfMemoryDialogHook();

/// The library's out-of-memory dialog: a message dialog with an OK button (ShowMessageDialog).
QUORLIX_API void ShowOutOfMemoryDialog(const char* caption, const char* text);

/// Installs ShowOutOfMemoryDialog as the hook when dialogs are available (DialogsAvailable: a
/// display and no QUORLIX_NO_DIALOGS, or a stand-in hook) and removes it otherwise, so the
/// report never waits for a person where none can answer. Returns whether it is installed. Runs
/// when the library loads; the choice is made ahead because the environment cannot be read
/// safely once memory is gone.
QUORLIX_API bool ChooseOutOfMemoryDialog();

/// Installs ReportOutOfMemory as the std::new_handler. Done once when the library loads.
QUORLIX_API void InstallOutOfMemoryNewHandler();

} // namespace Quorlix::Platform
