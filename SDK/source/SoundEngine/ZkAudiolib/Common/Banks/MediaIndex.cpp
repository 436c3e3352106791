#include "ZkAudiolib/Common/Banks/MediaIndex.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::SoundEngine
{
MediaIndexEntry* MediaIndex::FindOrCreate(ZkUniqueID mediaID, bool& created, bool& noBuckets)
{
    created = false;
    noBuckets = false;
    if (MediaIndexEntry* entry = m_table.Find(mediaID))
    {
        ++entry->refCount;
        return entry;
    }
    if (!m_table.Rehash())
    {
        noBuckets = true;
        return nullptr;
    }
    auto* entry = ZK::ZkNew<MediaIndexEntry>(MediaIndexEntry::kPool);
    if (entry == nullptr)
        return nullptr;
    entry->mediaID = mediaID;
    m_table.Insert(entry); // cannot fail: the table has buckets
    created = true;
    return entry;
}

void MediaIndex::Release(MediaIndexEntry* entry)
{
    if (--entry->refCount > 0)
        return;
    m_table.Unlink(entry);
    Destroy(entry);
}

void MediaIndex::Destroy(MediaIndexEntry* entry)
{
    if (entry->preparedData != nullptr)
        ZK::MemoryMgr::Free(entry->preparedMemoryID, entry->preparedData);
    ZK::ZkDelete(MediaIndexEntry::kPool, entry);
}

void MediaIndex::Term()
{
    for (uint32_t bucket = 0; bucket < m_table.BucketCount(); ++bucket)
    {
        MediaIndexEntry* entry = m_table.Bucket(bucket);
        while (entry != nullptr)
        {
            MediaIndexEntry* next = entry->pNextItem;
            Destroy(entry);
            entry = next;
        }
    }
    m_table.Term();
}
} // namespace ZK::SoundEngine
