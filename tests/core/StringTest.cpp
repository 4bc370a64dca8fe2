#include "quorlix/core/String.h"
#include "quorlix/core/StringHashArray.h"
#include "support/CountedProbe.h"

#include <gtest/gtest.h>

#include <climits>

using namespace Quorlix;
using QuorlixTest::CountedProbe;

namespace {
int32_t Refs(const String& s) {
    return BlockRefCount(s.GetCPtr());
}
} // namespace

// Generic edits, searches, comparisons, growth and the hash table are checked against a model
// by the string_ops fuzzer; these are the cases that document the rules.
TEST(String, SearchCompareAndSliceEdgeCases) {
    const String abc("abc");
    EXPECT_EQ(abc.Search('a'), -1); // index 0 is never searched
    EXPECT_EQ(abc.Search('b'), 1);
    EXPECT_EQ(abc.RSearch('a'), 0);

    EXPECT_EQ(String::Compare(String("ab"), abc), -1);
    EXPECT_EQ(String::Compare(abc, String("ab")), 1);
    EXPECT_EQ(String::Compare(String(), String()), 0);

    const String src("abcde");
    const struct {
        int start, length;
        const char* expected;
    } slices[] = {{2, 100, "cde"}, {-3, 2, "ab"}, {1, INT_MAX, "bcde"}};
    for (const auto& c : slices) {
        String s("old");
        s.AssignSlice(src, c.start, c.length);
        EXPECT_STREQ(s.GetCPtr(), c.expected) << c.start << ", " << c.length;
    }
}

TEST(String, BuffersAreSharedUntilEditedAndHashedPerContent) {
    const String a("a");
    const String empty;
    const String left = a + empty;
    const String right = empty + a;
    EXPECT_EQ(left.GetCPtr(), a.GetCPtr());
    EXPECT_EQ(right.GetCPtr(), a.GetCPtr());
    EXPECT_EQ(Refs(a), 3);
    String text("hello");
    const unsigned hello = text.Hash32();
    EXPECT_EQ(String("hello").Hash32(), hello);
    String copy(text);
    copy.Replace(0, 'j'); // shared: copied first
    EXPECT_STREQ(text.GetCPtr(), "hello");
    EXPECT_STREQ(copy.GetCPtr(), "jello");
    EXPECT_EQ(Refs(text), 1);
    EXPECT_EQ(Refs(copy), 1);
    text.Replace(0, 'c'); // private: edited in place, so the cached hash must go
    EXPECT_EQ(text.Hash32(), String("cello").Hash32());
    EXPECT_NE(text.Hash32(), hello);
}

TEST(StringHashArray, FindsDuplicateKeysOldestFirstAndHoldsItsKeysAndValues) {
    std::atomic<int> destroyed{0};
    Obj<CountedProbe> first(NewObject<CountedProbe>(&destroyed));
    Obj<CountedProbe> second(NewObject<CountedProbe>(&destroyed));
    const String key("name");
    {
        StringHashArray table(3);
        const int handle = table.Insert(key, first.Get());
        table.Insert(String("name"), second.Get());
        table.Insert(String("other"), first.Get());
        table.Insert(String("none"), nullptr);
        EXPECT_EQ(BlockRefCount(first.Get()), 3);
        EXPECT_EQ(Refs(key), 2);
        void* value = nullptr;
        EXPECT_EQ(table.Find(key, value), handle);
        EXPECT_EQ(value, first.Get());
        EXPECT_EQ(table.Remove(key), handle);
        EXPECT_EQ(BlockRefCount(first.Get()), 2);
        EXPECT_EQ(Refs(key), 1);
        EXPECT_EQ(table.Find(key, value), handle); // the newer entry took the freed place
        EXPECT_EQ(value, second.Get());
        EXPECT_EQ(table.Remove(key), handle);
        EXPECT_EQ(table.Find(key, value), -1);
        table.Clear();
        EXPECT_EQ(BlockRefCount(first.Get()), 1);
        table.Insert(key, second.Get()); // released with the table
    }
    EXPECT_EQ(BlockRefCount(second.Get()), 1);
    EXPECT_EQ(Refs(key), 1);

    // bucket * count passes 32 bits in a large table; a found entry must never read as -1
    StringHashArray large(16);
    EXPECT_EQ(large.EntryHandle(1, 2), 65538);
    EXPECT_EQ(large.EntryHandle(65535, 100), INT_MAX);
}
