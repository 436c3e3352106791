// CZkMidiTrackPlayback: the MIDI target of one MIDI track that plays. Its events come from the
// track's media in musical time (ZkMidiTrackSchedule); each frame its track-player manager takes
// them and dispatches them as it would posted ones (the same CZkMidiDispatcher), so the node the
// track names plays its notes on the play's game object under the play's playing id.
//
// Life cycle: Create (count 1: the manager's list; a second reference, the player's own, lasts
// until it ends) -> advanced each frame by its manager -> ending at its stop time (the notes that
// sound are released there and no new note-on goes out) -> finished once nothing but the list holds it (no note of it sounds
// or waits) -> unlinked and freed by the manager. Stop(kStopNow) ends it at once.
//
// Muted: while the product of the volume factors that apply to it is 0, the player's notes are
// released and the ones it would start are heard by nobody; it keeps walking its track.
//
// In a music play: the player of a MIDI clip is also a leaf of the track context that started it
// (CZkMusicChild), so that the music's stops, pauses and resumes reach it, and it is linked on its
// track, whose volume changes reach it. It holds a reference on its track context while it hangs
// under it (the context cannot go from under it); the context lets it go when it stops (the
// player has its stop by then), so a player that outlives its music keeps no context alive.
//
// Threading: audio thread (the music engine's frame, under the engine's lock). Ownership:
// reference counted, memory pool 0; the media stays its owner's (the bank), and must stay in place
// while the player reads it: when its bank is unloaded the player moves to another loaded copy of
// the same media (RelocateMedia), or stops at once when there is none (StopPlayersOfBank).
#pragma once

#include "MusicEngine/Contexts/CZkMusicChild.h"
#include "MusicEngine/Midi/ZkMidiTrackSchedule.h"
#include "ZkAudiolib/Common/Midi/CZkMidiTarget.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
struct LoadedBank;
struct ZkMediaRef;
} // namespace ZK::SoundEngine

namespace ZK::MusicEngine
{
class CZkMidiTrackPlayerMgr;
class CZkMusicTrack;
class CZkMusicTrackContext;

// What a player plays: the media, the node it sends to, where it starts and how it walks.
struct ZkMidiTrackPlayRequest
{
    // A track's media reference, acquired by the player for as long as it lives; without one the
    // caller's media and size are read (and stay the caller's).
    const SoundEngine::ZkMediaRef* mediaRef = nullptr;
    const uint8_t* media = nullptr;
    uint32_t mediaSize = 0;
    ZkUniqueID nodeID = 0;
    bool nodeIsBus = false; // nodeID names a bus: only the controllers reach it
    SoundEngine::CZkRegisteredObj* gameObject = nullptr;
    ZkPlayingID playingID = 0;
    float tempo = 0.0f;   // quarter notes per minute; 0: the media's
    bool loop = false;    // the track's loop count is not 1
    uint32_t startOffset = 0;      // samples into the track
    uint32_t firstFrameOffset = 0; // samples into the first frame
    // A clip of a music track: the node, tempo and loop are the track's (they replace the fields
    // above), the player hangs under the track context (when given) and on the track.
    CZkMusicTrack* track = nullptr;
    CZkMusicTrackContext* trackContext = nullptr;
};

class CZkMidiTrackPlayback final : public SoundEngine::CZkMidiTarget, public CZkMusicChild
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // 31 without a node id or a track, 2 when the player cannot be allocated or the node (none
    // named: 2) or media refuse it (nothing is left behind), else 1 with the player linked at the
    // head of the manager's list (and attached to its track context and track).
    static ZKRESULT Create(CZkMidiTrackPlayerMgr& manager, const ZkMidiTrackPlayRequest& request,
                           CZkMidiTrackPlayback*& player);

    // --- CZkMusicChild ---
    // Stop at a sample offset of the coming frame; kStopNow: at once (its notes end now).
    void StopAt(uint32_t offset) override { Stop(offset); }
    void Stop(uint32_t offset) override;
    // The voices of its notes pause or resume (once each way).
    void Pause() override;
    void Resume() override;
    // The music's frames, fades, speed and modulators do not concern it: its notes are the target
    // node's, and the speed reaches it through its manager's frame step.
    void EndFrame() override {}
    void ApplyFade(const void*, float) override {}
    void SetParameter(uint32_t, float, float) override {}
    void ReleaseModulators() override {}
    // The target's reference count.
    void AddRef() override { CZkMidiTarget::AddRef(); }
    void Release() override { CZkMidiTarget::Release(); }

