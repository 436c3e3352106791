// The envelope kernel: attack in two halves (the attack curve is the level at the middle), decay to
// the sustain level, sustain until the release frame, release to 0.
//
// Positions are samples of the instance's life (64-bit). The segments are found again from the
// position each frame: the only state carried between frames is the level (the previous frame's
// last value), so a frame continues where the last one stopped.
//
// The release runs on a straight line from the level it starts at to 0 at its end; its slope is
// taken afresh at every run as -level / (samples to the end), which is the line's own slope (-L/R
// from the sustain), so frames that split the release meet the same line. When the release starts
// before the decay has ended, the release is shortened by the blend length w (see Segments()) and
// the blend and the shortened release are that one line: it never rises and reaches 0 at its end.
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"

#include <algorithm>
#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
enum SegmentKind
{
    kBeforeStart,
    kAttackFirstHalf,
    kAttackSecondHalf,
    kDecay,
    kSustain,
    kRelease,
    kEnded,
};

struct Segment
{
    SegmentKind kind;
    int64_t end; // first position after the segment
};

// The timeline of one envelope, positions shifted by the attack skip.
struct Timeline
{
    int64_t start;       // s
    int64_t half;        // h
    int64_t decayEnd;
    int64_t release;     // r
    int64_t releaseEnd;
    float attackCurve;   // k
    float sustain;       // L
    float halfAttackSlopeA;
    float halfAttackSlopeB;
    float decaySlope;
    float startLevel;    // I

    Segment At(int64_t position) const
    {
        if (position >= release)
            return position < releaseEnd ? Segment{kRelease, releaseEnd} : Segment{kEnded, kNeverFrame};
        if (position < start)
            return Segment{kBeforeStart, std::min(start, release)};
        if (position < start + half)
            return Segment{kAttackFirstHalf, std::min(start + half, release)};
        if (position < start + 2 * half)
            return Segment{kAttackSecondHalf, std::min(start + 2 * half, release)};
        if (position < decayEnd)
            return Segment{kDecay, std::min(decayEnd, release)};
        return Segment{kSustain, release};
    }

    // The slope of a moving segment at position for the level there.
    float Slope(const Segment& segment, int64_t position, float level) const
    {
        switch (segment.kind)
        {
        case kAttackFirstHalf: return halfAttackSlopeA;
        case kAttackSecondHalf: return halfAttackSlopeB;
        case kDecay: return decaySlope;
        case kRelease: return -level / static_cast<float>(releaseEnd - position);
        default: return 0.0f;
        }
    }
};

// The attack's nominal level x samples after its start.
float AttackLevel(int64_t x, int64_t half, float curve)
{
    if (half == 0)
        return 1.0f;
    if (x <= half)
        return static_cast<float>(x) * curve / static_cast<float>(half);
    return curve + static_cast<float>(std::min(x, 2 * half) - half) * (1.0f - curve) / static_cast<float>(half);
}

struct Frame
{
    Timeline timeline;
    int64_t position; // p, after the attack skip
};

Frame Prepare(const ZkEnvelopeRecord& record, uint32_t frames, bool audioRate)
{
    const ZkEnvelopeParams& params = record.params;
    const auto length = [audioRate](int64_t samples) {
        return audioRate ? ZkModulatorMath::RoundToGroup(samples) : samples;
    };
    Timeline line{};
    line.start = std::max(record.header.startOffset, 0) & ~3;
    line.half = length(params.attack / 2);
    const int64_t decay = length(params.decay);
    const int64_t release = length(params.release);
    const int64_t releaseFrame = record.header.releaseFrame == kNeverFrame ? kNeverFrame : length(record.header.releaseFrame);
    line.attackCurve = params.attackCurve;
    line.sustain = params.sustainLevel;
    line.startLevel = params.startLevel;
    line.decayEnd = line.start + 2 * line.half + decay;
    line.release = FrameAfter(line.start, releaseFrame);

    int64_t position = record.header.elapsedFrames - frames;
    const float level = params.startLevel;
    const float curve = params.attackCurve;
    if (level > 0.0f)
    {
        // The attack resumes where it reaches the start level. At or below the curve's level the
        // first half holds it (both forms meet at h for I = k); a curve of 1 or more has no
        // second half to climb, so a start level above it skips the whole attack.
        double skip;
        if (level <= curve)
            skip = static_cast<double>(line.half) * level / curve;
        else if (curve >= 1.0f)
            skip = 2.0 * static_cast<double>(line.half);
        else
            skip = line.half + static_cast<double>(line.half) * (level - curve) / (1.0f - curve);
        const int64_t skipped = length(static_cast<int64_t>(std::min(skip, 4.0 * kMaxSegmentSamples)));
        position += skipped;
        line.release = FrameAfter(line.release, skipped);
    }

    // A release that starts before the decay ends: the attack's level A at the release; above the
    // sustain level, a blend of w samples shortens the release by w.
    int64_t shortened = 0;
    if (line.release < line.decayEnd)
    {
        const float reached = AttackLevel(line.release - line.start, line.half, curve);
        const float sustain = line.sustain;
        if (reached > sustain && sustain < 1.0f)
        {
            const double blend = static_cast<double>(decay) * (reached - sustain) / (1.0f - sustain);
            shortened = std::min({release, line.decayEnd - line.release,
                                  static_cast<int64_t>(std::min(blend, 4.0 * kMaxSegmentSamples))}) /
                        2;
        }
    }
    line.releaseEnd = FrameAfter(line.release, release - shortened);

    const float half = static_cast<float>(line.half);
    line.halfAttackSlopeA = line.half != 0 ? curve / half : 0.0f;
    line.halfAttackSlopeB = line.half != 0 ? (1.0f - curve) / half : 0.0f;
    line.decaySlope = decay != 0 ? (line.sustain - 1.0f) / static_cast<float>(decay) : 0.0f;
    return Frame{line, position};
}

