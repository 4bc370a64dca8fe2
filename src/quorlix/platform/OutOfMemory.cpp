#include "quorlix/platform/OutOfMemory.h"

#include "quorlix/platform/Console.h"

#include <atomic>
#include <cstring>
#include <new>
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

void NewHandler() { ReportOutOfMemory(); }

} // namespace

void ReportOutOfMemory() {
    // Only async-signal-safe calls and no allocation: the heap is what failed.
    WriteStandardError(k_OutOfMemoryText, std::strlen(k_OutOfMemoryText));
    WriteStandardError("\n", 1);
    if (OutOfMemoryDialogHook hook = G_DialogHook.load())
        hook(k_OutOfMemoryCaption, k_OutOfMemoryText);
    ::_exit(-9);
}

void SetOutOfMemoryDialogHook(OutOfMemoryDialogHook hook) { G_DialogHook.store(hook); }

void InstallOutOfMemoryNewHandler() { std::set_new_handler(&NewHandler); }

// Allocation never returns null anywhere in the process that loads the library, the
// standard operator new included.
[[maybe_unused]] static const bool G_NewHandlerInstalled = (InstallOutOfMemoryNewHandler(), true);

} // namespace Quorlix::Platform
