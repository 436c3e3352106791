// CZkMusicTrack: the leaf of the music hierarchy (bank item type 11, category 6). It owns the
// media of one layer of a segment (one media reference per distinct source id) and lays them out
// in time as clips, optionally on several sub-tracks (chosen at random, in sequence or by a game
// sync), with automation curves per clip.
//
// A track read again from a later bank (none of its sources had media in memory) takes steps 1
// to 8 of the payload only: known sources stay, new ones are added, the clips are replaced when
// the payload has any, and the curves are replaced.
//
// Threading: read on the bank thread under the global engine lock; everything else on the engine
// thread. Ownership: the object index's (pool 2); the track owns its media references, source
// table, curves, clips (pool 0) and switch record (pool 2).
#pragma once

#include "MusicEngine/CZkMusicNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSourceNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkMediaRef.h"
#include "ZkAudiolib/Common/Parameters/CZkCurve.h"

namespace ZK::SoundEngine
{
class CZkRegisteredObj;
class ZkExternalSourceArray;
} // namespace ZK::SoundEngine

namespace ZK::MusicEngine
{
struct ZkMusicTrackSource
{
    ZkUniqueID sourceID;
    SoundEngine::ZkMediaRef* media; // owned, pool 0
};

struct ZkMusicClip
{
    uint32_t subTrack;
    ZkUniqueID sourceID;
    ZkUniqueID eventID; // 0: none
    int32_t start;          // in the track
    int32_t audibleLength;
    int32_t sourceDuration;
    int32_t startOffset;    // inside the source, 0 <= offset < duration
};

struct ZkMusicClipCurve
{
    static constexpr uint32_t kNoClip = 0xFFFFFFFFu;
    uint32_t clipIndex;
    uint32_t kind; // 0 to 4
    SoundEngine::CZkCurve curve;
};

// The fades of a switch track or a transition: time in ms, curve, offset in samples.
struct ZkMusicFade
{
    uint32_t timeMs = 0;
    uint32_t curve = 0;
    int32_t offset = 0;
};

struct ZkMusicSwitchTrack
{
    uint8_t groupType = 0;
    ZkUniqueID groupID = 0;
    ZkUniqueID defaultSwitch = 0;
    ZK::ZkArray<ZkUniqueID> switches; // of each sub-track, in order
    uint32_t syncKind = 0;
    ZkUniqueID cueFilter = 0;
    ZkMusicFade fadeOut;
    ZkMusicFade fadeIn;
};

class CZkMusicTrackContext;
class CZkMusicSourceInstance;
class CZkMidiTrackPlayback;

// What the start of a clip's sound takes: the track context it plays under, the clip, its media,
// the play (game object, playing id and external sources, option byte), where the source starts
// reading, the samples of the current frame before it sounds, and the play's speed.
struct ZkClipStartRequest
{
    CZkMusicTrackContext* trackContext = nullptr;
    const ZkMusicClip* clip = nullptr;
    const SoundEngine::ZkMediaRef* media = nullptr;
    SoundEngine::CZkRegisteredObj* gameObject = nullptr;
    SoundEngine::ZkExternalSourceArray* externalSources = nullptr;
    ZkPlayingID playingID = 0;
    uint8_t option = 0; // bit 0: the clip starts paused
    uint32_t sourcePosition = 0;
    uint32_t frameOffset = 0;
    float speed = 1.0f;
};

enum ZkMusicTrackKind : uint8_t
{
    ZkMusicTrack_Normal = 0,
    ZkMusicTrack_RandomStep = 1,
    ZkMusicTrack_SequenceStep = 2,
    ZkMusicTrack_Switch = 3,
};

class CZkMusicTrack final : public SoundEngine::CZkSourceNode
{
public:
    // Track flag bits.
    static constexpr uint8_t kFlagOverridesTarget = 0x1;
    static constexpr uint8_t kFlagOverridesTempo = 0x2;
    static constexpr uint8_t kFlagTargetIsBus = 0x4;
    static constexpr uint32_t kStreamedCodecWithoutLookAhead = 16;

    static CZkMusicTrack* Create(ZkUniqueID id);
    // The payload (from the object id on); reread stops after the node part. 1; 91 the node is not
    // a track; 7 a field, count or time out of the item or out of range; the source reader's
    // results; 2 references, clips, curves, switch ids; 52 the switch record; the node part's.
    ZKRESULT ReadFromBank(const uint8_t* payload, uint32_t size, bool reread);

    explicit CZkMusicTrack(ZkUniqueID id) : CZkSourceNode(id) { SetBusFlag(false); }
    ~CZkMusicTrack() override;

