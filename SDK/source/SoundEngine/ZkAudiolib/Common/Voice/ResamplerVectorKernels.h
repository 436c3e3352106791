// The vector forms of the resampler's fixed-step and copy kernels, written once over a lane policy
// (Lanes: kWidth output frames at a time, with the policy's conversion and interpolation). The SSE
// file instantiates them with four lanes, the AVX2 file with eight.
//
// Fixed step: an output group is computed W frames at a time whenever all W frames lie between
// two frames of the current block (phase >= 0x10000, the last lane's frame within the valid
// frames, room for W outputs); other frames go one at a time with the reference arithmetic. Lane
// arithmetic: (f x 2^-16 x (s(k) - s(k-1)) + s(k-1)), x 2^-15 for 16-bit input.
//
// In an unnamed namespace for the same reason as ResamplerKernelCore.h: each file compiles its own
// copy for its own instruction set. Include it after ResamplerKernelCore.h and the lane policy.
#pragma once

namespace
{
template <class Lanes, class Input, bool UseMap>
ZKRESULT InterpolateVector(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    constexpr uint32_t W = Lanes::kWidth;
    const Input input(in, r);
    const uint32_t valid = in->validFrames;
    const uint32_t budget = OutputBudget(r, framesWanted);
    const uint64_t step = static_cast<uint32_t>(r->currentStep);
    uint64_t phase = r->phase;
    uint32_t produced = 0;
    while (produced < budget && valid > 0 && (phase >> 16) <= valid - 1)
    {
        const bool wholeGroup = phase >= 0x10000 && produced + W <= budget && ((phase + (W - 1) * step) >> 16) <= valid - 1;
        if (!wholeGroup)
        {
            InterpolateFrame<Input, UseMap>(input, r, out, r->outputOffset + produced, phase);
            ++produced;
            phase += step;
            continue;
        }
        alignas(32) float fractions[W];
        uint32_t indices[W];
        for (uint32_t i = 0; i < W; ++i)
        {
            const uint64_t lanePhase = phase + i * step;
            indices[i] = static_cast<uint32_t>(lanePhase >> 16);
            fractions[i] = static_cast<float>(lanePhase & 0xFFFF);
        }
        for (uint32_t c = 0; c < input.channels; ++c)
        {
            alignas(32) float previous[W];
            alignas(32) float next[W];
            for (uint32_t i = 0; i < W; ++i)
            {
                previous[i] = static_cast<float>(input.Raw(c, indices[i] - 1));
                next[i] = static_cast<float>(input.Raw(c, indices[i]));
            }
            float* target = OutputChannel(out, UseMap ? r->channelMap[c] : c) + r->outputOffset + produced;
            Lanes::Interpolate(previous, next, fractions, Input::kIsShort ? kShortScale : 1.0f, target);
        }
        produced += W;
        phase += W * step;
    }
    return FinishCall(input, in, out, r, phase, produced, framesWanted);
}

// 16-bit mono copy: contiguous conversion, W frames per vector.
template <class Lanes>
ZKRESULT CopyShortMonoVector(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    const ShortInput<1> input(in, r);
    const uint32_t frames = std::min<uint32_t>(OutputBudget(r, framesWanted), in->validFrames);
    float* target = OutputChannel(out, 0) + r->outputOffset;
    uint32_t j = 0;
    for (; j + Lanes::kCopyWidth <= frames; j += Lanes::kCopyWidth)
        Lanes::ShortsToFloats(input.base + j, target + j);
    for (; j < frames; ++j)
        target[j] = input.Sample(0, j);
    return FinishCopy(input, in, out, r, frames, framesWanted);
}

// 16-bit stereo copy: de-interleave and convert.
template <class Lanes>
ZKRESULT CopyShortStereoVector(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    const ShortInput<2> input(in, r);
    const uint32_t frames = std::min<uint32_t>(OutputBudget(r, framesWanted), in->validFrames);
    float* left = OutputChannel(out, 0) + r->outputOffset;
    float* right = OutputChannel(out, 1) + r->outputOffset;
    uint32_t j = 0;
    for (; j + Lanes::kCopyWidth <= frames; j += Lanes::kCopyWidth)
        Lanes::DeinterleaveStereoShorts(input.base + 2 * j, left + j, right + j);
    for (; j < frames; ++j)
    {
        left[j] = input.Sample(0, j);
        right[j] = input.Sample(1, j);
    }
    return FinishCopy(input, in, out, r, frames, framesWanted);
}

// 16-bit N-channel copy through the map: each channel gathered W frames at a time.
template <class Lanes>
ZKRESULT CopyShortManyVector(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    constexpr uint32_t W = Lanes::kWidth;
    const ShortInput<0> input(in, r);
    const uint32_t frames = std::min<uint32_t>(OutputBudget(r, framesWanted), in->validFrames);
    for (uint32_t c = 0; c < input.channels; ++c)
    {
        float* target = OutputChannel(out, r->channelMap[c]) + r->outputOffset;
        uint32_t j = 0;
        for (; j + W <= frames; j += W)
        {
            alignas(32) float gathered[W];
            for (uint32_t i = 0; i < W; ++i)
                gathered[i] = static_cast<float>(input.Raw(c, j + i));
            Lanes::Scale(gathered, kShortScale, target + j);
        }
        for (; j < frames; ++j)
            target[j] = input.Sample(c, j);
    }
    return FinishCopy(input, in, out, r, frames, framesWanted);
}

template <class Lanes>
constexpr ZkResamplerKernels::KernelFn kVectorCopyCells[3] = {CopyShortMonoVector<Lanes>, CopyShortStereoVector<Lanes>,
                                                             CopyShortManyVector<Lanes>};

template <class Lanes>
constexpr ZkResamplerKernels::KernelFn kVectorFixedStepCells[6] = {
    InterpolateVector<Lanes, ShortInput<1>, false>, InterpolateVector<Lanes, ShortInput<2>, false>,
    InterpolateVector<Lanes, ShortInput<0>, true>,  InterpolateVector<Lanes, FloatInput<1>, false>,
    InterpolateVector<Lanes, FloatInput<2>, false>, InterpolateVector<Lanes, FloatInput<0>, false>};
} // namespace
