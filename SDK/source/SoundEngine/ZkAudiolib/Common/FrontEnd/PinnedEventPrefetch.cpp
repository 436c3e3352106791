#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kPool = ZkMemID_Default;

struct PinState
{
    ZK::ZkArray<uint32_t> activeFiles; // sorted file ids
    ZK::ZkArray<uint32_t> inactiveFiles;
    int8_t activePriority = 0;
    int8_t inactivePriority = 0;
};

struct PinnedRecord
{
    CZkRegisteredObj* gameObject; // null for a pin without game object
    const CZkEventObject* event;
    PinState* state;
};

ZK::Platform::ZkCriticalSection g_pinnedEventsLock;
ZK::ZkArray<PinnedRecord> g_pinnedRecords;

void UnpinAll(ZK::ZkArray<uint32_t>& files, int8_t priority)
{
    if (ZK::IZkStreamMgr::m_pStreamMgr != nullptr)
    {
        for (uint32_t fileID : files)
            ZK::IZkStreamMgr::m_pStreamMgr->UnpinFileInCache(fileID, priority);
    }
    files.Term();
}

void ReleasePin(PinnedRecord& record)
{
    UnpinAll(record.state->activeFiles, record.state->activePriority);
    UnpinAll(record.state->inactiveFiles, record.state->inactivePriority);
    if (record.gameObject != nullptr)
        record.gameObject->Release();
    ZK::ZkDelete(kPool, record.state);
}
} // namespace

void PinnedEventPrefetch::RemoveEvent(const CZkEventObject* event)
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    for (uint32_t index = g_pinnedRecords.Length(); index-- > 0;)
    {
        if (g_pinnedRecords[index].event != event)
            continue;
        ReleasePin(g_pinnedRecords[index]);
        g_pinnedRecords.Erase(index);
    }
    if (g_pinnedRecords.IsEmpty())
        g_pinnedRecords.Term();
}

uint32_t PinnedEventPrefetch::PinnedRecordCount()
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    return g_pinnedRecords.Length();
}
} // namespace ZK::SoundEngine
