#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>

#include <algorithm>
#include <functional>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kPool = ZkMemID_Default;
constexpr ZkMemoryId kSubscriberPool = ZkMemID_StreamMgr;
// Media reference flags that keep a file out of the shared cache (cache id none).
constexpr uint32_t kNoSharedCacheFlags = kMediaFlagInstanceOwned | kMediaFlagNoFileID;
constexpr uint32_t kCodecShift = 16; // a codec's number is its plug-in id's high 16 bits

using IdList = ZK::ZkArray<uint32_t>; // sorted ids

struct PinState
{
    IdList groupIDs;
    IdList activeFiles;
    IdList inactiveFiles;
    int8_t activePriority = 0;
    int8_t inactivePriority = 0;
};

struct PinnedRecord
{
    CZkRegisteredObj* gameObject; // null for a pin without game object
    const CZkEventObject* event;
    PinState* state;
};

// Follows one group for every record that depends on it.
class PinnedGroupSubscriber final : public CZkGroupSubscriber
{
public:
    explicit PinnedGroupSubscriber(ZkUniqueID groupID) : m_groupID(groupID) {}

    void OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter) override
    {
        PinnedEventPrefetch::OnGroupChanged(m_groupID, value, key.gameObject, filter);
    }
    void AddRef() { ++m_references; }
    // True when that was the last reference and the subscriber is gone (unregistered and freed).
    bool Release()
    {
        if (--m_references != 0)
            return false;
        ZK::ZkDelete(kSubscriberPool, this);
        return true;
    }

private:
    ZkUniqueID m_groupID;
    uint32_t m_references = 1;
};

struct SubscriberEntry
{
    ZkUniqueID groupID;
    PinnedGroupSubscriber* subscriber;
};

ZK::Platform::ZkCriticalSection g_pinnedEventsLock;
ZK::ZkArray<PinnedRecord> g_pinnedRecords;    // sorted by (game object, event) address
ZK::ZkArray<SubscriberEntry> g_groupSubscribers; // sorted by group id

bool RecordBefore(const PinnedRecord& record, CZkRegisteredObj* gameObject, const CZkEventObject* event)
{
    const auto recordObject = reinterpret_cast<uintptr_t>(record.gameObject);
    const auto object = reinterpret_cast<uintptr_t>(gameObject);
    if (recordObject != object)
        return recordObject < object;
    return reinterpret_cast<uintptr_t>(record.event) < reinterpret_cast<uintptr_t>(event);
}

// The index of the record of (game object, event), or where it would go.
uint32_t RecordIndex(CZkRegisteredObj* gameObject, const CZkEventObject* event)
{
    const PinnedRecord* found = std::lower_bound(
        g_pinnedRecords.begin(), g_pinnedRecords.end(), 0,
        [&](const PinnedRecord& record, int) { return RecordBefore(record, gameObject, event); });
    return static_cast<uint32_t>(found - g_pinnedRecords.begin());
}

bool IsRecord(uint32_t index, CZkRegisteredObj* gameObject, const CZkEventObject* event)
{
    return index < g_pinnedRecords.Length() && g_pinnedRecords[index].gameObject == gameObject &&
           g_pinnedRecords[index].event == event;
}

bool Contains(const IdList& list, uint32_t id)
{
    return std::binary_search(list.begin(), list.end(), id);
}

// Inserts id at its sorted place; false (nothing inserted) when the list cannot grow.
bool InsertSorted(IdList& list, uint32_t id)
{
    const uint32_t at = static_cast<uint32_t>(std::lower_bound(list.begin(), list.end(), id) - list.begin());
    return list.Insert(at, id) != nullptr;
}

uint32_t SubscriberIndex(ZkUniqueID groupID)
{
    const SubscriberEntry* found =
        std::lower_bound(g_groupSubscribers.begin(), g_groupSubscribers.end(), groupID,
                         [](const SubscriberEntry& entry, ZkUniqueID id) { return entry.groupID < id; });
    return static_cast<uint32_t>(found - g_groupSubscribers.begin());
}

bool HasSubscriber(uint32_t index, ZkUniqueID groupID)
{
    return index < g_groupSubscribers.Length() && g_groupSubscribers[index].groupID == groupID;
}

// A reference on the group's subscriber, created and registered with its manager when the group
// has none. False, with nothing left behind, out of memory.
bool AcquireGroup(ZkUniqueID groupID, uint32_t groupType)
{
    const uint32_t index = SubscriberIndex(groupID);
    if (HasSubscriber(index, groupID))
    {
        g_groupSubscribers[index].subscriber->AddRef();
        return true;
    }
    if (g_groupSubscribers.Insert(index, SubscriberEntry{groupID, nullptr}) == nullptr)
        return false;
    auto* subscriber = ZK::ZkNew<PinnedGroupSubscriber>(kSubscriberPool, groupID);
    if (subscriber == nullptr)
    {
        g_groupSubscribers.Erase(index);
        if (g_groupSubscribers.IsEmpty())
            g_groupSubscribers.Term();
        return false;
    }
    g_groupSubscribers[index].subscriber = subscriber;
    subscriber->Register(groupID, groupType);
    return true;
}

