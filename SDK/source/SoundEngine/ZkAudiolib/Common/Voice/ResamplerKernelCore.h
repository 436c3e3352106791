// The parts every form of the resampler kernels shares: reading input samples of either sample
// type, interpolating one output frame, and the bookkeeping at the end of a kernel call
// (consumption, history, offsets, result).
//
// Everything here is in an unnamed namespace on purpose: each kernel file gets its own copy,
// compiled for that file's instruction set, so the AVX2 file can never lend an AVX2-only copy of a
// shared inline function to code that runs on a processor without AVX2.
#pragma once

#include "ZkResampler.h"

#include <algorithm>
#include <cstdint>

namespace
{
constexpr float kShortScale = 1.0f / 32768.0f;     // 2^-15
constexpr float kPhaseScale = 1.0f / 65536.0f;     // 2^-16
constexpr float kFixedPointShortScale = 1.0f / 2147483648.0f; // 2^-31

// 16-bit interleaved input; Channels 0 means "the resampler's channel count".
template <uint32_t Channels>
struct ShortInput
{
    static constexpr bool kIsShort = true;
    const int16_t* base; // frame 0 of the current block (the input offset applied)
    uint32_t channels;

    ShortInput(const ZkAudioBuffer* in, const CZkResampler* r)
        : base(static_cast<const int16_t*>(in->data) + static_cast<size_t>(r->inputOffset) * (Channels ? Channels : r->channelCount)),
          channels(Channels ? Channels : r->channelCount)
    {
    }
    int32_t Raw(uint32_t channel, uint32_t frame) const { return base[static_cast<size_t>(frame) * channels + channel]; }
    float Sample(uint32_t channel, uint32_t frame) const { return static_cast<float>(Raw(channel, frame)) * kShortScale; }
    static int32_t RawHistory(const CZkResampler* r, uint32_t channel) { return r->ShortHistory()[channel]; }
    void KeepHistory(CZkResampler* r, uint32_t frame) const
    {
        for (uint32_t c = 0; c < channels; ++c)
            r->ShortHistory()[c] = static_cast<int16_t>(Raw(c, frame));
    }
    // One sample at a time: ((s(k-1) x 65536) + (s(k) - s(k-1)) x f) x 2^-31.
    static float Interpolate(int32_t previous, int32_t next, uint32_t fraction)
    {
        const int64_t fixed = static_cast<int64_t>(previous) * 65536 + static_cast<int64_t>(next - previous) * fraction;
        return static_cast<float>(fixed) * kFixedPointShortScale;
    }
};

// 32-bit float planar input.
template <uint32_t Channels>
struct FloatInput
{
    static constexpr bool kIsShort = false;
    const float* base;
    uint32_t stride;
    uint32_t channels;

