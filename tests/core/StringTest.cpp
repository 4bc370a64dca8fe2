#include "quorlix/core/String.h"
#include "quorlix/core/Hash.h"
#include "support/StringPrinter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <latch>
#include <thread>
#include <vector>

using namespace Quorlix;

namespace {

int32_t Refs(const String& s) {
    return BlockRefCount(s.GetCPtr());
}
uint32_t CachedHash(const String& s) {
    return HeaderOf(s.GetCPtr())->m_Hash;
}
bool IsSharedEmpty(const String& s) {
    return s.GetCPtr() == G_NullString.Payload();
}

// In-place edits of "abc" and their results.
const std::pair<std::function<void(String&)>, const char*> k_Edits[] = {
    {[](String& s) { s.Insert(1, 'X'); }, "aXbc"}, {[](String& s) { s.Replace(0, 'X'); }, "Xbc"},
    {[](String& s) { s.Swap(0, 2); }, "cba"},      {[](String& s) { s.Remove(1); }, "ac"},
    {[](String& s) { s.Add('X'); }, "abcX"},       {[](String& s) { s += 'Y'; }, "abcY"},
};

} // namespace

TEST(String, SearchSkipsIndexZero) {
    const String abc("abc");
    EXPECT_EQ(abc.Search('a'), -1);
    EXPECT_EQ(abc.Search('b'), 1);
    EXPECT_EQ(abc.Search('\0'), -1);
    EXPECT_EQ(abc.RSearch('a'), 0);
    EXPECT_EQ(String("b").Search('b'), -1);
    EXPECT_EQ(abc.Ref().Search("bc"), 1);
    EXPECT_EQ(abc.Search("abcd"), -1);
}

TEST(String, ConstructorsCopyOrShare) {
    EXPECT_TRUE(IsSharedEmpty(String()));
    EXPECT_TRUE(IsSharedEmpty(String("")));
    EXPECT_TRUE(IsSharedEmpty(String("abc", 0)));
    const String bytes("a\0b", 3);
    EXPECT_EQ(bytes.Size(), 3);
    EXPECT_EQ(bytes.Capacity(), 4);
    EXPECT_EQ(std::memcmp(bytes.GetCPtr(), "a\0b\0", 4), 0);
    {
        String s("abc");
        String copy(s);
        String fromRef(s.Ref());
        String moved(std::move(copy));
        EXPECT_TRUE(IsSharedEmpty(copy));
        EXPECT_EQ(fromRef.GetCPtr(), s.GetCPtr());
        EXPECT_EQ(moved.GetCPtr(), s.GetCPtr());
        EXPECT_EQ(Refs(s), 3);
    }
    const String ab("ab");
    const String cd("cd");
    for (const String& joined : {String(ab, cd), String(ab, "cd"), String("ab", cd),
                                 String("ab", "cd"), ab + cd, "ab" + cd, ab.Ref() + "cd"}) {
        EXPECT_EQ(joined, "abcd");
        EXPECT_EQ(joined.Capacity(), 5);
        EXPECT_EQ(Refs(joined), 1);
    }
    EXPECT_TRUE(IsSharedEmpty(String("", "")));
    EXPECT_TRUE(IsSharedEmpty(String() + String()));
}

TEST(String, ConcatenationWithAnEmptySideSharesTheOtherBuffer) {
    const String a("a");
    const String empty;
    const int32_t refs = Refs(a);
    const String results[] = {a + empty, empty + a, a + "", "" + a, empty.Ref() + a};
    for (const String& result : results)
        EXPECT_EQ(result.GetCPtr(), a.GetCPtr());
    EXPECT_EQ(Refs(a), refs + 5);
}

TEST(String, CompareAndEqualityWorkOnBytes) {
    EXPECT_EQ(String::Compare(String("ab"), String("abc")), -1);
    EXPECT_EQ(String::Compare(String("abc"), String("ab")), 1);
    EXPECT_EQ(String::Compare(String(), String()), 0);
    EXPECT_EQ(String::Compare(String("\xff"), String("a")), 1); // bytes are unsigned
    const String aNulB("a\0b", 3);
    const String aNulC("a\0c", 3);
    const String a("a");
    EXPECT_EQ(String::Compare(aNulB, aNulC), -1);
    EXPECT_EQ(String::Compare(aNulB, a), 1);
    EXPECT_EQ(String::Compare(a, aNulB), -1);

    EXPECT_TRUE(String("abc") == "abc");
    EXPECT_TRUE(String("abc") != "ab");
    EXPECT_TRUE(aNulB == "a"); // a text comparison stops at the first NUL
    EXPECT_TRUE(aNulB != a);   // a buffer comparison counts every byte
    EXPECT_TRUE(aNulB != aNulC);
    EXPECT_TRUE(aNulB == String("a\0b", 3).Ref());
    EXPECT_TRUE(a.Ref() == "a");
}

