#include "quorlix/core/Array.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

std::vector<int> Elements(const Array<int>& array) {
    return std::vector<int>(array.begin(), array.end());
}

// An array of 0, 1, 2, 3, with room for `capacity` elements.
Array<int> ZeroToThree(int capacity) {
    Array<int> array;
    array.Reserve(capacity);
    for (int i = 0; i < 4; ++i)
        array.Add(i);
    return array;
}

// Not bytewise relocatable: it points at itself and checks that on every copy, move and
// destruction. `s_Live` counts constructions minus destructions.
struct Anchored {
    static inline int s_Live = 0;
    Anchored(int value = 0) : m_Self(this), m_Value(value) { ++s_Live; }
    Anchored(const Anchored& other) : m_Self(this), m_Value(other.Checked()) { ++s_Live; }
    ~Anchored() { Checked(), m_Self = nullptr, --s_Live; }
    int Checked() const {
        EXPECT_EQ(m_Self, this) << "moved bytewise or used after destruction";
        return m_Value;
    }
    Anchored* m_Self;
    int m_Value;
};

} // namespace

TEST(Array, EditsOfASharedOrPrivateBlockGiveTheSameResultAndLeaveCopiesAlone) {
    const std::pair<std::function<void(Array<int>&)>, std::vector<int>> edits[] = {
        {[](Array<int>& x) { x.Add(4); }, {0, 1, 2, 3, 4}},
        {[](Array<int>& x) { x.Insert(1, 7); }, {0, 7, 1, 2, 3}},
        {[](Array<int>& x) { x.Insert(4, 9); }, {0, 1, 2, 3, 9}},
        {[](Array<int>& x) { x.Remove(1); }, {0, 2, 3}},
        {[](Array<int>& x) { x.RemoveSwapLast(0); }, {3, 1, 2}},
        {[](Array<int>& x) { x[2] = 5; }, {0, 1, 5, 3}},
        {[](Array<int>& x) { x.Resize(6); }, {0, 1, 2, 3, 0, 0}},
        {[](Array<int>& x) { x.Resize(1); }, {0}},
    };
    const Array<int> original = ZeroToThree(4);
    for (const auto& [edit, expected] : edits) {
        Array<int> copy = original;
        edit(copy);
        EXPECT_EQ(Elements(copy), expected);
        EXPECT_EQ(Elements(original), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(BlockRefCount(original.GetBlock()), 1);
        copy = ZeroToThree(8); // private with room: edited in place
        edit(copy);
        EXPECT_EQ(Elements(copy), expected);
    }
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

TEST(Array, ElementsAreCopiedMovedAndDestroyedOnce) {
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

    // An element of the array itself added while the block moves (std::string is moved by
    // its constructor, not bytewise).
    Array<std::string> strings;
    for (char c : {'0', '1', '2', '3'})
        strings.Add(std::string(10, c));
    Array<std::string> copy = strings;
    strings.Add(strings[3]);
    copy.Insert(1, copy[0]);
    EXPECT_EQ(strings[4], std::string(10, '3'));
    EXPECT_EQ(copy[1], std::string(10, '0'));
}
