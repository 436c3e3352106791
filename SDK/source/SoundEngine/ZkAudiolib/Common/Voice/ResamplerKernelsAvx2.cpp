// AVX2 forms of the resampler's copy and fixed-step kernels: eight output frames at a time, fused
// multiply-add for the interpolation. The gliding cells and the float copy keep their baseline forms.
//
// The shared headers are included first, compiled for the baseline; only what follows the target
// pragma (the lane policy and this file's own copy of the vector templates) uses AVX2 and FMA.
#include "ResamplerKernelCore.h"
#include "ZkResamplerKernels.h"

#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx2,fma")

namespace
{
struct Avx2Lanes
{
    static constexpr uint32_t kWidth = 8;
    static constexpr uint32_t kCopyWidth = 8;

    static void Interpolate(const float* previous, const float* next, const float* fractions, float scale, float* out)
    {
        const __m256 p = _mm256_load_ps(previous);
        const __m256 difference = _mm256_sub_ps(_mm256_load_ps(next), p);
        const __m256 f = _mm256_mul_ps(_mm256_load_ps(fractions), _mm256_set1_ps(kPhaseScale));
        _mm256_storeu_ps(out, _mm256_mul_ps(_mm256_fmadd_ps(f, difference, p), _mm256_set1_ps(scale)));
    }
    static __m256 EightShorts(const int16_t* source)
    {
        const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
        return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(packed)), _mm256_set1_ps(kShortScale));
    }
    static void ShortsToFloats(const int16_t* source, float* out) { _mm256_storeu_ps(out, EightShorts(source)); }
    static void DeinterleaveStereoShorts(const int16_t* source, float* left, float* right)
    {
        const __m256 low = EightShorts(source);      // L0 R0 L1 R1 | L2 R2 L3 R3
        const __m256 high = EightShorts(source + 8); // L4 R4 L5 R5 | L6 R6 L7 R7
        // Per 128-bit half: L0 L1 L4 L5 | L2 L3 L6 L7, then the 64-bit pairs put in order.
        const __m256 lefts = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
        const __m256 rights = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
        _mm256_storeu_ps(left, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(lefts), _MM_SHUFFLE(3, 1, 2, 0))));
        _mm256_storeu_ps(right, _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(rights), _MM_SHUFFLE(3, 1, 2, 0))));
    }
    static void Scale(const float* values, float scale, float* out)
    {
        _mm256_storeu_ps(out, _mm256_mul_ps(_mm256_load_ps(values), _mm256_set1_ps(scale)));
    }
};
} // namespace

#include "ResamplerVectorKernels.h"

namespace ZkResamplerKernels
{
namespace
{
const ZkResamplerKernels::KernelFn* Avx2CopyCells()
{
    return kVectorCopyCells<Avx2Lanes>;
}
const ZkResamplerKernels::KernelFn* Avx2FixedStepCells()
{
    return kVectorFixedStepCells<Avx2Lanes>;
}
} // namespace
} // namespace ZkResamplerKernels

#pragma GCC pop_options

namespace ZkResamplerKernels
{
KernelTable MakeAvx2Table()
{
    KernelTable table = MakeSseTable();
    const KernelFn* copies = Avx2CopyCells();
    const KernelFn* fixedSteps = Avx2FixedStepCells();
    for (uint32_t column = 0; column < 3; ++column)
        table.cells[column] = copies[column];
    for (uint32_t column = 0; column < kColumns; ++column)
        table.cells[kColumns + column] = fixedSteps[column];
    return table;
}
} // namespace ZkResamplerKernels
