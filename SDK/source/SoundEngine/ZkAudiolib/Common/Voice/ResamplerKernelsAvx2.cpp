// AVX2 forms of the resampler's copy and fixed-step kernels: eight output frames per group, fused
// multiply-add for the interpolation. The gliding cells and the float copy keep their baseline
// forms.
//
// Fixed step: the lanes' phases are one vector (phase + i x step), their frame indices and
// fractions come from it by shifts and masks. Where the step is at most 2.0, the eight lanes of a
// group read from 16 consecutive input frames starting at lane 0's previous frame: two unaligned
// loads fetch that window and a variable permute per half plus a blend pick each lane's samples
// (16-bit stereo frames move as 32-bit words; 16-bit mono moves as 32-bit (previous, next) pairs
// built by interleaving the window with itself one sample on). Faster steps, and 16-bit input of
// more than two channels at any step, read with gathers.
//
// Only the functions marked ZK_TARGET_AVX2 use AVX2 and FMA; the drivers and the shared headers
// stay baseline code (see ZkSimdTarget.h).
#include "ResamplerKernelCore.h"
#include "ZkResamplerKernels.h"

#include "../Mixing/ZkSimdTarget.h"

#include <immintrin.h>

namespace
{
constexpr uint32_t kAvx2Width = 8;
// Up to this step the eight lanes' frames k-1 and k lie within 16 frames from lane 0's frame k-1:
// lane 7's frame is at most (0xFFFF + 7 x 0x20000) >> 16 = 14 frames after lane 0's.
constexpr uint32_t kWindowMaxStep = 0x20000;
// Frames past lane 0's frame that a window of 16 frames (from frame k-1) reads, in phase units.
constexpr uint64_t kFrameWindowReach = 14ull << 16;
// The 16-bit mono window also reads the sample after it (for the pairs).
constexpr uint64_t kPairWindowReach = 15ull << 16;

ZK_TARGET_AVX2 inline __m256i LaneOffsets(uint32_t step)
{
    return _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(static_cast<int32_t>(step)));
}

ZK_TARGET_AVX2 inline __m256i LanePhases(uint32_t phase, __m256i offsets)
{
    return _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(phase)), offsets);
}

ZK_TARGET_AVX2 inline __m256 Fractions(__m256i lanePhases)
{
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_and_si256(lanePhases, _mm256_set1_epi32(0xFFFF))),
                         _mm256_set1_ps(kPhaseScale));
}

ZK_TARGET_AVX2 inline __m256i FrameIndices(__m256i lanePhases)
{
    return _mm256_srli_epi32(lanePhases, 16);
}

ZK_TARGET_AVX2 inline __m256 Lerp(__m256 previous, __m256 next, __m256 fractions)
{
    return _mm256_fmadd_ps(fractions, _mm256_sub_ps(next, previous), previous);
}

ZK_TARGET_AVX2 inline __m256 LowShorts(__m256i lanes)
{
    return _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(lanes, 16), 16));
}

ZK_TARGET_AVX2 inline __m256 HighShorts(__m256i lanes)
{
    return _mm256_cvtepi32_ps(_mm256_srai_epi32(lanes, 16));
}

// Element `index` (0 to 15) of the 16-element window (low, high), per lane.
struct WindowIndex
{
    __m256i index;
    __m256 fromHigh; // sign bit set where index >= 8 (bit 3 moved to bit 31)
};

ZK_TARGET_AVX2 inline WindowIndex MakeWindowIndex(__m256i index)
{
    return {index, _mm256_castsi256_ps(_mm256_slli_epi32(index, 28))};
}

ZK_TARGET_AVX2 inline __m256 Pick(__m256 low, __m256 high, const WindowIndex& w)
{
    return _mm256_blendv_ps(_mm256_permutevar8x32_ps(low, w.index), _mm256_permutevar8x32_ps(high, w.index), w.fromHigh);
}

ZK_TARGET_AVX2 inline __m256i Pick(__m256i low, __m256i high, const WindowIndex& w)
{
    return _mm256_castps_si256(Pick(_mm256_castsi256_ps(low), _mm256_castsi256_ps(high), w));
}

template <class InputType, bool UseMap, uint64_t WindowReach>
struct Avx2GroupBase
{
    using Input = InputType;
    static constexpr bool kUseMap = UseMap;
    static constexpr uint32_t kWidth = kAvx2Width;
    // A window reads a fixed span; gathers read each lane's own frames.
    static uint64_t Reach(uint32_t step)
    {
        return step <= kWindowMaxStep ? WindowReach : static_cast<uint64_t>(kWidth - 1) * step;
    }
};

