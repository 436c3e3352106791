// CZkMidiTrackReader: walks the MIDI media of a music track in musical time. A track player advances
// it by each audio frame's duration in ms and gets the channel messages that fall in that span,
// with their offsets in ms; it seeks, loops, and saves and restores its place.
//
// Media layout: ticks per quarter note (u16, big-endian), tempo in quarter notes per minute (f32,
// little-endian), then one track of events to the last byte, each a variable-length delta in ticks
// and an event (see ZkMidiTrackEvent.h). The tempo in the media holds until SetTempo gives another.
//
// Life cycle: Init(data, length) -> [SetTempo] [SetLoop] [Seek] -> Advance per frame ... The reader
// holds no resource: it needs no term, and the media must stay where it is while it is read.
//
// Every walk of the reader ends: a tempo that is not a finite number of 0 or more is refused, a
// span that would move the target tick past 32 bits (or by a negative or non-finite amount) moves
// nothing, a delta that would carry the current tick past 32 bits ends the track, and a looping
// track restarts only when its pass moved the current tick (a loop whose deltas are all 0 plays
// once and ends, where it would otherwise hold the engine thread for ever). A malformed event ends
// the track where it stands, looping or not.
//
// Threading: audio thread only (the music engine's frame, under the engine's lock).
// Ownership: the reader points into the media and owns nothing; due events go into the caller's
// list (memory pool 0, see ZkMidiDueEvents.h).
#pragma once

#include "MusicEngine/Midi/ZkMidiDueEvents.h"

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::MusicEngine
{
// Where a reader stands, to come back to it (a track player re-reads its first events and returns).
struct ZkMidiReaderState
{
    uint32_t eventNumber = 0;
    uint32_t currentTick = 0;
    uint32_t targetTick = 0;
    float fractionalTick = 0.0f;
};

class CZkMidiTrackReader
{
public:
    static constexpr uint32_t kFlagHasData = 1u << 0;
    static constexpr uint32_t kFlagValid = 1u << 1;
    static constexpr uint32_t kFlagLoop = 1u << 2;
    static constexpr uint32_t kNoDelta = 0xFFFFFFFFu; // the current delta once the track has ended
    static constexpr uint32_t kHeaderBytes = 6;

    // 1 and the first event read; 2 for no data, a length shorter than the header, ticks per quarter
    // 0, a tempo that is negative or not finite, or a malformed first event. A track with no event
    // is valid and plays nothing.
    ZKRESULT Init(const uint8_t* data, uint32_t length);

    // Moves past the current event to the next one (its delta added to the current tick); at the
    // end of the track the cursor empties, or with loop set the first event follows (when the pass
    // moved the current tick). True when the walk restarted at the first event.
    bool Next();

    // Moves the target tick on by spanMs and appends every channel message whose tick falls before
    // it, with its offset in ms from the span's start. A note on with velocity 0 is given as a note
    // off. An entry the pool cannot hold is dropped; the walk goes on.
    void Advance(float spanMs, ZkMidiDueList& due);

    // Restarts and walks to the first event at or after ms (the fractional tick is kept): 1; 2 when
    // the reader is not valid, ms gives no tick within 32 bits, or the track ends first without loop.
    ZKRESULT Seek(float ms);
    // Restarts at the first event: event number, target tick and fractional tick 0.
    void Reset();
    void SaveState(ZkMidiReaderState& state) const;
    // Restarts, moves past state.eventNumber events, then takes the state's ticks.
    void RestoreState(const ZkMidiReaderState& state);

    // A positive finite tempo (quarter notes per minute) replaces the one in use; 0, negative and
    // non-finite values keep it.
    void SetTempo(float quarterNotesPerMinute);
    void SetLoop(bool loop);

    // The next channel message from the cursor on (skipping the other events) and its event number,
    // the cursor then past it: true; false when the track ends (or, looping, holds none).
    bool GetNextEvent(ZkMidiChannelMessage& message, uint32_t& eventNumber);

    // The same media now lies at newData (a copy of the same bytes): every pointer into it moves
    // by the difference, and the walk keeps its place (event, ticks, running status).
    void Relocate(const uint8_t* newData);
    const uint8_t* Data() const { return m_data; }
    uint32_t Length() const { return m_length; }

    uint32_t Flags() const { return m_flags; }
    bool IsValid() const { return (m_flags & kFlagValid) != 0; }
    bool HasCurrentEvent() const { return m_currentDelta != kNoDelta; }
    uint16_t TicksPerQuarter() const { return m_ticksPerQuarter; }
    float Tempo() const { return m_tempo; }
    float MsPerTick() const { return m_msPerTick; }
    float TicksPerMs() const { return m_ticksPerMs; }
    uint32_t EventNumber() const { return m_eventNumber; }
    uint32_t CurrentTick() const { return m_currentTick; }
    uint32_t TargetTick() const { return m_targetTick; }
    float FractionalTick() const { return m_fractionalTick; }

private:
    void ComputeTickLengths();
    // Back to the first event: running status cleared, event number 0, current tick its delta.
    // False when there is none to read (an empty track, or a reader that is not valid).
    bool Restart();
    // Reads the delta and the event at position into the cursor; false (the cursor emptied) when
    // the track ends there, or the event is malformed.
    bool ReadAt(const uint8_t* position);
    void EndTrack();
    ZkMidiChannelMessage CurrentMessage() const;

    uint32_t m_flags = 0;
    const uint8_t* m_data = nullptr;
    uint32_t m_length = 0;
    uint16_t m_ticksPerQuarter = 0;
    float m_tempo = 0.0f;
    // The cursor.
    const uint8_t* m_eventsStart = nullptr;
    const uint8_t* m_eventsEnd = nullptr;
    const uint8_t* m_current = nullptr; // the current event's first byte (after its delta)
    uint32_t m_currentDelta = kNoDelta;
    uint32_t m_currentLength = 0;
    uint8_t m_currentStatus = 0;
    uint8_t m_currentData1 = 0;
    uint8_t m_currentData2 = 0;
    uint8_t m_runningStatus = 0;
    bool m_passMoved = false; // a delta of this pass (since the last restart) was not 0
    uint32_t m_eventNumber = 0;
    float m_msPerTick = 0.0f;
    float m_ticksPerMs = 0.0f;
    uint32_t m_currentTick = 0;
    uint32_t m_targetTick = 0;
    float m_fractionalTick = 0.0f;
};
} // namespace ZK::MusicEngine
