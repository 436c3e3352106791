// The media blocks the game hands the engine itself (SetMedia) and takes back (UnsetMedia,
// TryUnsetMedia): copies without a bank in the media index.
#include "ZkAudiolib/Common/Banks/BankManager.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

namespace
{
// An entry is in use when someone besides the copy being removed holds it (a bank, another game
// copy, a preparation, a playing source).
bool IsInUse(const MediaIndexEntry& entry)
{
    return entry.refCount >= 2;
}
} // namespace

void BankManager::RemoveGameCopy(MediaIndexEntry& entry, const uint8_t* memory)
{
    entry.RemoveCopy([&](const ZkMediaCopy& copy) { return copy.data == memory; });
    m_media.Release(&entry);
}

ZKRESULT BankManager::SetMedia(const ZkSourceSettings* settings, uint32_t count)
{
    ZkScopedLock guard(m_mediaLock);
    ZKRESULT result = ZK_Success;
    uint32_t done = 0;
    for (; done < count; ++done)
    {
        const ZkSourceSettings& media = settings[done];
        if (media.mediaMemory == nullptr || media.mediaSize == 0)
        {
            result = ZK_Fail;
            break;
        }
        bool created = false;
        bool noBuckets = false;
        MediaIndexEntry* entry = m_media.FindOrCreate(media.sourceID, created, noBuckets);
        if (entry == nullptr)
        {
            result = noBuckets ? ZK_Fail : ZK_InsufficientMemory;
            break;
        }
        if (!entry->AddCopy({media.mediaMemory, media.mediaSize, kNoMediaMemoryID, nullptr}))
        {
            m_media.Release(entry);
            result = ZK_InsufficientMemory;
            break;
        }
    }
    if (result == ZK_Success)
        return ZK_Success;
    // The call adds all its records or none: what the records before the failing one added goes.
    for (uint32_t index = 0; index < done; ++index)
    {
        if (MediaIndexEntry* entry = m_media.Find(settings[index].sourceID))
            RemoveGameCopy(*entry, settings[index].mediaMemory);
    }
    return result;
}

ZKRESULT BankManager::UnsetMedia(const ZkSourceSettings* settings, uint32_t count)
{
    bool inUse = false;
    {
        ZkScopedLock guard(m_mediaLock);
        for (uint32_t index = 0; index < count; ++index)
        {
            MediaIndexEntry* entry = m_media.Find(settings[index].sourceID);
            if (entry == nullptr)
                continue;
            inUse = inUse || IsInUse(*entry);
            RemoveGameCopy(*entry, settings[index].mediaMemory);
        }
    }
    if (!inUse)
        return ZK_Success;
    // Whatever still plays from these blocks stops now: the game is about to free them.
    ZkScopedLock engineGuard(g_EngineLock);
    for (uint32_t index = 0; index < count; ++index)
        CZkActiveInstances::StopUsingMedia(settings[index].mediaMemory);
    return ZK_MediaInUse;
}

ZKRESULT BankManager::TryUnsetMedia(const ZkSourceSettings* settings, uint32_t count, ZKRESULT* results)
{
    ZkScopedLock guard(m_mediaLock);
    bool inUse = false;
    for (uint32_t index = 0; index < count; ++index)
    {
        MediaIndexEntry* entry = m_media.Find(settings[index].sourceID);
        if (entry == nullptr)
            continue;
        ZKRESULT result = ZK_MediaInUse;
        if (IsInUse(*entry))
            inUse = true;
        else
        {
            RemoveGameCopy(*entry, settings[index].mediaMemory);
            result = ZK_Success;
        }
        if (results != nullptr)
            results[index] = result;
    }
    return inUse ? ZK_MediaInUse : ZK_Success;
}
} // namespace ZK::SoundEngine
