// The records a modulator kernel reads and writes for one instance and one engine frame. The
// modulator manager packs one kernel record per running instance (the instance's common header,
// then its kind's parameter block) into batches of one kind, with one output record each, and runs
// the kind's kernel over the arrays; a kernel also runs over a single record.
//
// Every count of samples that grows with the instance's age (elapsed frames, end and release
// frames, envelope positions) is 64-bit: a game-object or global instance runs for hours, and a
// 32-bit count wraps after 2^31 samples (12.4 h at 48 kHz). kNeverFrame marks "not scheduled" and
// is a frame that no count reaches. Lengths read from properties (attack, decay, release,
// duration...) are saturated to [0, kMaxSegmentSamples] when they are converted from seconds.
//
// Threading: plain data, written and read by the audio thread. Ownership: the batch (or the
// caller) owns the records; an output record's sample buffer belongs to the batch.
#pragma once

#include <cstdint>
#include <limits>

namespace ZK::SoundEngine
{
enum ZkModulatorKind : int32_t
{
    ZkModulatorKind_Lfo = 0,
    ZkModulatorKind_Envelope = 1,
    ZkModulatorKind_Time = 2,
};
constexpr int32_t kModulatorKindCount = 3;

enum ZkModulatorState : int32_t
{
    ZkModulatorState_None = -1, // output records: no change of state this frame
    ZkModulatorState_Playing = 1,
    ZkModulatorState_Releasing = 2,
    ZkModulatorState_Stopped = 3,
};

enum ZkModulatorScope : int32_t
{
    ZkModulatorScope_Voice = 0,
    ZkModulatorScope_Note = 1,
    ZkModulatorScope_GameObject = 2,
    ZkModulatorScope_Global = 3,
};

constexpr int64_t kNeverFrame = std::numeric_limits<int64_t>::max();
constexpr int32_t kMaxSegmentSamples = 2147483646;

// Adds a length to a frame, keeping kNeverFrame (and any frame near it) at kNeverFrame.
constexpr int64_t FrameAfter(int64_t frame, int64_t length)
{
    return frame >= kNeverFrame - length ? kNeverFrame : frame + length;
}

// The part of an instance that every kernel reads.
struct ZkModulatorHeader
{
    int32_t state = ZkModulatorState_Playing;
    int32_t startOffset = 0;            // samples into the first buffer where the instance begins
    int64_t releaseFrame = kNeverFrame; // elapsed count at which the release starts
    int64_t elapsedFrames = 0;          // after this frame's advance
    float currentValue = 0.0f;          // the last value of the previous frame
    uint32_t audioRateFrames = 0;       // 0 at control rate, else the buffer length
};

// The oscillator of an LFO instance, carried from frame to frame through the output record.
struct ZkLfoOscillator
{
    float filterOutput = 0.0f; // the smoother's last output
    float gain = 1.0f;         // g
    float feedback = 0.0f;     // b
    float phase = 0.0f;        // [0, 2 pi) for the sine, [0, 1) for the others
    float increment = 0.0f;    // phase step per sample
    int32_t waveform = 0;      // the waveform the phase is scaled for
    uint64_t randomState = 0;  // the random waveform's own generator
};

struct ZkLfoParams
{
    int64_t endFrame = kNeverFrame;
    float depth = 0.0f;        // fraction
    int32_t attack = 0;        // samples
    float initialPhase = 0.0f; // degrees
    int32_t waveform = 0;
    float frequency = 0.0f;    // Hz
    float smoothing = 0.0f;    // fraction
    float pulseWidth = 0.0f;   // fraction
    ZkLfoOscillator oscillator;
    uint8_t parametersChanged = 0;
};

struct ZkEnvelopeParams
{
    int64_t endFrame = kNeverFrame; // end of the sustain
    float startLevel = 0.0f;
    int32_t attack = 0;
    float attackCurve = 0.0f; // fraction
    float sustainLevel = 0.0f; // fraction
    int32_t decay = 0;
    int32_t release = 0;
};

struct ZkTimeParams
{
    int64_t endFrame = kNeverFrame;
    int32_t duration = 0;
    int64_t totalLength = kNeverFrame;
    float playbackRate = 1.0f;
    int32_t initialDelayRemaining = 0;
    uint8_t started = 0;
};

template <typename Params>
struct ZkModulatorKernelRecord
{
    ZkModulatorHeader header;
    Params params;
};
using ZkLfoRecord = ZkModulatorKernelRecord<ZkLfoParams>;
using ZkEnvelopeRecord = ZkModulatorKernelRecord<ZkEnvelopeParams>;
using ZkTimeRecord = ZkModulatorKernelRecord<ZkTimeParams>;

// One instance's result of one frame.
struct ZkModulatorOutput
{
    float* samples = nullptr; // audio rate: the record's slice of the batch's buffer; else null
    int32_t newState = ZkModulatorState_None;
    float lastValue = 0.0f;
    // Envelope and time: the largest level of the buffer (at least 0). LFO: the depth at the
    // buffer's end at audio rate, the value at control rate.
    float peak = 0.0f;
};

struct ZkLfoOutput : ZkModulatorOutput
{
    ZkLfoOscillator oscillator;
};
} // namespace ZK::SoundEngine
