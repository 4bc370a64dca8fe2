#pragma once
// Counted array: one pointer to the elements of a counted block whose header holds the count
// and the capacity. Copies share the block; a change to a shared block copies it first. Every
// empty array shares the static empty array, so empty arrays cost no allocation.

#include "quorlix/core/Assert.h"
#include "quorlix/core/Obj.h"

#include <cstring>
#include <new>

namespace Quorlix {

/// Capacity after growing a full block of `count` elements: by one half, plus four, rounded
/// down to a multiple of four. Computed in 64 bits; a result past the 32-bit count limit ends
/// in the out-of-memory path of the allocation.
inline int GrownCapacity(int count) noexcept {
    const int64_t grown = (static_cast<int64_t>(count) / 2 + count + 4) & ~int64_t{3};
    return grown > INT32_MAX ? -1 : static_cast<int>(grown);
}

template <class T>
class Array {
public:
    Array() noexcept : m_Data(static_cast<T*>(G_NullArray.Payload())) { BlockAddRef(m_Data); }
    Array(const Array& other) noexcept : m_Data(other.m_Data) { BlockAddRef(m_Data); }
    Array(Array&& other) noexcept : Array() { Swap(other); }
    ~Array() { BlockRelease(m_Data); }

    Array& operator=(const Array& other) noexcept {
        BlockAddRef(other.m_Data);
        T* old = m_Data;
        m_Data = other.m_Data;
        BlockRelease(old);
        return *this;
    }
    Array& operator=(Array&& other) noexcept {
        Swap(other);
        return *this;
    }

    int Size() const noexcept { return BlockCount(m_Data); }
    int Capacity() const noexcept { return BlockCapacity(m_Data); }
    bool IsEmpty() const noexcept { return Size() == 0; }

    const T& operator[](int i) const noexcept {
        QUORLIX_ASSERT(i >= 0 && i < Size(), "Array::operator[]: index out of range");
        return m_Data[i];
    }
    /// Writable element; makes the block private first.
    T& operator[](int i) {
        QUORLIX_ASSERT(i >= 0 && i < Size(), "Array::operator[]: index out of range");
        MakePrivate();
        return m_Data[i];
    }

    const T* Data() const noexcept { return m_Data; }
    const T* begin() const noexcept { return m_Data; }
    const T* end() const noexcept { return m_Data + Size(); }

    /// Payload address of the block (the handle's only field).
    const void* GetBlock() const noexcept { return m_Data; }

    void Add(const T& value) {
        if (Size() >= Capacity() || !IsPrivate()) {
            // `value` may live in this array: copy it before the block moves.
            T copy(value);
            Grow(GrownCapacity(Size()));
            new (m_Data + Size()) T(static_cast<T&&>(copy));
        } else {
            new (m_Data + Size()) T(value);
        }
        ++HeaderOf(m_Data)->m_Count;
    }

    /// Inserts before position `pos` (0..Size()).
    void Insert(int pos, const T& value) {
        QUORLIX_ASSERT(pos >= 0 && pos <= Size(), "Array::Insert: position out of range");
        T copy(value);
        if (Size() >= Capacity() || !IsPrivate())
            Grow(GrownCapacity(Size()));
        T* slot = m_Data + pos;
        Relocate(slot + 1, slot, Size() - pos);
        new (slot) T(static_cast<T&&>(copy));
        ++HeaderOf(m_Data)->m_Count;
    }

    /// Removes the element at `pos`, keeping the order of the others.
    void Remove(int pos) {
        QUORLIX_ASSERT(pos >= 0 && pos < Size(), "Array::Remove: position out of range");
        MakePrivate();
        m_Data[pos].~T();
        Relocate(m_Data + pos, m_Data + pos + 1, Size() - pos - 1);
        --HeaderOf(m_Data)->m_Count;
    }

    /// Removes the element at `pos` by moving the last element into its place.
    void RemoveSwapLast(int pos) {
        QUORLIX_ASSERT(pos >= 0 && pos < Size(), "Array::RemoveSwapLast: position out of range");
        MakePrivate();
        const int last = Size() - 1;
        m_Data[pos].~T();
        if (pos != last)
            Relocate(m_Data + pos, m_Data + last, 1);
        --HeaderOf(m_Data)->m_Count;
    }

    /// Sets the count to `n`: new elements are value-initialised, surplus ones destroyed.
    void Resize(int n) {
        QUORLIX_ASSERT(n >= 0, "Array::Resize: negative size");
        if (n > Capacity() || !IsPrivate())
            Grow(n > Capacity() ? n : Capacity());
        BlockHeader* header = HeaderOf(m_Data);
        while (header->m_Count > n)
            m_Data[--header->m_Count].~T();
        while (header->m_Count < n)
            new (m_Data + header->m_Count++) T();
    }

    void Reserve(int n) {
        if (n > Capacity())
            Grow(n);
    }

    /// Drops the block; the array becomes the shared empty array.
    void Clear() noexcept {
        Array empty;
        Swap(empty);
    }

    void Swap(Array& other) noexcept {
        T* data = m_Data;
        m_Data = other.m_Data;
        other.m_Data = data;
    }

    bool IsPrivate() const noexcept { return BlockRefCount(m_Data) == 1; }

    /// Gives this handle a block of its own (copying the elements) when the block is shared.
    void MakePrivate() {
        if (!IsPrivate() && !IsStaticEmptyBlock(m_Data))
            Grow(Capacity());
    }

private:
    // Moves `n` elements from `src` to `dst` (the ranges may overlap); the source slots are
    // left destroyed and the destination slots must be free.
    static void Relocate(T* dst, T* src, int n) {
        if (n <= 0 || dst == src)
            return;
        if constexpr (IsBytewiseRelocatable<T>::value) {
            std::memmove(static_cast<void*>(dst), static_cast<void*>(src),
                         sizeof(T) * static_cast<size_t>(n));
        } else if (dst < src) {
            for (int i = 0; i < n; ++i) {
                new (dst + i) T(static_cast<T&&>(src[i]));
                src[i].~T();
            }
        } else {
            for (int i = n; i-- > 0;) {
                new (dst + i) T(static_cast<T&&>(src[i]));
                src[i].~T();
            }
        }
    }

    // Moves the elements into a new private block of `capacity` slots.
    void Grow(int capacity) {
        const int count = Size();
        if (capacity < count)
            capacity = count;
        if (capacity == 0) {
            Clear();
            return;
        }
        if constexpr (IsBytewiseRelocatable<T>::value) {
            if (IsPrivate()) {
                m_Data =
                    static_cast<T*>(Memory::ReallocateArray(m_Data, capacity, count, TypeOf<T>()));
                return;
            }
        }
        T* fresh = static_cast<T*>(Memory::UninitializedNewArrayRef1(capacity, count, TypeOf<T>()));
        if (IsPrivate()) {
            Relocate(fresh, m_Data, count);
            HeaderOf(m_Data)->m_Count = 0;
        } else {
            for (int i = 0; i < count; ++i)
                new (fresh + i) T(m_Data[i]);
        }
        BlockRelease(m_Data);
        m_Data = fresh;
    }

    T* m_Data;
};

template <class T>
struct IsBytewiseRelocatable<Array<T>> : std::true_type {};

} // namespace Quorlix
