#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using namespace Quorlix;

namespace {

using Clock = std::chrono::steady_clock;

// The scheduler state of thread `tid` of this process ('R' running, 'S' asleep in the kernel).
char ThreadState(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t name = line.rfind(')');
    return name != std::string::npos && name + 2 < line.size() ? line[name + 2] : '?';
}

} // namespace

TEST(Semaphore, LockSleepsUntilUnlockedAndCountsUnits) {
    Semaphore semaphore(0);
    std::atomic<pid_t> waiterId{0};
    std::atomic<bool> locked{false};
    std::thread waiter([&] {
        waiterId = static_cast<pid_t>(::syscall(SYS_gettid));
        semaphore.Lock();
        locked = true;
    });
    // Blocks: the waiter goes to sleep in the kernel and does not come out by itself.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while ((waiterId == 0 || ThreadState(waiterId) != 'S') && !locked && Clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_FALSE(locked) << "Lock returned without a unit";
    ASSERT_EQ(ThreadState(waiterId), 'S') << "the waiter never went to sleep";
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(locked);
    // Wakes: one Unlock of two units lets it through, and the second unit stays.
    semaphore.Unlock(2);
    while (!locked && Clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(locked) << "the waiter was not woken";
    waiter.join();
    EXPECT_TRUE(semaphore.TryLock(0));
    EXPECT_FALSE(semaphore.TryLock(0));
}

TEST(Semaphore, TimedLockWaitsItsTimeOrUntilAUnitArrives) {
    Semaphore semaphore(0);
    auto start = Clock::now();
    EXPECT_FALSE(semaphore.TryLock(30));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(30)); // it did wait

    // A unit that arrives during a long wait ends it at once: after the unit, before the time.
    std::atomic<int64_t> unlockedAt{0};
    std::thread unlocker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        unlockedAt = Clock::now().time_since_epoch().count();
        semaphore.Unlock();
    });
    start = Clock::now();
    EXPECT_TRUE(semaphore.TryLock(20000));
    const auto returned = Clock::now();
    unlocker.join();
    EXPECT_GE(returned.time_since_epoch().count(), unlockedAt.load());
    EXPECT_LT(returned - start, std::chrono::milliseconds(20000));
    EXPECT_FALSE(semaphore.TryLock(0)); // the unit was taken
}

TEST(CriticalSection, OwnerMayEnterAgainOthersMayNot) {
    auto enteredElsewhere = [](CriticalSection& section) {
        bool entered = false;
        std::thread([&] {
            if ((entered = section.TryEnter()))
                section.Leave();
        }).join();
        return entered;
    };
    CriticalSection section;
    section.Enter();
    {
        CriticalSectionLock again(section);
        EXPECT_FALSE(enteredElsewhere(section));
    }
    EXPECT_FALSE(enteredElsewhere(section)); // still held once
    section.Leave();
    EXPECT_TRUE(enteredElsewhere(section));
}