    // --- In a music play (CZkMidiTrackPlaybackMusic.cpp) ---
    // The product of the gains that apply to its track for its game object is taken again
    // (ApplyVolumeProduct).
    void RefreshVolumeFactors();
    // Leaves its track context: the context's stop actions for it go, the context's reference is
    // given back. Nothing when it hangs under none.
    void LeaveContext();
    CZkMusicTrackContext* TrackContext() const { return m_trackContext; }
    CZkMidiTrackPlayback* nextOnTrack = nullptr; // the track's list of players
    // The product of the volume factors that apply to the player: at 0 it is muted and its
    // sounding notes are released at once; otherwise it is heard again.
    void ApplyVolumeProduct(float product);

    bool IsStopRequested() const override { return (m_schedule.Flags() & ZkMidiTrackSchedule::kFlagStopRequested) != 0; }
    // Its note-ons stay open until their note-offs come from the track.
    bool HasQueuedEvents() const override { return true; }
    SoundEngine::CZkMidiDispatcher* GetOwner() const override;

    bool IsMuted() const { return m_muted; }
    bool IsPaused() const { return m_paused; }
    bool IsFinishedPlaying() const { return m_schedule.IsStopped() || m_schedule.IsEnding(); }
    const uint8_t* Media() const { return m_media; }
    // The bank whose copy of the media the player reads (null: resident or the caller's media).
    SoundEngine::LoadedBank* MediaBank() const { return m_mediaBank; }
    // The media taken again from the media index, which hands out no copy of a bank being
    // unloaded: on another address the reader moves there (keeping its place) and the old copy
    // and its bank are let go. True when the player now reads media that stays; false (nothing
    // changed) for the caller's own bytes, or when no other copy of the same size is loaded.
    bool RelocateMedia();
    ZkMidiTrackSchedule& Schedule() { return m_schedule; }
    // The player's own reference goes, once (at its stop time or its stop).
    void DropOwnReference();
    // The notes it started and has not yet ended, by channel and note (kept by its manager as it
    // dispatches them).
    void MarkSounding(uint8_t channel, uint8_t note, bool sounding);
    bool IsSounding(uint8_t channel, uint8_t note) const;
    // The sample of the current frame where its sounding notes are released (its stop time).
    static constexpr uint32_t kNoRelease = 0xFFFFFFFFu;
    uint32_t releaseAt = kNoRelease;

    CZkMidiTrackPlayback(CZkMidiTrackPlayerMgr& manager, const ZkMidiTrackPlayRequest& request)
        : CZkMidiTarget(request.gameObject, request.nodeID, request.playingID), m_manager(&manager),
          m_media(request.media)
    {
        NameBus(request.nodeIsBus);
    }
    ~CZkMidiTrackPlayback() override;

protected:
    void Free() override;

private:
    // The media to read: the reference's acquired copy, or the request's bytes. False when there
    // is none.
    bool TakeMedia(const ZkMidiTrackPlayRequest& request, uint32_t& size);
    // The request with the node, tempo and loop of its track (when it names one).
    static ZkMidiTrackPlayRequest WithTrackSettings(const ZkMidiTrackPlayRequest& request);
    // Hangs under the track context (when given) and on the track, with its volume factors.
    void JoinTrack(CZkMusicTrack& track, CZkMusicTrackContext* context);
    void LeaveTrack();

    CZkMidiTrackPlayerMgr* m_manager;
    const uint8_t* m_media;
    const SoundEngine::ZkMediaRef* m_mediaRef = nullptr; // acquired when set
    SoundEngine::LoadedBank* m_mediaBank = nullptr;
    CZkMusicTrack* m_track = nullptr;                 // a reference held
    CZkMusicTrackContext* m_trackContext = nullptr;   // a reference held while attached
    ZkMidiTrackSchedule m_schedule;
    uint64_t m_sounding[16 * 2] = {}; // 128 notes of each channel
    bool m_holdsOwnReference = false;
    bool m_muted = false;
    bool m_paused = false;
};
} // namespace ZK::MusicEngine