void ReleaseGroup(ZkUniqueID groupID)
{
    const uint32_t index = SubscriberIndex(groupID);
    if (!HasSubscriber(index, groupID) || !g_groupSubscribers[index].subscriber->Release())
        return;
    g_groupSubscribers.Erase(index);
    if (g_groupSubscribers.IsEmpty())
        g_groupSubscribers.Term();
}

void PinFile(const ZkMediaRef& media, int8_t priority)
{
    ZK::IZkStreamMgr* streams = ZK::IZkStreamMgr::m_pStreamMgr;
    if (streams == nullptr)
        return;
    const auto fileID = static_cast<uint32_t>(media.fileID);
    ZkFileOpenFlags flags;
    flags.fileType = static_cast<uint32_t>(media.sourceType) >> kCodecShift;
    flags.isLanguageSpecific = (media.flags & kMediaFlagLanguage) != 0;
    flags.cacheId = (media.flags & kNoSharedCacheFlags) != 0 ? ZK_NoCacheID : fileID;
    flags.cachedBytes = media.mediaSize;
    streams->PinFileInCache(fileID, &flags, priority);
}

void UnpinAll(IdList& files, int8_t priority)
{
    if (ZK::IZkStreamMgr* streams = ZK::IZkStreamMgr::m_pStreamMgr)
    {
        for (uint32_t fileID : files)
            streams->UnpinFileInCache(fileID, priority);
    }
    files.Term();
}

// Recomputes the files of a pin: pins what its targets collect now, then unpins what it held.
void Refresh(PinState& state, const CZkEventObject& event, CZkRegisteredObj* gameObject, ZkUniqueID overrideGroupID,
             ZkUniqueID overrideValue)
{
    IdList oldActive, oldInactive;
    oldActive.Swap(state.activeFiles);
    oldInactive.Swap(state.inactiveFiles);

    ZK::ZkArray<const ZkMediaRef*> active, inactive;
    ZK::ZkArray<uint64_t> groups;
    const ZkStreamedMediaRequest request{active, inactive, groups, gameObject, overrideGroupID, overrideValue};
    event.ForEachPlayTarget([&](CZkHierarchyNode* node) { node->CollectStreamedMedia(request, true); });

    for (const ZkMediaRef* media : active)
    {
        const auto fileID = static_cast<uint32_t>(media->fileID);
        if (media->mediaSize == 0 || Contains(state.activeFiles, fileID) || !InsertSorted(state.activeFiles, fileID))
            continue;
        PinFile(*media, state.activePriority);
    }
    for (const ZkMediaRef* media : inactive)
    {
        const auto fileID = static_cast<uint32_t>(media->fileID);
        if (media->mediaSize == 0 || Contains(state.activeFiles, fileID) || Contains(state.inactiveFiles, fileID) ||
            !InsertSorted(state.inactiveFiles, fileID))
            continue;
        PinFile(*media, state.inactivePriority);
    }
    // Files still wanted were pinned again above, so they never leave the cache here.
    UnpinAll(oldActive, state.activePriority);
    UnpinAll(oldInactive, state.inactivePriority);

    for (uint64_t entry : groups)
    {
        const auto groupID = static_cast<ZkUniqueID>(entry >> 32);
        const auto groupType = static_cast<uint32_t>(entry & 0xFF);
        if (Contains(state.groupIDs, groupID) || !AcquireGroup(groupID, groupType))
            continue;
        if (!InsertSorted(state.groupIDs, groupID))
            ReleaseGroup(groupID);
    }
}

// Unpins the record's files, releases its groups and game object, frees its state and removes it.
void ReleaseRecord(uint32_t index)
{
    PinnedRecord record = g_pinnedRecords[index];
    g_pinnedRecords.Erase(index);
    if (g_pinnedRecords.IsEmpty())
        g_pinnedRecords.Term();
    UnpinAll(record.state->activeFiles, record.state->activePriority);
    UnpinAll(record.state->inactiveFiles, record.state->inactivePriority);
    for (uint32_t groupID : record.state->groupIDs)
        ReleaseGroup(groupID);
    ZK::ZkDelete(kPool, record.state);
    if (record.gameObject != nullptr)
        record.gameObject->Release();
}

