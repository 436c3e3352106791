#include "MusicEngine/Contexts/ZkSwitchTrackSubscriber.h"

#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicPlayRecord.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "ZkAudiolib/Common/GameSyncs/ZkGameSyncTypes.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCOverrideFilter.h"

#include <new>

namespace ZK::MusicEngine
{
ZkSwitchTrackSubscriber* ZkSwitchTrackSubscriber::Create(CZkMusicTrack& track, CZkMusicSegmentContext& segmentContext)
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(ZkSwitchTrackSubscriber));
    if (memory == nullptr)
        return nullptr;
    auto* subscriber = new (memory) ZkSwitchTrackSubscriber(track, segmentContext);
    // Room for every sub-track: a change of value then never allocates.
    const ZkMusicSwitchTrack* settings = track.SwitchTrack();
    const uint32_t subTracks = settings != nullptr ? settings->switches.Length() : 0;
    if (subTracks > 0 && subscriber->m_matches.Reserve(subTracks) != ZK_Success)
    {
        Destroy(subscriber);
        return nullptr;
    }
    return subscriber;
}

void ZkSwitchTrackSubscriber::Destroy(ZkSwitchTrackSubscriber* subscriber)
{
    subscriber->~ZkSwitchTrackSubscriber();
    ZK::MemoryMgr::Free(kPool, subscriber);
}

ZkSwitchTrackSubscriber::ZkSwitchTrackSubscriber(CZkMusicTrack& track, CZkMusicSegmentContext& segmentContext)
    : m_track(track), m_segmentContext(&segmentContext)
{
    m_track.AddRef();
}

ZkSwitchTrackSubscriber::~ZkSwitchTrackSubscriber()
{
    // Leave the group before the track goes: no notification may reach a half-destroyed object.
    Unregister();
    m_matches.Term();
    m_track.Release();
}

ZKRESULT ZkSwitchTrackSubscriber::Follow()
{
    const ZkMusicSwitchTrack* settings = m_track.SwitchTrack();
    if (settings == nullptr)
        return ZK_Fail;
    return Register(settings->groupID, settings->groupType);
}

SoundEngine::CZkRegisteredObj* ZkSwitchTrackSubscriber::PlayObject() const
{
    const CZkMusicPlayRecord* record = m_segmentContext != nullptr ? m_segmentContext->PlayRecord() : nullptr;
    return record != nullptr ? record->gameObject : nullptr;
}

void ZkSwitchTrackSubscriber::InitValue()
{
    const ZkMusicSwitchTrack* settings = m_track.SwitchTrack();
    m_current = 0;
    if (m_segmentContext != nullptr && settings != nullptr)
        m_current = GetGroupValue(PlayObject(), settings->groupID, settings->groupType);
    if (m_current == 0)
        m_current = m_track.DefaultSwitch();
    UpdateMatches();
}

void ZkSwitchTrackSubscriber::UpdateMatches()
{
    m_matches.RemoveAll();
    const ZkMusicSwitchTrack* settings = m_track.SwitchTrack();
    if (settings == nullptr)
        return;
    // Sub-track indexes are 16-bit; the list was reserved for every one of them.
    for (uint32_t index = 0; index < settings->switches.Length() && index <= 0xFFFFu; ++index)
    {
        if (settings->switches[index] == m_current)
            m_matches.AddLast(static_cast<uint16_t>(index));
    }
}

bool ZkSwitchTrackSubscriber::Matches(uint32_t subTrack) const
{
    for (uint16_t index : m_matches)
    {
        if (index == subTrack)
            return true;
    }
    return false;
}

void ZkSwitchTrackSubscriber::OnGroupValueChanged(ZkUniqueID value, const ZkRTPCKey& key,
                                                  const SoundEngine::CZkRTPCOverrideFilter* filter)
{
    const ZkMusicSwitchTrack* settings = m_track.SwitchTrack();
    if (settings == nullptr)
        return;
    if (settings->groupType == SoundEngine::ZkGroupType_Switch)
    {
        SoundEngine::CZkRegisteredObj* object = PlayObject();
        // A value set for one game object is that object's only; a value for all objects (no
        // object in the key) reaches every play the filter does not exempt.
        if (key.gameObject != nullptr && key.gameObject != object)
            return;
        if (filter != nullptr)
        {
            ZkRTPCKey playKey = ZkRTPCKey::ForObject(object);
            if (const CZkMusicPlayRecord* record = m_segmentContext->PlayRecord())
                playKey.playingID = record->PlayingID();
            if (filter->IsOverridden(playKey))
                return;
        }
    }
    if (value == m_current)
        return;
    m_previous = m_current;
    m_current = value;
    UpdateMatches();
    if (m_segmentContext != nullptr)
        m_segmentContext->SwitchTrackChanged(*this);
}
} // namespace ZK::MusicEngine
