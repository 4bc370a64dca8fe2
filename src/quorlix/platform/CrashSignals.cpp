#include "quorlix/platform/CrashSignals.h"

#include "quorlix/platform/LoadedModules.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/uio.h>
#include <ucontext.h>
#include <unistd.h>

namespace Quorlix::Platform {

namespace {

constexpr int k_Signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT};
constexpr int k_SignalCount = sizeof k_Signals / sizeof k_Signals[0];
// Large enough for a report written by instrumented (sanitizer) code.
constexpr size_t k_AlternateStackBytes = 256 * 1024;

std::atomic<CrashCallback> G_Callback{nullptr};
std::atomic<bool> G_Installed{false};
std::atomic<bool> G_Reported{false};
std::atomic<unsigned> G_ReportSeconds{k_CrashReportSeconds};
volatile sig_atomic_t G_CrashSignal = 0;
struct sigaction G_Previous[k_SignalCount];

void RestorePreviousActions() noexcept {
    if (!G_Installed.exchange(false))
        return;
    for (int i = 0; i < k_SignalCount; ++i)
        ::sigaction(k_Signals[i], &G_Previous[i], nullptr);
}

const void* InstructionAddress(const siginfo_t* info, const void* context) noexcept {
    const auto* frame = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    if (frame != nullptr)
        return reinterpret_cast<const void*>(frame->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    if (frame != nullptr)
        return reinterpret_cast<const void*>(frame->uc_mcontext.pc);
#endif
    return info != nullptr ? info->si_addr : nullptr;
}

// The report did not finish in time (it waits for a lock, or a write that never ends): end
// the process by the crash's signal with its default action, from whichever thread got the
// alarm; should even that fail, exit with the status a shell gives that signal.
void WatchdogHandler(int) {
    const int signal = G_CrashSignal;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    sigset_t crash;
    sigemptyset(&crash);
    sigaddset(&crash, signal);
    ::pthread_sigmask(SIG_UNBLOCK, &crash, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);
}

void ArmWatchdog(int signal) noexcept {
    G_CrashSignal = signal;
    struct sigaction watchdog {};
    watchdog.sa_handler = &WatchdogHandler;
    watchdog.sa_flags = SA_ONSTACK;
    sigemptyset(&watchdog.sa_mask);
    ::sigaction(SIGALRM, &watchdog, nullptr);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    ::pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);
    ::alarm(G_ReportSeconds.load());
}

void CrashHandler(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    // Earlier actions first: a fault inside the report ends the process instead of recursing.
    RestorePreviousActions();
    CrashInfo crash{};
    crash.m_Signal = signal;
    crash.m_Code = CrashCodeOfSignal(signal);
    crash.m_Address = InstructionAddress(info, context);
    if ((signal == SIGSEGV || signal == SIGBUS) && info != nullptr)
        crash.m_DataAddress = info->si_addr;
    // Threads that crash at the same time: only the first one reports.
    const CrashCallback callback = G_Callback.load(std::memory_order_acquire);
    if (callback != nullptr && !G_Reported.exchange(true)) {
        ArmWatchdog(signal);
        callback(crash);
        ::alarm(0);
    }
    // A fault raised by the processor recurs when its instruction runs again and then reaches
    // the earlier action with its own signal information; everything else is raised again. The
    // signal stays blocked until this handler returns.
    const bool fault =
        info != nullptr && info->si_code > 0 && signal != SIGTRAP && signal != SIGABRT;
    if (!fault)
        ::raise(signal);
    errno = savedErrno;
}

thread_local bool G_ThreadHasStack = false;

// The installing thread gets an alternate stack unless it has one (a sanitizer's, the host's).
// It is never freed: the thread may still crash after the handler went and came back.
void EnsureAlternateStack() {
    if (G_ThreadHasStack)
        return;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) {
        G_ThreadHasStack = true;
        return;
    }
    void* memory = ::mmap(nullptr, k_AlternateStackBytes, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED)
        return; // reports still work, only not after a stack overflow
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = k_AlternateStackBytes;
    if (::sigaltstack(&stack, nullptr) == 0)
        G_ThreadHasStack = true;
    else
        ::munmap(memory, k_AlternateStackBytes);
}

// Pipe round trip: the kernel answers a bad source address with EFAULT instead of a signal.
size_t ReadThroughPipe(const void* address, void* buffer, size_t bytes) noexcept {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return 0;
    size_t copied = 0;
    ssize_t written;
    do
        written = ::write(ends[1], address, bytes);
    while (written < 0 && errno == EINTR);
    if (written > 0) {
        ssize_t got;
        do
            got = ::read(ends[0], buffer, static_cast<size_t>(written));
        while (got < 0 && errno == EINTR);
        if (got > 0)
            copied = static_cast<size_t>(got);
    }
    ::close(ends[0]);
    ::close(ends[1]);
    return copied;
}

} // namespace

uint32_t CrashCodeOfSignal(int signal) noexcept {
    switch (signal) {
    case SIGSEGV:
        return k_CodeAccessViolation;
    case SIGILL:
        return k_CodeIllegalInstruction;
    case SIGFPE:
        return k_CodeIntegerDivideByZero;
    case SIGBUS:
        return k_CodeInPageError;
    case SIGTRAP:
        return k_CodeBreakpoint;
    case SIGABRT:
        return k_CodeFatalAppExit;
    default:
        return 0;
    }
}

void InstallCrashHandler(CrashCallback callback, unsigned reportSeconds) {
    G_ReportSeconds.store(reportSeconds > 0 ? reportSeconds : 1);
    G_Callback.store(callback, std::memory_order_release);
    EnsureAlternateStack();
    RefreshModuleSnapshot();
    if (G_Installed.load())
        return;
    G_Reported.store(false);
    struct sigaction action {};
    action.sa_sigaction = &CrashHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < k_SignalCount; ++i)
        ::sigaction(k_Signals[i], &action, &G_Previous[i]);
    G_Installed.store(true);
}

void RemoveCrashHandler() {
    RestorePreviousActions();
}

bool IsCrashHandlerInstalled() noexcept {
    return G_Installed.load();
}

size_t ReadMemoryProtected(const void* address, void* buffer, size_t bytes) noexcept {
    if (address == nullptr || buffer == nullptr)
        return 0;
    // Piece by piece up to 4 KiB boundaries, so that the bytes before an unreadable page count.
    constexpr uintptr_t k_Piece = 4096;
    static std::atomic<bool> vmReadWorks{true};
    size_t copied = 0;
    while (copied < bytes) {
        const uintptr_t from = reinterpret_cast<uintptr_t>(address) + copied;
        size_t piece = static_cast<size_t>(k_Piece - from % k_Piece);
        if (piece > bytes - copied)
            piece = bytes - copied;
        auto* to = static_cast<char*>(buffer) + copied;
        size_t got = 0;
        if (vmReadWorks.load(std::memory_order_relaxed)) {
            iovec local{to, piece};
            iovec remote{reinterpret_cast<void*>(from), piece};
            const ssize_t result = ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0);
            if (result > 0)
                got = static_cast<size_t>(result);
            else if (result < 0 && (errno == ENOSYS || errno == EPERM))
                vmReadWorks.store(false, std::memory_order_relaxed); // a sandbox forbids it
        }
        if (!vmReadWorks.load(std::memory_order_relaxed))
            got = ReadThroughPipe(reinterpret_cast<const void*>(from), to, piece);
        copied += got;
        if (got < piece)
            break;
    }
    return copied;
}

} // namespace Quorlix::Platform
