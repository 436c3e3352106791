// SSE forms of the resampler kernels, and the table of the forms installed by default. Baseline
// x86-64 (SSE2) only.
//
// Fixed step: four output frames per group. The lanes' frame indices come from the 32-bit phase
// (lane i at phase + i x step); the two samples a lane interpolates between are neighbours in the
// input, so each lane fetches them with one load (a 64-bit pair of floats, a 32-bit pair of 16-bit
// samples, or a 64-bit pair of 16-bit stereo frames) and shuffles split the pairs into the
// "previous" and "next" vectors. The 16-bit N-channel form, whose two samples are a frame apart,
// inserts them into the pairs one at a time.
// Copies: the 16-bit mono and stereo copies convert 16 frames per step, then 4.
#include "ResamplerKernelCore.h"
#include "ZkResamplerKernels.h"

#include <immintrin.h>

#include <cstring>

namespace
{
constexpr uint32_t kSseWidth = 4;

inline __m128i LoadPair32(const int16_t* source)
{
    int32_t bits;
    std::memcpy(&bits, source, sizeof(bits));
    return _mm_cvtsi32_si128(bits);
}

inline __m128i LoadPair64(const void* source)
{
    return _mm_loadl_epi64(static_cast<const __m128i*>(source));
}

// Lane i's phase is phase + i x step (modulo 2^32; exact where the driver runs groups).
inline __m128i LanePhases(uint32_t phase, uint32_t step)
{
    return _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(phase)),
                         _mm_setr_epi32(0, static_cast<int32_t>(step), static_cast<int32_t>(2 * step),
                                        static_cast<int32_t>(3 * step)));
}

inline __m128 Fractions(__m128i lanePhases)
{
    return _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(lanePhases, _mm_set1_epi32(0xFFFF))), _mm_set1_ps(kPhaseScale));
}

inline __m128 Lerp(__m128 previous, __m128 next, __m128 fractions)
{
    return _mm_add_ps(_mm_mul_ps(fractions, _mm_sub_ps(next, previous)), previous);
}

// 32-bit lanes holding a 16-bit sample in their low half: the sample as a float.
inline __m128 LowShorts(__m128i lanes)
{
    return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(lanes, 16), 16));
}

// ... in their high half.
inline __m128 HighShorts(__m128i lanes)
{
    return _mm_cvtepi32_ps(_mm_srai_epi32(lanes, 16));
}

// The frame index of each of the four lanes of a group.
struct LaneFrames
{
    uint32_t k[kSseWidth];
    LaneFrames(uint32_t phase, uint32_t step)
    {
        for (uint32_t i = 0; i < kSseWidth; ++i)
            k[i] = (phase + i * step) >> 16;
    }
};

template <class InputType, bool UseMap>
struct SseGroupBase
{
    using Input = InputType;
    static constexpr bool kUseMap = UseMap;
    static constexpr uint32_t kWidth = kSseWidth;
    // Each lane reads its own frame and the one before it.
    static uint64_t Reach(uint32_t step) { return static_cast<uint64_t>(kWidth - 1) * step; }
};

// Float planar input, channel i to channel i.
template <uint32_t Channels>
struct SseFloatGroups : SseGroupBase<FloatInput<Channels>, false>
{
    static void Run(const FloatInput<Channels>& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                    uint32_t phase, uint32_t step, uint32_t groups)
    {
        for (uint32_t g = 0; g < groups; ++g, phase += kSseWidth * step, first += kSseWidth)
        {
            const LaneFrames lanes(phase, step);
            const __m128 fractions = Fractions(LanePhases(phase, step));
            for (uint32_t c = 0; c < input.channels; ++c)
            {
                const float* row = input.base + static_cast<size_t>(c) * input.stride - 1;
                const __m128 pairs01 = _mm_castsi128_ps(_mm_unpacklo_epi64(LoadPair64(row + lanes.k[0]), LoadPair64(row + lanes.k[1])));
                const __m128 pairs23 = _mm_castsi128_ps(_mm_unpacklo_epi64(LoadPair64(row + lanes.k[2]), LoadPair64(row + lanes.k[3])));
                const __m128 previous = _mm_shuffle_ps(pairs01, pairs23, _MM_SHUFFLE(2, 0, 2, 0));
                const __m128 next = _mm_shuffle_ps(pairs01, pairs23, _MM_SHUFFLE(3, 1, 3, 1));
                _mm_storeu_ps(TargetOf<false>(out, r, c, first), Lerp(previous, next, fractions));
            }
        }
    }
};