// Float planar input, channel i to channel i.
template <uint32_t Channels>
struct Avx2FloatGroups : Avx2GroupBase<FloatInput<Channels>, false, kFrameWindowReach>
{
    ZK_TARGET_AVX2 static void Run(const FloatInput<Channels>& input, const CZkResampler* r, ZkAudioBuffer* out,
                                   uint32_t first, uint32_t phase, uint32_t step, uint32_t groups)
    {
        const __m256i offsets = LaneOffsets(step);
        const __m256i one = _mm256_set1_epi32(1);
        const uint32_t channels = input.channels;
        if (step <= kWindowMaxStep)
        {
            for (uint32_t g = 0; g < groups; ++g, phase += kAvx2Width * step, first += kAvx2Width)
            {
                const __m256i lanes = LanePhases(phase, offsets);
                const uint32_t k0 = phase >> 16;
                // Window element e is frame k0 - 1 + e: a lane's frame k-1 is element k - k0.
                const __m256i relative = _mm256_sub_epi32(FrameIndices(lanes), _mm256_set1_epi32(static_cast<int32_t>(k0)));
                const WindowIndex previousAt = MakeWindowIndex(relative);
                const WindowIndex nextAt = MakeWindowIndex(_mm256_add_epi32(relative, one));
                const __m256 fractions = Fractions(lanes);
                for (uint32_t c = 0; c < channels; ++c)
                {
                    const float* window = input.base + static_cast<size_t>(c) * input.stride + k0 - 1;
                    const __m256 low = _mm256_loadu_ps(window);
                    const __m256 high = _mm256_loadu_ps(window + 8);
                    _mm256_storeu_ps(TargetOf<false>(out, r, c, first),
                                     Lerp(Pick(low, high, previousAt), Pick(low, high, nextAt), fractions));
                }
            }
            return;
        }
        for (uint32_t g = 0; g < groups; ++g, phase += kAvx2Width * step, first += kAvx2Width)
        {
            const __m256i lanes = LanePhases(phase, offsets);
            const __m256i next = FrameIndices(lanes);
            const __m256i previous = _mm256_sub_epi32(next, one);
            const __m256 fractions = Fractions(lanes);
            for (uint32_t c = 0; c < channels; ++c)
            {
                const float* row = input.base + static_cast<size_t>(c) * input.stride;
                _mm256_storeu_ps(TargetOf<false>(out, r, c, first),
                                 Lerp(_mm256_i32gather_ps(row, previous, 4), _mm256_i32gather_ps(row, next, 4), fractions));
            }
        }
    }
};

struct Avx2ShortMonoGroups : Avx2GroupBase<ShortInput<1>, false, kPairWindowReach>
{
    ZK_TARGET_AVX2 static void Run(const ShortInput<1>& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                                   uint32_t phase, uint32_t step, uint32_t groups)
    {
        const __m256i offsets = LaneOffsets(step);
        const __m256 scale = _mm256_set1_ps(kShortScale);
        float* target = TargetOf<false>(out, r, 0, first);
        if (step <= kWindowMaxStep)
        {
            for (uint32_t g = 0; g < groups; ++g, phase += kAvx2Width * step, target += kAvx2Width)
            {
                const __m256i lanes = LanePhases(phase, offsets);
                const uint32_t k0 = phase >> 16;
                // Pair e = (s(k0 - 1 + e), s(k0 + e)) in one 32-bit word: the window interleaved
                // with itself one sample on. A lane's pair is e = k - k0.
                const int16_t* window = input.base + k0 - 1;
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + 1));
                const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + 8));
                const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(window + 9));
                const __m256i low = _mm256_set_m128i(_mm_unpackhi_epi16(a, b), _mm_unpacklo_epi16(a, b));
                const __m256i high = _mm256_set_m128i(_mm_unpackhi_epi16(c, d), _mm_unpacklo_epi16(c, d));
                const __m256i relative = _mm256_sub_epi32(FrameIndices(lanes), _mm256_set1_epi32(static_cast<int32_t>(k0)));
                const __m256i pairs = Pick(low, high, MakeWindowIndex(relative));
                _mm256_storeu_ps(target, _mm256_mul_ps(Lerp(LowShorts(pairs), HighShorts(pairs), Fractions(lanes)), scale));
            }
            return;
        }
        const int* samples = reinterpret_cast<const int*>(input.base);
        for (uint32_t g = 0; g < groups; ++g, phase += kAvx2Width * step, target += kAvx2Width)
        {
            const __m256i lanes = LanePhases(phase, offsets);
            // 32 bits from sample k-1: (s(k-1), s(k)).
            const __m256i previous = _mm256_sub_epi32(FrameIndices(lanes), _mm256_set1_epi32(1));
            const __m256i pairs = _mm256_i32gather_epi32(samples, previous, 2);
            _mm256_storeu_ps(target, _mm256_mul_ps(Lerp(LowShorts(pairs), HighShorts(pairs), Fractions(lanes)), scale));
        }
    }
};

