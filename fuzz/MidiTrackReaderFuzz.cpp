// The MIDI track reader over arbitrary bytes taken as a track's media: whatever it reads, it never
// reads past the media, every walk ends, and what it hands out is a channel message with a finite
// offset inside its span. The reader is driven as a track player drives it, once without and once
// with loop: frames, a seek, a saved and restored place, and the next messages one by one.
//
// The work per input is bounded by the spans, not by the reader: each span covers at most
// kMaxTicksPerSpan ticks at the media's tempo (a tempo near the largest float makes each tick last
// almost nothing; a span of a frame would then cover more ticks than an input should take time).
#include "support/SoundMemory.h"

#include "MusicEngine/Midi/CZkMidiTrackReader.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

using kp::fuzz::Check;

namespace
{
using namespace ZK::MusicEngine;

constexpr float kFrameMs = 10.0f;
constexpr float kMaxTicksPerSpan = 4096.0f;
constexpr int kFrames = 48;
constexpr int kNextEvents = 16;

float BoundedSpan(const CZkMidiTrackReader& reader, float ms)
{
    return reader.TicksPerMs() > 0.0f ? std::min(ms, kMaxTicksPerSpan / reader.TicksPerMs()) : ms;
}

void CheckDue(const ZkMidiDueList& due, float spanMs)
{
    for (const ZkMidiDueEvent* entry = due.First(); entry != nullptr; entry = entry->next)
    {
        Check(entry->message.type >= 0x80 && entry->message.type <= 0xE0 && (entry->message.type & 0x0F) == 0);
        Check(entry->message.channel < 16);
        Check(std::isfinite(entry->offsetMs) && entry->offsetMs >= 0.0f);
        // An event due in the span lies before its end (float rounding allowed).
        Check(entry->offsetMs <= spanMs * 1.001f + 0.001f);
    }
}

void Drive(CZkMidiTrackReader& reader)
{
    ZkMidiDueList due;
    const float span = BoundedSpan(reader, kFrameMs);
    for (int frame = 0; frame < kFrames; ++frame)
    {
        reader.Advance(span, due);
        CheckDue(due, span);
        due.Clear();
    }
    ZkMidiReaderState saved;
    reader.SaveState(saved);
    reader.Seek(BoundedSpan(reader, 1000.0f) / 2.0f);
    reader.RestoreState(saved);
    Check(reader.EventNumber() == saved.eventNumber && reader.CurrentTick() == saved.currentTick &&
          reader.TargetTick() == saved.targetTick);
    reader.Advance(span, due);
    CheckDue(due, span);
    due.Clear();
    reader.Reset();
    ZkMidiChannelMessage message;
    uint32_t number = 0;
    for (int index = 0; index < kNextEvents && reader.GetNextEvent(message, number); ++index)
        Check(message.type >= 0x80 && message.type <= 0xE0 && message.channel < 16);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kp::fuzz::StartSoundMemory();
    // A copy of exactly the input's size: a read past the media is a read past the allocation.
    const std::vector<uint8_t> media(data, data + size);
    CZkMidiTrackReader reader;
    if (reader.Init(media.data(), static_cast<uint32_t>(size)) != ZK_Success)
    {
        Check(!reader.IsValid() && !reader.HasCurrentEvent());
        ZkMidiDueList due;
        reader.Advance(kFrameMs, due);
        Check(due.First() == nullptr && reader.Seek(0.0f) == ZK_Fail);
        return 0;
    }
    Check(reader.TicksPerQuarter() != 0 && std::isfinite(reader.Tempo()) && reader.Tempo() >= 0.0f);
    Drive(reader);
    reader.SetLoop(true);
    reader.Reset();
    Drive(reader);
    return 0;
}