void RunControlRate(const ZkEnvelopeRecord& record, ZkModulatorOutput& output, uint32_t frames)
{
    const Frame frame = Prepare(record, frames, false);
    const Timeline& line = frame.timeline;
    int64_t position = frame.position;
    float level = position != 0 ? record.header.currentValue : line.startLevel;
    float peak = std::max(level, 0.0f);
    int64_t left = frames;
    output.newState = ZkModulatorState_None;
    while (left > 0)
    {
        const Segment segment = line.At(position);
        if (segment.kind == kEnded)
        {
            level = 0.0f;
            output.newState = ZkModulatorState_Stopped;
            break;
        }
        const int64_t run = std::min(left, segment.end - position);
        if (segment.kind == kSustain)
            level = line.sustain;
        else if (segment.kind == kRelease && position + run == line.releaseEnd)
            level = 0.0f;
        else
            level += line.Slope(segment, position, level) * static_cast<float>(run);
        position += run;
        left -= run;
        peak = std::max(peak, level);
    }
    output.lastValue = level;
    output.peak = peak;
}

void RunAudioRate(const ZkEnvelopeRecord& record, ZkModulatorOutput& output, uint32_t frames)
{
    const Frame frame = Prepare(record, frames, true);
    const Timeline& line = frame.timeline;
    int64_t position = frame.position;
    float* samples = output.samples;

    // The level of the first sample: the previous frame's last sample moved on by one step of
    // its segment (held to [0, 1] where a segment ends), or the start level before the attack.
    float level = line.startLevel;
    if (position != 0 && position - 1 >= line.start)
    {
        const float last = record.header.currentValue;
        const Segment previous = line.At(position - 1);
        if (previous.kind == kSustain)
            level = line.sustain;
        else if (previous.kind == kEnded)
            level = 0.0f;
        else
        {
            level = last + line.Slope(previous, position - 1, last);
            if (previous.end == position)
                level = std::clamp(level, 0.0f, 1.0f);
        }
    }

    float peak = 0.0f;
    uint32_t index = 0;
    output.newState = ZkModulatorState_None;
    while (index < frames)
    {
        const Segment segment = line.At(position);
        if (segment.kind == kEnded)
        {
            std::fill(samples + index, samples + frames, 0.0f);
            output.newState = ZkModulatorState_Stopped;
            index = frames;
            break;
        }
        const uint32_t run = static_cast<uint32_t>(std::min<int64_t>(frames - index, segment.end - position));
        if (segment.kind == kBeforeStart)
        {
            std::fill(samples + index, samples + index + run, 0.0f);
        }
        else if (segment.kind == kSustain)
        {
            std::fill(samples + index, samples + index + run, line.sustain);
            level = line.sustain;
            peak = std::max(peak, level);
        }
        else
        {
            const float slope = line.Slope(segment, position, level);
            for (uint32_t step = 0; step < run; ++step)
            {
                const float value = level + static_cast<float>(step) * slope;
                samples[index + step] = value;
                peak = std::max(peak, value);
            }
            level += static_cast<float>(run) * slope;
            if (position + run == segment.end)
                level = std::clamp(level, 0.0f, 1.0f);
        }
        position += run;
        index += run;
    }
    output.lastValue = samples[frames - 1];
    output.peak = peak;
}
} // namespace

void RunEnvelopeKernel(const ZkEnvelopeRecord* records, ZkModulatorOutput* outputs, uint32_t count,
                       uint32_t frames)
{
    for (uint32_t index = 0; index < count; ++index)
    {
        if (frames == 0)
            continue;
        if (records[index].header.audioRateFrames != 0 && outputs[index].samples != nullptr)
            RunAudioRate(records[index], outputs[index], frames);
        else
            RunControlRate(records[index], outputs[index], frames);
    }
}
} // namespace ZK::SoundEngine