struct Avx2ShortStereoGroups : Avx2GroupBase<ShortInput<2>, false, kFrameWindowReach>
{
    ZK_TARGET_AVX2 static void Run(const ShortInput<2>& input, const CZkResampler* r, ZkAudioBuffer* out,
                                   uint32_t first, uint32_t phase, uint32_t step, uint32_t groups)
    {
        const __m256i offsets = LaneOffsets(step);
        const __m256i one = _mm256_set1_epi32(1);
        const __m256 scale = _mm256_set1_ps(kShortScale);
        float* left = TargetOf<false>(out, r, 0, first);
        float* right = TargetOf<false>(out, r, 1, first);
        // A stereo frame is one 32-bit word: L in the low half, R in the high half.
        for (uint32_t g = 0; g < groups; ++g, phase += kAvx2Width * step, left += kAvx2Width, right += kAvx2Width)
        {
            const __m256i lanes = LanePhases(phase, offsets);
            __m256i previous;
            __m256i next;
            if (step <= kWindowMaxStep)
            {
                const uint32_t k0 = phase >> 16;
                const int16_t* window = input.base + 2 * static_cast<size_t>(k0 - 1);
                const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window));
                const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(window + 16));
                const __m256i relative = _mm256_sub_epi32(FrameIndices(lanes), _mm256_set1_epi32(static_cast<int32_t>(k0)));
                previous = Pick(low, high, MakeWindowIndex(relative));
                next = Pick(low, high, MakeWindowIndex(_mm256_add_epi32(relative, one)));
            }
            else
            {
                const int* frames = reinterpret_cast<const int*>(input.base);
                const __m256i k = FrameIndices(lanes);
                previous = _mm256_i32gather_epi32(frames, _mm256_sub_epi32(k, one), 4);
                next = _mm256_i32gather_epi32(frames, k, 4);
            }
            const __m256 fractions = Fractions(lanes);
            _mm256_storeu_ps(left, _mm256_mul_ps(Lerp(LowShorts(previous), LowShorts(next), fractions), scale));
            _mm256_storeu_ps(right, _mm256_mul_ps(Lerp(HighShorts(previous), HighShorts(next), fractions), scale));
        }
    }
};

// 16-bit interleaved N channels (N >= 3), through the map: gathers of 32-bit words. Channel 0 is the
// low half of the word at its own sample, channel c >= 1 the high half of the word one sample
// before, so no word reaches past the frame it reads.
struct Avx2ShortManyGroups : Avx2GroupBase<ShortInput<0>, true, 0>
{
    static uint64_t Reach(uint32_t step) { return static_cast<uint64_t>(kWidth - 1) * step; }

    ZK_TARGET_AVX2 static void Run(const ShortInput<0>& input, const CZkResampler* r, ZkAudioBuffer* out,
                                   uint32_t first, uint32_t phase, uint32_t step, uint32_t groups)
    {
        const uint32_t n = input.channels;
        const __m256i offsets = LaneOffsets(step);
        const __m256i frameSize = _mm256_set1_epi32(static_cast<int32_t>(n));
        const __m256 scale = _mm256_set1_ps(kShortScale);
        const int* words = reinterpret_cast<const int*>(input.base);
        for (uint32_t g = 0; g < groups; ++g, phase += kAvx2Width * step, first += kAvx2Width)
        {
            const __m256i lanes = LanePhases(phase, offsets);
            const __m256i next = _mm256_mullo_epi32(FrameIndices(lanes), frameSize); // sample 0 of frame k
            const __m256i previous = _mm256_sub_epi32(next, frameSize);
            const __m256 fractions = Fractions(lanes);
            const __m256i previous0 = _mm256_i32gather_epi32(words, previous, 2);
            const __m256i next0 = _mm256_i32gather_epi32(words, next, 2);
            _mm256_storeu_ps(TargetOf<true>(out, r, 0, first),
                             _mm256_mul_ps(Lerp(LowShorts(previous0), LowShorts(next0), fractions), scale));
            for (uint32_t c = 1; c < n; ++c)
            {
                const __m256i before = _mm256_set1_epi32(static_cast<int32_t>(c - 1));
                const __m256i previousWords = _mm256_i32gather_epi32(words, _mm256_add_epi32(previous, before), 2);
                const __m256i nextWords = _mm256_i32gather_epi32(words, _mm256_add_epi32(next, before), 2);
                _mm256_storeu_ps(TargetOf<true>(out, r, c, first),
                                 _mm256_mul_ps(Lerp(HighShorts(previousWords), HighShorts(nextWords), fractions), scale));
            }
        }
    }
};

