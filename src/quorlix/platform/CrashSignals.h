#pragma once
// The crash signals of the process (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT), reported
// with Windows-style exception codes so that crash reports read the same everywhere:
//
//   SIGSEGV  0xC0000005  access violation
//   SIGILL   0xC000001D  illegal instruction
//   SIGFPE   0xC0000094  integer division by zero (every arithmetic fault)
//   SIGBUS   0xC0000006  in-page error: a mapped file page that cannot be read
//   SIGTRAP  0x80000003  breakpoint
//   SIGABRT  0x40000015  fatal application exit (abort)
//
// and a memory read that cannot fault, for reports that follow pointers they cannot trust.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>

namespace Quorlix::Platform {

constexpr uint32_t k_CodeAccessViolation = 0xC0000005u;
constexpr uint32_t k_CodeIllegalInstruction = 0xC000001Du;
constexpr uint32_t k_CodeIntegerDivideByZero = 0xC0000094u;
constexpr uint32_t k_CodeInPageError = 0xC0000006u;
constexpr uint32_t k_CodeBreakpoint = 0x80000003u;
constexpr uint32_t k_CodeFatalAppExit = 0x40000015u;

/// What the handler learned about one crash.
struct QUORLIX_API CrashInfo {
    int m_Signal;
    uint32_t m_Code;           // the Windows-style code above
    const void* m_Address;     // the faulting instruction (the interrupted one for sent signals)
    const void* m_DataAddress; // the address that faulted (SIGSEGV, SIGBUS), else null
};

/// Receives a crash on the crashing thread, in signal context (on the alternate stack when the
/// thread has one). It must use only async-signal-safe calls: the crash may have happened
/// inside the allocator or while another thread holds any lock.
using CrashCallback = void (*)(const CrashInfo& crash) noexcept;

/// The code reported for `signal`; 0 for signals that are not crash signals.
QUORLIX_API uint32_t CrashCodeOfSignal(int signal) noexcept;

/// Seconds a crash report may take before the watchdog ends the process.
constexpr unsigned k_CrashReportSeconds = 5;

/// Installs the handler of the six crash signals with `callback` (replacing an earlier callback
/// of ours), gives the calling thread an alternate signal stack unless it has one, so a stack
/// overflow on that thread is still reported (other threads report overflows only when they
/// have an alternate stack of their own), and takes the module snapshot the report reads
/// (RefreshModuleSnapshot).
///
/// On a crash the handler first restores the actions that were there before it, for all six
/// signals (a fault inside the report then ends the process instead of recursing), arms a
/// watchdog of `reportSeconds` (SIGALRM), calls the callback once, and re-raises the signal,
/// which then takes its earlier action: by default the process ends by the signal. A report
/// that has not returned when the watchdog fires is abandoned: the process ends by the crash's
/// signal with its default action.
QUORLIX_API void InstallCrashHandler(CrashCallback callback,
                                     unsigned reportSeconds = k_CrashReportSeconds);
/// Restores the earlier actions; nothing when the handler is not installed.
QUORLIX_API void RemoveCrashHandler();
QUORLIX_API bool IsCrashHandlerInstalled() noexcept;

/// Copies up to `bytes` bytes from `address` of this process into `buffer` without ever
/// faulting: the bytes copied, which stop short at the first unreadable page; 0 when nothing is
/// readable. Async-signal-safe.
QUORLIX_API size_t ReadMemoryProtected(const void* address, void* buffer, size_t bytes) noexcept;

} // namespace Quorlix::Platform
