// The MIDI-track player in a music play: what its track decides for it (node, tempo, loop), its
// place under the track context that started it and on its track, and the track's volume.
#include "MusicEngine/Midi/CZkMidiTrackPlayback.h"

#include "MusicEngine/CZkMusicTrack.h"
#include "MusicEngine/Contexts/CZkMusicTrackContext.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/ZkVoiceParams.h"

namespace ZK::MusicEngine
{
ZkMidiTrackPlayRequest CZkMidiTrackPlayback::WithTrackSettings(const ZkMidiTrackPlayRequest& request)
{
    ZkMidiTrackPlayRequest settled = request;
    if (request.track == nullptr)
        return settled;
    settled.nodeID = request.track->MidiTargetInForce(settled.nodeIsBus);
    settled.tempo = request.track->MidiTempoInForce();
    // A loop count of 0 loops for ever; any count other than 1 makes the track start again at
    // its end (the clip's length ends it).
    settled.loop = request.track->LoopCount() != 1;
    return settled;
}

void CZkMidiTrackPlayback::JoinTrack(CZkMusicTrack& track, CZkMusicTrackContext* context)
{
    m_track = &track;
    track.AddRef();
    track.LinkMidiPlayer(*this);
    if (context != nullptr)
    {
        m_trackContext = context;
        parent = context;
        context->LinkChild(*this); // the context's count grows by one for the player
    }
    RefreshVolumeFactors();
}

void CZkMidiTrackPlayback::LeaveContext()
{
    CZkMusicTrackContext* context = m_trackContext;
    if (context == nullptr)
        return;
    m_trackContext = nullptr;
    parent = nullptr;
    context->ForgetLeaf(*this);
    context->UnlinkChild(*this);
    context->Release(); // may be the context's last reference
}

void CZkMidiTrackPlayback::LeaveTrack()
{
    LeaveContext();
    if (m_track == nullptr)
        return;
    m_track->UnlinkMidiPlayer(*this);
    m_track->Release();
    m_track = nullptr;
}

void CZkMidiTrackPlayback::RefreshVolumeFactors()
{
    if (m_track == nullptr)
        return;
    // The gains of the modified-property records from the track up its hierarchy and its bus
    // chain, for the player's game object and for every object: a voice of the track would be
    // scaled by their product.
    SoundEngine::ZkVoiceParams params;
    SoundEngine::ZkGatherRequest request;
    request.gameObject = GameObject();
    m_track->GatherVoiceParams(params, request);
    ApplyVolumeProduct(params.GainProduct());
}
} // namespace ZK::MusicEngine
