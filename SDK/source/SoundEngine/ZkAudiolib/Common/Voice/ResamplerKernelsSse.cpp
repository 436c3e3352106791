// SSE forms of the resampler kernels (four output frames at a time; the 16-bit copies convert four
// frames per vector), and the table of the forms installed by default.
#include "ResamplerKernelCore.h"
#include "ZkResamplerKernels.h"

#include <immintrin.h>

namespace
{
struct SseLanes
{
    static constexpr uint32_t kWidth = 4;
    static constexpr uint32_t kCopyWidth = 4;

    static void Interpolate(const float* previous, const float* next, const float* fractions, float scale, float* out)
    {
        const __m128 p = _mm_load_ps(previous);
        const __m128 difference = _mm_sub_ps(_mm_load_ps(next), p);
        const __m128 f = _mm_mul_ps(_mm_load_ps(fractions), _mm_set1_ps(kPhaseScale));
        _mm_storeu_ps(out, _mm_mul_ps(_mm_add_ps(_mm_mul_ps(f, difference), p), _mm_set1_ps(scale)));
    }
    static __m128 FourShorts(const int16_t* source)
    {
        const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source));
        const __m128i widened = _mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16);
        return _mm_mul_ps(_mm_cvtepi32_ps(widened), _mm_set1_ps(kShortScale));
    }
    static void ShortsToFloats(const int16_t* source, float* out) { _mm_storeu_ps(out, FourShorts(source)); }
    static void DeinterleaveStereoShorts(const int16_t* source, float* left, float* right)
    {
        const __m128 low = FourShorts(source);      // L0 R0 L1 R1
        const __m128 high = FourShorts(source + 4); // L2 R2 L3 R3
        _mm_storeu_ps(left, _mm_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(right, _mm_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    static void Scale(const float* values, float scale, float* out)
    {
        _mm_storeu_ps(out, _mm_mul_ps(_mm_load_ps(values), _mm_set1_ps(scale)));
    }
};
} // namespace

#include "ResamplerVectorKernels.h"

namespace ZkResamplerKernels
{
KernelTable MakeSseTable()
{
    KernelTable table = kScalarTable;
    for (uint32_t column = 0; column < 3; ++column)
        table.cells[column] = kVectorCopyCells<SseLanes>[column];
    for (uint32_t column = 0; column < kColumns; ++column)
        table.cells[kColumns + column] = kVectorFixedStepCells<SseLanes>[column];
    return table;
}
} // namespace ZkResamplerKernels
