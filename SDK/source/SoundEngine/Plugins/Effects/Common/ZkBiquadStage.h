// One filter of a voice's filter pair: a Butterworth low-pass or high-pass over all channels of a
// channel configuration, driven by a 0-100 value that glides to its target over one buffer in
// steps of one glide block, switches itself off after a tail of 4 buffers when its value falls to
// 0.1 or below, and fades its last offset out over one buffer when it does, so that no click is
// heard.
//
// Threading: belongs to one voice or mix input; used by the thread rendering it. No locks.
// Ownership: history and coefficient memory come from the plug-in instance allocator (pool 6).
#pragma once

#include "BiquadFilterSimd.h"

#include <ZK/SoundEngine/Common/ZkAudioBuffer.h>

#include <cstdint>

enum class ZkFilterKind : uint8_t
{
    LowPass,
    HighPass
};

// The parameter record of one filter.
struct ZkFilterParams
{
    static constexpr float kOffThreshold = 0.1f; // values at or below this switch the filter off
    static constexpr int8_t kTailBuffers = 4;    // buffers still filtered after reaching "off"

    float currentValue = 0.0f;
    float targetValue = 0.0f;
    uint16_t stepCounter = 0; // glide steps taken; == steps per buffer when no glide runs
    int8_t tailCountdown = 0;
    uint8_t dirty = 1;
    uint8_t first = 1;
    uint8_t bypassed = 1;
    uint8_t primed = 1;

    void Reset(uint16_t stepsPerBuffer)
    {
        *this = ZkFilterParams{};
        stepCounter = stepsPerBuffer;
    }
};

class ZkBiquadStage
{
public:
    explicit ZkBiquadStage(ZkFilterKind kind) : m_kind(kind) {}

    bool HasMemory() const { return m_history != nullptr && m_coefficients != nullptr; }
    // Zeroed history and coefficients for the channel count; false (and nothing held) on failure.
    bool Allocate(uint32_t channels);
    void Free();
    // Takes over the other stage's memory and parameters; the other holds no memory afterwards.
    void MoveFrom(ZkBiquadStage& other);

    ZkFilterParams& Params() { return m_params; }
    const ZkFilterParams& Params() const { return m_params; }
    void SetTarget(float value);

    // Applies a newly written target; returns the bypassed flag.
    bool UpdateParameters();
    // Filters the valid frames of in into out (in == out for in place); out's valid frames
    // become in's.
    void Process(const ZkAudioBuffer* in, ZkAudioBuffer* out);
    // The end-of-buffer bookkeeping the filtered matrix mix adds after its mix.
    void AdvanceAfterMix();

    void KeepStateCurrent(const float* samples, uint32_t validFrames, uint32_t channel);
    void ClearHistory();
    const BiquadCoefficients& Coefficients() const { return m_coefficients->values; }
    const BiquadLaneHistory* History() const { return m_history; }

private:
    // The plain coefficients (groups of four channels, and the frames the look-ahead forms leave
    // over) and the look-ahead weights of the pair and single forms, for the channels left over
    // after the groups of four (kept up to date only when the channel count has such channels, and
    // only for the forms in use when they were computed: SSE, or wide).
    struct alignas(16) CoefficientBlock
    {
        BiquadCoefficients values;
        uint32_t wide; // the weights are those of the wide forms
        float padding[2];
        BiquadPairWeights pair;            // SSE pair
        BiquadSingleWeights single;        // SSE single; the wide pair, in both halves
        BiquadStateWeights fourFrameState; // wide pair
        BiquadEightFrameWeights eight;     // wide single
    };

    void ComputeCoefficients(float value);
    void FilterRun(const ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t start, uint32_t frames);
    void PassThrough(const ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t frames);
    uint32_t Groups() const { return (m_channels + 3u) / 4u; }
    bool HasPair() const { return (m_channels & 2u) != 0; }
    bool HasSingle() const { return (m_channels & 1u) != 0; }

    ZkFilterKind m_kind;
    BiquadLaneHistory* m_history = nullptr;
    uint32_t m_historyBytes = 0;
    uint32_t m_channels = 0;
    CoefficientBlock* m_coefficients = nullptr;
    uint32_t m_coefficientBytes = 0;
    ZkFilterParams m_params;
};
