// The playing manager's notifications to the posts' callbacks, and the cancels that wait for them.
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// Playback callbacks running on this thread. A cancel made from inside one must not wait for the
// callbacks to finish: it would wait for its own caller. Counting the thread's own callbacks, not
// comparing with the engine thread's id, also covers an engine rendering on the game's thread.
thread_local uint32_t t_callbacksOnThisThread = 0;

void Silence(ZkPlayingIdRecord& record)
{
    record.callback = nullptr;
    record.flags &= ~ZkPlayingIdRecord::kCallbackTypeMask;
}
} // namespace

void CZkPlayingMgr::CallUnlocked(ZkCallbackFunc callback, uint32_t type, ZkCallbackInfo& info)
{
    // Counted rather than a plain reset and set, so that a callback that leads to another one, or
    // two threads notifying at once, never signal "none running" while one still runs.
    if (m_callbacksRunning++ == 0)
        m_inFlight.Reset();
    m_lock.Leave();

    ++t_callbacksOnThisThread;
    callback(static_cast<ZkCallbackType>(type), &info);
    --t_callbacksOnThisThread;

    ZK::Platform::ZkScopedLock guard(m_lock);
    if (--m_callbacksRunning == 0)
        m_inFlight.Set();
}

template <typename Info>
bool CZkPlayingMgr::Deliver(ZkPlayingID playingID, uint32_t wantedTypes, uint32_t type, Info& info)
{
    m_lock.Enter();
    const ZkPlayingIdRecord* record = m_records.Find(playingID);
    if (record == nullptr || !record->Wants(wantedTypes))
    {
        m_lock.Leave();
        return false;
    }
    info.cookie = record->cookie;
    info.gameObjID = record->gameObjectID;
    info.playingID = playingID;
    if constexpr (requires { info.eventID; })
        info.eventID = record->eventID;
    CallUnlocked(record->callback, type, info);
    return true;
}

bool CZkPlayingMgr::NotifyDynamicSequenceItemEnd(ZkPlayingID playingID, ZkUniqueID audioNodeID,
                                                 void* customInfo)
{
    ZkSequenceItemCallbackInfo info;
    info.audioNodeID = audioNodeID;
    info.customInfo = customInfo;
    return Deliver(playingID, ZkCallbackType_SequenceItemEnd, ZkCallbackType_SequenceItemEnd, info);
}

bool CZkPlayingMgr::NotifyMarker(const ZkMarkerNotice& marker)
{
    ZkCueCallbackInfo info;
    info.identifier = marker.identifier;
    info.position = marker.position;
    info.label = marker.label;
    return Deliver(marker.playingID, ZkCallbackType_Marker, ZkCallbackType_Marker, info);
}

void CZkPlayingMgr::NotifyMarkers(const ZkMarkerNotice* markers, uint32_t count)
{
    for (uint32_t index = 0; index < count; ++index)
        NotifyMarker(markers[index]);
}

bool CZkPlayingMgr::NotifyDuration(ZkPlayingID playingID, float durationMs, float estimatedDurationMs,
                                   ZkUniqueID audioNodeID, ZkUniqueID mediaID, bool isStreaming)
{
    ZkLengthCallbackInfo info;
    info.durationMs = durationMs;
    info.estimatedDurationMs = estimatedDurationMs;
    info.audioNodeID = audioNodeID;
    info.mediaID = mediaID;
    info.isStreaming = isStreaming;
    return Deliver(playingID, ZkCallbackType_Duration, ZkCallbackType_Duration, info);
}

bool CZkPlayingMgr::NotifySpeakerVolumeMatrix(ZkPlayingID playingID, ZkSpeakerVolumeMatrixCallbackInfo& info)
{
    return Deliver(playingID, ZkCallbackType_SpeakerVolumeMatrix, ZkCallbackType_SpeakerVolumeMatrix, info);
}

bool CZkPlayingMgr::NotifyStarvation(ZkPlayingID playingID)
{
    ZkPlayingCallbackInfo info;
    return Deliver(playingID, ZkCallbackType_Starvation, ZkCallbackType_Starvation, info);
}

bool CZkPlayingMgr::NotifyPlaylistSelect(ZkPlayingID playingID, ZkUniqueID playlistID, uint32_t itemCount,
                                         uint32_t& selection)
{
    ZkPlaylistPickCallbackInfo info;
    info.playlistID = playlistID;
    info.itemCount = itemCount;
    info.selection = selection;
    if (!Deliver(playingID, ZkCallbackType_MusicPlaylistSelect, ZkCallbackType_MusicPlaylistSelect, info))
        return false;
    selection = info.selection;
    return info.done != 0;
}

bool CZkPlayingMgr::NotifyMusicPlaybackEvent(ZkPlayingID playingID)
{
    ZkPlayingCallbackInfo info;
    return Deliver(playingID, ZkCallbackType_MusicPlaybackEvent, ZkCallbackType_MusicPlaybackEvent, info);
}

bool CZkPlayingMgr::NotifyMusicSync(ZkPlayingID playingID, uint32_t callbackType,
                                    const ZkSegmentInfo& segmentInfo)
{
    ZkMusicPointCallbackInfo info;
    info.segmentInfo = segmentInfo;
    info.musicType = callbackType;
    return Deliver(playingID, callbackType, callbackType, info);
}

bool CZkPlayingMgr::NotifyMusicCallback(ZkPlayingID playingID, const ZkSegmentInfo& segmentInfo,
                                        const char* cueName)
{
    ZkMusicPointCallbackInfo info;
    info.segmentInfo = segmentInfo;
    info.musicType = ZkCallbackType_MusicUserCue;
    info.cueName = cueName;
    return Deliver(playingID, ZkCallbackType_MusicUserCue, ZkCallbackType_MusicUserCue, info);
}

bool CZkPlayingMgr::NotifyMidiEvent(ZkPlayingID playingID, const ZkMIDIEvent& midiEvent)
{
    ZkMidiCallbackInfo info;
    info.midiEvent = midiEvent;
    return Deliver(playingID, ZkCallbackType_MidiEvent, ZkCallbackType_MidiEvent, info);
}

template <typename Match> void CZkPlayingMgr::CancelCallbacks(Match match)
{
    {
        ZK::Platform::ZkScopedLock guard(m_lock);
        ForEachRecord(
            [&](ZkPlayingIdRecord& record)
            {
                if (match(record))
                    Silence(record);
            });
    }
    // A callback of a matching record may have been copied out just before: it returns before the
    // cancel does, so the game may free what its cookie points to once the cancel returns.
    if (t_callbacksOnThisThread == 0)
        m_inFlight.Wait(ZK::Platform::kWaitInfinite);
}

void CZkPlayingMgr::CancelCallbacksByPlayingID(ZkPlayingID playingID)
{
    CancelCallbacks([playingID](const ZkPlayingIdRecord& record) { return record.playingID == playingID; });
}

void CZkPlayingMgr::CancelCallbacksByCookie(void* cookie)
{
    CancelCallbacks([cookie](const ZkPlayingIdRecord& record) { return record.cookie == cookie; });
}

void CZkPlayingMgr::CancelCallbacksByGameObject(ZkGameObjectID gameObject)
{
    CancelCallbacks([gameObject](const ZkPlayingIdRecord& record)
                    { return record.gameObjectID == gameObject; });
}
} // namespace ZK::SoundEngine
