// CZkMusicPlayRecord: one play of a music object as the rest of the sound engine sees it: the game
// object, the playing id and its post's external sources, the option byte handed to every clip of
// the play, the music clock and the playback speed. One record per playing root, created by
// StartPlay and destroyed by EndPlay (MusicPlays.h); the root holds it, the record points back to
// the root without a reference.
//
// Each frame the music engine's frame callback calls Advance: the speed is evaluated when it is not
// valid (clamped to 0.25..4 and quantised to a whole number of samples per frame), the root
// processes the frame, the clock moves on by the frame's advance and the root ends its frame.
//
// Speed changes: the record listens for the playback-speed parameter at the segment it plays (a
// keyed parameter target for the play's game object and playing id, gathered into the segment's
// chain of music nodes, which keeps the segment's speed subscription active while the play
// lasts). A game-parameter change of that parameter that concerns the play goes to the music
// node's parameter receiver, which asks for a speed refresh: the next frame evaluates the speed
// again. The listener follows the play to the next segment when the speed is evaluated
// there.
//
// The record is on the engine-wide play-context list while the play lasts (StartPlay to EndPlay),
// so that actions for every game object (a stop or pause of everything, a stop of the sounds of
// one object) reach the music as they reach the container plays: the per-node action of a music
// node only reaches plays of that node.
//
// Threading: engine thread only, under the global engine lock. Ownership: the record holds a
// reference on its game object and on the post's external sources; memory from pool 0.
//
// MIDI tracks: the clips of MIDI tracks play through track players (CZkMidiTrackPlayback) that the
// record's own MIDI manager advances after each frame of the root and dispatches; they go with the
// record.
//
// Stingers (CZkMusicPlayRecordStingers.cpp): a trigger of the play's game object places the
// stinger segment that the playing segment's hierarchy defines for it at the next sync point of
// the stinger's kind, as a child of the root; the record keeps a ZkStingerRecord for each, starts
// and stops their contexts frame by frame (the root's FinishFrame) and discards them when the root
// stops.
#pragma once

#include "MusicEngine/Midi/CZkMidiTrackPlayerMgr.h"
#include "ZkAudiolib/Common/GameSyncs/IZkTriggerReceiver.h"
#include "ZkAudiolib/Common/Parameters/CZkKeyedParamTarget.h"
#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRegisteredObj;
class ZkExternalSourceArray;
struct LoadedBank;
} // namespace ZK::SoundEngine

namespace ZK::MusicEngine
{
using SoundEngine::CZkRegisteredObj;
class CZkMusicNode;
class CZkMusicSegmentSequenceContext;
class CZkMusicTimelineContext;
struct PendingStateChange;
struct ZkMusicCursor;
struct ZkMusicStinger;
struct ZkMusicSyncAction;
struct ZkStingerRecord;

// The caller's play information: the playing id and the post's external sources (a reference is
// held by whoever keeps a copy).
struct ZkMusicPlayInfo
{
    SoundEngine::ZkExternalSourceArray* externalSources = nullptr;
    ZkPlayingID playingID = 0;
};

// Where a change of a state group may take effect next: samples from now, and what the scheduling
// of that point needs.
struct SyncPointAnswer
{
    bool found = false;
    int64_t samplesFromNow = 0;
    uint32_t steps = 0;       // items from the one playing now to the one the point lies in
    int64_t scheduleTime = 0; // the point on the root's timeline
};

class CZkMusicPlayRecord final : public SoundEngine::IZkTriggerReceiver, public SoundEngine::CZkContainerPlayContext
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr float kMinSpeed = 0.25f;
    static constexpr float kMaxSpeed = 4.0f;

    // A record for the root (clock 0, speed 1.0), holding references on the external sources and the
    // game object, registered as trigger target for the game object. Null out of memory, or when it
    // cannot register (nothing is left behind).
    static CZkMusicPlayRecord* Create(CZkMusicTimelineContext& root, const ZkMusicPlayInfo& playInfo,
                                      CZkRegisteredObj* gameObject, uint8_t option);
    // Unregisters, drops the references and frees the record.
    void Destroy();

    // One engine frame of frameLength samples (see the header's opening).
    void Advance(uint32_t frameLength);
    // The music segment under the play's cursor, or the object the root plays.
    CZkMusicNode* CurrentSegmentNode() const;

    // Stop, pause and resume of every play (the action's game object and playing id filter it; its
    // transition fades the root); a play whose object the action excepts is left alone.
    void ExecuteAction(const SoundEngine::ZkActionParams& params) override;

