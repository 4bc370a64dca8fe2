#include "quorlix/core/StringHashArray.h"

namespace Quorlix {

StringHashArray::Entry::Entry(unsigned hash, const StringRef& key, void* value) noexcept
    : m_Hash(hash), m_Key(key), m_Value(value) {
    if (m_Value != nullptr)
        BlockAddRef(m_Value);
}

StringHashArray::Entry::Entry(const Entry& other) noexcept
    : m_Hash(other.m_Hash), m_Key(other.m_Key), m_Value(other.m_Value) {
    if (m_Value != nullptr)
        BlockAddRef(m_Value);
}

StringHashArray::Entry::~Entry() {
    if (m_Value != nullptr)
        BlockRelease(m_Value);
}

StringHashArray::StringHashArray(int log2Buckets) {
    if (log2Buckets < 0)
        log2Buckets = 0;
    if (log2Buckets > 30)
        log2Buckets = 30;
    m_Buckets.Resize(1 << log2Buckets);
}

int StringHashArray::EntryHandle(int bucket, int position) const noexcept {
    const int64_t handle = static_cast<int64_t>(bucket) * m_Buckets.Size() + position;
    return handle > INT32_MAX ? INT32_MAX : static_cast<int>(handle);
}

int StringHashArray::FindPosition(const Array<Entry>& bucket, unsigned hash,
                                  const StringRef& key) const {
    const Entry* entries = bucket.Data();
    const int count = bucket.Size();
    for (int i = 0; i < count; ++i) {
        // The 32-bit hash rules out almost every other key before a byte is compared.
        if (entries[i].m_Hash == hash && entries[i].m_Key == key)
            return i;
    }
    return -1;
}

int StringHashArray::Insert(const StringRef& key, void* value) {
    const unsigned hash = key.Hash32();
    const int index = BucketOf(hash);
    Array<Entry>& bucket = m_Buckets[index];
    bucket.Add(Entry(hash, key, value));
    return EntryHandle(index, bucket.Size() - 1);
}

int StringHashArray::Find(const StringRef& key, void*& value) const {
    const unsigned hash = key.Hash32();
    const int index = BucketOf(hash);
    const Array<Entry>& bucket = m_Buckets[index];
    const int position = FindPosition(bucket, hash, key);
    if (position < 0)
        return -1;
    value = bucket[position].m_Value;
    return EntryHandle(index, position);
}

int StringHashArray::Remove(const StringRef& key) {
    const unsigned hash = key.Hash32();
    const int index = BucketOf(hash);
    const int position = FindPosition(m_Buckets.Data()[index], hash, key);
    if (position < 0)
        return -1;
    m_Buckets[index].RemoveSwapLast(position);
    return EntryHandle(index, position);
}

void StringHashArray::Clear() {
    for (int i = 0; i < m_Buckets.Size(); ++i) {
        if (!m_Buckets.Data()[i].IsEmpty())
            m_Buckets[i].Clear();
    }
}

int StringHashArray::EntryCount() const noexcept {
    int count = 0;
    for (const Array<Entry>& bucket : m_Buckets)
        count += bucket.Size();
    return count;
}

} // namespace Quorlix
