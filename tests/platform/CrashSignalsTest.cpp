#include "quorlix/platform/CrashSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/mman.h>
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
