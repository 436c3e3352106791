// CZkMidiDispatcher: the dispatch that every MIDI manager shares, whatever sends it events (posts
// of the game, or a track player): per (node, game object, playing id) a channel-state record with
// its note events in ascending sample offset, and the released note-offs whose voices still sound.
//
// A manager hands each event that falls in the current frame to ProcessEvent (with its offset from
// the frame's start), then runs ProcessNotes once for the frame: note events act at their offsets
// (CZkMidiNoteEvent), channel messages become game-parameter values keyed on the target's
// game object, node id (as MIDI target id), channel and note (DispatchChannelMessage).
//
// A record lives while a target of its triple lives or its list holds note events: ForgetRecordOf
// drops it when the last target of the triple goes and nothing is left in it, so that a game that
// posts on ever new playing ids does not grow the records without bound.
//
// Threading: audio thread (the engine tick, under the global engine lock); no lock of its own.
// Ownership: it owns its records and the note events in them and in its released list (one
// reference each); a record's array lives in memory pool 0. Term frees everything.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Midi/ZkMidiChannelState.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMidiNote;
class CZkMidiNoteEvent;
class CZkMidiTarget;

// Game parameters that MIDI channel messages drive: controller n sets parameter n + 1; pitch bend
// sets 131; the reset-all-controllers message resets 1 to 133.
constexpr uint32_t kMidiPitchBendParam = 131;
constexpr uint32_t kMidiFirstResetParam = 1;
constexpr uint32_t kMidiLastResetParam = 133;

class CZkMidiDispatcher
{
public:
    CZkMidiDispatcher() = default;
    virtual ~CZkMidiDispatcher();
    CZkMidiDispatcher(const CZkMidiDispatcher&) = delete;
    CZkMidiDispatcher& operator=(const CZkMidiDispatcher&) = delete;

    // One event of target, offset samples into the frame. With matchTarget a note-off pairs only
    // with a note-on of the same target (several senders share a record).
    void ProcessEvent(CZkMidiTarget& target, const ZkMIDIEvent& event, uint32_t offset, bool matchTarget);
    // Every record's note events advance by frames; released notes that died are freed.
    void ProcessNotes(uint32_t frames);
    // The target's notes end: sustain off on every channel, its started note-ons released at once,
    // the others dropped, its released notes' voices stopped.
    void StopTarget(CZkMidiTarget& target);
    // The voices and queued plays of every note event of the target pause, or resume.
    void PauseTarget(const CZkMidiTarget& target);
    void ResumeTarget(const CZkMidiTarget& target);
    // The record of the target's triple goes when it holds nothing and no other target sends to it.
    void ForgetRecordOf(const CZkMidiTarget& target);
    // Every note event freed (released voices stopped) and the records with them.
    void Term();

    uint32_t RecordCount() const { return m_records.Length(); }
    const ZkMidiChannelState* FindRecord(const CZkMidiTarget& target) const;
    uint32_t ReleasedCount() const;

protected:
    // Whether a live target other than except sends to the record (the record stays then).
    virtual bool HasOtherTargetFor(const ZkMidiChannelState& record, const CZkMidiTarget& except) const = 0;
    // Called with each event that ProcessEvent received, before the dispatch (track players keep
    // the controllers they must send again); nothing for posted events.
    virtual void OnEventProcessed(CZkMidiTarget&, const ZkMIDIEvent&) {}
    // The sustain pedal of target's record is up on every channel at once: the note-offs it held
    // may go in this frame's ProcessNotes.
    void ClearSustain(const CZkMidiTarget& target);

private:
    // The released note events that leaves(event) names leave the list (their voices stopped first when
    // stopVoices) and are released.
    template <typename Leaves>
    void RemoveReleasedIf(Leaves leaves, bool stopVoices);
    // The note events of target, held and released, each given to action.
    template <typename Action>
    void ForEachNoteEventOf(const CZkMidiTarget& target, Action action);
    ZkMidiChannelState* FindOrAddRecord(const CZkMidiTarget& target);
    void DispatchChannelMessage(ZkMidiChannelState& record, const CZkMidiTarget& target, const ZkMIDIEvent& event);
    static void Insert(ZkMidiChannelState& record, CZkMidiNoteEvent* noteEvent);
    static void Unlink(ZkMidiChannelState& record, CZkMidiNoteEvent* before, CZkMidiNoteEvent* noteEvent);
    // A note-off of target that pairs with candidate, at offset; inserted into the record.
    void ReleaseAsNoteOff(ZkMidiChannelState& record, CZkMidiTarget& target, CZkMidiNoteEvent& candidate,
                          uint32_t offset);
    void AddReleased(CZkMidiNoteEvent* noteEvent);
    void FreeDeadReleased();

    ZK::ZkArray<ZkMidiChannelState> m_records;
    CZkMidiNoteEvent* m_releasedHead = nullptr;
    CZkMidiNoteEvent* m_releasedTail = nullptr;
};
} // namespace ZK::SoundEngine
