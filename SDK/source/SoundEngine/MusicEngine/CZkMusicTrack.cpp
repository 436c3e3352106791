#include "MusicEngine/CZkMusicTrack.h"

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Hierarchy/ZkStreamedMediaRequest.h"

#include <algorithm>

namespace ZK::MusicEngine
{
using namespace SoundEngine;

namespace
{
bool IsStreamed(const ZkMediaRef& media)
{
    return media.Kind() == kMediaKindOwned;
}

uint32_t CodecOf(const ZkMediaRef& media)
{
    return static_cast<uint32_t>(media.sourceType) >> 16;
}

ZKRESULT PrepareClipEvent(ZkUniqueID eventID)
{
    return g_pBankManager != nullptr ? g_pBankManager->PrepareEvent(eventID) : ZK_Fail;
}

void UnprepareClipEvent(ZkUniqueID eventID)
{
    if (g_pBankManager != nullptr)
        g_pBankManager->UnprepareEvent(eventID);
}
} // namespace

uint16_t CZkMusicTrack::NextSubTrack()
{
    switch (m_kind)
    {
    case ZkMusicTrack_RandomStep:
        return static_cast<uint16_t>(ZK::ZkLcg64::Engine().RandomIndex(m_subTrackCount));
    case ZkMusicTrack_SequenceStep:
    {
        uint32_t next = static_cast<uint16_t>(m_sequence + 1);
        if (next >= m_subTrackCount)
            next = 0;
        m_sequence = static_cast<uint16_t>(next);
        return m_sequence;
    }
    default:
        return 0;
    }
}

int32_t CZkMusicTrack::LookAheadAt(int32_t position) const
{
    int64_t needed = 0;
    for (const ZkMusicClip& clip : m_clips)
    {
        const ZkMediaRef* media = MediaOf(clip.sourceID);
        if (media == nullptr || !IsStreamed(*media) || CodecOf(*media) == kStreamedCodecWithoutLookAhead)
            continue;
        // A prefetched stream played from its start has its first bytes in memory already.
        if ((media->flags & kMediaFlagPrefetch) != 0 && clip.start >= position && clip.startOffset == 0)
            continue;
        const int64_t untilStart = std::max<int64_t>(0, int64_t{clip.start} - position);
        needed = std::max(needed, int64_t{m_lookAhead} - untilStart);
    }
    return static_cast<int32_t>(needed);
}

const ZkMediaRef* CZkMusicTrack::MediaOf(ZkUniqueID sourceID) const
{
    for (const ZkMusicTrackSource& source : m_sources)
    {
        if (source.sourceID == sourceID)
            return source.media;
    }
    return nullptr;
}

bool CZkMusicTrack::AnySourceInMemory() const
{
    return std::any_of(m_sources.begin(), m_sources.end(),
                       [](const ZkMusicTrackSource& source) { return source.media->IsResident(); });
}

void CZkMusicTrack::MidiTarget(bool& overrides, ZkUniqueID& target, bool& isBus) const
{
    overrides = (m_flags & kFlagOverridesTarget) != 0;
    target = static_cast<ZkUniqueID>(GetIntProperty(kPropMidiTarget));
    isBus = (m_flags & kFlagTargetIsBus) != 0;
}

void CZkMusicTrack::MidiTempo(bool& overrides, float& tempo) const
{
    overrides = (m_flags & kFlagOverridesTempo) != 0;
    tempo = GetFloatProperty(kPropMidiTempo);
}

ZKRESULT CZkMusicTrack::PrepareMedia()
{
    for (uint32_t index = 0; index < m_sources.Length(); ++index)
    {
        const ZKRESULT result = m_sources[index].media->Prepare();
        if (result != ZK_Success)
        {
            while (index-- > 0)
                m_sources[index].media->Unprepare();
            return result;
        }
    }
    for (uint32_t index = 0; index < m_clips.Length(); ++index)
    {
        if (m_clips[index].eventID == 0)
            continue;
        const ZKRESULT result = PrepareClipEvent(m_clips[index].eventID);
        if (result != ZK_Success)
        {
            while (index-- > 0)
            {
                if (m_clips[index].eventID != 0)
                    UnprepareClipEvent(m_clips[index].eventID);
            }
            for (const ZkMusicTrackSource& source : m_sources)
                source.media->Unprepare();
            return result;
        }
    }
    return ZK_Success;
}

void CZkMusicTrack::UnprepareMedia()
{
    for (const ZkMusicTrackSource& source : m_sources)
        source.media->Unprepare();
    for (const ZkMusicClip& clip : m_clips)
    {
        if (clip.eventID != 0)
            UnprepareClipEvent(clip.eventID);
    }
}

void CZkMusicTrack::CollectStreamedMedia(const ZkStreamedMediaRequest& request, bool active) const
{
    for (const ZkMusicTrackSource& source : m_sources)
    {
        if (IsStreamed(*source.media))
            (active ? request.active : request.inactive).AddLast(source.media); // no room: skipped
    }
}
} // namespace ZK::MusicEngine
