#include "ZkAudiolib/Common/Banks/CZkLockedIdTable.h"

namespace ZK::SoundEngine
{
ZK::Platform::ZkCriticalSection& CZkLockedIdTable::Lock()
{
    static ZK::Platform::ZkCriticalSection lock;
    return lock;
}

bool CZkLockedIdTable::Init()
{
    if (m_table.Length() != 0)
        m_table.Term(); // forgets the entries: their owner has let them go
    return m_table.InitBuckets(kInitialBucketCount);
}

bool CZkLockedIdTable::Grow()
{
    ZK::Platform::ZkScopedLock guard(Lock());
    return m_table.Rehash();
}

ZkLockedIdEntry* CZkLockedIdTable::Find(const ZkLockedIdKey& key)
{
    ZK::Platform::ZkScopedLock guard(Lock());
    if (m_table.BucketCount() == 0)
        return nullptr;
    const uint32_t bucketKey = BucketKeyOf(key);
    for (ZkLockedIdEntry* entry = m_table.Bucket(bucketKey % m_table.BucketCount()); entry != nullptr;
         entry = entry->pNextItem)
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
    entry->bucketKey = BucketKeyOf(key);
    return m_table.Insert(entry) == ZK_Success;
}

void CZkLockedIdTable::Remove(const ZkLockedIdKey& key)
{
    ZK::Platform::ZkScopedLock guard(Lock());
    if (ZkLockedIdEntry* entry = Find(key))
        m_table.Unlink(entry);
}

void CZkLockedIdTable::Term()
{
    m_table.Term();
}
} // namespace ZK::SoundEngine