    // A trigger of the play's game object: its stinger is placed in the music playing now.
    void OnTrigger(ZkUniqueID triggerID) override { ScheduleStinger(triggerID, false); }
    // Places the trigger's stinger at its next sync point after now + its look-ahead, in the item
    // playing now (afterCurrentItem: in the next one) or, when the stinger may look one segment
    // ahead, in the item after it; nothing when the root is stopping, no segment plays there, no
    // stinger is defined for the trigger or it fired within its don't-repeat time.
    void ScheduleStinger(ZkUniqueID triggerID, bool afterCurrentItem);
    // Keeps a stinger at point (the root's time of its entry cue) and marks it in the cursor's
    // current item; context may be null (a stinger without segment). 1, or 2 out of memory
    // (nothing kept).
    ZKRESULT AddStinger(ZkMusicCursor& cursor, CZkMusicSegmentSequenceContext* context,
                        const ZkMusicStinger& definition, uint64_t point, uint32_t lookAhead, bool mayRetrigger);
    // The stingers' part of the root's frame [time, time + length) (root time): start, stop and
    // play the stinger contexts due, drop the ones that stopped, free the records whose
    // don't-repeat time is over.
    void ProcessStingers(uint64_t time, uint32_t length);
    // Releases every stinger context and frees every record (the root stopped).
    void DiscardStingers();
    // A cut took the stinger's place away: it fades out now, is cancelled and, when it may,
    // is placed again after the item playing now.
    void ReevaluateStinger(ZkStingerRecord& record);
    // The stinger records, newest first.
    ZkStingerRecord* FirstStinger() const { return m_stingers; }
    // Held state changes (CZkMusicPlayRecordSync.cpp). Where a change of the group may take
    // effect next in what plays: 1, with found false when nothing plays or no segment asks for
    // the group.
    ZKRESULT GetNextSyncPoint(ZkUniqueID stateGroup, SyncPointAnswer& answer);
    // Holds the change at the point GetNextSyncPoint answered (its steps and schedule time): 1, or
    // 2 when the item is gone or out of memory.
    ZKRESULT QueueStateChange(PendingStateChange* change, uint32_t steps, int64_t time);
    // Places again the sync actions a cut took off the timeline, and frees them.
    void Reevaluate(ZkMusicSyncAction* actions);
    // The play's MIDI-track players that read media of the bank (being unloaded) move to another
    // loaded copy of the same media; those that find none stop at once. 1.
    ZKRESULT OnBankUnload(SoundEngine::LoadedBank* bank);
    // The MIDI-track players of the play: advanced after the root's frame, at the play's speed.
    CZkMidiTrackPlayerMgr& TrackPlayers() { return m_trackPlayers; }

    ZkPlayingID PlayingID() const { return playInfo.playingID; }

    uint64_t clock = 0;
    CZkMusicTimelineContext* root = nullptr;
    ZkMusicPlayInfo playInfo;
    CZkRegisteredObj* gameObject = nullptr;
    uint8_t option = 0;
    uint32_t frameAdvance = 0;
    float speed = 1.0f;
    bool speedEvaluated = false; // cleared to make the next Advance evaluate the speed again
    uint8_t refreshValue = 0;    // non-zero: the root releases its modulators before the speed is read

private:
    // The play's ear for the playback-speed parameter, registered under the segment whose speed the
    // record evaluates.
    class SpeedListener final : public SoundEngine::CZkKeyedParamTarget
    {
    public:
        explicit SpeedListener(const ZkRTPCKey& key) : CZkKeyedParamTarget(key) {}
        // The playback-speed parameter only.
        void GetParamMask(uint64_t& mask) override;
        // The speed is the music's own: the output buses do not drive it.
        bool GetMaskFlag() override { return false; }
        // Hands the change to the music node's parameter receiver.
        void OnParamValue(uint32_t bit, uint32_t receivedBit, ZkUniqueID ownerID, float value, float delta) override;
        // Moves the registration to node (null: none); a registration the registry cannot record
        // is undone, and the play then keeps the speed it evaluates.
        void Follow(CZkMusicNode* node);
    };

    CZkMusicPlayRecord(CZkRegisteredObj* object, ZkPlayingID playingID);
    ~CZkMusicPlayRecord() = default;
    // The speed the node asks for, made playable: 0.25..4 (not a number counts as 1.0), then a
    // whole number of samples per frame.
    float EvaluateSpeed(const CZkMusicNode& node, uint32_t frameLength) const;
    // A play of the stinger segment under the root, prepared to play from its pre-entry (the
    // creator's reference is the caller's); null when there is no such segment or it cannot play.
    CZkMusicSegmentSequenceContext* StartStingerContext(ZkUniqueID segmentID);

    SpeedListener m_speedListener;
    ZkStingerRecord* m_stingers = nullptr;
    CZkMidiTrackPlayerMgr m_trackPlayers; // its players stop and go with the record
};
} // namespace ZK::MusicEngine
