// CZkMidiNoteEvent: one MIDI event that a manager accepted for a target, waiting in its channel-
// state record's list until its sample offset falls in the frame, then acting once:
// - a note-on (with velocity) plays the target's node with a new note (CZkMidiNote) that gathers the
//   voices it started; it is finished when a note-off pairs with it, or when its note dies with
//   nothing left queued for the target;
// - a note-off shares the note of the note-on it paired with and, at its offset, releases that
//   note's voices (stops the kind-3 ones exactly there) and stops its queued delayed plays; it then
//   waits in the manager's released list until the note dies;
// - an engine command (type 0xFE) plays (0) or stops, pauses, resumes or seeks (1 to 5) the voices
//   that the record's earlier play commands started;
// - any other event is done at once and its manager dispatches it as a channel message.
//
// Flags: acted (its play or release ran), started (its timed part ran), finished, stopped by
// command. The offset counts samples from the current frame's start and never drops below 0.
//
// Threading: audio thread. Ownership: reference counted, memory pool 0; it holds references on its
// target, its node and its note.
#pragma once

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMidiNote;
class CZkMidiTarget;
class CZkPlayableNode;
class CZkPlayingInstance;
struct ZkMidiChannelState;

class CZkMidiNoteEvent
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;
    static constexpr uint8_t kActed = 0x01;
    static constexpr uint8_t kStarted = 0x02;
    static constexpr uint8_t kFinished = 0x04;
    static constexpr uint8_t kStoppedByCommand = 0x08;
    static constexpr uint16_t kFirstRefusedCommand = 6;

    // A note event of target for node (references on both); null out of memory.
    static CZkMidiNoteEvent* Create(CZkMidiTarget* target, CZkPlayableNode* node);
    // Keeps the event and its offset; a note-on or play command makes its note. False when the
    // note cannot be made or the command is 6 or above.
    bool Init(const ZkMIDIEvent& event, uint32_t offset);
    // Both note events (0x80, 0x90 or 0xA0), same channel and note, the candidate not finished.
    static bool Matches(const CZkMidiNoteEvent& noteOff, const CZkMidiNoteEvent& candidate);
    // The note-off takes the candidate note-on's velocity and note; the candidate is finished.
    void PairWith(CZkMidiNoteEvent& candidate);
    // One frame of the event (frames long; the release may be held by sustain). True when done.
    bool Update(uint32_t frames, bool releaseAllowed, ZkMidiChannelState& record);
    void AddRef() { ++m_refCount; }
    // At 0 the target, node and note are released and the event freed.
    void Release();
    // Every voice of the note stops at once.
    void StopVoices();
    // The note's voices and queued plays pause, or resume (from the start of the frame).
    void PauseVoices();
    void ResumeVoices();

    bool IsNoteOff() const { return m_event.type == 0x80 || (m_event.type == 0x90 && m_event.data[1] == 0); }
    bool IsNoteOnWithVelocity() const { return m_event.type == 0x90 && m_event.data[1] != 0; }
    bool IsPlayCommand() const { return m_event.type == 0xFE && m_event.command == 0; }
    const ZkMIDIEvent& Event() const { return m_event; }
    uint8_t Type() const { return m_event.type; }
    uint8_t Channel() const { return m_event.channel; }
    uint8_t Flags() const { return m_flags; }
    bool Has(uint8_t flag) const { return (m_flags & flag) != 0; }
    int32_t Offset() const { return m_offset; }
    void SetOffset(int32_t offset) { m_offset = offset < 0 ? 0 : offset; }
    // A note-on of the target turned into its own note-off (a stop of the target).
    void BecomeNoteOff();
    CZkMidiTarget* Target() const { return m_target; }
    CZkMidiNote* Note() const { return m_note; }

    CZkMidiNoteEvent* pNext = nullptr; // its record's list, or the manager's released list

    CZkMidiNoteEvent(CZkMidiTarget* target, CZkPlayableNode* node);
    ~CZkMidiNoteEvent();
    CZkMidiNoteEvent(const CZkMidiNoteEvent&) = delete;
    CZkMidiNoteEvent& operator=(const CZkMidiNoteEvent&) = delete;

private:
    bool UpdateCommand(uint32_t frames, bool releaseAllowed, ZkMidiChannelState& record);
    void ExecuteCommand(ZkMidiChannelState& record);
    // Plays the node for the target with this event (its MIDI event unless a command) and note.
    void PlayNote();
    // The note-off at its offset: modulators released, kind-3 voices stopped there, kind-2 voices
    // handed the note-off, queued plays stopped.
    void ReleaseVoices();
    bool CanAct(bool releaseAllowed) const;
    // The start delays of the note's voices from firstVoice on, set for offset output samples.
    static void TimeStartsInOutputSamples(CZkMidiNote& note, uint32_t firstVoice, int32_t offset);

    uint8_t m_flags = 0;
    uint32_t m_refCount = 1;
    CZkMidiNote* m_note = nullptr;
    CZkMidiTarget* m_target;
    CZkPlayableNode* m_node;
    ZkMIDIEvent m_event;
    int32_t m_offset = 0;
};

// The voice stops at offset samples into the frame (-1: at once).
void StopVoiceAtOffset(CZkPlayingInstance& instance, int32_t offset);
} // namespace ZK::SoundEngine
