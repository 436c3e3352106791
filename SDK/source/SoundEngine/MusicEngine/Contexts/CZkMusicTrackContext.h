// CZkMusicTrackContext: plays one sub-track of one music track inside a segment context. It turns
// the track's clips into time-ordered actions (clip starts, clip stops, clip events), starts a clip
// playing instance at the right sample of its frame, stops it at the clip's end, posts the clips'
// events with their sample offset, and drives the clips' automation curves every frame.
//
// Track time (samples) is measured from the segment's physical start: segment time + pre-entry.
//
// References: the context holds one on itself from its creation to its first OnStopped (the
// segment context's creation reference), and each clip leaf holds one while its instance lives, so
// a stopped track context goes when its last clip instance has gone.
//
// MIDI clips: a clip whose source is MIDI media plays through a MIDI-track player of the play
// (CZkMidiTrackPlayback), which hangs under this context like a clip instance's leaf and holds a
// reference on it. The player's life belongs to the play's track-player manager, which advances it
// only while the play sounds: so when this context stops it lets its players go (each has its stop
// by then), and a stopped play is never kept alive by a player.
//
// Threading: engine thread only, under the global engine lock; a frame's processing allocates
// nothing unless it starts a clip.
// Ownership: reference-counted (CZkMusicContext); holds a reference on its track and the modulator
// instances its plays of the track started (released by the destructor).
#pragma once

#include "MusicEngine/Contexts/CZkMusicContext.h"
#include "MusicEngine/Contexts/ZkMusicActionList.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"

namespace ZK::SoundEngine
{
struct ZkMediaRef;
}

namespace ZK::MusicEngine
{
class CZkMusicPlayRecord;
class CZkMusicSegmentContext;
class CZkMusicSourceInstance;
class CZkMusicTrack;
struct ZkClipAutomation;
struct ZkMusicClip;

// Trigger kinds of a track's modulators: its play starts them, its release lets them go.
constexpr int32_t kTrackModulatorsPlay = 1;
constexpr int32_t kTrackModulatorsRelease = 2;

class CZkMusicTrackContext final : public CZkMusicContext
{
public:
    // A context for the sub-track under the segment context, attached, holding its own reference;
    // null out of memory.
    static CZkMusicTrackContext* Create(CZkMusicSegmentContext& parentContext, CZkMusicTrack& track, uint32_t subTrack);

    CZkMusicTrackContext(CZkMusicSegmentContext& parentContext, CZkMusicTrack& track, uint32_t subTrack);
    ~CZkMusicTrackContext() override;

    // The track's modulators for this play are released (trigger kind 2).
    void ReleaseModulators() override;
    // Starts the track's modulators (trigger kind 1); the first play builds the clip actions.
    void OnPlay() override;
    // Drops the automation and the pending actions; the first time, the context's own reference.
    void OnStopped() override;

    // Where playback of the track begins (track time).
    void SetTrackStart(int32_t trackTime) { m_trackStart = trackTime; }
    // The clip actions of this sub-track from the track start on (once).
    void BuildClipActions();
    // One frame from track time trackTime.
    void ProcessTrack(int32_t trackTime, uint32_t length, float speed);
    void RunDueClipActions(int32_t trackTime, uint32_t length, float speed);
    // A clip leaf goes: its stop actions and automation are dropped.
    void ForgetLeaf(const CZkMusicChild& leaf);
    // Where the instance's clip stands now, to restart its source in place: false while stopping or
    // once the clip is over.
    bool ComputeRestart(const CZkMusicSourceInstance& instance, int32_t& lookAhead, int32_t& position);

    CZkMusicTrack& Track() const { return m_track; }
    uint32_t SubTrack() const { return m_subTrack; }
    int32_t TrackStart() const { return m_trackStart; }
    bool HasBuiltActions() const { return (m_flags & kActionsBuilt) != 0; }
    const ZkMusicActionList& Actions() const { return m_actions; }
    const ZkClipAutomation* ActiveAutomation() const { return m_activeAutomation; }
    const SoundEngine::ZkModulatorLinksHandle& ModulatorLinks() const { return m_links; }

protected:
    // The segment context drops its pending stops of this context before it goes.
    void OnLastRelease() override;

private:
    static constexpr uint8_t kActionsBuilt = 0x1;
    static constexpr uint8_t kSelfReferenceDropped = 0x2;

    CZkMusicSegmentContext& Segment() const;
    CZkMusicPlayRecord* PlayRecord() const;
    void TriggerModulators(int32_t triggerKind);
    void StartClip(class ZkClipStartAction& action, int32_t offset, float speed, int32_t frameEnd);
    // A MIDI clip's player, stopped at the clip's end; nothing when it cannot start.
    void StartMidiPlayer(const class ZkClipStartAction& action, const SoundEngine::ZkMediaRef& media, int32_t offset);
    // Every MIDI-track player under the context leaves it, stopped at once unless it is ending.
    void ReleasePlayers();
    void PostClipEvent(ZkUniqueID eventID, int32_t offset);
    // Applies the records bound to leaf (every record with null) at trackTime and drops them.
    void ApplyAndDropAutomation(const CZkMusicSourceInstance* leaf, int32_t trackTime);

    ZkMusicActionList m_actions;
    ZkClipAutomation* m_activeAutomation = nullptr;
    CZkMusicTrack& m_track;
    uint32_t m_subTrack;
    SoundEngine::ZkModulatorLinksHandle m_links;
    int32_t m_trackStart = 0;
    uint8_t m_flags = 0;
};

// (position modulo length) made non-negative; 0 for a length of 0 or less (an event clip has no
// source length).
int32_t PositionInSource(int64_t position, int32_t length);
} // namespace ZK::MusicEngine