    FloatInput(const ZkAudioBuffer* in, const CZkResampler* r)
        : base(static_cast<const float*>(in->data) + r->inputOffset), stride(in->maxFrames),
          channels(Channels ? Channels : r->channelCount)
    {
    }
    float Raw(uint32_t channel, uint32_t frame) const { return base[static_cast<size_t>(channel) * stride + frame]; }
    float Sample(uint32_t channel, uint32_t frame) const { return Raw(channel, frame); }
    static float RawHistory(const CZkResampler* r, uint32_t channel) { return r->FloatHistory()[channel]; }
    void KeepHistory(CZkResampler* r, uint32_t frame) const
    {
        for (uint32_t c = 0; c < channels; ++c)
            r->FloatHistory()[c] = Raw(c, frame);
    }
    static float Interpolate(float previous, float next, uint32_t fraction)
    {
        return previous + (next - previous) * (static_cast<float>(fraction) * kPhaseScale);
    }
};

inline float* OutputChannel(ZkAudioBuffer* out, uint32_t channel)
{
    return static_cast<float*>(out->data) + static_cast<size_t>(channel) * out->maxFrames;
}

// Output channel `channel` of a kernel from frame `frame` on.
template <bool UseMap>
inline float* TargetOf(ZkAudioBuffer* out, const CZkResampler* r, uint32_t channel, uint32_t frame)
{
    return OutputChannel(out, UseMap ? r->channelMap[channel] : channel) + frame;
}

inline uint32_t OutputBudget(const CZkResampler* r, uint32_t framesWanted)
{
    return framesWanted > r->outputOffset ? framesWanted - r->outputOffset : 0u;
}

// End of a kernel call that consumed `consumed` input frames and leaves the phase at `phase`: keep
// the last consumed frame as history, move the offsets and answer 45 (output full) or 43 (input
// used up first).
template <class Input>
inline ZKRESULT FinishCallConsuming(const Input& input, ZkAudioBuffer* in, ZkAudioBuffer* out, CZkResampler* r,
                                    uint32_t consumed, uint64_t phase, uint32_t produced, uint32_t framesWanted)
{
    const uint32_t valid = in->validFrames;
    if (consumed > 0)
    {
        input.KeepHistory(r, consumed - 1);
        in->validFrames = static_cast<uint16_t>(valid - consumed);
        r->inputOffset = in->validFrames == 0 ? 0 : r->inputOffset + consumed;
    }
    r->phase = static_cast<uint32_t>(std::min<uint64_t>(phase, UINT32_MAX));
    const uint32_t filled = r->outputOffset + produced;
    out->validFrames = static_cast<uint16_t>(filled);
    if (filled >= framesWanted)
        return ZK_DataReady;
    r->outputOffset = filled;
    return ZK_DataNeeded;
}

// End of an interpolating call: the input frames the phase has passed are consumed.
template <class Input>
inline ZKRESULT FinishCall(const Input& input, ZkAudioBuffer* in, ZkAudioBuffer* out, CZkResampler* r,
                           uint64_t phase, uint32_t produced, uint32_t framesWanted)
{
    const uint32_t consumed = static_cast<uint32_t>(std::min<uint64_t>(phase >> 16, in->validFrames));
    return FinishCallConsuming(input, in, out, r, consumed, phase - (static_cast<uint64_t>(consumed) << 16), produced,
                               framesWanted);
}

// End of a copy call: the copied frames are consumed and the next output is the next input frame.
template <class Input>
inline ZKRESULT FinishCopy(const Input& input, ZkAudioBuffer* in, ZkAudioBuffer* out, CZkResampler* r, uint32_t frames,
                           uint32_t framesWanted)
{
    return FinishCallConsuming(input, in, out, r, frames, 0x10000, frames, framesWanted);
}

// Number of gliding output frames a call may still produce: ceil((1024 - counter) / increment).
inline uint32_t GlideFramesLeft(const CZkResampler* r)
{
    if (r->glideCounter >= CZkResampler::kGlideLength)
        return 0;
    const uint32_t increment = std::max<uint32_t>(r->glideIncrement, 1u);
    return (CZkResampler::kGlideLength - r->glideCounter + increment - 1) / increment;
}

// One output frame at the phase, one sample at a time (the reference arithmetic).
template <class Input, bool UseMap>
inline void InterpolateFrame(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t outIndex,
                             uint64_t phase)
{
    const uint32_t k = static_cast<uint32_t>(phase >> 16);
    const uint32_t fraction = static_cast<uint32_t>(phase & 0xFFFF);
    for (uint32_t c = 0; c < input.channels; ++c)
    {
        const auto previous = k == 0 ? Input::RawHistory(r, c) : input.Raw(c, k - 1);
        const auto next = input.Raw(c, k);
        const uint32_t target = UseMap ? r->channelMap[c] : c;
        OutputChannel(out, target)[outIndex] = Input::Interpolate(previous, next, fraction);
    }
}

// The reference of the fixed-step (Glide false) and gliding (Glide true) kernels.
template <class Input, bool UseMap, bool Glide>
ZKRESULT InterpolateScalar(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    const Input input(in, r);
    const uint32_t valid = in->validFrames;
    uint32_t limit = OutputBudget(r, framesWanted);
    if (Glide)
        limit = std::min(limit, GlideFramesLeft(r));
    uint64_t phase = r->phase;
    uint32_t produced = 0;
    while (produced < limit && valid > 0 && (phase >> 16) <= valid - 1)
    {
        InterpolateFrame<Input, UseMap>(input, r, out, r->outputOffset + produced, phase);
        ++produced;
        if (Glide)
        {
            // The counter advances with the frame, and the step that follows the frame is the one
            // the glide reaches there: the first gliding frame already moves off the old step.
            r->glideCounter += r->glideIncrement;
            phase += r->GlideStepAt(r->glideCounter);
        }
        else
        {
            phase += static_cast<uint32_t>(r->currentStep);
        }
    }
    return FinishCall(input, in, out, r, phase, produced, framesWanted);
}

// The reference copy kernel (step exactly 1.0): frames one to one.
template <class Input, bool UseMap>
ZKRESULT CopyScalar(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    const Input input(in, r);
    const uint32_t frames = std::min<uint32_t>(OutputBudget(r, framesWanted), in->validFrames);
    for (uint32_t c = 0; c < input.channels; ++c)
    {
        float* target = OutputChannel(out, UseMap ? r->channelMap[c] : c) + r->outputOffset;
        for (uint32_t j = 0; j < frames; ++j)
            target[j] = input.Sample(c, j);
    }
    return FinishCopy(input, in, out, r, frames, framesWanted);
}
} // namespace
