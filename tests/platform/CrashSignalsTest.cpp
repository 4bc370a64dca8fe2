#include "quorlix/platform/CrashSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace Quorlix::Platform;

// An illegal instruction at a known address.
extern "C" void QuorlixTestIllegalInstruction();
asm(".text\n"
    ".globl QuorlixTestIllegalInstruction\n"
    ".type QuorlixTestIllegalInstruction, @function\n"
    "QuorlixTestIllegalInstruction:\n"
    "    ud2\n"
    "    ret\n");

namespace {

void ReportCrash(const CrashInfo& crash) noexcept {
    ::dprintf(2, "report signal=%d code=%08X data=%p at=%d\n", crash.m_Signal, crash.m_Code,
              crash.m_DataAddress,
              crash.m_Address == reinterpret_cast<const void*>(&QuorlixTestIllegalInstruction));
}

// The faults are made on purpose: the undefined-behaviour checker must let them happen.
__attribute__((noipa, no_sanitize("undefined"))) int Divide(int a, int b) {
    return a / b;
}
__attribute__((noipa, no_sanitize("undefined"))) void StoreAt(uintptr_t address) {
    *reinterpret_cast<volatile int*>(address) = 1;
}

void FaultInReport(const CrashInfo&) noexcept {
    ::dprintf(2, "report\n");
    StoreAt(0);
}

int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == 1 << 30) // never: only keeps the compiler from calling this an endless loop
        return 0;
    return Recurse(depth + 1) + frame[0];
}

void PreviousHandler(int) {
    ::dprintf(2, "previous\n");
    ::_exit(42);
}

} // namespace

TEST(CrashSignalsDeathTest, ReportsOnceThenTheEarlierActionEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        CrashCallback m_Report;
        void (*m_Fault)();
        std::function<bool(int)> m_Status;
        const char* m_Output;
    };
    using testing::KilledBySignal;
    const Case cases[] = {
        {&ReportCrash, [] { StoreAt(24); }, KilledBySignal(SIGSEGV),
         "^report signal=11 code=C0000005 data=0x18 at=0\n$"},
        {&ReportCrash, [] { QuorlixTestIllegalInstruction(); }, KilledBySignal(SIGILL),
         "^report signal=4 code=C000001D data=\\(nil\\) at=1\n$"},
        {&ReportCrash, [] { std::printf("%d", Divide(7, 0)); }, KilledBySignal(SIGFPE),
         "^report signal=8 code=C0000094"},
        {&ReportCrash, [] { std::abort(); }, KilledBySignal(SIGABRT),
         "^report signal=6 code=40000015"},
        // The alternate stack carries the report after the thread's own stack is used up.
        {&ReportCrash, [] { std::printf("%d", Recurse(0)); }, KilledBySignal(SIGSEGV),
         "^report signal=11 code=C0000005"},
        // A fault in the report reaches the earlier (default) action: one report, no loop.
        {&FaultInReport, [] { std::raise(SIGABRT); }, KilledBySignal(SIGSEGV), "^report\n$"},
        // After the report the earlier handler gets the signal.
        {&ReportCrash, [] { std::raise(SIGBUS); }, testing::ExitedWithCode(42),
         "^report signal=7 .*\nprevious\n$"},
    };
    for (const Case& fault : cases) {
        // Sanitizers install their own fault handlers; the child starts from the default actions.
        EXPECT_EXIT(
            {
                for (int signal : {SIGSEGV, SIGILL, SIGFPE, SIGTRAP, SIGABRT})
                    std::signal(signal, SIG_DFL);
                std::signal(SIGBUS, &PreviousHandler);
                InstallCrashHandler(fault.m_Report);
                fault.m_Fault();
            },
            fault.m_Status, fault.m_Output);
    }
}

namespace {

// A lock that another thread took and never gives back.
std::mutex G_HeldForEver;

void ReportWaitingForTheLock(const CrashInfo&) noexcept {
    ::dprintf(2, "report\n");
    G_HeldForEver.lock();
}

void ReportInTime(const CrashInfo&) noexcept {
    ::dprintf(2, "report\n");
}

// After a report that returned: the earlier handler takes longer than the watchdog's second.
void SlowPreviousHandler(int) {
    ::sleep(2);
    ::_exit(42);
}

struct Ending {
    int m_Status;
    double m_Seconds;
};

// Runs `body` in a child and waits up to 20 s for its end (then kills it).
Ending RunChild(void (*body)()) {
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(1);
        body();
        ::_exit(3);
    }
    Ending ending{-1, 0};
    for (int i = 0; i < 2000; ++i) {
        if (::waitpid(child, &ending.m_Status, WNOHANG) == child)
            break;
        ::usleep(10000);
    }
    if (ending.m_Status == -1) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    ending.m_Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return ending;
}

void DefaultActions() {
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT})
        std::signal(signal, SIG_DFL);
}

} // namespace

TEST(CrashSignals, WatchdogEndsAReportThatStallsByTheCrashSignal) {
    const Ending stalled = RunChild([] {
        DefaultActions();
        std::thread([] {
            G_HeldForEver.lock();
            ::pause();
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        InstallCrashHandler(&ReportWaitingForTheLock, 1);
        StoreAt(8);
    });
    EXPECT_TRUE(WIFSIGNALED(stalled.m_Status) && WTERMSIG(stalled.m_Status) == SIGSEGV)
        << stalled.m_Status;
    EXPECT_GE(stalled.m_Seconds, 0.9);
    EXPECT_LT(stalled.m_Seconds, 5.0);

    // A report that returns disarms the watchdog: the earlier handler may take its time.
    const Ending finished = RunChild([] {
        DefaultActions();
        std::signal(SIGBUS, &SlowPreviousHandler);
        InstallCrashHandler(&ReportInTime, 1);
        std::raise(SIGBUS);
    });
    EXPECT_TRUE(WIFEXITED(finished.m_Status) && WEXITSTATUS(finished.m_Status) == 42)
        << finished.m_Status;
    EXPECT_GE(finished.m_Seconds, 1.9);
}

TEST(CrashSignals, ProtectedReadsStopAtTheFirstUnreadablePage) {
    const long page = ::sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<char*>(
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(::mprotect(pages + page, page, PROT_NONE), 0);
    char buffer[64] = {};
    EXPECT_EQ(ReadMemoryProtected(pages + page - 10, buffer, sizeof buffer), 10u);
    EXPECT_EQ(ReadMemoryProtected(pages + page, buffer, sizeof buffer), 0u);
    ::munmap(pages, 2 * page);
}
