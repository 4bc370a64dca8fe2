#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace Quorlix;

TEST(Semaphore, LockWaitsForUnlocksAndCountsUnits) {
    Semaphore semaphore(0);
    EXPECT_FALSE(semaphore.TryLock(20));
    std::atomic<bool> locked{false};
    std::thread waiter([&] {
        semaphore.Lock();
        locked = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(locked);
    semaphore.Unlock(2);
    waiter.join();
    EXPECT_TRUE(locked);
    EXPECT_TRUE(semaphore.TryLock(0)); // the second unit
    EXPECT_FALSE(semaphore.TryLock(0));
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