TEST(String, HashIsCachedPerBufferAndResetByEdits) {
    String a("hello");
    const String b("hello");
    const unsigned hello = a.Hash32();
    EXPECT_EQ(hello, b.Hash32());
    EXPECT_EQ(hello, FastStringHash32(reinterpret_cast<const unsigned char*>("hello"), 5, 0));
    EXPECT_EQ(CachedHash(a), hello);
    a.Replace(0, 'j');
    EXPECT_EQ(a.Hash32(), String("jello").Hash32());
    EXPECT_NE(a.Hash32(), hello);
    for (const auto& [edit, expected] : k_Edits) {
        String s("abc");
        s.Reserve(16); // every edit happens in place
        (void)s.Hash32();
        edit(s);
        EXPECT_EQ(CachedHash(s), 0u) << expected;
        EXPECT_EQ(s.Hash32(), String(expected).Hash32());
    }
}

TEST(String, AssignSliceClampsItsRange) {
    const String src("abcde");
    const struct {
        int start, length;
        const char* expected;
    } cases[] = {{2, 100, "cde"}, {-3, 2, "ab"}, {1, INT_MAX, "bcde"}, {4, 1, "e"},
                 {5, 1, ""},      {9, 2, ""},    {1, -1, ""},          {INT_MAX, 3, ""}};
    for (const auto& c : cases) {
        String s("old");
        s.AssignSlice(src, c.start, c.length);
        EXPECT_EQ(s, c.expected) << c.start << ", " << c.length;
        EXPECT_EQ(IsSharedEmpty(s), *c.expected == '\0');
    }
    String self("hello world");
    self.AssignSlice(self, 6, 5);
    EXPECT_EQ(self, "world");
}

TEST(String, EditsOfASharedBufferCopyItFirst) {
    for (const auto& [edit, expected] : k_Edits) {
        String original("abc");
        original.Reserve(8);
        String copy(original);
        edit(copy);
        EXPECT_EQ(copy, expected);
        EXPECT_EQ(original, "abc") << expected;
        EXPECT_EQ(Refs(original), 1);
        EXPECT_EQ(Refs(copy), 1);
    }
}

TEST(String, GrowthFollowsTheAddAndInsertRules) {
    String s;
    std::vector<int> capacities;
    for (char ch = 'a'; ch <= 't'; ++ch) {
        s += ch;
        if (capacities.empty() || capacities.back() != s.Capacity())
            capacities.push_back(s.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 12, 20, 32}));
    EXPECT_EQ(s, "abcdefghijklmnopqrst");

    String t("abc");
    t.Insert(0, 'x');
    EXPECT_EQ(t.Capacity(), 16);
    while (t.Size() < 15)
        t.Insert(t.Size(), 'y');
    EXPECT_EQ(t.Capacity(), 16);
    t.Insert(2, 'z');
    EXPECT_EQ(t.Capacity(), 32);
    EXPECT_EQ(t, "xazbc" + String(std::string(11, 'y').c_str()));
}

TEST(String, CapacityAndAssignmentKeepTheText) {
    String s("abc");
    s.Reserve(10);
    EXPECT_EQ(s.Capacity(), 10);
    String shared(s);
    shared.Minimize();
    EXPECT_EQ(shared.Capacity(), 4);
    EXPECT_EQ(s, "abc");
    EXPECT_EQ(Refs(s), 1);
    String e;
    e.Reserve(10);
    EXPECT_EQ(e.Capacity(), 10);
    e.Minimize();
    EXPECT_TRUE(IsSharedEmpty(e));

    s.Allocate(0);
    EXPECT_TRUE(IsSharedEmpty(s));
    std::memcpy(s.Allocate(5), "hello", 5);
    EXPECT_EQ(s, "hello");
    s.FromCPtr(s.GetCPtr() + 1); // the text lives in the buffer being replaced
    EXPECT_EQ(s, "ello");
    shared = s;
    shared = s.Ref();
    EXPECT_EQ(Refs(s), 2);
    s.Clear();
    EXPECT_TRUE(IsSharedEmpty(s));
}

TEST(String, ImpossibleLengthsEndThroughTheOutOfMemoryReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char byte = 'x';
    // The terminator makes INT_MAX characters one byte too many for a 32-bit count.
    EXPECT_EXIT({ String big(&byte, INT_MAX); }, ::testing::ExitedWithCode(247), "OUT OF MEMORY");
    EXPECT_EXIT(String().Allocate(INT_MAX), ::testing::ExitedWithCode(247), "OUT OF MEMORY");
    String s("ab");
    EXPECT_DEATH(s.Insert(3, 'x'), "String::Insert: position out of range");
}

TEST(String, CopiesOnManyThreadsKeepTheCountExact) {
    String shared("shared text");
    shared.Replace(0, 'S'); // private buffer with no cached hash yet
    const unsigned expected = String("Shared text").Hash32();
    const int32_t start = Refs(shared);
    std::latch ready(8);
    std::atomic<int> wrongHashes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            ready.arrive_and_wait();
            for (int i = 0; i < 100000; ++i) {
                String copy(shared);
                if (i % 1000 == 0 && copy.Hash32() != expected)
                    ++wrongHashes;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(Refs(shared), start);
    EXPECT_EQ(wrongHashes, 0);
}
