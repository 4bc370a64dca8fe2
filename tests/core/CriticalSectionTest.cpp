#include "quorlix/core/CriticalSection.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Quorlix;

namespace {
bool TryEnterFromAnotherThread(CriticalSection& section) {
    bool entered = false;
    std::thread([&] {
        if ((entered = section.TryEnter()))
            section.Leave();
    }).join();
    return entered;
}
} // namespace

TEST(CriticalSection, OwnerMayEnterAgainOthersMayNot) {
    CriticalSection section;
    section.Enter();
    {
        CriticalSectionLock again(section);
        EXPECT_FALSE(TryEnterFromAnotherThread(section));
    }
    EXPECT_FALSE(TryEnterFromAnotherThread(section)); // still held once
    section.Leave();
    EXPECT_TRUE(TryEnterFromAnotherThread(section));
}
