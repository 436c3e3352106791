// SSE forms of the gain and interleave kernels. Each works on whole groups of 4 (interleave) or 8
// (gain copy, ApplyGain) frames and finishes a shorter tail one frame at a time with the lane gains
// it has reached, so it writes what the general kernel writes for any frame count.
#include "GainKernels.h"

#include <immintrin.h>

namespace ZkGainKernels
{
namespace
{
// Four consecutive frame gains and the amount they grow by per group of four frames.
struct RampLanes
{
    __m128 gains;
    __m128 stride;

    RampLanes(ZkRamp gain, uint32_t frames, float scale)
    {
        const float previous = gain.previous * scale;
        const float step = gain.IsConstant() ? 0.0f : (gain.next * scale - previous) / static_cast<float>(frames);
        gains = _mm_add_ps(_mm_set1_ps(previous), _mm_mul_ps(_mm_setr_ps(0.f, 1.f, 2.f, 3.f), _mm_set1_ps(step)));
        stride = _mm_set1_ps(4.0f * step);
    }
    void Advance() { gains = _mm_add_ps(gains, stride); }
    float Lane(uint32_t lane) const
    {
        alignas(16) float values[4];
        _mm_store_ps(values, gains);
        return values[lane];
    }
};

const __m128 kShortMin = _mm_set1_ps(-32768.0f);
const __m128 kShortMax = _mm_set1_ps(32767.0f);

inline __m128i ToInt32Saturated(__m128 scaled)
{
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(scaled, kShortMin), kShortMax));
}

// Gain copy of one planar run, 8 frames per step (two lane groups).
inline void GainRunFloat(const float* in, float* out, uint32_t frames, ZkRamp gain)
{
    RampLanes low(gain, frames, 1.0f);
    RampLanes high = low;
    high.gains = _mm_add_ps(low.gains, low.stride);
    const __m128 stride8 = _mm_add_ps(low.stride, low.stride);
    uint32_t k = 0;
    for (; k + 8 <= frames; k += 8)
    {
        _mm_storeu_ps(out + k, _mm_mul_ps(_mm_loadu_ps(in + k), low.gains));
        _mm_storeu_ps(out + k + 4, _mm_mul_ps(_mm_loadu_ps(in + k + 4), high.gains));
        low.gains = _mm_add_ps(low.gains, stride8);
        high.gains = _mm_add_ps(high.gains, stride8);
    }
    for (uint32_t lane = 0; k < frames; ++k, ++lane)
        out[k] = in[k] * (lane < 4 ? low.Lane(lane) : high.Lane(lane - 4));
}

// 16-bit run with a gain already scaled by 32767, 8 samples per step.
inline void GainRunShort(const float* in, int16_t* out, size_t samples, ZkRamp scaledGain, uint32_t rampFrames)
{
    RampLanes low(scaledGain, rampFrames, 1.0f);
    RampLanes high = low;
    high.gains = _mm_add_ps(low.gains, low.stride);
    const __m128 stride8 = _mm_add_ps(low.stride, low.stride);
    size_t k = 0;
    for (; k + 8 <= samples; k += 8)
    {
        const __m128i a = ToInt32Saturated(_mm_mul_ps(_mm_loadu_ps(in + k), low.gains));
        const __m128i b = ToInt32Saturated(_mm_mul_ps(_mm_loadu_ps(in + k + 4), high.gains));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packs_epi32(a, b));
        low.gains = _mm_add_ps(low.gains, stride8);
        high.gains = _mm_add_ps(high.gains, stride8);
    }
    for (uint32_t lane = 0; k < samples; ++k, ++lane)
        out[k] = ToShortSaturated(in[k] * (lane < 4 ? low.Lane(lane) : high.Lane(lane - 4)));
}

// Calls write(frame, gains of frames frame..frame+3) for every whole group of four frames, then
// tail(frame, gain) for the rest.
template <class Group, class Single>
inline void ForEachGroupOfFour(uint32_t frames, ZkRamp gain, float scale, Group group, Single single)
{
    RampLanes ramp(gain, frames, scale);
    uint32_t k = 0;
    for (; k + 4 <= frames; k += 4)
    {
        group(k, ramp.gains);
        ramp.Advance();
    }
    for (uint32_t lane = 0; k < frames; ++k, ++lane)
        single(k, ramp.Lane(lane));
}

inline const float* Channel(const ZkAudioBuffer* in, uint32_t channel)
{
    return static_cast<const float*>(in->data) + static_cast<size_t>(channel) * in->maxFrames;
}

