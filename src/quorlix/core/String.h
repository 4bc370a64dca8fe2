#pragma once
// The library's byte string: one pointer to the NUL-terminated characters of a counted buffer
// that copies share until one of them changes it. The buffer header keeps the length + 1 as its
// count and caches the string's hash. Characters are bytes; comparisons are byte comparisons.
//
// Reference counts change atomically, so threads may copy and drop copies of one String freely.
// An in-place edit (and the hash cache) assumes one thread uses that String object.

#include "quorlix/core/Memory.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class String;

/// Read-only view of the characters of a string buffer. A `const StringRef&` is the address of
/// the first character, so a String converts to it without copying; it can only refer to
/// characters that sit in a string buffer.
class QUORLIX_API StringRef {
public:
    StringRef() = delete;
    StringRef(const StringRef&) = delete;
    StringRef& operator=(const StringRef&) = delete;

    int Size() const noexcept { return BlockCount(this) - 1; }
    const char* GetCPtr() const noexcept { return reinterpret_cast<const char*>(this); }
    char operator[](int i) const noexcept { return GetCPtr()[i]; }

    String operator+(const StringRef& right) const;
    String operator+(const char* right) const;

    /// First index i with 1 <= i < Size() holding `ch`, else -1. Index 0 is never examined.
    int Search(char ch) const noexcept;
    /// Last index holding `ch`, else -1.
    int RSearch(char ch) const noexcept;
    /// Offset of the first occurrence of `text`, else -1.
    int Search(const char* text) const noexcept;

    /// Byte comparison up to the terminator.
    bool operator==(const char* text) const noexcept;
    bool operator!=(const char* text) const noexcept { return !(*this == text); }
    /// Lengths first, then bytes.
    bool operator==(const StringRef& other) const noexcept;
    bool operator!=(const StringRef& other) const noexcept { return !(*this == other); }

    /// FastStringHash32 of the characters with initial value 0, cached in the buffer.
    unsigned Hash32() const noexcept;

    /// The view of a string buffer's characters.
    static const StringRef& OfBuffer(const char* chars) noexcept {
        return *reinterpret_cast<const StringRef*>(chars);
    }
};

class QUORLIX_API String {
public:
    /// The shared empty string.
    String() noexcept;
    /// Copies a NUL-terminated text (null counts as empty).
    String(const char* text);
    /// Copies exactly `n` bytes, then appends a NUL (n <= 0 gives the empty string).
    String(const char* bytes, int n);
    String(const String& other) noexcept : m_Chars(other.m_Chars) { BlockAddRef(m_Chars); }
    /// Takes the buffer over; `other` becomes empty.
    String(String&& other) noexcept;
    String(const StringRef& other) noexcept;
    /// Concatenations: a new buffer of exactly the needed size, or a share of the non-empty
    /// side when the other one is empty.
    String(const StringRef& left, const StringRef& right);
    String(const StringRef& left, const char* right);
    String(const char* left, const StringRef& right);
    String(const char* left, const char* right);
    ~String() { BlockRelease(m_Chars); }

    char operator[](int i) const noexcept { return m_Chars[i]; }
    int Size() const noexcept { return BlockCount(m_Chars) - 1; }
    operator const StringRef&() const noexcept { return StringRef::OfBuffer(m_Chars); }
    const StringRef& Ref() const noexcept { return StringRef::OfBuffer(m_Chars); }
    const char* GetCPtr() const noexcept { return m_Chars; }

    String operator+(const StringRef& right) const { return String(Ref(), right); }
    String operator+(const char* right) const { return String(Ref(), right); }

    /// Shares the other buffer; nothing happens when it is already this one.
    void operator=(const String& other) noexcept { *this = other.Ref(); }
    void operator=(const StringRef& other) noexcept;
    void operator=(String&& other) noexcept;
    /// Copies a NUL-terminated text; `text` may point into this string.
    void FromCPtr(const char* text);
    /// `length` characters of `src` from `start` (see the source for the clamping rules);
    /// `src` may be this string.
    void AssignSlice(const StringRef& src, int start, int length);
    /// Replaces the buffer with a new one of length `n` (NUL at index n, other characters
    /// undefined) and returns its writable characters.
    char* Allocate(int n);
    void Clear() noexcept;

    // In-place edits. Positions must lie inside the string (0..Size() for Insert).
    void Insert(int pos, char ch);
    void Replace(int pos, char ch);
    void Swap(int i, int j);
    void Remove(int pos);
    void Add(char ch) {
        // Fast path inline: appending one character at a time is a common loop.
        BlockHeader* header = HeaderOf(m_Chars);
        const int count = header->m_Count;
        if (count < header->m_Capacity - 1 && BlockRefCount(m_Chars) == 1) {
            m_Chars[count - 1] = ch;
            m_Chars[count] = '\0';
            header->m_Count = count + 1;
            header->m_Hash = 0;
            return;
        }
        AddGrowing(ch);
    }
    String& operator+=(char ch) {
        Add(ch);
        return *this;
    }

    /// Grows the capacity to at least `n` bytes (terminator included).
    void Reserve(int n);
    /// Shrinks the capacity to the count.
    void Minimize();
    int Capacity() const noexcept { return BlockCapacity(m_Chars); }

    int Search(char ch) const noexcept { return Ref().Search(ch); }
    int RSearch(char ch) const noexcept { return Ref().RSearch(ch); }
    int Search(const char* text) const noexcept { return Ref().Search(text); }

    bool operator==(const char* text) const noexcept { return Ref() == text; }
    bool operator!=(const char* text) const noexcept { return Ref() != text; }
    bool operator==(const StringRef& other) const noexcept { return Ref() == other; }
    bool operator!=(const StringRef& other) const noexcept { return Ref() != other; }
    bool operator==(const String& other) const noexcept { return Ref() == other.Ref(); }
    bool operator!=(const String& other) const noexcept { return Ref() != other.Ref(); }

    /// -1, 0 or 1 by unsigned bytes over the shorter length, terminator included; a proper
    /// prefix is smaller.
    static int Compare(const StringRef& a, const StringRef& b) noexcept;

    unsigned Hash32() const noexcept { return Ref().Hash32(); }

private:
    void AddGrowing(char ch);
    void Reallocate(int capacity);
    void MakePrivate();
    void ResetHash() noexcept { HeaderOf(m_Chars)->m_Hash = 0; }

    char* m_Chars; // never null
};

QUORLIX_API String operator+(const char* left, const StringRef& right);

template <>
struct IsBytewiseRelocatable<String> : std::true_type {};

} // namespace Quorlix
