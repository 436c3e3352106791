#include "ZkAudiolib/Common/Banks/CZkLockedIdTable.h"

#include "ZkAudiolib/Common/Containers/ZkHashPrimes.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZK::Platform::ZkCriticalSection& CZkLockedIdTable::Lock()
{
    static ZK::Platform::ZkCriticalSection lock;
    return lock;
}

bool CZkLockedIdTable::Init()
{
    m_entryCount = 0;
    if (m_capacity < kInitialBucketCount)
    {
        const uint32_t capacity = m_capacity - m_bucketCount + kInitialBucketCount;
        void* grown = ZK::MemoryMgr::Realloc(kPool, m_buckets, sizeof(ZkLockedIdEntry*) * size_t{capacity});
        if (grown == nullptr)
            return false;
        m_buckets = static_cast<ZkLockedIdEntry**>(grown);
        m_capacity = capacity;
    }
    m_bucketCount = kInitialBucketCount;
    std::memset(m_buckets, 0, sizeof(ZkLockedIdEntry*) * kInitialBucketCount);
    return true;
}

bool CZkLockedIdTable::Grow()
{
    ZK::Platform::ZkScopedLock guard(Lock());
    if (m_bucketCount != 0 && static_cast<float>(m_entryCount) / static_cast<float>(m_bucketCount) <= kMaximumLoad)
        return true;
    const uint32_t grownCount = ZK::NextHashTablePrime(m_bucketCount);
    if (grownCount == 0)
        return m_bucketCount != 0;
    auto** grown = static_cast<ZkLockedIdEntry**>(ZK::MemoryMgr::Malloc(kPool, sizeof(ZkLockedIdEntry*) * size_t{grownCount}));
    if (grown == nullptr)
        return m_bucketCount != 0;
    std::memset(grown, 0, sizeof(ZkLockedIdEntry*) * size_t{grownCount});
    for (uint32_t index = 0; index < m_bucketCount; ++index)
    {
        ZkLockedIdEntry* entry = m_buckets[index];
        while (entry != nullptr)
        {
            ZkLockedIdEntry* next = entry->pNextItem;
            ZkLockedIdEntry*& head = grown[BucketOf(entry->key, grownCount)];
            entry->pNextItem = head;
            head = entry;
            entry = next;
        }
    }
    if (m_buckets != nullptr)
        ZK::MemoryMgr::Free(kPool, m_buckets);
    m_buckets = grown;
    m_bucketCount = grownCount;
    m_capacity = grownCount;
    return true;
}

ZkLockedIdEntry* CZkLockedIdTable::Find(const ZkLockedIdKey& key)
{
    ZK::Platform::ZkScopedLock guard(Lock());
    if (m_bucketCount == 0)
        return nullptr;
    for (ZkLockedIdEntry* entry = m_buckets[BucketOf(key, m_bucketCount)]; entry != nullptr; entry = entry->pNextItem)
    {
        if (entry->key == key)
            return entry;
    }
    return nullptr;
}

bool CZkLockedIdTable::InsertUnique(const ZkLockedIdKey& key, ZkLockedIdEntry* entry)
{
    ZK::Platform::ZkScopedLock guard(Lock());
    if (Find(key) != nullptr)
        return false;
    entry->key = key;
    if (!Grow())
        return false;
    ZkLockedIdEntry*& head = m_buckets[BucketOf(key, m_bucketCount)];
    entry->pNextItem = head;
    head = entry;
    ++m_entryCount;
    return true;
}

void CZkLockedIdTable::Remove(const ZkLockedIdKey& key)
{
    ZK::Platform::ZkScopedLock guard(Lock());
    if (m_bucketCount == 0)
        return;
    for (ZkLockedIdEntry** link = &m_buckets[BucketOf(key, m_bucketCount)]; *link != nullptr; link = &(*link)->pNextItem)
    {
        if ((*link)->key == key)
        {
            ZkLockedIdEntry* found = *link;
            *link = found->pNextItem;
            found->pNextItem = nullptr;
            --m_entryCount;
            return;
        }
    }
}

void CZkLockedIdTable::Term()
{
    if (m_buckets != nullptr)
        ZK::MemoryMgr::Free(kPool, m_buckets);
    m_buckets = nullptr;
    m_bucketCount = 0;
    m_capacity = 0;
}
} // namespace ZK::SoundEngine
