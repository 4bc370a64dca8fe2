// The slot pool behind the transforms' matrices: reuse of given-back slots, the fresh start
// once all are back, and slots from many threads at once.

#include "quorlix/scene/internal/SlotPool.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

using Quorlix::Internal::SlotPool;

TEST(SlotPool, HandsOutDistinctSlotsInOrderAndStartsAgainWhenAllAreBack) {
    SlotPool pool(68); // rounded up to 72
    std::vector<char*> slots;
    for (int i = 0; i < 5000; ++i) // more than one block
        slots.push_back(static_cast<char*>(pool.Acquire()));
    EXPECT_EQ(slots[1] - slots[0], 72);
    EXPECT_EQ(std::set<char*>(slots.begin(), slots.end()).size(), slots.size());
    // A slot given back is the next one taken.
    pool.Release(slots[7]);
    EXPECT_EQ(pool.Acquire(), slots[7]);
    for (char* slot : slots)
        pool.Release(slot);
    pool.Release(nullptr);
    EXPECT_EQ(pool.InUse(), 0u);
    // All back: the next slots come in order from the first block again.
    EXPECT_EQ(pool.Acquire(), slots[0]);
    EXPECT_EQ(pool.Acquire(), slots[1]);
}

TEST(SlotPool, ServesSeveralThreads) {
    SlotPool pool(64);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&pool] {
            std::vector<void*> mine;
            for (int round = 0; round < 50; ++round) {
                for (int i = 0; i < 100; ++i) {
                    mine.push_back(pool.Acquire());
                    *static_cast<int*>(mine.back()) = i; // the slot is ours to write
                }
                for (void* slot : mine)
                    pool.Release(slot);
                mine.clear();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(pool.InUse(), 0u);
}
