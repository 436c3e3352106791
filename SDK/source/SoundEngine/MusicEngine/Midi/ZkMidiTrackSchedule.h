// ZkMidiTrackSchedule: the timing of a MIDI track player. It walks the track's reader frame by
// frame and turns the due channel messages into engine MIDI events with sample offsets into the
// frame, honouring the player's start offset (a seek), its first-frame offset (the track starts
// inside its first frame) and its stop time (no new note-ons from there on; note-offs, controllers
// and the rest still go out, so that sounding notes end).
//
// Each event carries an order word for the dispatch: bits 0-29 its event number in the track, bit
// 30 set once the player is ending, bit 31 on the player's very first event.
//
// Life cycle: Init -> Advance per frame ... [Stop]. Threading: audio thread only. Ownership: it
// points into media the caller keeps in place; the reader's due lists use memory pool 0.
#pragma once

#include "MusicEngine/Midi/CZkMidiTrackReader.h"
#include "ZkAudiolib/Common/Midi/ZkMidiDispatchOrder.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::MusicEngine
{
class ZkMidiTrackSchedule
{
public:
    static constexpr uint32_t kNoEnd = 0xFFFFFFFFu;
    // Stop(kStopNow) stops at once.
    static constexpr uint32_t kStopNow = 0xFFFFFFFFu;
    static constexpr uint32_t kFlagStopped = 1u << 0;
    static constexpr uint32_t kFlagEnding = 1u << 1;
    static constexpr uint32_t kFlagFirstPending = 1u << 2;
    static constexpr uint32_t kFlagStopRequested = 1u << 3;
    static constexpr uint32_t kOrderNumberMask = SoundEngine::ZkMidiDispatchOrder::kNumberMask;
    static constexpr uint32_t kOrderEnding = SoundEngine::ZkMidiDispatchOrder::kEnding;
    static constexpr uint32_t kOrderFirst = SoundEngine::ZkMidiDispatchOrder::kFirst;

    // The reader set up on the media at tempo (0: the media's own), looping or not, and sought to
    // startOffset samples at sampleRate. 2 when the media cannot be read, the rate is 0 or the seek
    // runs past the end of a track that does not loop.
    ZKRESULT Init(const uint8_t* data, uint32_t size, float tempo, bool loop, uint32_t startOffset,
                  uint32_t firstFrameOffset, uint32_t sampleRate);

    // Stop at a sample offset of the coming frame: kStopNow stops at once (nothing more is given),
    // a smaller offset than the current end becomes the end.
    void Stop(uint32_t offset);

    // One frame of frames samples: take(event, offset, order) for each event in time order. True
    // on the frame where the player starts ending (its stop time was reached).
    template <typename Take>
    bool Advance(uint32_t frames, Take take);

    uint32_t Flags() const { return m_flags; }
    uint32_t End() const { return m_end; }
    bool IsStopped() const { return (m_flags & kFlagStopped) != 0; }
    bool IsEnding() const { return (m_flags & kFlagEnding) != 0; }
    CZkMidiTrackReader& Reader() { return m_reader; }

private:
    // The frame's span in ms and its lead-in; false when nothing is to be read.
    uint32_t BeginFrame(uint32_t frames, float& spanMs);
    // The event's offset in samples from the span's start, the nearest whole sample.
    uint32_t SampleOffset(float offsetMs) const;

    CZkMidiTrackReader m_reader;
    ZkMidiDueList m_due;
    uint32_t m_sampleRate = 0;
    uint32_t m_firstFrameOffset = 0;
    uint32_t m_end = kNoEnd;
    uint32_t m_flags = kFlagFirstPending;
};

template <typename Take>
bool ZkMidiTrackSchedule::Advance(uint32_t frames, Take take)
{
    if (IsStopped())
        return false;
    const bool endSet = m_end != kNoEnd;
    float spanMs = 0.0f;
    const uint32_t leadIn = BeginFrame(frames, spanMs);
    if (spanMs != 0.0f)
    {
        m_reader.Advance(spanMs, m_due);
        for (const ZkMidiDueEvent* due = m_due.First(); due != nullptr; due = due->next)
        {
            const uint32_t at = SampleOffset(due->offsetMs);
            const bool pastEnd = endSet ? at >= m_end : IsEnding();
            if (pastEnd && due->message.type == 0x90)
                continue; // no new note from the stop time on
            ZkMIDIEvent event;
            event.type = due->message.type;
            event.channel = due->message.channel;
            event.data[0] = due->message.data1;
            event.data[1] = due->message.data2;
            uint32_t order = due->eventNumber & kOrderNumberMask;
            if (IsEnding())
                order |= kOrderEnding;
            if ((m_flags & kFlagFirstPending) != 0)
                order |= kOrderFirst;
            m_flags &= ~kFlagFirstPending;
            const uint32_t offset = leadIn + at;
            take(event, offset < frames ? offset : (frames > 0 ? frames - 1 : 0), order);
        }
        m_due.Clear();
    }
    if (!endSet)
        return false;
    m_end = 0;
    if (IsEnding())
        return false;
    m_flags |= kFlagEnding;
    return true;
}
} // namespace ZK::MusicEngine
