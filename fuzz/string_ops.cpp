// API-sequence fuzzer for String and StringHashArray. The input is decoded as a list of
// operations on a few String slots and two hash tables; after every operation each slot is
// compared with a std::string model and each table with a model of its buckets. Copies share
// buffers, so comparing every slot after every edit is what checks copy-on-write: an edit that
// leaked into a shared buffer shows up as a mismatch in another slot.

#include "quorlix/core/Hash.h"
#include "quorlix/core/String.h"
#include "quorlix/core/StringHashArray.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;

namespace {

[[noreturn]] void Fail(const char* what, int line) {
    std::fprintf(stderr, "string_ops: mismatch at line %d: %s\n", line, what);
    std::abort();
}

#define EXPECT(condition)                                                                          \
    do {                                                                                           \
        if (!(condition))                                                                          \
            Fail(#condition, __LINE__);                                                            \
    } while (0)

// Strings longer than this stop growing, so that one input cannot spend its time in memmove.
constexpr int k_MaxLength = 2048;
constexpr int k_Slots = 4;
constexpr int k_Values = 3;
// Entries per table: enough for long duplicate chains in one bucket.
constexpr int k_MaxEntries = 512;

// Reads operation codes and operands from the input; past the end everything reads as zero.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}

    bool AtEnd() const { return m_Pos >= m_Size; }
    size_t Remaining() const { return m_Size - m_Pos; }
    uint8_t Byte() { return m_Pos < m_Size ? m_Data[m_Pos++] : 0; }
    char Char() { return static_cast<char>(Byte()); }

    // Integer operands mix small values, the edges of int and arbitrary 32-bit words.
    int Int() {
        static constexpr int k_Edges[] = {0,       1,           -1,          2,
                                          INT_MAX, INT_MAX - 1, INT_MIN,     INT_MIN + 1,
                                          1 << 30, -(1 << 30),  k_MaxLength, 3};
        const uint8_t kind = Byte();
        switch (kind % 4) {
        case 0:
        case 1:
            return static_cast<int8_t>(Byte());
        case 2:
            return k_Edges[Byte() % (sizeof k_Edges / sizeof k_Edges[0])];
        default: {
            uint32_t word = 0;
            for (int i = 0; i < 4; ++i)
                word = word << 8 | Byte();
            return static_cast<int>(word);
        }
        }
    }

    // A byte run from the input of up to `limit` bytes (possibly holding NULs).
    std::string Bytes(size_t limit) {
        size_t n = std::min<size_t>(Byte() % (limit + 1), Remaining());
        std::string bytes(reinterpret_cast<const char*>(m_Data + m_Pos), n);
        m_Pos += n;
        return bytes;
    }

    // A NUL-free text: the run above cut at its first NUL.
    std::string Text(size_t limit) {
        std::string bytes = Bytes(limit);
        return bytes.substr(0, bytes.find('\0'));
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Pos = 0;
};

// The published lookup2 hash, written independently of the library as a reference.
uint32_t ReferenceLookup2(const unsigned char* k, uint32_t length, uint32_t initial) {
    auto mix = [](uint32_t& a, uint32_t& b, uint32_t& c) {
        a -= b, a -= c, a ^= c >> 13;
        b -= c, b -= a, b ^= a << 8;
        c -= a, c -= b, c ^= b >> 13;
        a -= b, a -= c, a ^= c >> 12;
        b -= c, b -= a, b ^= a << 16;
        c -= a, c -= b, c ^= b >> 5;
        a -= b, a -= c, a ^= c >> 3;
        b -= c, b -= a, b ^= a << 10;
        c -= a, c -= b, c ^= b >> 15;
    };
    auto word = [](const unsigned char* p) {
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    };
    uint32_t a = 0x9E3779B9u, b = 0x9E3779B9u, c = initial;
    uint32_t len = length;
    while (len >= 12) {
        a += word(k), b += word(k + 4), c += word(k + 8);
        mix(a, b, c);
        k += 12;
        len -= 12;
    }
    c += length;
    // Bytes 8..10 go into c above its low byte, which holds the length.
    for (uint32_t i = 0; i < len; ++i) {
        const uint32_t byte = k[i];
        if (i < 4)
            a += byte << (8 * i);
        else if (i < 8)
            b += byte << (8 * (i - 4));
        else
            c += byte << (8 * (i - 7));
    }
    mix(a, b, c);
    return c;
}

uint32_t ModelHash(const std::string& s) {
    return FastStringHash32(reinterpret_cast<const unsigned char*>(s.data()),
                            static_cast<unsigned>(s.size()), 0);
}

// Compare semantics: unsigned bytes over the shorter length with the terminator, then length.
int ModelCompare(const std::string& a, const std::string& b) {
    const size_t shorter = std::min(a.size(), b.size()) + 1;
    for (size_t i = 0; i < shorter; ++i) {
        const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : '\0');
        const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : '\0');
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return 0;
}

// Search(ch) never looks at index 0.
int ModelSearch(const std::string& s, char ch) {
    for (size_t i = 1; i < s.size(); ++i) {
        if (s[i] == ch)
            return static_cast<int>(i);
    }
    return -1;
}

int ModelRSearch(const std::string& s, char ch) {
    const size_t at = s.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

// Substring search works on the NUL-terminated text: it stops at an embedded NUL.
int ModelSearchText(const std::string& s, const std::string& text) {
    const std::string visible = s.substr(0, s.find('\0'));
    const size_t at = visible.find(text);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

// The slice rules: negative start is 0, negative length empty, a length reaching the end
// stops at the end.
std::string ModelSlice(const std::string& src, int start, int length) {
    const int64_t count = static_cast<int64_t>(src.size()) + 1;
    int64_t s = start < 0 ? 0 : start;
    int64_t n = length < 0 ? 0 : length;
    if (s + n >= count)
        n = std::max<int64_t>(count - s - 1, 0);
    if (n == 0)
        return {};
    return src.substr(static_cast<size_t>(s), static_cast<size_t>(n));
}

void CheckString(const String& s, const std::string& model) {
    EXPECT(s.Size() == static_cast<int>(model.size()));
    EXPECT(std::memcmp(s.GetCPtr(), model.data(), model.size()) == 0);
    EXPECT(s.GetCPtr()[s.Size()] == '\0');
    EXPECT(s.Capacity() >= s.Size() + 1);
    EXPECT(BlockRefCount(s.GetCPtr()) >= 1);
    // Every empty buffer of capacity 1 is the shared empty string.
    if (s.Capacity() < 2)
        EXPECT(IsStaticEmptyBlock(s.GetCPtr()));
}

// A table and the model of its buckets: each bucket is the list of (key, value index) in
// the table's own order. Remove moves a bucket's last entry into the freed place, so after a
// removal the oldest entry of a key is not necessarily the first one found; the model mirrors
// the bucket order exactly instead of keeping per-key insertion order.
struct ModelEntry {
    std::string key;
    int value; // index into the value pool, -1 for null
};

struct Table {
    explicit Table(int log2) : table(log2), buckets(size_t{1} << log2) {}

    StringHashArray table;
    std::vector<std::vector<ModelEntry>> buckets;
    int entryCount = 0;
    int uses[k_Values] = {}; // entries holding each value

    int BucketCount() const { return static_cast<int>(buckets.size()); }
    int BucketOf(const std::string& key) const {
        return static_cast<int>(ModelHash(key) & static_cast<uint32_t>(BucketCount() - 1));
    }
    int Handle(int bucket, int position) const {
        const int64_t handle = int64_t{bucket} * BucketCount() + position;
        return handle > INT32_MAX ? INT32_MAX : static_cast<int>(handle);
    }
    int FindPosition(const std::string& key) const {
        const auto& bucket = buckets[static_cast<size_t>(BucketOf(key))];
        for (size_t i = 0; i < bucket.size(); ++i) {
            if (bucket[i].key == key)
                return static_cast<int>(i);
        }
        return -1;
    }
    int EntryCount() const { return entryCount; }
    int UsesOf(int value) const { return uses[value]; }

    // Returns the new entry's position in its bucket.
    int Add(const std::string& key, int value) {
        auto& bucket = buckets[static_cast<size_t>(BucketOf(key))];
        bucket.push_back({key, value});
        ++entryCount;
        if (value >= 0)
            ++uses[value];
        return static_cast<int>(bucket.size()) - 1;
    }
    // The table's removal: the bucket's last entry takes the freed place.
    void RemoveAt(int bucketIndex, int position) {
        auto& bucket = buckets[static_cast<size_t>(bucketIndex)];
        const int value = bucket[static_cast<size_t>(position)].value;
        bucket[static_cast<size_t>(position)] = bucket.back();
        bucket.pop_back();
        --entryCount;
        if (value >= 0)
            --uses[value];
    }
    void Clear() {
        for (auto& bucket : buckets)
            bucket.clear();
        entryCount = 0;
        std::fill(std::begin(uses), std::end(uses), 0);
    }
};

// Keys come from a two-letter alphabet so that duplicates and shared buckets are common.
std::string KeyFromByte(uint8_t byte) {
    const int length = byte % 4;
    std::string key;
    for (int i = 0; i < length; ++i)
        key += (byte >> (2 + i) & 1) ? 'b' : 'a';
    return key;
}

class Session {
public:
    Session(const uint8_t* data, size_t size) : m_In(data, size) {
        const uint8_t config = m_In.Byte();
        // 1 to 8 buckets: small tables put several keys into one bucket.
        const int log2 = config % 4;
        m_Tables.reserve(2);
        m_Tables.emplace_back(log2);
        m_Tables.emplace_back(log2);
        for (int i = 0; i < k_Values; ++i) {
            m_ValueText[i] = "value" + std::to_string(i);
            m_Values[i] = String(m_ValueText[i].c_str());
        }
    }

    void Run() {
        while (!m_In.AtEnd()) {
            Step();
            CheckAll();
        }
        // Dropping the tables must give back every value reference they took.
        for (Table& t : m_Tables) {
            t.table.Clear();
            EXPECT(t.table.EntryCount() == 0);
            EXPECT(t.table.BucketCount() == t.BucketCount());
            t.Clear();
        }
        for (int i = 0; i < k_Values; ++i)
            EXPECT(BlockRefCount(m_Values[i].GetCPtr()) == 1);
    }

private:
    String& SlotAt(uint8_t byte) { return m_Slots[byte % k_Slots]; }
    std::string& ModelAt(uint8_t byte) { return m_Models[byte % k_Slots]; }

    void* ValuePointer(int value) {
        return value < 0 ? nullptr : const_cast<char*>(m_Values[value].GetCPtr());
    }

    void CheckAll() {
        for (int i = 0; i < k_Slots; ++i)
            CheckString(m_Slots[i], m_Models[i]);
        for (int i = 0; i < k_Values; ++i) {
            CheckString(m_Values[i], m_ValueText[i]);
            // The tables hold one reference per entry; tables that share buckets after a
            // copy share those references.
            const int uses0 = m_Tables[0].UsesOf(i);
            const int uses1 = m_Tables[1].UsesOf(i);
            const int refs = BlockRefCount(m_Values[i].GetCPtr()) - 1;
            EXPECT(refs >= std::max(uses0, uses1));
            EXPECT(refs <= uses0 + uses1);
        }
    }

    void Step() {
        const uint8_t op = m_In.Byte();
        const uint8_t a = m_In.Byte();
        String& s = SlotAt(a);
        std::string& m = ModelAt(a);
        switch (op % 26) {
        case 0: { // Add / +=
            const char ch = m_In.Char();
            if (m.size() >= k_MaxLength)
                break;
            const char* before = s.GetCPtr();
            const int count = s.Size() + 1;
            const int capacity = s.Capacity();
            const bool inPlace = BlockRefCount(before) == 1 && count < capacity - 1;
            if (op & 0x80)
                s += ch;
            else
                s.Add(ch);
            m += ch;
            if (inPlace) {
                EXPECT(s.GetCPtr() == before);
                EXPECT(s.Capacity() == capacity);
            } else {
                EXPECT(s.GetCPtr() != before);
                EXPECT(s.Capacity() == ((count / 2 + count + 4) & ~3));
            }
            break;
        }
        case 1: { // Insert
            const int pos = static_cast<int>(static_cast<unsigned>(m_In.Int()) % (m.size() + 1));
            const char ch = m_In.Char();
            if (m.size() >= k_MaxLength)
                break;
            const int count = s.Size() + 1;
            const int capacity = s.Capacity();
            s.Insert(pos, ch);
            m.insert(m.begin() + pos, ch);
            if (count < capacity)
                EXPECT(s.Capacity() == capacity);
            else
                EXPECT(s.Capacity() == ((count + 16) & ~15));
            break;
        }
        case 2: { // Replace
            const int pos = m_In.Int();
            const char ch = m_In.Char();
            if (m.empty())
                break;
            const int at = static_cast<int>(static_cast<unsigned>(pos) % m.size());
            s.Replace(at, ch);
            m[static_cast<size_t>(at)] = ch;
            break;
        }
        case 3: { // Swap
            const int i = m_In.Int();
            const int j = m_In.Int();
            if (m.empty())
                break;
            const int x = static_cast<int>(static_cast<unsigned>(i) % m.size());
            const int y = static_cast<int>(static_cast<unsigned>(j) % m.size());
            s.Swap(x, y);
            std::swap(m[static_cast<size_t>(x)], m[static_cast<size_t>(y)]);
            break;
        }
        case 4: { // Remove
            const int pos = m_In.Int();
            if (m.empty())
                break;
            const int at = static_cast<int>(static_cast<unsigned>(pos) % m.size());
            s.Remove(at);
            m.erase(static_cast<size_t>(at), 1);
            break;
        }
        case 5: { // AssignSlice, the source possibly the target itself
            const uint8_t b = m_In.Byte();
            const int start = m_In.Int();
            const int length = m_In.Int();
            const std::string expected = ModelSlice(ModelAt(b), start, length);
            s.AssignSlice(SlotAt(b), start, length);
            m = expected;
            EXPECT(s.Capacity() == s.Size() + 1);
            break;
        }
        case 6: { // FromCPtr of outside text
            const std::string text = m_In.Text(64);
            s.FromCPtr(text.c_str());
            m = text;
            break;
        }
        case 7: { // FromCPtr of a tail of the string itself or another slot
            const uint8_t b = m_In.Byte();
            const std::string& source = ModelAt(b);
            const size_t offset = m_In.Byte() % (source.size() + 1);
            const std::string expected =
                std::string(source.c_str() + offset); // up to the first NUL
            s.FromCPtr(SlotAt(b).GetCPtr() + offset);
            m = expected;
            break;
        }
        case 8: { // String + String
            const uint8_t b = m_In.Byte();
            const uint8_t d = m_In.Byte();
            const String& left = SlotAt(b);
            const String& right = SlotAt(m_In.Byte());
            const std::string& rightModel = m_Models[&right - m_Slots];
            if (ModelAt(b).size() + rightModel.size() > k_MaxLength)
                break; // doubling a string onto itself would grow without bound
            String result = (op & 0x80) ? left + right.Ref() : left.Ref() + right.Ref();
            CheckConcatenation(result, left, right);
            const std::string expected = ModelAt(b) + rightModel;
            SlotAt(d) = result;
            ModelAt(d) = expected;
            break;
        }
        case 9: { // concatenations with NUL-terminated text
            const std::string text = m_In.Text(16);
            const uint8_t form = m_In.Byte() % 4;
            if (m.size() + text.size() > k_MaxLength)
                break;
            std::string expected;
            String result;
            switch (form) {
            case 0:
                result = s + text.c_str();
                expected = m + text;
                break;
            case 1:
                result = text.c_str() + s.Ref();
                expected = text + m;
                break;
            case 2:
                result = s.Ref() + text.c_str();
                expected = m + text;
                break;
            default:
                result = String(text.c_str(), m.c_str());
                expected = text + std::string(m.c_str());
                break;
            }
            CheckString(result, expected);
            if (form < 3 && text.empty())
                EXPECT(result.GetCPtr() == s.GetCPtr());
            else if (form < 3 && m.empty())
                EXPECT(result.GetCPtr() != s.GetCPtr());
            s = result;
            m = expected;
            break;
        }
        case 10: { // Reserve
            const int n = m_In.Int() % (4 * k_MaxLength);
            const int capacity = s.Capacity();
            s.Reserve(n);
            EXPECT(s.Capacity() == std::max(capacity, n));
            break;
        }
        case 11: // Minimize
            s.Minimize();
            EXPECT(s.Capacity() == s.Size() + 1);
            break;
        case 12: { // Allocate, then fill the characters
            const int n = m_In.Int() % 300;
            const std::string fill = m_In.Bytes(255);
            char* chars = s.Allocate(n);
            const int length = n < 0 ? 0 : n;
            EXPECT(s.Size() == length);
            EXPECT(chars == s.GetCPtr());
            EXPECT(chars[length] == '\0');
            m.assign(static_cast<size_t>(length), '\0');
            for (int i = 0; i < length; ++i) {
                const char ch = fill.empty() ? 'x' : fill[static_cast<size_t>(i) % fill.size()];
                chars[i] = ch;
                m[static_cast<size_t>(i)] = ch;
            }
            break;
        }
        case 13: { // copy: the two share one buffer
            const uint8_t b = m_In.Byte();
            const std::string expected = ModelAt(b);
            const int refs = BlockRefCount(SlotAt(b).GetCPtr());
            const bool same = s.GetCPtr() == SlotAt(b).GetCPtr();
            s = SlotAt(b);
            m = expected;
            EXPECT(s.GetCPtr() == SlotAt(b).GetCPtr());
            if (!same && !IsStaticEmptyBlock(s.GetCPtr()))
                EXPECT(BlockRefCount(s.GetCPtr()) == refs + 1);
            break;
        }
        case 14: { // copy, edit the copy, drop it: the original must not change
            String copy(s);
            EXPECT(copy.GetCPtr() == s.GetCPtr());
            std::string copyModel = m;
            EditCopy(copy, copyModel);
            CheckString(copy, copyModel);
            break;
        }
        case 15: // Clear
            s.Clear();
            m.clear();
            EXPECT(IsStaticEmptyBlock(s.GetCPtr()));
            break;
        case 16: { // moves
            const uint8_t b = m_In.Byte();
            if (&SlotAt(b) == &s)
                break;
            if (op & 0x80) {
                String moved(static_cast<String&&>(SlotAt(b)));
                s = moved;
            } else {
                s = static_cast<String&&>(SlotAt(b));
            }
            m = ModelAt(b);
            ModelAt(b).clear();
            break;
        }
        case 17: { // String(const char*, int) over bytes that may hold NULs
            const std::string bytes = m_In.Bytes(64);
            String made(bytes.data(), static_cast<int>(bytes.size()));
            s = made;
            m = bytes;
            break;
        }
        case 18: { // searches
            const char ch = m_In.Char();
            EXPECT(s.Search(ch) == ModelSearch(m, ch));
            EXPECT(s.RSearch(ch) == ModelRSearch(m, ch));
            EXPECT(s.Ref().Search(ch) == ModelSearch(m, ch));
            const size_t index = m_In.Byte() % (m.size() + 1); // the terminator is readable
            EXPECT(s[static_cast<int>(index)] == (index < m.size() ? m[index] : '\0'));
            // A text taken from the string itself is found more often than a random one.
            std::string text = m_In.Text(4);
            if ((op & 0x80) && !m.empty()) {
                const size_t at = static_cast<size_t>(m_In.Byte()) % m.size();
                text = m.substr(at, 1 + m_In.Byte() % 3);
                text = text.substr(0, text.find('\0'));
            }
            EXPECT(s.Search(text.c_str()) == ModelSearchText(m, text));
            break;
        }
        case 19: { // comparisons
            const uint8_t b = m_In.Byte();
            const String& other = SlotAt(b);
            const std::string& otherModel = ModelAt(b);
            EXPECT(String::Compare(s, other) == ModelCompare(m, otherModel));
            EXPECT((s == other.Ref()) == (m == otherModel));
            EXPECT((s != other.Ref()) == (m != otherModel));
            EXPECT((s == otherModel.c_str()) == (std::strcmp(m.c_str(), otherModel.c_str()) == 0));
            EXPECT((s.Ref() != otherModel.c_str()) ==
                   (std::strcmp(m.c_str(), otherModel.c_str()) != 0));
            break;
        }
        case 20: { // hashes: cached, shared by copies, equal for equal text in another buffer
            const unsigned expected = ModelHash(m);
            EXPECT(s.Hash32() == expected);
            EXPECT(s.Hash32() == expected);
            String fresh(m.data(), static_cast<int>(m.size()));
            EXPECT(fresh.Ref().Hash32() == expected);
            if (expected != 0 && !IsStaticEmptyBlock(s.GetCPtr()))
                EXPECT(HeaderOf(s.GetCPtr())->m_Hash == expected);
            break;
        }
        case 21: { // FastStringHash32 against the reference over raw input bytes
            const std::string bytes = m_In.Bytes(100);
            const auto initial = static_cast<unsigned>(m_In.Int());
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
            const auto n = static_cast<unsigned>(bytes.size());
            EXPECT(FastStringHash32(p, n, initial) == ReferenceLookup2(p, n, initial));
            break;
        }
        case 22: // table Insert
            TableInsert(a);
            break;
        case 23: // table Find
            TableFind(a);
            break;
        case 24: // table Remove
            TableRemove(a);
            break;
        default: // table Clear or copy
            TableClearOrCopy(a);
            break;
        }
    }

    // Concatenation shares the non-empty side when the other one is empty and otherwise
    // makes a buffer of exactly the needed size.
    void CheckConcatenation(const String& result, const String& left, const String& right) {
        const std::string expected =
            std::string(left.GetCPtr(), left.Size()) + std::string(right.GetCPtr(), right.Size());
        CheckString(result, expected);
        if (left.Size() == 0)
            EXPECT(result.GetCPtr() == right.GetCPtr());
        else if (right.Size() == 0)
            EXPECT(result.GetCPtr() == left.GetCPtr());
        else
            EXPECT(result.Capacity() == result.Size() + 1);
    }

    // One in-place edit of a copy; any of them must leave the shared original alone.
    void EditCopy(String& copy, std::string& model) {
        const uint8_t kind = m_In.Byte();
        const char ch = m_In.Char();
        const auto pos = static_cast<unsigned>(m_In.Int());
        switch (kind % 6) {
        case 0:
            if (!model.empty()) {
                copy.Replace(static_cast<int>(pos % model.size()), ch);
                model[pos % model.size()] = ch;
            }
            break;
        case 1:
            copy.Insert(static_cast<int>(pos % (model.size() + 1)), ch);
            model.insert(model.begin() + pos % (model.size() + 1), ch);
            break;
        case 2:
            if (!model.empty()) {
                copy.Remove(static_cast<int>(pos % model.size()));
                model.erase(pos % model.size(), 1);
            }
            break;
        case 3:
            if (!model.empty()) {
                const auto other = static_cast<unsigned>(ch);
                copy.Swap(static_cast<int>(pos % model.size()),
                          static_cast<int>(other % model.size()));
                std::swap(model[pos % model.size()], model[other % model.size()]);
            }
            break;
        case 4:
            copy.Reserve(static_cast<int>(pos % 256));
            copy.Add(ch);
            model += ch;
            break;
        default:
            copy.Minimize();
            copy += ch;
            model += ch;
            break;
        }
    }

    Table& TableAt(uint8_t byte) { return m_Tables[byte & 1]; }

    // The key as a String: a fresh buffer, or a slot that holds the same text (shared, with
    // its hash possibly cached already).
    String MakeKey(const std::string& key, uint8_t how) {
        if (how & 1) {
            for (int i = 0; i < k_Slots; ++i) {
                if (m_Models[i] == key)
                    return m_Slots[i];
            }
        }
        return String(key.data(), static_cast<int>(key.size()));
    }

    void TableInsert(uint8_t which) {
        Table& t = TableAt(which);
        const std::string key = KeyFromByte(m_In.Byte());
        const int value = static_cast<int>(m_In.Byte() % (k_Values + 1)) - 1;
        const String keyString = MakeKey(key, m_In.Byte());
        if (t.EntryCount() >= k_MaxEntries)
            return;
        const int handle = t.table.Insert(keyString, ValuePointer(value));
        const int position = t.Add(key, value);
        EXPECT(handle == t.Handle(t.BucketOf(key), position));
        EXPECT(t.table.EntryCount() == t.EntryCount());
    }

    void TableFind(uint8_t which) {
        Table& t = TableAt(which);
        const std::string key = KeyFromByte(m_In.Byte());
        const String keyString = MakeKey(key, m_In.Byte());
        void* const untouched = reinterpret_cast<void*>(uintptr_t{0x5A5A});
        void* found = untouched;
        const int handle = t.table.Find(keyString, found);
        const int position = t.FindPosition(key);
        if (position < 0) {
            EXPECT(handle == -1);
            EXPECT(found == untouched);
            return;
        }
        const int bucket = t.BucketOf(key);
        EXPECT(handle == t.Handle(bucket, position));
        EXPECT(found ==
               ValuePointer(
                   t.buckets[static_cast<size_t>(bucket)][static_cast<size_t>(position)].value));
    }

    void TableRemove(uint8_t which) {
        Table& t = TableAt(which);
        const std::string key = KeyFromByte(m_In.Byte());
        const String keyString = MakeKey(key, m_In.Byte());
        const int handle = t.table.Remove(keyString);
        const int position = t.FindPosition(key);
        if (position < 0) {
            EXPECT(handle == -1);
            return;
        }
        const int bucket = t.BucketOf(key);
        EXPECT(handle == t.Handle(bucket, position));
        t.RemoveAt(bucket, position);
        EXPECT(t.table.EntryCount() == t.EntryCount());
    }

    void TableClearOrCopy(uint8_t which) {
        Table& t = TableAt(which);
        if (which & 2) {
            t.table.Clear();
            t.Clear();
            EXPECT(t.table.EntryCount() == 0);
            return;
        }
        // Copy into the other table: the two share their buckets until one of them changes.
        Table& other = TableAt(which ^ 1);
        other.table = t.table;
        other.buckets = t.buckets;
        other.entryCount = t.entryCount;
        std::copy(std::begin(t.uses), std::end(t.uses), std::begin(other.uses));
        EXPECT(other.table.BucketCount() == other.BucketCount());
        EXPECT(other.table.EntryCount() == other.EntryCount());
    }

    Input m_In;
    String m_Slots[k_Slots];
    std::string m_Models[k_Slots];
    String m_Values[k_Values];
    std::string m_ValueText[k_Values];
    std::vector<Table> m_Tables;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Session session(data, size);
    session.Run();
    return 0;
}
