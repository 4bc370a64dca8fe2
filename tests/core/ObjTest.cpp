#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "support/CountedProbe.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

using namespace Quorlix;
using QuorlixTest::CountedProbe;

TEST(Obj, HandlesKeepTheCountExactOnManyThreadsAndDestroyTheObjectOnce) {
    std::atomic<int> destroyed{0}, wrongHashes{0};
    auto* probe = new (1, TypeOf<CountedProbe>()) CountedProbe(&destroyed);
    EXPECT_EQ(BlockRefCount(probe), 0); // the first handle takes it
    Obj<CountedProbe> shared(probe);
    // Assigning a handle the object it already holds must not destroy it on the way.
    Obj<CountedProbe>& self = shared;
    shared = self;
    shared = probe;
    shared = std::move(self);
    EXPECT_EQ(BlockRefCount(probe), 1);

    String text("shared text");
    text.Replace(0, 'S'); // private buffer with no cached hash yet
    const unsigned expected = String("Shared text").Hash32();
    const int32_t textRefs = BlockRefCount(text.GetCPtr());
    std::latch ready(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            ready.arrive_and_wait();
            for (int i = 0; i < 100000; ++i) {
                Obj<CountedProbe> copy(shared);
                Obj<CountedProbe> moved(std::move(copy));
                String textCopy(text);
                if (i % 1000 == 0 && textCopy.Hash32() != expected)
                    ++wrongHashes;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(BlockRefCount(probe), 1);
    EXPECT_EQ(BlockRefCount(text.GetCPtr()), textRefs);
    EXPECT_EQ(wrongHashes, 0);
    EXPECT_EQ(destroyed, 0);
    shared = nullptr;
    EXPECT_EQ(destroyed, 1);
}
