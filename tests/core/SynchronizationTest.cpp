#include "quorlix/core/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Quorlix;

TEST(Semaphore, LockWaitsForAnUnlockOnAnotherThread) {
    Semaphore semaphore(0);
    EXPECT_FALSE(semaphore.TryLock(20));
    std::atomic<bool> locked{false};
    std::thread waiter([&] {
        semaphore.Lock();
        locked = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(locked);
    semaphore.Unlock();
    waiter.join();
    EXPECT_TRUE(locked);
}

TEST(Semaphore, UnlockReleasesTheGivenNumberOfUnits) {
    Semaphore semaphore(0);
    semaphore.Unlock(3);
    semaphore.Unlock(-2);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(semaphore.TryLock(0)) << i;
    EXPECT_FALSE(semaphore.TryLock(0));
    // Not re-entrant: a guard on the default single unit leaves nothing for the same thread.
    Semaphore single;
    {
        SemaphoreLock lock(single);
        EXPECT_FALSE(single.TryLock(0));
    }
    EXPECT_TRUE(single.TryLock(0));
}
