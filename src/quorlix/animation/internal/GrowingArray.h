#pragma once
// Element access for the index members that the animation classes keep in arrays of their own
// types (keys, typed object references): reads outside the array answer a fallback, writes grow
// the array within the same limits as the object model's generic index members, so a value
// from a file can never make it allocate without bound.

#include "quorlix/core/Array.h"
#include "quorlix/script/internal/ScriptLog.h"

namespace Quorlix::Internal {

inline constexpr int k_MaxGrowingElements = 1 << 24;
inline constexpr int k_MaxGrowingStep = 65536;

/// Element i of `array`, or `fallback` outside it.
template <class E>
E ElementOr(const Array<E>& array, int i, const E& fallback) {
    return i >= 0 && i < array.Size() ? array[i] : fallback;
}

/// Whether element i of `array` may be written; grows the array to i + 1 elements (new ones
/// `fill`) when it is shorter. Refuses, with an error line naming `where` ("Class.Member"), an
/// index below 0 or of 2^24 and above, and one that would grow the array by more than 65536.
template <class E>
bool GrowFor(Array<E>& array, int i, const E& fill, const char* where) {
    if (i < 0 || i >= k_MaxGrowingElements) {
        LogScriptError(where, ": index ", i, " is out of range.");
        return false;
    }
    if (i - array.Size() >= k_MaxGrowingStep) {
        LogScriptError(where, ": index ", i, " would grow the array by more than ",
                       k_MaxGrowingStep, " elements.");
        return false;
    }
    for (int n = array.Size(); n <= i; ++n)
        array.Add(fill);
    return true;
}

/// Sets the element count to `n` (new elements `fill`); refuses, with an error line naming
/// `where`, a count outside 0..2^24.
template <class E>
bool ResizeFilled(Array<E>& array, int n, const E& fill, const char* where) {
    if (n < 0 || n > k_MaxGrowingElements) {
        LogScriptError(where, ": count ", n, " is out of range.");
        return false;
    }
    if (n < array.Size())
        array.Resize(n);
    array.Reserve(n);
    while (array.Size() < n)
        array.Add(fill);
    return true;
}

} // namespace Quorlix::Internal
