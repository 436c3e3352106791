#include "ZkAudiolib/Common/ObjectIndex/ZkIndexTable.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

bool ZkIndexTable::InitBuckets(uint32_t bucketCount)
{
    ZkScopedLock guard(m_lock);
    return m_table.InitBuckets(bucketCount);
}

void ZkIndexTable::FreeBuckets()
{
    ZkScopedLock guard(m_lock);
    m_table.Term();
}

ZKRESULT ZkIndexTable::Insert(CZkIndexedObject* object)
{
    ZkScopedLock guard(m_lock);
    return m_table.Insert(object);
}

bool ZkIndexTable::Remove(CZkIndexedObject* object)
{
    ZkScopedLock guard(m_lock);
    return m_table.Unlink(object);
}

CZkIndexedObject* ZkIndexTable::GetPtrAndAddRef(ZkUniqueID id)
{
    ZkScopedLock guard(m_lock);
    CZkIndexedObject* object = m_table.Find(id);
    if (object != nullptr)
        ++object->refCount;
    return object;
}

bool ZkIndexTable::Contains(ZkUniqueID id)
{
    ZkScopedLock guard(m_lock);
    return m_table.Find(id) != nullptr;
}

uint32_t ZkIndexTable::AddRef(CZkIndexedObject* object)
{
    ZkScopedLock guard(m_lock);
    return ++object->refCount;
}

uint32_t ZkIndexTable::Release(CZkIndexedObject* object)
{
    ZkScopedLock guard(m_lock);
    const uint32_t count = --object->refCount;
    if (count == 0)
    {
        m_table.Unlink(object);
        object->Destroy();
    }
    return count;
}

uint32_t ZkIndexTable::Length()
{
    ZkScopedLock guard(m_lock);
    return m_table.Length();
}

uint32_t ZkIndexTable::BucketCount()
{
    ZkScopedLock guard(m_lock);
    return m_table.BucketCount();
}
} // namespace ZK::SoundEngine