ZK_TARGET_AVX2 inline __m256 EightShorts(const int16_t* source)
{
    const __m128i packed = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(packed)), _mm256_set1_ps(kShortScale));
}

struct Avx2CopyShortMono
{
    using Input = ShortInput<1>;
    static constexpr bool kUseMap = false;
    ZK_TARGET_AVX2 static uint32_t Run(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                                       uint32_t frames)
    {
        float* target = TargetOf<false>(out, r, 0, first);
        uint32_t j = 0;
        for (; j + 32 <= frames; j += 32)
            for (uint32_t part = 0; part < 32; part += 8)
                _mm256_storeu_ps(target + j + part, EightShorts(input.base + j + part));
        for (; j + 8 <= frames; j += 8)
            _mm256_storeu_ps(target + j, EightShorts(input.base + j));
        return j;
    }
};

// Eight stereo frames as 32-bit words: L in the low half, R in the high half.
ZK_TARGET_AVX2 inline void EightStereoFrames(const int16_t* source, float* left, float* right)
{
    const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
    _mm256_storeu_ps(left, _mm256_mul_ps(LowShorts(words), _mm256_set1_ps(kShortScale)));
    _mm256_storeu_ps(right, _mm256_mul_ps(HighShorts(words), _mm256_set1_ps(kShortScale)));
}

struct Avx2CopyShortStereo
{
    using Input = ShortInput<2>;
    static constexpr bool kUseMap = false;
    ZK_TARGET_AVX2 static uint32_t Run(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                                       uint32_t frames)
    {
        float* left = TargetOf<false>(out, r, 0, first);
        float* right = TargetOf<false>(out, r, 1, first);
        uint32_t j = 0;
        for (; j + 32 <= frames; j += 32)
            for (uint32_t part = 0; part < 32; part += 8)
                EightStereoFrames(input.base + 2 * (j + part), left + j + part, right + j + part);
        for (; j + 8 <= frames; j += 8)
            EightStereoFrames(input.base + 2 * j, left + j, right + j);
        return j;
    }
};

struct Avx2CopyShortMany
{
    using Input = ShortInput<0>;
    static constexpr bool kUseMap = true;
    ZK_TARGET_AVX2 static uint32_t Run(const Input& input, const CZkResampler* r, ZkAudioBuffer* out, uint32_t first,
                                       uint32_t frames)
    {
        const uint32_t n = input.channels;
        const uint32_t whole = frames / kAvx2Width * kAvx2Width;
        const __m256 scale = _mm256_set1_ps(kShortScale);
        const __m256i frameStarts = LaneOffsets(n); // sample 0 of frames 0 to 7
        const int* words = reinterpret_cast<const int*>(input.base);
        // As in Avx2ShortManyGroups: channel 0 is the low half of the word at its sample, channel
        // c >= 1 the high half of the word one sample before.
        for (uint32_t c = 0; c < n; ++c)
        {
            float* target = TargetOf<true>(out, r, c, first);
            const __m256i at = _mm256_add_epi32(frameStarts, _mm256_set1_epi32(static_cast<int32_t>(c == 0 ? 0 : c - 1)));
            for (uint32_t j = 0; j < whole; j += kAvx2Width)
            {
                const __m256i gathered = _mm256_i32gather_epi32(words, _mm256_add_epi32(at, _mm256_set1_epi32(static_cast<int32_t>(j * n))), 2);
                _mm256_storeu_ps(target + j, _mm256_mul_ps(c == 0 ? LowShorts(gathered) : HighShorts(gathered), scale));
            }
        }
        return whole;
    }
};
} // namespace

#include "ResamplerVectorKernels.h"

namespace ZkResamplerKernels
{
KernelTable MakeAvx2Table()
{
    KernelTable table = MakeSseTable();
    table.cells[0] = CopyVector<Avx2CopyShortMono>;
    table.cells[1] = CopyVector<Avx2CopyShortStereo>;
    table.cells[2] = CopyVector<Avx2CopyShortMany>;
    const KernelFn fixedSteps[kColumns] = {
        InterpolateVector<Avx2ShortMonoGroups>, InterpolateVector<Avx2ShortStereoGroups>,
        InterpolateVector<Avx2ShortManyGroups>, InterpolateVector<Avx2FloatGroups<1>>,
        InterpolateVector<Avx2FloatGroups<2>>,  InterpolateVector<Avx2FloatGroups<0>>};
    for (uint32_t column = 0; column < kColumns; ++column)
        table.cells[kColumns + column] = fixedSteps[column];
    return table;
}
} // namespace ZkResamplerKernels
