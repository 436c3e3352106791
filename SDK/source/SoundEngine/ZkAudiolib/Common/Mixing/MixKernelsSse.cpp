// SSE form of the mixer kernels: 8 frames per step in two groups of four lanes, unaligned loads
// and stores. Lane gains start at gain + {0..7} x step and grow by 8 x step per step, accumulated
// in single precision.
#include "MixKernels.h"
#include "MixMatrixLoops.h"

#include <cmath>
#include <immintrin.h>

namespace ZkMixKernels
{
void MixChannelSse(const float* in, float* out, float gain, float step, uint32_t frames)
{
    const uint32_t vectorFrames = frames & ~7u;
    uint32_t k = 0;
    if (std::fabs(step) >= kMinAudibleGain)
    {
        const __m128 stepVector = _mm_set1_ps(step);
        __m128 gainLow = _mm_add_ps(_mm_set1_ps(gain), _mm_mul_ps(_mm_setr_ps(0.f, 1.f, 2.f, 3.f), stepVector));
        __m128 gainHigh = _mm_add_ps(_mm_set1_ps(gain), _mm_mul_ps(_mm_setr_ps(4.f, 5.f, 6.f, 7.f), stepVector));
        const __m128 stride = _mm_set1_ps(8.0f * step);
        for (; k < vectorFrames; k += 8)
        {
            const __m128 low = _mm_add_ps(_mm_loadu_ps(out + k), _mm_mul_ps(_mm_loadu_ps(in + k), gainLow));
            const __m128 high = _mm_add_ps(_mm_loadu_ps(out + k + 4), _mm_mul_ps(_mm_loadu_ps(in + k + 4), gainHigh));
            _mm_storeu_ps(out + k, low);
            _mm_storeu_ps(out + k + 4, high);
            gainLow = _mm_add_ps(gainLow, stride);
            gainHigh = _mm_add_ps(gainHigh, stride);
        }
        for (; k < frames; ++k)
            out[k] += in[k] * (gain + static_cast<float>(k) * step);
    }
    else if (std::fabs(gain) >= kMinAudibleGain)
    {
        const __m128 gainVector = _mm_set1_ps(gain);
        for (; k < vectorFrames; k += 8)
        {
            const __m128 low = _mm_add_ps(_mm_loadu_ps(out + k), _mm_mul_ps(_mm_loadu_ps(in + k), gainVector));
            const __m128 high = _mm_add_ps(_mm_loadu_ps(out + k + 4), _mm_mul_ps(_mm_loadu_ps(in + k + 4), gainVector));
            _mm_storeu_ps(out + k, low);
            _mm_storeu_ps(out + k + 4, high);
        }
        for (; k < frames; ++k)
            out[k] += in[k] * gain;
    }
}

void MixNinNSse(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base, const float* previousMatrix,
                const float* nextMatrix, float oneOverFrames, uint16_t frames)
{
    MixNinNLoop<MixChannelSse, PlainRampStep>(in, out, base, previousMatrix, nextMatrix, oneOverFrames, frames);
}

void MixOneInNSse(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                  const float* previousVolumes, const float* nextVolumes, float oneOverFrames, uint16_t frames)
{
    MixOneInNLoop<MixChannelSse, PlainRampStep>(in, out, config, base, previousVolumes, nextVolumes, oneOverFrames,
                                                frames);
}
} // namespace ZkMixKernels