    SoundEngine::ZkNodeCategory Category() const override { return kCategoryMusicTrack; }
    // Tracks start through their segment's context (not built yet): 4.
    ZKRESULT Play(SoundEngine::PlayLaunchParams&) override { return ZK_NotImplemented; }
    // Every media reference, then every clip's event; a failure undoes what was prepared.
    ZKRESULT PrepareMedia() override;
    void UnprepareMedia() override;
    void CollectStreamedMedia(const SoundEngine::ZkStreamedMediaRequest& request, bool active) const override;

    // Starts the sound of a clip: the track's behaviours, priority and the voice limit (at the
    // limit the clip starts virtual), the instance, its initialisation, the track's limits, its
    // start and its voice command. 1 with instance; 2 out of memory or when it cannot start (its
    // playing id still learns of it, so the play's end is reported); 3 refused.
    ZKRESULT StartClip(const ZkClipStartRequest& request, CZkMusicSourceInstance*& instance);

    // --- Queries ---
    // How early the clip must start for its media to be read in time when the track starts at
    // trackStart (0 unless streamed; a prefetched stream played from its start at or after
    // trackStart needs none).
    int32_t ClipLookAhead(const ZkMusicClip& clip, int32_t trackStart) const;
    static bool IsStreamedMedia(const SoundEngine::ZkMediaRef& media);
    // Kind 1: a random index below the count; kind 2: the next in sequence (0 first); else 0.
    uint16_t NextSubTrack();
    // The largest look-ahead the streamed media of the clips still need at position (samples).
    int32_t LookAheadAt(int32_t position) const;
    const SoundEngine::ZkMediaRef* MediaOf(ZkUniqueID sourceID) const;
    ZkUniqueID DefaultSwitch() const { return m_switch != nullptr ? m_switch->defaultSwitch : 0; }
    bool AnySourceInMemory() const;
    void MidiTarget(bool& overrides, ZkUniqueID& target, bool& isBus) const;
    void MidiTempo(bool& overrides, float& tempo) const;
    // The node the track's MIDI clips play: the track's own property 56 when the track overrides
    // its parent's or names one, else that of the first music node above that does; 0: none.
    // isBus: that level's flag that the id names a bus.
    ZkUniqueID MidiTargetInForce(bool& isBus) const;
    // The tempo of the track's MIDI clips (property 55), found the same way; 0: the media's own.
    float MidiTempoInForce() const;

    // --- The MIDI-track players of the track's clips (each links itself while it lives) ---
    void LinkMidiPlayer(CZkMidiTrackPlayback& player);
    void UnlinkMidiPlayer(CZkMidiTrackPlayback& player);
    CZkMidiTrackPlayback* FirstMidiPlayer() const { return m_midiPlayers; }
    // A gain of a modified-property record changed (object null: the global one): the players of
    // that game object (every player for null) take their volume factors again, then the clip
    // instances update as every source node's do.
    void UpdateContribution(SoundEngine::CZkGameObject* object) override;

    uint8_t TrackFlags() const { return m_flags; }
    uint8_t Kind() const { return m_kind; }
    uint32_t SubTrackCount() const { return m_subTrackCount; }
    int32_t LookAhead() const { return m_lookAhead; }
    const ZK::ZkArray<ZkMusicTrackSource>& Sources() const { return m_sources; }
    const ZK::ZkArray<ZkMusicClip>& Clips() const { return m_clips; }
    const ZK::ZkArray<ZkMusicClipCurve>& Curves() const { return m_curves; }
    const ZkMusicSwitchTrack* SwitchTrack() const { return m_switch; }

private:
    ZKRESULT ReadSources(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadClips(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadCurves(ZK::ZkByteCursor& cursor);
    ZKRESULT ReadSwitchTrack(ZK::ZkByteCursor& cursor, uint8_t kind);
    void FreeSources();
    void FreeCurves();
    void FreeSwitchTrack();
    ZkMusicTrackSource* FindSource(ZkUniqueID sourceID);

    ZK::ZkArray<ZkMusicTrackSource> m_sources;
    ZK::ZkArray<ZkMusicClipCurve> m_curves;
    ZK::ZkArray<ZkMusicClip> m_clips;
    ZkMusicSwitchTrack* m_switch = nullptr;
    CZkMidiTrackPlayback* m_midiPlayers = nullptr; // newest first, through their nextOnTrack
    uint32_t m_subTrackCount = 0;
    int32_t m_lookAhead = 0;
    uint16_t m_sequence = 0xFFFF;
    uint8_t m_kind = ZkMusicTrack_Normal;
    uint8_t m_flags = 0;
};
} // namespace ZK::MusicEngine