struct SseShortMonoGroups : SseGroupBase<ShortInput<1>, false>
{
    static void Run(const ShortInput<1>& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first, uint32_t phase,
                    uint32_t step, uint32_t groups)
    {
        const int16_t* before = input.base - 1;
        float* target = TargetOf<false>(out, r, 0, first);
        for (uint32_t g = 0; g < groups; ++g, phase += kSseWidth * step, target += kSseWidth)
        {
            const LaneFrames lanes(phase, step);
            // Lane i: (s(k-1), s(k)) in one 32-bit load.
            const __m128i pairs = _mm_unpacklo_epi64(_mm_unpacklo_epi32(LoadPair32(before + lanes.k[0]), LoadPair32(before + lanes.k[1])),
                                                     _mm_unpacklo_epi32(LoadPair32(before + lanes.k[2]), LoadPair32(before + lanes.k[3])));
            const __m128 fractions = Fractions(LanePhases(phase, step));
            _mm_storeu_ps(target, _mm_mul_ps(Lerp(LowShorts(pairs), HighShorts(pairs), fractions), _mm_set1_ps(kShortScale)));
        }
    }
};

struct SseShortStereoGroups : SseGroupBase<ShortInput<2>, false>
{
    static void Run(const ShortInput<2>& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                    uint32_t phase, uint32_t step, uint32_t groups)
    {
        const int16_t* before = input.base - 2;
        float* left = TargetOf<false>(out, r, 0, first);
        float* right = TargetOf<false>(out, r, 1, first);
        const __m128 scale = _mm_set1_ps(kShortScale);
        for (uint32_t g = 0; g < groups; ++g, phase += kSseWidth * step, left += kSseWidth, right += kSseWidth)
        {
            const LaneFrames lanes(phase, step);
            // Lane i: frames k-1 and k (L R L R) in one 64-bit load; as 32-bit words, (P_i, N_i).
            const __m128i words01 = _mm_unpacklo_epi32(LoadPair64(before + 2 * lanes.k[0]), LoadPair64(before + 2 * lanes.k[1]));
            const __m128i words23 = _mm_unpacklo_epi32(LoadPair64(before + 2 * lanes.k[2]), LoadPair64(before + 2 * lanes.k[3]));
            const __m128i previous = _mm_unpacklo_epi64(words01, words23);
            const __m128i next = _mm_unpackhi_epi64(words01, words23);
            const __m128 fractions = Fractions(LanePhases(phase, step));
            _mm_storeu_ps(left, _mm_mul_ps(Lerp(LowShorts(previous), LowShorts(next), fractions), scale));
            _mm_storeu_ps(right, _mm_mul_ps(Lerp(HighShorts(previous), HighShorts(next), fractions), scale));
        }
    }
};

// 16-bit interleaved N channels, through the map.
struct SseShortManyGroups : SseGroupBase<ShortInput<0>, true>
{
    static void Run(const ShortInput<0>& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                    uint32_t phase, uint32_t step, uint32_t groups)
    {
        const uint32_t n = input.channels;
        const __m128 scale = _mm_set1_ps(kShortScale);
        for (uint32_t g = 0; g < groups; ++g, phase += kSseWidth * step, first += kSseWidth)
        {
            const LaneFrames lanes(phase, step);
            // Lane i's frame k-1; its frame k follows n samples later.
            const int16_t* previous[kSseWidth];
            for (uint32_t i = 0; i < kSseWidth; ++i)
                previous[i] = input.base + static_cast<size_t>(lanes.k[i] - 1) * n;
            const __m128 fractions = Fractions(LanePhases(phase, step));
            for (uint32_t c = 0; c < n; ++c)
            {
                const __m128i pairs = _mm_setr_epi16(previous[0][c], previous[0][c + n], previous[1][c], previous[1][c + n],
                                                     previous[2][c], previous[2][c + n], previous[3][c], previous[3][c + n]);
                _mm_storeu_ps(TargetOf<true>(out, r, c, first),
                              _mm_mul_ps(Lerp(LowShorts(pairs), HighShorts(pairs), fractions), scale));
            }
        }
    }
};

