#include "quorlix/core/Obj.h"
#include "support/CountedProbe.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

using namespace Quorlix;
using QuorlixTest::CountedProbe;

TEST(Obj, CopiesMovesAndAssignmentsKeepTheCount) {
    std::atomic<int> destroyed{0};
    CountedProbe* probe = NewObject<CountedProbe>(&destroyed);
    Obj<CountedProbe> a(probe);
    {
        Obj<CountedProbe> b(a);
        Obj<CountedProbe> c(std::move(b));
        b = std::move(c);
        EXPECT_EQ(c.Get(), nullptr);
        EXPECT_EQ(BlockRefCount(probe), 2);
    }
    // Assigning a handle the object it already holds must not destroy it on the way.
    Obj<CountedProbe>& self = a;
    a = self;
    a = probe;
    a = std::move(self);
    EXPECT_EQ(BlockRefCount(probe), 1);
    Ptr<CountedProbe> global(probe);
    CountedProbe* detached = global.Detach();
    EXPECT_EQ(BlockRefCount(detached), 2);
    BlockRelease(detached);
    EXPECT_EQ(destroyed, 0);
    a = nullptr;
    EXPECT_EQ(destroyed, 1);

    // A base handle to a derived object destroys it through the block's own type record.
    Obj<QuorlixTest::DerivedProbe> derived(NewObject<QuorlixTest::DerivedProbe>(&destroyed, 5));
    Obj<CountedProbe> base = derived;
    derived = nullptr;
    EXPECT_EQ(base->m_Value, 5);
    base = nullptr;
    EXPECT_EQ(destroyed, 2);
}

TEST(Obj, HandlesOnManyThreadsKeepTheCountExact) {
    std::atomic<int> destroyed{0};
    Obj<CountedProbe> shared(NewObject<CountedProbe>(&destroyed));
    std::latch ready(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            ready.arrive_and_wait();
            for (int i = 0; i < 100000; ++i)
                Obj<CountedProbe> copy(shared);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(BlockRefCount(shared.Get()), 1);
    EXPECT_EQ(destroyed, 0);
    shared = nullptr;
    EXPECT_EQ(destroyed, 1);
}
