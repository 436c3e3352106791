// The LFO kernel and its oscillator coefficients.
#include "ZkAudiolib/Common/Modulators/ZkModulatorKernels.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

#include <cmath>

namespace ZK::SoundEngine
{
namespace
{
enum LfoWaveform : int32_t
{
    kSine = 0,
    kTriangle = 1,
    kSquare = 2,
    kRisingSaw = 3,
    kFallingSaw = 4,
    kRandom = 5,
};

constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kThreeHalfPi = 4.712389f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kInverseTwoPi = 0.15915494f;
constexpr float kDegreesToTurns = 0.0027777778f;
constexpr float kFixedRateHz = 48000.0f;
constexpr float kNyquistHz = 24000.0f;
constexpr float kMinimumIncrement = 1e-8f;
constexpr float kRandomToFraction = 4.656613e-10f;

float PeriodOf(int32_t waveform) { return waveform == kSine ? kTwoPi : 1.0f; }

// Half a sine, x in [0, pi/2]: sin(x) / 2.
float HalfSine(float x)
{
    const float x2 = x * x;
    return x * (0.4999983f - 0.08332414f * x2 + 0.0041531627f * x2 * x2 - 9.181827e-5f * x2 * x2 * x2);
}

float UnitSine(float t)
{
    if (t < kHalfPi)
        return 0.5f + HalfSine(t);
    if (t < kPi)
        return 0.5f + HalfSine(kPi - t);
    if (t < kThreeHalfPi)
        return 0.5f - HalfSine(t - kPi);
    return 0.5f - HalfSine(kTwoPi - t);
}

struct Oscillator
{
    float y;
    float g;
    float b;
    float t;
    float increment;
    float period;
    int32_t waveform;
    float pulseWidth;
    uint64_t random;

    void Step()
    {
        t += increment;
        if (t >= period)
        {
            t -= period;
            if (waveform == kRandom)
                random = random * ZK::ZkLcg64::kMultiplier + ZK::ZkLcg64::kIncrement;
        }
    }

