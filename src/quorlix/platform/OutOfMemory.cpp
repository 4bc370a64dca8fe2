#include "quorlix/platform/OutOfMemory.h"

#include "quorlix/platform/Console.h"
#include "quorlix/platform/Dialog.h"

#include <atomic>
#include <cstring>
#include <new>
#include <sys/syscall.h>
#include <unistd.h>

namespace Quorlix::Platform {

const char* const k_OutOfMemoryCaption = "Quorlix: OUT OF MEMORY";
const char* const k_OutOfMemoryText =
    "  Quorlix: OUT OF MEMORY\n\nPlease try the following things:\n"
    "  - check the system requirements.\n"
    "  - enlarge the Windows pagefile.\n"
    "  - free more disk space for the pagefile.\n"
    "  - reduce the desktop resolution.\n"
    "  - reduce the window size.\n"
    "  - do not run other applications simultaneously.  \n"
    "Then restart this application.\n\nThis application must exit now.";

namespace {

std::atomic<OutOfMemoryDialogHook> G_DialogHook{nullptr};
// The thread that reports, 0 before the first report.
std::atomic<long> G_ReportingThread{0};

void NewHandler() {
    ReportOutOfMemory();
}

} // namespace

void ReportOutOfMemory() {
    // The thread id without the per-thread cache, whose first use may allocate.
    const long self = ::syscall(SYS_gettid);
    long expected = 0;
    if (!G_ReportingThread.compare_exchange_strong(expected, self)) {
        if (expected == self)
            ::_exit(-9); // the dialog ran out of memory itself
        while (true)
            ::pause(); // the reporting thread ends the process
    }
    // Only async-signal-safe calls and no allocation up to the dialog: the heap is what failed.
    WriteStandardError(k_OutOfMemoryText, std::strlen(k_OutOfMemoryText));
    WriteStandardError("\n", 1);
    if (OutOfMemoryDialogHook hook = G_DialogHook.load())
        hook(k_OutOfMemoryCaption, k_OutOfMemoryText);
    ::_exit(-9);
}

void SetOutOfMemoryDialogHook(OutOfMemoryDialogHook hook) {
    G_DialogHook.store(hook);
}

OutOfMemoryDialogHook GetOutOfMemoryDialogHook() {
    return G_DialogHook.load();
}

void ShowOutOfMemoryDialog(const char* caption, const char* text) {
    const DialogButton ok{1, "OK"};
    (void)ShowMessageDialog(caption, text, &ok, 1);
}

bool ChooseOutOfMemoryDialog() {
    const bool available = DialogsAvailable();
    SetOutOfMemoryDialogHook(available ? &ShowOutOfMemoryDialog : nullptr);
    return available;
}

void InstallOutOfMemoryNewHandler() {
    std::set_new_handler(&NewHandler);
}

// Allocation never returns null anywhere in the process that loads the library, the
// standard operator new included; where a person can answer, the report shows its dialog.
[[maybe_unused]] static const bool G_NewHandlerInstalled = (InstallOutOfMemoryNewHandler(), true);
[[maybe_unused]] static const bool G_DialogChosen = ChooseOutOfMemoryDialog();

} // namespace Quorlix::Platform
