// ZkIndexTable: one table of the object index: a critical section and a chained hash table of
// indexed objects keyed by id. Look-ups hand out objects with a reference added; the last Release
// unlinks and destroys an object under the same lock, so a look-up never finds a dying object.
// The table grows with CZkHashTable::Rehash (bucket arrays in memory pool 0).
//
// Threading: every operation may be called from any thread; each takes the table's lock (which is
// recursive: a Release inside a walk under Lock() is allowed).
// Ownership: the table owns its bucket array, not the objects: the objects' references own them.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/ObjectIndex/CZkIndexedObject.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class ZkIndexTable
{
public:
    using HashTable = ZK::CZkHashTable<CZkIndexedObject, &CZkIndexedObject::pNextItem, &CZkIndexedObject::key>;

    // Gives the empty table bucketCount buckets. False when out of memory.
    bool InitBuckets(uint32_t bucketCount);
    // Frees the bucket array; the table forgets its objects.
    void FreeBuckets();

    // Puts a new object (count 1, the creator's reference) into the table. 1, or 52 when the table
    // has no buckets and none can be allocated (the object is then not indexed).
    ZKRESULT Insert(CZkIndexedObject* object);
    // Takes the object out of the table without touching its count. False when it is not indexed.
    bool Remove(CZkIndexedObject* object);

    // The object with this id with a reference added, or null (also for a table without buckets).
    CZkIndexedObject* GetPtrAndAddRef(ZkUniqueID id);
    bool Contains(ZkUniqueID id);

    // The reference counting of the objects of this table (the kinds' AddRef and Release).
    uint32_t AddRef(CZkIndexedObject* object);
    // At 0 the object is unlinked and destroyed before the lock is left.
    uint32_t Release(CZkIndexedObject* object);

    // Releases once, under the lock, every object for which shouldRelease(object) is true.
    template <typename Predicate>
    void ReleaseEach(Predicate shouldRelease)
    {
        ZK::Platform::ZkScopedLock guard(m_lock);
        for (uint32_t bucket = 0; bucket < m_table.BucketCount(); ++bucket)
        {
            CZkIndexedObject* object = m_table.Bucket(bucket);
            while (object != nullptr)
            {
                CZkIndexedObject* next = object->pNextItem; // the release may unlink object
                if (shouldRelease(*object))
                    object->Release();
                object = next;
            }
        }
    }

    // For walks of callers that hold Lock() (for example an event reading its actions).
    ZK::Platform::ZkCriticalSection& Lock() { return m_lock; }
    HashTable& Table() { return m_table; }
    uint32_t Length();
    uint32_t BucketCount();

private:
    ZK::Platform::ZkCriticalSection m_lock;
    HashTable m_table;
};
} // namespace ZK::SoundEngine