// Interleaves the channels of a multichannel planar buffer, reordered by `order` (pipeline channel of
// each interleaved position; -1 writes zero), four frames at a time through two 4x4 transposes.
template <uint32_t OutChannels>
inline void InterleaveReordered(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, const int (&order)[8])
{
    const uint32_t frames = in->maxFrames;
    float* target = static_cast<float*>(out->data);
    ForEachGroupOfFour(
        frames, gain, 1.0f,
        [&](uint32_t k, __m128 gains) {
            __m128 columns[8];
            for (uint32_t p = 0; p < 8; ++p)
                columns[p] = order[p] < 0 ? _mm_setzero_ps() : _mm_mul_ps(_mm_loadu_ps(Channel(in, order[p]) + k), gains);
            _MM_TRANSPOSE4_PS(columns[0], columns[1], columns[2], columns[3]);
            _MM_TRANSPOSE4_PS(columns[4], columns[5], columns[6], columns[7]);
            for (uint32_t j = 0; j < 4; ++j)
            {
                float* frame = target + static_cast<size_t>(k + j) * OutChannels;
                _mm_storeu_ps(frame, columns[j]);
                if constexpr (OutChannels == 8)
                    _mm_storeu_ps(frame + 4, columns[4 + j]);
                else
                    _mm_storel_pi(reinterpret_cast<__m64*>(frame + 4), columns[4 + j]);
            }
        },
        [&](uint32_t k, float g) {
            float* frame = target + static_cast<size_t>(k) * OutChannels;
            for (uint32_t p = 0; p < OutChannels; ++p)
                frame[p] = order[p] < 0 ? 0.0f : Channel(in, order[p])[k] * g;
        });
}

// Any layouts: each interleaved position's four frames are weighted and converted in one vector,
// then written to their places in the four frames (write takes the lanes of position p at frame k).
template <class Sample, class Convert>
inline void InterleaveAnyLayout(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, Convert convert)
{
    const uint32_t frames = in->maxFrames;
    const ZkChannelConfig config = in->channelConfig;
    const uint32_t inChannels = config.NumChannels();
    const uint32_t outChannels = out->NumChannels();
    // As the general kernel: the input's positions, then zeros up to the output's channel count.
    const uint32_t stride = inChannels > outChannels ? inChannels : outChannels;
    const float* channels[256];
    for (uint32_t p = 0; p < inChannels; ++p)
        channels[p] = Channel(in, config.InterleavedToPipeline(p));
    Sample* target = static_cast<Sample*>(out->data);
    ForEachGroupOfFour(
        frames, gain, 1.0f,
        [&](uint32_t k, __m128 gains) {
            Sample* frame = target + static_cast<size_t>(k) * stride;
            for (uint32_t p = 0; p < inChannels; ++p)
            {
                alignas(16) Sample lanes[4];
                convert(_mm_mul_ps(gains, _mm_loadu_ps(channels[p] + k)), lanes);
                frame[p] = lanes[0];
                frame[stride + p] = lanes[1];
                frame[2 * stride + p] = lanes[2];
                frame[3 * stride + p] = lanes[3];
            }
            for (uint32_t j = 0; j < 4; ++j)
                for (uint32_t p = inChannels; p < stride; ++p)
                    frame[j * stride + p] = Sample(0);
        },
        [&](uint32_t k, float g) {
            Sample* frame = target + static_cast<size_t>(k) * stride;
            alignas(16) Sample lanes[4];
            for (uint32_t p = 0; p < inChannels; ++p)
            {
                convert(_mm_set1_ps(g * channels[p][k]), lanes);
                frame[p] = lanes[0];
            }
            for (uint32_t p = inChannels; p < stride; ++p)
                frame[p] = Sample(0);
        });
}

// Stereo into a wider interleaved layout: front pair, then zeros.
template <uint32_t OutChannels>
inline void StereoIntoWider(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    const uint32_t frames = in->maxFrames;
    const float* left = Channel(in, 0);
    const float* right = Channel(in, 1);
    float* target = static_cast<float*>(out->data);
    const __m128 zero = _mm_setzero_ps();
    ForEachGroupOfFour(
        frames, gain, 1.0f,
        [&](uint32_t k, __m128 gains) {
            const __m128 l = _mm_mul_ps(_mm_loadu_ps(left + k), gains);
            const __m128 r = _mm_mul_ps(_mm_loadu_ps(right + k), gains);
            const __m128 pairs[2] = {_mm_unpacklo_ps(l, r), _mm_unpackhi_ps(l, r)};
            for (uint32_t j = 0; j < 4; ++j)
            {
                float* frame = target + static_cast<size_t>(k + j) * OutChannels;
                _mm_storeu_ps(frame + 2, zero);
                if constexpr (OutChannels == 8)
                    _mm_storel_pi(reinterpret_cast<__m64*>(frame + 6), zero);
                if (j & 1u)
                    _mm_storeh_pi(reinterpret_cast<__m64*>(frame), pairs[j >> 1]);
                else
                    _mm_storel_pi(reinterpret_cast<__m64*>(frame), pairs[j >> 1]);
            }
        },
        [&](uint32_t k, float g) {
            float* frame = target + static_cast<size_t>(k) * OutChannels;
            frame[0] = left[k] * g;
            frame[1] = right[k] * g;
            for (uint32_t p = 2; p < OutChannels; ++p)
                frame[p] = 0.0f;
        });
}
} // namespace

void ApplyGainSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort)
{
    const uint32_t frames = in->maxFrames;
    const uint32_t channels = out->NumChannels();
    if (!toShort)
    {
        for (uint32_t channel = 0; channel < channels; ++channel)
            GainRunFloat(Channel(in, channel), static_cast<float*>(out->data) + static_cast<size_t>(channel) * frames,
                         frames, gain);
        return;
    }
    const ZkRamp scaled(gain.previous * kShortScale, gain.next * kShortScale);
    int16_t* target = static_cast<int16_t*>(out->data);
    if (gain.IsConstant())
    {
        GainRunShort(Channel(in, 0), target, static_cast<size_t>(channels) * frames, scaled, frames);
        return;
    }
    for (uint32_t channel = 0; channel < channels; ++channel)
        GainRunShort(Channel(in, channel), target + static_cast<size_t>(channel) * frames, frames, scaled, frames);
}

void MonoGainCopySse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    GainRunFloat(Channel(in, 0), static_cast<float*>(out->data), in->maxFrames, gain);
}

void MonoToShortSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    ApplyGainSse(in, out, gain, true);
}

void StereoInterleaveSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    const float* left = Channel(in, 0);
    const float* right = Channel(in, 1);
    float* target = static_cast<float*>(out->data);
    ForEachGroupOfFour(
        in->maxFrames, gain, 1.0f,
        [&](uint32_t k, __m128 gains) {
            const __m128 l = _mm_mul_ps(_mm_loadu_ps(left + k), gains);
            const __m128 r = _mm_mul_ps(_mm_loadu_ps(right + k), gains);
            _mm_storeu_ps(target + 2 * k, _mm_unpacklo_ps(l, r));
            _mm_storeu_ps(target + 2 * k + 4, _mm_unpackhi_ps(l, r));
        },
        [&](uint32_t k, float g) {
            target[2 * k] = left[k] * g;
            target[2 * k + 1] = right[k] * g;
        });
}

void StereoInterleaveShortSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    const float* left = Channel(in, 0);
    const float* right = Channel(in, 1);
    int16_t* target = static_cast<int16_t*>(out->data);
    const __m128 scale = _mm_set1_ps(kShortScale);
    ForEachGroupOfFour(
        in->maxFrames, gain, 1.0f,
        [&](uint32_t k, __m128 gains) {
            const __m128i l = ToInt32Saturated(_mm_mul_ps(_mm_mul_ps(_mm_loadu_ps(left + k), gains), scale));
            const __m128i r = ToInt32Saturated(_mm_mul_ps(_mm_mul_ps(_mm_loadu_ps(right + k), gains), scale));
            const __m128i packed = _mm_packs_epi32(_mm_unpacklo_epi32(l, r), _mm_unpackhi_epi32(l, r));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(target + 2 * k), packed);
        },
        [&](uint32_t k, float g) {
            target[2 * k] = ToShortSaturated(left[k] * g * kShortScale);
            target[2 * k + 1] = ToShortSaturated(right[k] * g * kShortScale);
        });
}

void InterleaveGeneralFloatSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    InterleaveAnyLayout<float>(in, out, gain, [](__m128 weighted, float* lanes) { _mm_store_ps(lanes, weighted); });
}

void InterleaveGeneralShortSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    const __m128 scale = _mm_set1_ps(kShortScale);
    InterleaveAnyLayout<int16_t>(in, out, gain, [scale](__m128 weighted, int16_t* lanes) {
        const __m128i values = ToInt32Saturated(_mm_mul_ps(weighted, scale));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(lanes), _mm_packs_epi32(values, values));
    });
}

void StereoTo5Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    StereoIntoWider<6>(in, out, gain);
}

void StereoTo7Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    StereoIntoWider<8>(in, out, gain);
}

// Pipeline 5.1: FL FR FC SL SR LFE. Interleaved: FL FR FC LFE SL SR.
void Interleave5Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    static constexpr int kOrder[8] = {0, 1, 2, 5, 3, 4, -1, -1};
    InterleaveReordered<6>(in, out, gain, kOrder);
}

void Interleave5Point1To7Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    static constexpr int kOrder[8] = {0, 1, 2, 5, 3, 4, -1, -1};
    InterleaveReordered<8>(in, out, gain, kOrder);
}

// Pipeline 7.1: FL FR FC BL BR SL SR LFE. Interleaved: FL FR FC LFE BL BR SL SR.
void Interleave7Point1Sse(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    static constexpr int kOrder[8] = {0, 1, 2, 7, 3, 4, 5, 6};
    InterleaveReordered<8>(in, out, gain, kOrder);
}
} // namespace ZkGainKernels