void UpdatePriorities(const IdList& files, int8_t newPriority, int8_t oldPriority)
{
    ZK::IZkStreamMgr* streams = ZK::IZkStreamMgr::m_pStreamMgr;
    if (streams == nullptr)
        return;
    for (uint32_t fileID : files)
        streams->UpdateCachingPriority(fileID, newPriority, oldPriority);
}
} // namespace

void PinnedEventPrefetch::Pin(const CZkEventObject* event, CZkRegisteredObj* gameObject, int8_t activePriority,
                              int8_t inactivePriority)
{
    if (event == nullptr)
        return;
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    const uint32_t index = RecordIndex(gameObject, event);
    if (IsRecord(index, gameObject, event))
    {
        PinState& state = *g_pinnedRecords[index].state;
        if (activePriority != state.activePriority || inactivePriority != state.inactivePriority)
        {
            UpdatePriorities(state.activeFiles, activePriority, state.activePriority);
            UpdatePriorities(state.inactiveFiles, inactivePriority, state.inactivePriority);
            state.activePriority = activePriority;
            state.inactivePriority = inactivePriority;
        }
        return;
    }
    if (g_pinnedRecords.Insert(index, PinnedRecord{gameObject, event, nullptr}) == nullptr)
        return;
    auto* state = ZK::ZkNew<PinState>(kPool);
    if (state == nullptr)
    {
        g_pinnedRecords.Erase(index);
        if (g_pinnedRecords.IsEmpty())
            g_pinnedRecords.Term();
        return;
    }
    g_pinnedRecords[index].state = state;
    if (gameObject != nullptr)
        gameObject->AddRef();
    state->activePriority = activePriority;
    state->inactivePriority = inactivePriority;
    Refresh(*state, *event, gameObject, 0, 0);
}

void PinnedEventPrefetch::Unpin(const CZkEventObject* event, CZkRegisteredObj* gameObject)
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    const uint32_t index = RecordIndex(gameObject, event);
    if (IsRecord(index, gameObject, event))
        ReleaseRecord(index);
}

void PinnedEventPrefetch::RemoveEvent(const CZkEventObject* event)
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    for (uint32_t index = g_pinnedRecords.Length(); index-- > 0;)
    {
        if (g_pinnedRecords[index].event == event)
            ReleaseRecord(index);
    }
}

ZKRESULT PinnedEventPrefetch::GetStatus(const CZkEventObject* event, CZkRegisteredObj* gameObject, float& percent,
                                        bool& cacheFull)
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    percent = 0.0f;
    cacheFull = false;
    const uint32_t index = RecordIndex(gameObject, event);
    if (!IsRecord(index, gameObject, event))
        return ZK_Fail;
    percent = 100.0f;
    ZKRESULT result = ZK_Success;
    ZK::IZkStreamMgr* streams = ZK::IZkStreamMgr::m_pStreamMgr;
    const PinState& state = *g_pinnedRecords[index].state;
    for (const IdList* files : {&state.activeFiles, &state.inactiveFiles})
    {
        for (uint32_t fileID : *files)
        {
            float filePercent = 0.0f;
            bool fileFull = false;
            if (streams == nullptr || streams->GetBufferStatusForPinnedFile(fileID, filePercent, fileFull) != ZK_Success)
                result = ZK_Fail;
            percent = std::min(percent, filePercent);
            cacheFull = cacheFull || fileFull;
        }
    }
    return result;
}

void PinnedEventPrefetch::OnGroupChanged(ZkUniqueID groupID, ZkUniqueID value, CZkRegisteredObj* gameObject,
                                         const CZkRTPCOverrideFilter* filter)
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    // A refresh adds and removes no record, so the indices stay valid through the walk.
    uint32_t index = gameObject != nullptr ? RecordIndex(gameObject, nullptr) : 0;
    for (; index < g_pinnedRecords.Length(); ++index)
    {
        const PinnedRecord& record = g_pinnedRecords[index];
        if (gameObject != nullptr && record.gameObject != gameObject)
            break;
        if (gameObject == nullptr && filter != nullptr && record.gameObject != nullptr &&
            filter->IsOverridden(ZkRTPCKey::ForObject(record.gameObject)))
            continue;
        Refresh(*record.state, *record.event, record.gameObject, groupID, value);
    }
}

void PinnedEventPrefetch::Term()
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    while (!g_pinnedRecords.IsEmpty())
        ReleaseRecord(g_pinnedRecords.Length() - 1);
}

uint32_t PinnedEventPrefetch::PinnedRecordCount()
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    return g_pinnedRecords.Length();
}

uint32_t PinnedEventPrefetch::SubscribedGroupCount()
{
    ZK::Platform::ZkScopedLock guard(g_pinnedEventsLock);
    return g_groupSubscribers.Length();
}
} // namespace ZK::SoundEngine
