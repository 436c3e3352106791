// CZkHashTable: a chained hash table of items keyed by 32-bit ids. The items chain themselves
// through a next pointer of their own (no memory per item); the table owns only its bucket array
// (memory pool 0). Bucket of an id = id modulo the bucket count; a new item goes to the head of its
// chain.
//
// Growth (Rehash) happens before an insertion when the table has no buckets or holds more than 0.9
// items per bucket: the bucket count moves to the next of 27 primes (29, 53, 97, ...). When the new
// array cannot be allocated the table keeps its old array, and an insertion still goes into it if
// it has buckets: a full table is slower, never wrong.
//
// Threading: none of its own; the owner's lock protects it.
// Ownership: items belong to their owner; Term frees the bucket array and forgets the items.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkHashPrimes.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>
#include <cstring>

namespace ZK
{
template <typename T, T* T::*Next, uint32_t T::*Key>
class CZkHashTable
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr float kMaximumLoad = 0.9f;

    CZkHashTable() = default;
    ~CZkHashTable() { Term(); }
    CZkHashTable(const CZkHashTable&) = delete;
    CZkHashTable& operator=(const CZkHashTable&) = delete;

    uint32_t BucketCount() const { return m_bucketCount; }
    uint32_t Capacity() const { return m_capacity; }
    uint32_t Length() const { return m_itemCount; }
    // The first item of a bucket's chain (index below BucketCount()).
    T* Bucket(uint32_t index) const { return m_buckets[index]; }

    // Gives an empty table bucketCount empty buckets, reusing its array when it is large enough.
    // False when the array cannot be grown (the table is then unchanged) or the table holds items.
    bool InitBuckets(uint32_t bucketCount)
    {
        if (m_itemCount != 0)
            return false;
        if (m_capacity < bucketCount)
        {
            void* grown = ZK::MemoryMgr::Realloc(kPool, m_buckets, sizeof(T*) * size_t{bucketCount});
            if (grown == nullptr)
                return false;
            m_buckets = static_cast<T**>(grown);
            m_capacity = bucketCount;
        }
        if (bucketCount != 0)
            std::memset(m_buckets, 0, sizeof(T*) * size_t{bucketCount});
        m_bucketCount = bucketCount;
        return true;
    }

    // Grows the bucket array when the table has none or is loaded above kMaximumLoad. True when the
    // table has buckets afterwards (grown or not).
    bool Rehash()
    {
        if (m_bucketCount != 0 && static_cast<float>(m_itemCount) / static_cast<float>(m_bucketCount) <= kMaximumLoad)
            return true;
        const uint32_t grownCount = NextHashTablePrime(m_bucketCount);
        if (grownCount == 0)
            return m_bucketCount != 0;
        auto** grown = static_cast<T**>(ZK::MemoryMgr::Malloc(kPool, sizeof(T*) * size_t{grownCount}));
        if (grown == nullptr)
            return m_bucketCount != 0;
        std::memset(grown, 0, sizeof(T*) * size_t{grownCount});
        for (uint32_t index = 0; index < m_bucketCount; ++index)
        {
            T* item = m_buckets[index];
            while (item != nullptr)
            {
                // Appended, not pushed: items of one id keep their order (newest first), so Find
                // answers the same item before and after the growth.
                T* next = item->*Next;
                T** tail = &grown[(item->*Key) % grownCount];
                while (*tail != nullptr)
                    tail = &((*tail)->*Next);
                item->*Next = nullptr;
                *tail = item;
                item = next;
            }
        }
        if (m_buckets != nullptr)
            ZK::MemoryMgr::Free(kPool, m_buckets);
        m_buckets = grown;
        m_bucketCount = grownCount;
        m_capacity = grownCount;
        return true;
    }

    // Grows when needed, then puts item at the head of its chain. 1, or 52 when the table has no
    // buckets and none could be allocated (the item is then not inserted).
    ZKRESULT Insert(T* item)
    {
        if (!Rehash())
            return ZK_InsufficientMemory;
        T*& head = m_buckets[(item->*Key) % m_bucketCount];
        item->*Next = head;
        head = item;
        ++m_itemCount;
        return ZK_Success;
    }

    // The most recently inserted item with this id, or null (also when the table has no buckets).
    T* Find(uint32_t id) const
    {
        if (m_bucketCount == 0)
            return nullptr;
        for (T* item = m_buckets[id % m_bucketCount]; item != nullptr; item = item->*Next)
        {
            if (item->*Key == id)
                return item;
        }
        return nullptr;
    }

    // Takes this very item out of its chain. False when it is not in the table.
    bool Unlink(T* item)
    {
        if (m_bucketCount == 0)
            return false;
        for (T** link = &m_buckets[(item->*Key) % m_bucketCount]; *link != nullptr; link = &((*link)->*Next))
        {
            if (*link == item)
            {
                *link = item->*Next;
                item->*Next = nullptr;
                --m_itemCount;
                return true;
            }
        }
        return false;
    }

    // Takes the item with this id out of the table and returns it, or null.
    T* Remove(uint32_t id)
    {
        T* item = Find(id);
        if (item != nullptr)
            Unlink(item);
        return item;
    }

    // Frees the bucket array; the table is empty with no buckets. Items are not touched.
    void Term()
    {
        if (m_buckets != nullptr)
            ZK::MemoryMgr::Free(kPool, m_buckets);
        m_buckets = nullptr;
        m_bucketCount = 0;
        m_capacity = 0;
        m_itemCount = 0;
    }

private:
    T** m_buckets = nullptr;
    uint32_t m_bucketCount = 0;
    uint32_t m_capacity = 0;
    uint32_t m_itemCount = 0;
};
} // namespace ZK
