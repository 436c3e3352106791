// AVX2 form of the mixer kernels: eight lanes whose gains start at gain + {0..7} x step (fused
// multiply-add), steps of 32 frames (four groups of eight, each 8 x step above the previous), then
// steps of 8. Every product-and-add is one fused multiply-add.
#include "MixKernels.h"
#include "MixMatrixLoops.h"
#include "ZkSimdTarget.h"

#include <cmath>
#include <immintrin.h>

namespace ZkMixKernels
{
namespace
{
struct FusedRampStep
{
    // (next volume x next base - gain) by one fused multiply-add, then x oneOverFrames.
    ZK_TARGET_AVX2 static float Step(float nextVolume, float nextBase, float gain, float oneOverFrames)
    {
        return __builtin_fmaf(nextVolume, nextBase, -gain) * oneOverFrames;
    }
};
} // namespace

ZK_TARGET_AVX2 void MixChannelAvx2(const float* in, float* out, float gain, float step, uint32_t frames)
{
    uint32_t k = 0;
    if (std::fabs(step) >= kMinAudibleGain)
    {
        const __m256 stepVector = _mm256_set1_ps(step);
        const __m256 group = _mm256_set1_ps(8.0f * step);
        const __m256 block = _mm256_set1_ps(32.0f * step);
        __m256 gain0 = _mm256_fmadd_ps(_mm256_setr_ps(0.f, 1.f, 2.f, 3.f, 4.f, 5.f, 6.f, 7.f), stepVector,
                                       _mm256_set1_ps(gain));
        __m256 gain1 = _mm256_add_ps(gain0, group);
        __m256 gain2 = _mm256_add_ps(gain1, group);
        __m256 gain3 = _mm256_add_ps(gain2, group);
        for (; k + 32 <= frames; k += 32)
        {
            _mm256_storeu_ps(out + k, _mm256_fmadd_ps(_mm256_loadu_ps(in + k), gain0, _mm256_loadu_ps(out + k)));
            _mm256_storeu_ps(out + k + 8, _mm256_fmadd_ps(_mm256_loadu_ps(in + k + 8), gain1, _mm256_loadu_ps(out + k + 8)));
            _mm256_storeu_ps(out + k + 16, _mm256_fmadd_ps(_mm256_loadu_ps(in + k + 16), gain2, _mm256_loadu_ps(out + k + 16)));
            _mm256_storeu_ps(out + k + 24, _mm256_fmadd_ps(_mm256_loadu_ps(in + k + 24), gain3, _mm256_loadu_ps(out + k + 24)));
            gain0 = _mm256_add_ps(gain0, block);
            gain1 = _mm256_add_ps(gain1, block);
            gain2 = _mm256_add_ps(gain2, block);
            gain3 = _mm256_add_ps(gain3, block);
        }
        for (; k + 8 <= frames; k += 8)
        {
            _mm256_storeu_ps(out + k, _mm256_fmadd_ps(_mm256_loadu_ps(in + k), gain0, _mm256_loadu_ps(out + k)));
            gain0 = _mm256_add_ps(gain0, group);
        }
        for (; k < frames; ++k)
            out[k] = __builtin_fmaf(in[k], gain + static_cast<float>(k) * step, out[k]);
    }
    else if (std::fabs(gain) >= kMinAudibleGain)
    {
        const __m256 gainVector = _mm256_set1_ps(gain);
        for (; k + 32 <= frames; k += 32)
        {
            for (uint32_t group = 0; group < 32; group += 8)
                _mm256_storeu_ps(out + k + group, _mm256_fmadd_ps(_mm256_loadu_ps(in + k + group), gainVector,
                                                                  _mm256_loadu_ps(out + k + group)));
        }
        for (; k + 8 <= frames; k += 8)
            _mm256_storeu_ps(out + k, _mm256_fmadd_ps(_mm256_loadu_ps(in + k), gainVector, _mm256_loadu_ps(out + k)));
        for (; k < frames; ++k)
            out[k] = __builtin_fmaf(in[k], gain, out[k]);
    }
}

ZK_TARGET_AVX2 void MixNinNAvx2(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base,
                                const float* previousMatrix, const float* nextMatrix, float oneOverFrames,
                                uint16_t frames)
{
    MixNinNLoop<MixChannelAvx2, FusedRampStep>(in, out, base, previousMatrix, nextMatrix, oneOverFrames, frames);
}

ZK_TARGET_AVX2 void MixOneInNAvx2(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                                  const float* previousVolumes, const float* nextVolumes, float oneOverFrames,
                                  uint16_t frames)
{
    MixOneInNLoop<MixChannelAvx2, FusedRampStep>(in, out, config, base, previousVolumes, nextVolumes,
                                                 oneOverFrames, frames);
}
} // namespace ZkMixKernels