    // The sample at the current phase, at depth.
    float Sample(float depth)
    {
        switch (waveform)
        {
        case kSine: return UnitSine(t) * depth;
        case kTriangle:
            y = g * (t < 0.5f ? 2.0f * t : 2.0f * (1.0f - t)) - b * y;
            return y * depth;
        case kSquare:
            y = t < pulseWidth ? g * depth - b * y : -(b * y);
            return y;
        case kRisingSaw: y = g * (t * depth) - b * y; return y;
        case kFallingSaw: y = g * ((1.0f - t) * depth) - b * y; return y;
        default:
            y = g * (static_cast<float>(random >> 33) * kRandomToFraction * depth) - b * y;
            return y;
        }
    }
};

void RunOne(const ZkLfoRecord& record, ZkLfoOutput& output, uint32_t frames)
{
    const ZkLfoParams& params = record.params;
    const ZkLfoOscillator& state = params.oscillator;
    const int64_t elapsed = record.header.elapsedFrames;
    const int64_t start = elapsed - frames;
    const int64_t attack = params.attack;
    const float depth = params.depth;
    const float startDepth =
        start < attack ? static_cast<float>(start) * depth / static_cast<float>(attack) : depth;

    Oscillator oscillator{state.filterOutput,
                          state.gain,
                          state.feedback,
                          state.phase,
                          state.increment <= kMinimumIncrement ? kMinimumIncrement : state.increment,
                          PeriodOf(state.waveform),
                          state.waveform,
                          params.pulseWidth,
                          state.randomState};

    output.newState = ZkModulatorState_None;
    if (record.header.audioRateFrames != 0 && output.samples != nullptr)
    {
        const float endDepth =
            elapsed < attack ? static_cast<float>(elapsed) * depth / static_cast<float>(attack) : depth;
        const float step = (endDepth - startDepth) / static_cast<float>(frames);
        float current = startDepth;
        float value = 0.0f;
        for (uint32_t index = 0; index < frames; ++index)
        {
            current += step;
            oscillator.Step();
            value = oscillator.Sample(current);
            output.samples[index] = value;
        }
        output.lastValue = value;
        output.peak = endDepth;
    }
    else
    {
        // One value per frame: the phase moves over the frame's first n - 1 samples at once, the
        // last sample is rendered.
        if (frames > 1)
        {
            oscillator.t += static_cast<float>(frames - 1) * oscillator.increment;
            if (oscillator.t >= oscillator.period)
            {
                const float wraps = std::floor(oscillator.t / oscillator.period);
                oscillator.t -= wraps * oscillator.period;
                if (oscillator.waveform == kRandom)
                {
                    for (float wrap = 0.0f; wrap < wraps; wrap += 1.0f)
                        oscillator.random = oscillator.random * ZK::ZkLcg64::kMultiplier + ZK::ZkLcg64::kIncrement;
                }
            }
        }
        oscillator.Step();
        output.lastValue = oscillator.Sample(startDepth);
        output.peak = output.lastValue;
    }

    output.oscillator = state;
    if (state.increment == 0.0f)
        return; // a stopped oscillator keeps its state
    if (oscillator.waveform == kSine)
        oscillator.t = std::fmod(oscillator.t, kTwoPi);
    else if (oscillator.waveform != kRandom)
        oscillator.t = std::fmod(oscillator.t, 1.0f);
    output.oscillator.filterOutput = oscillator.y;
    output.oscillator.phase = oscillator.t;
    output.oscillator.randomState = oscillator.random;
}
} // namespace

void RunLfoKernel(const ZkLfoRecord* records, ZkLfoOutput* outputs, uint32_t count, uint32_t frames)
{
    for (uint32_t index = 0; index < count; ++index)
        RunOne(records[index], outputs[index], frames);
}

namespace ZkModulatorMath
{
void ComputeLfoCoefficients(ZkLfoOscillator& oscillator, int32_t waveform, float frequency, float smoothing)
{
    if (waveform < kSine || waveform > kRandom)
        waveform = waveform < kSine ? kSine : kRandom;
    const float limited = frequency < kFixedRateHz ? frequency : kFixedRateHz;
    float increment = frequency >= kFixedRateHz ? 1.0f : frequency / kFixedRateHz;
    if (waveform == kSine)
        increment *= kTwoPi;
    oscillator.increment = increment;

    float feedback = 0.0f;
    float gain = 1.0f;
    if (smoothing != 0.0f)
    {
        const float w = std::cos(std::exp(-std::log(kNyquistHz / limited) * smoothing) * kNyquistHz / kFixedRateHz *
                                 kTwoPi);
        const float c = 2.0f - w;
        feedback = std::sqrt(c * c - 1.0f) - c;
        gain = feedback + 1.0f;
        // A negative frequency (ln of a negative ratio) or a zero one with negative smoothing
        // (cos of infinity) gives no coefficients: the smoother is switched off rather than
        // carrying NaN into every value it drives.
        if (!std::isfinite(feedback) || !std::isfinite(gain))
        {
            feedback = 0.0f;
            gain = 1.0f;
        }
    }
    oscillator.feedback = feedback;
    oscillator.gain = gain;

    if ((waveform == kSine) != (oscillator.waveform == kSine))
        oscillator.phase *= waveform == kSine ? kTwoPi : kInverseTwoPi;
    oscillator.waveform = waveform;
}

float LfoStartPhase(int32_t waveform, float initialPhaseDegrees)
{
    const float period = PeriodOf(waveform);
    float phase = period * initialPhaseDegrees * kDegreesToTurns;
    if (waveform == kTriangle)
        phase += 0.25f;
    else if (waveform == kRisingSaw)
        phase += 0.5f;
    if (phase < 0.0f)
        phase += period;
    else if (phase >= period)
        phase -= period;
    if (waveform != kRandom)
        phase = std::fmod(phase, period);
    return phase;
}
} // namespace ZkModulatorMath
} // namespace ZK::SoundEngine
