// API-sequence fuzzer for String and StringHashArray, checked after every step against
// std::string models and a bucket model. Slots share buffers after copies, so checking every
// slot after every edit is what catches an edit that leaked into a shared buffer.

#include "quorlix/core/Hash.h"
#include "quorlix/core/String.h"
#include "quorlix/core/StringHashArray.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "string_ops: line %d: %s\n", __LINE__, #c), std::abort()))

namespace {

constexpr size_t k_MaxLength = 2048; // strings stop growing here, since `s = s + s` doubles
constexpr int k_Slots = 4, k_Values = 3, k_Keys = 15;
// Few enough keys that duplicates and shared buckets are common.
const char* const k_KeyText[k_Keys] = {"",    "a",   "b",   "aa",  "ba",  "ab",  "bb", "aaa",
                                       "baa", "aba", "bba", "aab", "bab", "abb", "bbb"};

unsigned ModelHash(const std::string& s) {
    return FastStringHash32(reinterpret_cast<const unsigned char*>(s.data()),
                            static_cast<unsigned>(s.size()), 0);
}

class Session {
public:
    Session(const uint8_t* data, size_t size)
        : m_Data(data), m_Size(size), m_Table(Byte() % 4), m_Buckets(m_Table.BucketCount()) {}

    void Run() {
        while (m_Pos < m_Size)
            Step();
        m_Table.Clear(); // which must give every value reference back
        m_Buckets.assign(m_Buckets.size(), {});
        CheckTable();
    }

private:
    uint8_t Byte() { return m_Pos < m_Size ? m_Data[m_Pos++] : 0; } // 0 past the input's end
    // A small value or any 32-bit word.
    int Int() {
        const bool small = Byte() & 1;
        uint32_t word = Byte();
        for (int i = 0; !small && i < 3; ++i)
            word = word << 8 | Byte();
        return small ? static_cast<int8_t>(word) : static_cast<int>(word);
    }
    // Up to `limit` input bytes, NULs included.
    std::string Bytes(size_t limit) {
        const size_t n = std::min<size_t>(Byte() % (limit + 1), m_Size - m_Pos);
        m_Pos += n;
        return std::string(reinterpret_cast<const char*>(m_Data) + m_Pos - n, n);
    }

    void* Value(int v) { return v < 0 ? nullptr : const_cast<char*>(m_Values[v].GetCPtr()); }
    int BucketOf(const std::string& key) {
        return static_cast<int>(ModelHash(key) & (m_Buckets.size() - 1));
    }
    // Position of the key's first entry in its bucket, or -1.
    int PositionOf(const std::string& key) {
        const auto& bucket = m_Buckets[BucketOf(key)];
        const auto it = std::find_if(bucket.begin(), bucket.end(),
                                     [&](const auto& entry) { return entry.first == key; });
        return it == bucket.end() ? -1 : static_cast<int>(it - bucket.begin());
    }
    int Handle(const std::string& key, int at) {
        return at < 0 ? -1 : BucketOf(key) * static_cast<int>(m_Buckets.size()) + at;
    }
    // The key as a slot holding that text (its hash cached already) or a fresh buffer.
    String KeyString(const std::string& key, int how) {
        for (int i = 0; (how & 1) && i < k_Slots; ++i)
            if (m_Models[i] == key)
                return m_Slots[i];
        return String(key.data(), static_cast<int>(key.size()));
    }

    void CheckTable() {
        int uses[k_Values + 1] = {}; // uses[v + 1]: entries holding value v
        for (const auto& bucket : m_Buckets)
            for (const auto& entry : bucket)
                ++uses[entry.second + 1];
        EXPECT(m_Table.EntryCount() == std::accumulate(uses, uses + k_Values + 1, 0));
        for (int v = 0; v < k_Values; ++v)
            EXPECT(BlockRefCount(m_Values[v].GetCPtr()) == 1 + uses[v + 1]);
        for (int n = 0; n < k_Keys; ++n) {
            const std::string key = k_KeyText[n];
            const int at = PositionOf(key);
            void* value = &m_Table; // a miss leaves it alone
            EXPECT(m_Table.Find(KeyString(key, n), value) == Handle(key, at));
            EXPECT(value == (at < 0 ? &m_Table : Value(m_Buckets[BucketOf(key)][at].second)));
        }
    }

