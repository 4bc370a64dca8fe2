#include "quorlix/platform/Threading.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Quorlix::Platform;

TEST(PlatformThreading, ThreadIdsAreStablePerThreadAndDistinct) {
    const uint32_t mine = CurrentThreadId();
    EXPECT_EQ(CurrentThreadId(), mine);
    uint32_t first = 0;
    uint32_t again = 0;
    std::thread([&] { first = CurrentThreadId(), again = CurrentThreadId(); }).join();
    EXPECT_EQ(first, again);
    EXPECT_NE(first, mine);
}
