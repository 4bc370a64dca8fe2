#pragma once
// String-keyed hash table of counted objects, used for name lookup. A fixed number of buckets
// (2^k); each bucket is a counted array of entries. No lock of its own.

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API StringHashArray {
public:
    /// One table entry. The table holds one reference to `m_Value` (a counted payload) and
    /// shares the key's buffer.
    struct Entry {
        Entry(unsigned hash, const StringRef& key, void* value) noexcept;
        Entry(const Entry& other) noexcept;
        ~Entry();
        Entry& operator=(const Entry&) = delete;

        unsigned m_Hash;
        String m_Key;
        void* m_Value;
    };

    /// 2^log2Buckets empty buckets (log2Buckets is clamped to 0..30).
    explicit StringHashArray(int log2Buckets);

    /// Appends an entry to the key's bucket without looking for an existing one. Returns the
    /// entry's handle (see EntryHandle).
    int Insert(const StringRef& key, void* value);
    /// The oldest entry of `key`: stores its value and returns its handle; else returns -1 and
    /// leaves `value` unchanged.
    int Find(const StringRef& key, void*& value) const;
    /// Removes the oldest entry of `key`, moving the bucket's last entry into its place.
    /// Returns the removed entry's handle, or -1.
    int Remove(const StringRef& key);
    /// Empties every bucket; the bucket count stays.
    void Clear();

    int BucketCount() const noexcept { return m_Buckets.Size(); }
    /// Entries in all buckets.
    int EntryCount() const noexcept;

    /// Handle of the entry at `position` of bucket `bucket`: bucket * BucketCount() +
    /// position, computed without overflow and capped at INT32_MAX so that a found entry
    /// never reads as "not found".
    int EntryHandle(int bucket, int position) const noexcept;

private:
    int BucketOf(unsigned hash) const noexcept {
        return static_cast<int>(hash & static_cast<unsigned>(m_Buckets.Size() - 1));
    }
    int FindPosition(const Array<Entry>& bucket, unsigned hash, const StringRef& key) const;

    Array<Array<Entry>> m_Buckets;
};

template <>
struct IsBytewiseRelocatable<StringHashArray::Entry> : std::true_type {};

} // namespace Quorlix