    void Step() {
        const uint8_t op = Byte(), kind = op % 13;
        const int a = Byte() % k_Slots, b = Byte() % k_Slots, i = Int();
        const char ch = static_cast<char>(Byte());
        const std::string key = k_KeyText[static_cast<unsigned>(i) % k_Keys];
        String& s = m_Slots[a];
        std::string& m = m_Models[a];
        const std::string& mb = m_Models[b];
        // Edits at positions inside the string only: the library asserts on others.
        if ((kind == 0 && m.size() >= k_MaxLength) || (kind > 0 && kind < 3 && m.empty()))
            return;
        const size_t n = std::max<size_t>(m.size() + (kind == 0), 1);
        const auto u = static_cast<unsigned>(i);
        const int x = static_cast<int>(u % n), y = static_cast<int>(static_cast<uint8_t>(ch) % n);
        const char* before = s.GetCPtr();
        const int count = s.Size() + 1, capacity = s.Capacity();
        // An unshared buffer with room left is edited where it is.
        const bool adds = kind == 0 && !(op & 0x40);
        const bool inPlace = kind < 3 && BlockRefCount(before) == 1 && count + adds < capacity;
        switch (kind) {
        case 0:
            adds ? ((op & 0x80) ? void(s += ch) : s.Add(ch)) : s.Insert(x, ch);
            m.insert(adds ? m.size() : static_cast<size_t>(x), 1, ch);
            break;
        case 1:
            (op & 0x80) ? s.Swap(x, y) : s.Replace(x, ch);
            (op & 0x80) ? std::swap(m[x], m[y]) : void(m[x] = ch);
            break;
        case 2:
            s.Remove(x);
            m.erase(m.begin() + x);
            break;
        case 3:
            (op & 0x80) ? s.Minimize() : s.Reserve(i % 8192);
            EXPECT(s.Capacity() == ((op & 0x80) ? count : std::max(capacity, i % 8192)));
            break;
        case 4: { // the source may be the target itself
            const int length = Int();
            s.AssignSlice(m_Slots[b], i, length);
            m = mb.substr(std::min<size_t>(std::max(i, 0), mb.size()), std::max(length, 0));
            break;
        }
        case 5: { // outside text, or a tail of a slot (this one included)
            const size_t offset = u % (mb.size() + 1);
            const std::string text = (op & 0x80) ? Bytes(64) : mb.substr(offset);
            s.FromCPtr((op & 0x80) ? text.c_str() : m_Slots[b].GetCPtr() + offset);
            m = text.c_str();
            break;
        }
        case 6: { // concatenations
            const int form = op >> 6, c = op >> 4 & 3;
            const std::string text = Bytes(16).c_str(), mc = m_Models[c];
            if (mb.size() + mc.size() + text.size() > k_MaxLength)
                break;
            const std::string expected[] = {mb + mc, mb.c_str() + text, mb + text, text + mb};
            m = expected[form];
            s = form == 0   ? m_Slots[b] + m_Slots[c]
                : form == 1 ? String(m_Slots[b].GetCPtr(), text.c_str())
                : form == 2 ? m_Slots[b] + text.c_str()
                            : text.c_str() + m_Slots[b].Ref();
            break;
        }
        case 7: // bytes with NULs, copied or written through the pointer Allocate returns
            m = Bytes(255);
            m.resize(static_cast<size_t>(std::max(i % 300, 0)), ch);
            if (op & 0x80)
                s = String(m.data(), static_cast<int>(m.size()));
            else
                std::memcpy(s.Allocate(i % 300), m.data(), m.size());
            break;
        case 8: // a copy shares the buffer; a move leaves the source empty
            if (op & 0x80)
                s = std::move(m_Slots[b]);
            else
                s = m_Slots[b];
            m = (op & 0x80) ? std::exchange(m_Models[b], {}) : mb;
            EXPECT((op & 0x80) || s.GetCPtr() == m_Slots[b].GetCPtr());
            break;
        case 9: // no look for an existing entry of the key
            m_Buckets[BucketOf(key)].emplace_back(key, b - 1);
            EXPECT(m_Table.Insert(KeyString(key, op >> 7), Value(b - 1)) ==
                   Handle(key, static_cast<int>(m_Buckets[BucketOf(key)].size()) - 1));
            break;
        case 10: { // the first entry of the key goes; the bucket's last one takes its place
            const int at = PositionOf(key);
            auto& bucket = m_Buckets[BucketOf(key)];
            EXPECT(m_Table.Remove(KeyString(key, op >> 7)) == Handle(key, at));
            if (at >= 0) {
                bucket[at] = bucket.back();
                bucket.pop_back();
            }
            break;
        }
        case 11: { // edits of a copy must leave the table alone
            StringHashArray copy(m_Table);
            copy.Insert(KeyString(key, op >> 7), Value(b - 1));
            copy.Remove(KeyString(k_KeyText[u / 16 % k_Keys], 0));
            break;
        }
        default: // empties the slot and the table
            s.Clear();
            m.clear();
            m_Table.Clear();
            m_Buckets.assign(m_Buckets.size(), {});
        }
        EXPECT(!inPlace || s.GetCPtr() == before);
        for (int j = 0; j < k_Slots; ++j) {
            const String& t = m_Slots[j];
            const std::string& mt = m_Models[j];
            EXPECT(t.Size() == static_cast<int>(mt.size()) && t.Capacity() > t.Size());
            EXPECT(!std::memcmp(t.GetCPtr(), mt.c_str(), mt.size() + 1)); // the terminator too
            EXPECT(t.Hash32() == ModelHash(mt));
        }
        // Searches (Search(ch) skips index 0) with a character of the string and a slot's text.
        const char c = static_cast<int8_t>(ch) >= 0 && !m.empty() ? m[ch % m.size()] : ch;
        EXPECT(s.Search(c) == static_cast<int>(m.find(c, 1))); // npos reads as -1
        EXPECT(s.RSearch(c) == static_cast<int>(m.rfind(c)));
        const std::string text = mb.substr(u % (mb.size() + 1), u / 256 % 4).c_str();
        EXPECT(s.Search(text.c_str()) == static_cast<int>(std::string(m.c_str()).find(text)));
        EXPECT(String::Compare(s, m_Slots[b]) == (m < mb ? -1 : m > mb ? 1 : 0));
        EXPECT((s == m_Slots[b]) == (m == mb));
        EXPECT((s == mb.c_str()) == (std::strcmp(m.c_str(), mb.c_str()) == 0));
        if (kind >= 9)
            CheckTable();
    }

    const uint8_t* m_Data;
    size_t m_Size, m_Pos = 0;
    String m_Slots[k_Slots];
    std::string m_Models[k_Slots];
    String m_Values[k_Values] = {"0", "1", "2"};
    StringHashArray m_Table;
    std::vector<std::vector<std::pair<std::string, int>>> m_Buckets; // (key, value index or -1)
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Session(data, size).Run();
    return 0;
}
