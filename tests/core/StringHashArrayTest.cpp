#include "quorlix/core/StringHashArray.h"
#include "support/CountedProbe.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::CountedProbe;

TEST(StringHashArray, DuplicateKeysAreFoundOldestFirst) {
    std::atomic<int> destroyed{0};
    Obj<CountedProbe> first(NewObject<CountedProbe>(&destroyed, 1));
    Obj<CountedProbe> second(NewObject<CountedProbe>(&destroyed, 2));
    StringHashArray table(3);
    const String key("name");
    const int firstHandle = table.Insert(key, first.Get());
    EXPECT_EQ(table.Insert(String("name"), second.Get()), firstHandle + 1);
    void* value = nullptr;
    EXPECT_EQ(table.Find(key, value), firstHandle);
    EXPECT_EQ(value, first.Get());
    EXPECT_EQ(table.Remove(key), firstHandle);
    EXPECT_EQ(table.Find(key, value), firstHandle); // the newer entry took the freed place
    EXPECT_EQ(value, second.Get());
    EXPECT_EQ(table.Remove(key), firstHandle);

    void* const untouched = &destroyed;
    value = untouched;
    EXPECT_EQ(table.Find(key, value), -1);
    EXPECT_EQ(value, untouched);
    EXPECT_EQ(table.Remove(key), -1);
    EXPECT_EQ(table.EntryCount(), 0);
}

TEST(StringHashArray, HandlesAreBucketTimesBucketCountPlusPosition) {
    StringHashArray table(4);
    std::vector<String> keys;
    std::vector<std::vector<int>> buckets(16); // key numbers per bucket, in insertion order
    for (int i = 0; i < 64; ++i) {
        keys.emplace_back(("key" + std::to_string(i)).c_str());
        const int b = static_cast<int>(keys.back().Hash32() & 15);
        EXPECT_EQ(table.Insert(keys.back(), nullptr), b * 16 + static_cast<int>(buckets[b].size()));
        buckets[b].push_back(i);
    }
    // Removing the first entry of a bucket moves its last entry to position 0.
    int b = 0;
    while (buckets[b].size() < 3)
        ++b;
    void* value = nullptr;
    EXPECT_EQ(table.Remove(keys[buckets[b].front()]), b * 16);
    EXPECT_EQ(table.Find(keys[buckets[b].back()], value), b * 16);
    EXPECT_EQ(table.Find(keys[buckets[b][1]], value), b * 16 + 1);
    EXPECT_EQ(table.EntryCount(), 63);

    // bucket * count passes 32 bits in a large table; a found entry must never read as -1
    StringHashArray large(16);
    EXPECT_EQ(large.EntryHandle(1, 2), 65538);
    EXPECT_EQ(large.EntryHandle(65535, 100), INT_MAX);
    EXPECT_EQ(StringHashArray(-5).BucketCount(), 1);
}

TEST(StringHashArray, HoldsOneReferenceToEachValueAndKey) {
    std::atomic<int> destroyed{0};
    Obj<CountedProbe> holder(NewObject<CountedProbe>(&destroyed));
    CountedProbe* probe = holder.Get();
    const String key("alpha");
    {
        StringHashArray table(2);
        table.Insert(key, probe);
        table.Insert(String("beta"), probe);
        table.Insert(String("gamma"), probe);
        table.Insert(String("delta"), nullptr);
        EXPECT_EQ(BlockRefCount(probe), 4);
        EXPECT_EQ(BlockRefCount(key.GetCPtr()), 2);
        table.Remove(key);
        EXPECT_EQ(BlockRefCount(probe), 3);
        EXPECT_EQ(BlockRefCount(key.GetCPtr()), 1);
        table.Clear();
        EXPECT_EQ(BlockRefCount(probe), 1);
        EXPECT_EQ(table.BucketCount(), 4);
        EXPECT_EQ(table.EntryCount(), 0);
        void* value = nullptr;
        EXPECT_EQ(table.Find(String("beta"), value), -1);
        table.Insert(key, probe);
        table.Insert(String("beta"), probe);
        EXPECT_EQ(BlockRefCount(probe), 3);
    }
    EXPECT_EQ(BlockRefCount(probe), 1);
    EXPECT_EQ(BlockRefCount(key.GetCPtr()), 1);
    holder = nullptr;
    EXPECT_EQ(destroyed, 1);
}
