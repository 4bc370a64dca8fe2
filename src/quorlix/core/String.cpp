#include "quorlix/core/String.h"

#include "quorlix/core/Array.h"
#include "quorlix/core/Assert.h"
#include "quorlix/core/Hash.h"
#include "quorlix/platform/OutOfMemory.h"

#include <cstring>

namespace Quorlix {

namespace {

const TypeInfo& BufferType() noexcept {
    return TypeOf<char>();
}

char* SharedEmptyBuffer() noexcept {
    BlockAddRef(G_NullString.Payload());
    return static_cast<char*>(G_NullString.Payload());
}

// Buffer sizes are computed in 64 bits; one that cannot be counted in 32 is out of memory.
int CheckedSize(int64_t bytes) {
    if (bytes < 0 || bytes > INT32_MAX)
        Platform::ReportOutOfMemory();
    return static_cast<int>(bytes);
}

// A buffer for `length` characters with room for `capacity` bytes, terminated; the shared
// empty buffer (with a reference taken) when the capacity is below 2.
char* NewBuffer(int64_t length, int64_t capacity) {
    auto* chars = static_cast<char*>(Memory::UninitializedNewStringRef1(
        CheckedSize(capacity), CheckedSize(length + 1), BufferType()));
    if (!IsStaticEmptyBlock(chars))
        chars[length] = '\0';
    return chars;
}

char* Concatenate(const char* left, int64_t leftLength, const char* right, int64_t rightLength) {
    const int64_t length = leftLength + rightLength;
    char* chars = NewBuffer(length, length + 1);
    if (leftLength > 0)
        std::memcpy(chars, left, static_cast<size_t>(leftLength));
    if (rightLength > 0)
        std::memcpy(chars + leftLength, right, static_cast<size_t>(rightLength));
    return chars;
}

char* Share(const StringRef& ref) noexcept {
    BlockAddRef(ref.GetCPtr());
    return const_cast<char*>(ref.GetCPtr());
}

int64_t TextLength(const char* text) noexcept {
    return text != nullptr ? static_cast<int64_t>(std::strlen(text)) : 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// StringRef

String StringRef::operator+(const StringRef& right) const {
    return String(*this, right);
}

String StringRef::operator+(const char* right) const {
    return String(*this, right);
}

int StringRef::Search(char ch) const noexcept {
    const char* chars = GetCPtr();
    const int length = Size();
    for (int i = 1; i < length; ++i) {
        if (chars[i] == ch)
            return i;
    }
    return -1;
}

int StringRef::RSearch(char ch) const noexcept {
    const char* chars = GetCPtr();
    for (int i = Size(); i-- > 0;) {
        if (chars[i] == ch)
            return i;
    }
    return -1;
}

int StringRef::Search(const char* text) const noexcept {
    if (text == nullptr)
        return -1;
    const char* found = std::strstr(GetCPtr(), text);
    return found != nullptr ? static_cast<int>(found - GetCPtr()) : -1;
}

bool StringRef::operator==(const char* text) const noexcept {
    return std::strcmp(GetCPtr(), text != nullptr ? text : "") == 0;
}

bool StringRef::operator==(const StringRef& other) const noexcept {
    if (this == &other)
        return true;
    const int length = Size();
    return length == other.Size() &&
           std::memcmp(GetCPtr(), other.GetCPtr(), static_cast<size_t>(length)) == 0;
}

unsigned StringRef::Hash32() const noexcept {
    // Two threads holding copies may both fill the cache; they store the same value.
    uint32_t& cached = HeaderOf(this)->m_Hash;
    uint32_t hash = Platform::AtomicLoadRelaxed(cached);
    if (hash == 0) {
        hash = FastStringHash32(reinterpret_cast<const unsigned char*>(GetCPtr()),
                                static_cast<unsigned>(Size()), 0);
        Platform::AtomicStoreRelaxed(cached, hash);
    }
    return hash;
}

// ---------------------------------------------------------------------------------------------
// Construction and assignment

String::String() noexcept : m_Chars(SharedEmptyBuffer()) {}

String::String(const char* text) {
    const int64_t length = TextLength(text);
    m_Chars = Concatenate(text, length, nullptr, 0);
}

String::String(const char* bytes, int n)
    : m_Chars(bytes != nullptr && n > 0 ? Concatenate(bytes, n, nullptr, 0) : SharedEmptyBuffer()) {
}

String::String(String&& other) noexcept : m_Chars(other.m_Chars) {
    other.m_Chars = SharedEmptyBuffer();
}

String::String(const StringRef& other) noexcept : m_Chars(Share(other)) {}

String::String(const StringRef& left, const StringRef& right) {
    if (left.Size() == 0)
        m_Chars = Share(right);
    else if (right.Size() == 0)
        m_Chars = Share(left);
    else
        m_Chars = Concatenate(left.GetCPtr(), left.Size(), right.GetCPtr(), right.Size());
}

String::String(const StringRef& left, const char* right) {
    const int64_t rightLength = TextLength(right);
    if (rightLength == 0)
        m_Chars = Share(left);
    else
        m_Chars = Concatenate(left.GetCPtr(), left.Size(), right, rightLength);
}

String::String(const char* left, const StringRef& right) {
    const int64_t leftLength = TextLength(left);
    if (leftLength == 0)
        m_Chars = Share(right);
    else
        m_Chars = Concatenate(left, leftLength, right.GetCPtr(), right.Size());
}

String::String(const char* left, const char* right)
    : m_Chars(Concatenate(left, TextLength(left), right, TextLength(right))) {}

String operator+(const char* left, const StringRef& right) {
    return String(left, right);
}

void String::operator=(const StringRef& other) noexcept {
    if (other.GetCPtr() == m_Chars)
        return;
    char* old = m_Chars;
    m_Chars = Share(other);
    BlockRelease(old);
}

void String::operator=(String&& other) noexcept {
    if (&other == this)
        return;
    char* old = m_Chars;
    m_Chars = other.m_Chars;
    other.m_Chars = SharedEmptyBuffer();
    BlockRelease(old);
}

void String::FromCPtr(const char* text) {
    // The copy is made before the old buffer goes, so `text` may point into it.
    char* old = m_Chars;
    m_Chars = Concatenate(text, TextLength(text), nullptr, 0);
    BlockRelease(old);
}

void String::AssignSlice(const StringRef& src, int start, int length) {
    const int count = src.Size() + 1;
    if (start < 0)
        start = 0;
    if (length < 0) {
        length = 0;
    } else if (length >= count - start) { // start + length would overflow for a large length
        length = count - start - 1;
        if (length < 0)
            length = 0;
    }
    char* old = m_Chars;
    m_Chars = Concatenate(src.GetCPtr() + (length > 0 ? start : 0), length, nullptr, 0);
    BlockRelease(old);
}

char* String::Allocate(int n) {
    if (n < 0)
        n = 0;
    char* old = m_Chars;
    m_Chars = NewBuffer(n, static_cast<int64_t>(n) + 1);
    BlockRelease(old);
    return m_Chars;
}

void String::Clear() noexcept {
    char* old = m_Chars;
    m_Chars = SharedEmptyBuffer();
    BlockRelease(old);
}

// ---------------------------------------------------------------------------------------------
// Edits

void String::MakePrivate() {
    if (BlockRefCount(m_Chars) == 1 || IsStaticEmptyBlock(m_Chars))
        return;
    const int count = BlockCount(m_Chars);
    auto* fresh =
        static_cast<char*>(Memory::UninitializedNewStringRef1(Capacity(), count, BufferType()));
    std::memcpy(fresh, m_Chars, static_cast<size_t>(count));
    char* old = m_Chars;
    m_Chars = fresh;
    BlockRelease(old);
}

void String::Reallocate(int capacity) {
    m_Chars = static_cast<char*>(
        Memory::ReallocateString(m_Chars, capacity, BlockCount(m_Chars), BufferType()));
}

void String::Insert(int pos, char ch) {
    QUORLIX_ASSERT(pos >= 0 && pos <= Size(), "String::Insert: position out of range");
    const int count = BlockCount(m_Chars);
    if (count < Capacity()) {
        MakePrivate();
        std::memmove(m_Chars + pos + 1, m_Chars + pos, static_cast<size_t>(count - pos));
        m_Chars[pos] = ch;
        HeaderOf(m_Chars)->m_Count = count + 1;
        ResetHash();
        return;
    }
    const int64_t capacity = (static_cast<int64_t>(count) + 16) & ~int64_t{15};
    auto* fresh = static_cast<char*>(Memory::UninitializedNewStringRef1(
        CheckedSize(capacity), CheckedSize(int64_t{count} + 1), BufferType()));
    std::memcpy(fresh, m_Chars, static_cast<size_t>(pos));
    fresh[pos] = ch;
    std::memcpy(fresh + pos + 1, m_Chars + pos, static_cast<size_t>(count - pos));
    char* old = m_Chars;
    m_Chars = fresh;
    BlockRelease(old);
}

void String::Replace(int pos, char ch) {
    QUORLIX_ASSERT(pos >= 0 && pos < Size(), "String::Replace: position out of range");
    MakePrivate();
    m_Chars[pos] = ch;
    ResetHash();
}

void String::Swap(int i, int j) {
    QUORLIX_ASSERT(i >= 0 && i < Size() && j >= 0 && j < Size(),
                   "String::Swap: position out of range");
    MakePrivate();
    const char ch = m_Chars[i];
    m_Chars[i] = m_Chars[j];
    m_Chars[j] = ch;
    ResetHash();
}

void String::Remove(int pos) {
    QUORLIX_ASSERT(pos >= 0 && pos < Size(), "String::Remove: position out of range");
    MakePrivate();
    const int count = BlockCount(m_Chars);
    std::memmove(m_Chars + pos, m_Chars + pos + 1, static_cast<size_t>(count - pos - 1));
    HeaderOf(m_Chars)->m_Count = count - 1;
    ResetHash();
}

void String::AddGrowing(char ch) {
    const int count = BlockCount(m_Chars);
    // Geometric growth by one half keeps appending one character at a time linear.
    const int capacity = GrownCapacity(count);
    auto* fresh = static_cast<char*>(Memory::UninitializedNewStringRef1(
        CheckedSize(capacity), CheckedSize(int64_t{count} + 1), BufferType()));
    std::memcpy(fresh, m_Chars, static_cast<size_t>(count - 1));
    fresh[count - 1] = ch;
    fresh[count] = '\0';
    char* old = m_Chars;
    m_Chars = fresh;
    BlockRelease(old);
}

void String::Reserve(int n) {
    if (n > Capacity())
        Reallocate(n);
}

void String::Minimize() {
    if (Capacity() != BlockCount(m_Chars))
        Reallocate(BlockCount(m_Chars));
}

int String::Compare(const StringRef& a, const StringRef& b) noexcept {
    const int countA = a.Size() + 1;
    const int countB = b.Size() + 1;
    const int shorter = countA < countB ? countA : countB;
    const int order = std::memcmp(a.GetCPtr(), b.GetCPtr(), static_cast<size_t>(shorter));
    if (order != 0)
        return order < 0 ? -1 : 1;
    if (countA != countB) // equal up to an embedded NUL: the proper prefix is smaller
        return countA < countB ? -1 : 1;
    return 0;
}

} // namespace Quorlix
