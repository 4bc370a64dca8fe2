#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "support/StringPrinter.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

template <class T>
std::vector<T> Elements(const Array<T>& array) {
    return std::vector<T>(array.begin(), array.end());
}

// Not bytewise relocatable: it points at itself and checks that on every copy, move and
// destruction. `s_Live` counts constructions minus destructions.
struct Anchored {
    static inline int s_Live = 0;
    Anchored(int value = 0) : m_Self(this), m_Value(value) { ++s_Live; }
    Anchored(const Anchored& other) : m_Self(this), m_Value(other.Checked()) { ++s_Live; }
    Anchored& operator=(const Anchored&) = delete;
    ~Anchored() { Checked(), m_Self = nullptr, --s_Live; }
    int Checked() const {
        EXPECT_EQ(m_Self, this) << "moved bytewise or used after destruction";
        return m_Value;
    }
    Anchored* m_Self;
    int m_Value;
};

} // namespace

TEST(Array, EditsKeepOrderAndCount) {
    Array<int> a;
    for (int i = 0; i < 5; ++i)
        a.Add(i);
    a.Insert(0, 10);
    a.Insert(6, 11);
    a.Insert(3, 12);
    EXPECT_EQ(Elements(a), (std::vector<int>{10, 0, 1, 12, 2, 3, 4, 11}));
    a.Remove(0);
    a.RemoveSwapLast(1);
    EXPECT_EQ(Elements(a), (std::vector<int>{0, 11, 12, 2, 3, 4}));
    a.Resize(7);
    EXPECT_EQ(Elements(a), (std::vector<int>{0, 11, 12, 2, 3, 4, 0}));
    a.Resize(2);
    a.Reserve(40);
    a.Reserve(10);
    EXPECT_EQ(a.Capacity(), 40);
    EXPECT_EQ(Elements(a), (std::vector<int>{0, 11}));
    a.Clear();
    EXPECT_EQ(a.GetBlock(), G_NullArray.Payload());
}

TEST(Array, GrowsByHalfPlusFourRoundedDownToFour) {
    Array<int> a;
    std::vector<int> capacities;
    for (int i = 0; i < 50; ++i) {
        a.Add(i);
        if (capacities.empty() || capacities.back() != a.Capacity())
            capacities.push_back(a.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{4, 8, 16, 28, 44, 68}));
    EXPECT_EQ(GrownCapacity(1431655760), 2147483644);
    EXPECT_EQ(GrownCapacity(1431655764), -1); // past the 32-bit count limit
}

TEST(Array, CopiesAreUnaffectedByEditsOfTheOther) {
    const std::vector<int> before{0, 1, 2, 3};
    Array<int> a;
    for (int i : before)
        a.Add(i);
    for (auto edit :
         {+[](Array<int>& x) { x.Add(4); }, +[](Array<int>& x) { x.Remove(1); },
          +[](Array<int>& x) { x.Insert(1, 7); }, +[](Array<int>& x) { x[2] = 5; },
          +[](Array<int>& x) { x.RemoveSwapLast(0); }, +[](Array<int>& x) { x.Resize(1); }}) {
        Array<int> copy = a;
        EXPECT_EQ(BlockRefCount(a.GetBlock()), 2);
        edit(copy);
        EXPECT_NE(Elements(copy), before);
        EXPECT_EQ(Elements(a), before);
        EXPECT_EQ(BlockRefCount(a.GetBlock()), 1);
    }
}

TEST(Array, ElementsAreCopiedMovedAndDestroyedOnce) {
    {
        String shared("shared");
        const int32_t before = BlockRefCount(shared.GetCPtr());
        {
            Array<String> a;
            for (int i = 0; i < 9; ++i)
                a.Add(shared);
            Array<String> copy(a);
            copy.Insert(0, shared); // unshares: every element copied once
            EXPECT_EQ(BlockRefCount(shared.GetCPtr()), before + 19);
            copy.Remove(3);
            copy.RemoveSwapLast(0);
            copy.Resize(2);
            EXPECT_EQ(BlockRefCount(shared.GetCPtr()), before + 11);
        }
        EXPECT_EQ(BlockRefCount(shared.GetCPtr()), before);
    }
    {
        Array<Anchored> a;
        for (int i = 0; i < 13; ++i)
            a.Add(Anchored(i));
        Array<Anchored> copy(a);
        copy.Insert(2, Anchored(99));
        copy.Remove(0);
        copy.RemoveSwapLast(1);
        a.Resize(20);
        a.Resize(3);
        EXPECT_EQ(copy[1].Checked(), 12);
        EXPECT_EQ(Anchored::s_Live, 3 + 12);
    }
    EXPECT_EQ(Anchored::s_Live, 0);
}

TEST(Array, AddingItsOwnElementSurvivesGrowth) {
    Array<String> strings;
    Array<std::string> stdStrings;
    for (const char* text : {"x0", "x1", "x2", "x3"}) {
        strings.Add(String(text));
        stdStrings.Add(std::string(10, text[1]));
    }
    ASSERT_EQ(strings.Size(), strings.Capacity());
    Array<String> stringsCopy = strings;
    strings.Add(strings[0]);
    stringsCopy.Insert(0, stringsCopy[3]);
    EXPECT_EQ(strings[4], "x0");
    EXPECT_EQ(stringsCopy[0], "x3");
    Array<std::string> stdCopy = stdStrings;
    stdStrings.Add(stdStrings[3]);
    stdCopy.Insert(1, stdCopy[0]);
    EXPECT_EQ(stdStrings[4], std::string(10, '3'));
    EXPECT_EQ(stdCopy[1], std::string(10, '0'));
    EXPECT_EQ(stdCopy[4], std::string(10, '3'));
}