inline __m128 FourShorts(__m128i widened)
{
    return _mm_mul_ps(_mm_cvtepi32_ps(widened), _mm_set1_ps(kShortScale));
}

// Eight 16-bit samples into two vectors of four floats.
inline void EightShortsToFloats(const int16_t* source, __m128& low, __m128& high)
{
    const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    low = FourShorts(_mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16));
    high = FourShorts(_mm_srai_epi32(_mm_unpackhi_epi16(packed, packed), 16));
}

struct SseCopyShortMono
{
    using Input = ShortInput<1>;
    static constexpr bool kUseMap = false;
    static uint32_t Run(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first, uint32_t frames)
    {
        float* target = TargetOf<false>(out, r, 0, first);
        uint32_t j = 0;
        for (; j + 16 <= frames; j += 16)
        {
            __m128 a, b, c, d;
            EightShortsToFloats(input.base + j, a, b);
            EightShortsToFloats(input.base + j + 8, c, d);
            _mm_storeu_ps(target + j, a);
            _mm_storeu_ps(target + j + 4, b);
            _mm_storeu_ps(target + j + 8, c);
            _mm_storeu_ps(target + j + 12, d);
        }
        for (; j + 4 <= frames; j += 4)
        {
            const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(input.base + j));
            _mm_storeu_ps(target + j, FourShorts(_mm_srai_epi32(_mm_unpacklo_epi16(packed, packed), 16)));
        }
        return j;
    }
};

// As 32-bit words, a stereo frame holds L in its low half and R in its high half.
inline void FourStereoFrames(const int16_t* source, float* left, float* right)
{
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    _mm_storeu_ps(left, _mm_mul_ps(LowShorts(words), _mm_set1_ps(kShortScale)));
    _mm_storeu_ps(right, _mm_mul_ps(HighShorts(words), _mm_set1_ps(kShortScale)));
}

struct SseCopyShortStereo
{
    using Input = ShortInput<2>;
    static constexpr bool kUseMap = false;
    static uint32_t Run(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first, uint32_t frames)
    {
        float* left = TargetOf<false>(out, r, 0, first);
        float* right = TargetOf<false>(out, r, 1, first);
        uint32_t j = 0;
        for (; j + 16 <= frames; j += 16)
            for (uint32_t part = 0; part < 16; part += 4)
                FourStereoFrames(input.base + 2 * (j + part), left + j + part, right + j + part);
        for (; j + 4 <= frames; j += 4)
            FourStereoFrames(input.base + 2 * j, left + j, right + j);
        return j;
    }
};

struct SseCopyShortMany
{
    using Input = ShortInput<0>;
    static constexpr bool kUseMap = true;
    static uint32_t Run(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first, uint32_t frames)
    {
        const uint32_t n = input.channels;
        const uint32_t whole = frames / kSseWidth * kSseWidth;
        for (uint32_t c = 0; c < n; ++c)
        {
            float* target = TargetOf<true>(out, r, c, first);
            const int16_t* source = input.base + c;
            for (uint32_t j = 0; j < whole; j += kSseWidth, source += kSseWidth * n)
            {
                const __m128i samples = _mm_setr_epi16(0, source[0], 0, source[n], 0, source[2 * n], 0, source[3 * n]);
                _mm_storeu_ps(target + j, _mm_mul_ps(HighShorts(samples), _mm_set1_ps(kShortScale)));
            }
        }
        return whole;
    }
};
} // namespace

#include "ResamplerVectorKernels.h"

namespace ZkResamplerKernels
{
KernelTable MakeSseTable()
{
    KernelTable table = kScalarTable;
    table.cells[0] = CopyVector<SseCopyShortMono>;
    table.cells[1] = CopyVector<SseCopyShortStereo>;
    table.cells[2] = CopyVector<SseCopyShortMany>;
    const KernelFn fixedSteps[kColumns] = {
        InterpolateVector<SseShortMonoGroups>, InterpolateVector<SseShortStereoGroups>,
        InterpolateVector<SseShortManyGroups>, InterpolateVector<SseFloatGroups<1>>,
        InterpolateVector<SseFloatGroups<2>>,  InterpolateVector<SseFloatGroups<0>>};
    for (uint32_t column = 0; column < kColumns; ++column)
        table.cells[kColumns + column] = fixedSteps[column];
    return table;
}
} // namespace ZkResamplerKernels
