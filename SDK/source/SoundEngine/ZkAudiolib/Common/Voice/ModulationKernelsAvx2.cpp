// AVX2 form of the modulation stage's kernels: eight samples per vector, the ramp's gains
// start + {k..k+7} x step from the frame index (as the scalar form computes them), the tail
// sample by sample.
#include "ZkAudiolib/Common/Voice/ModulationKernels.h"

#include "ZkAudiolib/Common/Mixing/ZkSimdTarget.h"

#include <immintrin.h>

namespace ZkModulationKernels
{
ZK_TARGET_AVX2 void ApplySignalAvx2(float* samples, uint32_t frames, const float* modulation, float scale, float offset)
{
    const __m256 scaleVector = _mm256_set1_ps(scale);
    const __m256 offsetVector = _mm256_set1_ps(offset);
    uint32_t k = 0;
    for (; k + 8 <= frames; k += 8)
    {
        const __m256 gain = _mm256_add_ps(_mm256_mul_ps(scaleVector, _mm256_loadu_ps(modulation + k)), offsetVector);
        _mm256_storeu_ps(samples + k, _mm256_mul_ps(_mm256_loadu_ps(samples + k), gain));
    }
    for (; k < frames; ++k)
        samples[k] *= scale * modulation[k] + offset;
}

ZK_TARGET_AVX2 void ApplyRampAvx2(float* samples, uint32_t frames, float start, float step)
{
    const __m256 startVector = _mm256_set1_ps(start);
    const __m256 stepVector = _mm256_set1_ps(step);
    const __m256 eight = _mm256_set1_ps(8.0f);
    __m256 index = _mm256_setr_ps(0.f, 1.f, 2.f, 3.f, 4.f, 5.f, 6.f, 7.f);
    uint32_t k = 0;
    for (; k + 8 <= frames; k += 8)
    {
        const __m256 gain = _mm256_add_ps(startVector, _mm256_mul_ps(index, stepVector));
        _mm256_storeu_ps(samples + k, _mm256_mul_ps(_mm256_loadu_ps(samples + k), gain));
        index = _mm256_add_ps(index, eight);
    }
    for (; k < frames; ++k)
        samples[k] *= start + static_cast<float>(k) * step;
}
} // namespace ZkModulationKernels
