#include "quorlix/platform/CrashSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

const void* volatile G_ExpectedAddress = nullptr;
const void* volatile G_ExpectedData = nullptr;

void Say(const char* text) {
    const ssize_t ignored = ::write(2, text, std::strlen(text));
    (void)ignored;
}

void ReportCrash(const CrashInfo& crash) noexcept {
    char line[160];
    std::snprintf(line, sizeof line, "report signal=%d code=%08X address=%s data=%s\n",
                  crash.m_Signal, crash.m_Code,
                  G_ExpectedAddress == nullptr           ? "-"
                  : crash.m_Address == G_ExpectedAddress ? "exact"
                                                         : "wrong",
                  G_ExpectedData == nullptr               ? "-"
                  : crash.m_DataAddress == G_ExpectedData ? "exact"
                                                          : "wrong");
    Say(line);
}

// The faults are made on purpose: the undefined-behaviour checker must let them happen.
__attribute__((noipa, no_sanitize("undefined"))) int Divide(int a, int b) {
    return a / b;
}
__attribute__((noipa, no_sanitize("undefined"))) void StoreAt(volatile int* where) {
    *where = 1;
}

void FaultInReport(const CrashInfo&) noexcept {
    Say("report\n");
    StoreAt(nullptr);
}

// Sanitizers install their own fault handlers; the child starts from the default actions.
void Install(CrashCallback callback) {
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT})
        std::signal(signal, SIG_DFL);
    InstallCrashHandler(callback);
}

int Recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == 1 << 30) // never: only keeps the compiler from calling this an endless loop
        return 0;
    return Recurse(depth + 1) + frame[0];
}

void PreviousHandler(int) {
    Say("previous\n");
    ::_exit(42);
}

} // namespace

TEST(CrashSignalsDeathTest, ReportsOnceAndEndsByTheSignal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Install(&ReportCrash);
            G_ExpectedData = reinterpret_cast<const void*>(uintptr_t{24});
            *static_cast<volatile int*>(const_cast<void*>(G_ExpectedData)) = 1;
        },
        testing::KilledBySignal(SIGSEGV),
        "^report signal=11 code=C0000005 address=- data=exact\n$");
    EXPECT_EXIT(
        {
            Install(&ReportCrash);
            G_ExpectedAddress = reinterpret_cast<const void*>(&QuorlixTestIllegalInstruction);
            QuorlixTestIllegalInstruction();
        },
        testing::KilledBySignal(SIGILL), "^report signal=4 code=C000001D address=exact data=-\n$");
    EXPECT_EXIT(
        {
            Install(&ReportCrash);
            std::printf("%d", Divide(7, 0));
        },
        testing::KilledBySignal(SIGFPE), "code=C0000094");
    EXPECT_EXIT(
        {
            Install(&ReportCrash);
            std::abort();
        },
        testing::KilledBySignal(SIGABRT), "^report signal=6 code=40000015");
}

TEST(CrashSignalsDeathTest, SurvivesStackOverflowAndFaultsInTheReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The alternate stack carries the report after the thread's own stack is used up.
    EXPECT_EXIT(
        {
            Install(&ReportCrash);
            std::printf("%d", Recurse(0));
        },
        testing::KilledBySignal(SIGSEGV), "^report signal=11 code=C0000005");
    // A fault in the report reaches the earlier (default) action: one report, no loop.
    EXPECT_EXIT(
        {
            Install(&FaultInReport);
            std::raise(SIGABRT);
        },
        testing::KilledBySignal(SIGSEGV), "^report\n$");
    // After the report the earlier handler gets the signal.
    EXPECT_EXIT(
        {
            std::signal(SIGFPE, &PreviousHandler);
            InstallCrashHandler(&ReportCrash);
            std::printf("%d", Divide(7, 0));
        },
        testing::ExitedWithCode(42), "code=C0000094.*\nprevious\n$");
}

TEST(CrashSignals, RemoveRestoresTheEarlierActions) {
    struct sigaction mine {
    }, before{}, during{}, after{};
    mine.sa_handler = &PreviousHandler;
    sigemptyset(&mine.sa_mask);
    ASSERT_EQ(::sigaction(SIGBUS, &mine, &before), 0);
    InstallCrashHandler(&ReportCrash);
    InstallCrashHandler(&ReportCrash); // a second install keeps the first earlier actions
    EXPECT_TRUE(IsCrashHandlerInstalled());
    ::sigaction(SIGBUS, nullptr, &during);
    EXPECT_NE(during.sa_flags & SA_ONSTACK, 0);
    RemoveCrashHandler();
    RemoveCrashHandler();
    EXPECT_FALSE(IsCrashHandlerInstalled());
    ::sigaction(SIGBUS, nullptr, &after);
    EXPECT_EQ(after.sa_handler, &PreviousHandler);
    ::sigaction(SIGBUS, &before, nullptr);
    stack_t stack{};
    ASSERT_EQ(::sigaltstack(nullptr, &stack), 0);
    EXPECT_EQ(stack.ss_flags & SS_DISABLE, 0); // the installing thread has an alternate stack
}

TEST(CrashSignals, ProtectedReadsStopAtTheFirstUnreadablePage) {
    const long page = ::sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<char*>(
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    std::memset(pages, 'q', page);
    ASSERT_EQ(::mprotect(pages + page, page, PROT_NONE), 0);

    char buffer[64] = {};
    EXPECT_EQ(ReadMemoryProtected(pages + 100, buffer, sizeof buffer), sizeof buffer);
    EXPECT_EQ(buffer[63], 'q');
    EXPECT_EQ(ReadMemoryProtected(pages + page - 10, buffer, sizeof buffer), 10u);
    EXPECT_EQ(ReadMemoryProtected(pages + page, buffer, sizeof buffer), 0u);
    EXPECT_EQ(ReadMemoryProtected(nullptr, buffer, sizeof buffer), 0u);
    EXPECT_EQ(ReadMemoryProtected(reinterpret_cast<const void*>(uintptr_t{8}), buffer, 8), 0u);
    EXPECT_EQ(ReadMemoryProtected(pages, nullptr, 8), 0u);
    ::munmap(pages, 2 * page);
}

TEST(CrashSignals, TimeLimitAbandonsAnActionThatWaitsForever) {
    int calls = 0;
    EXPECT_TRUE(RunWithTimeLimit([](void* count) { ++*static_cast<int*>(count); }, &calls, 1000));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(RunWithTimeLimit(nullptr, nullptr, 10));

    // A lock that another thread holds until we are done: the wait is abandoned.
    std::mutex lock;
    std::atomic<bool> held{false}, release{false};
    std::thread holder([&] {
        std::lock_guard<std::mutex> guard(lock);
        held = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    while (!held)
        std::this_thread::yield();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        RunWithTimeLimit([](void* mutex) { static_cast<std::mutex*>(mutex)->lock(); }, &lock, 200));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(5));
    release = true;
    holder.join();
    // The timer's signal has its earlier action back.
    struct sigaction after {};
    ::sigaction(SIGRTMAX - 1, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
}
