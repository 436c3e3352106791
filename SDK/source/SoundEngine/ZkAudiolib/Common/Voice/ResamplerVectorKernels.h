// The drivers of the resampler's vector kernels: they split a kernel call into the frames that need
// the reference arithmetic (before frame 0, and near the end of the block) and a run of whole groups
// of output frames, which a group body computes with vector instructions. The SSE and AVX2 files
// supply the bodies; the drivers themselves are baseline code.
//
// Fixed step, one call:
// - head: frames whose phase is below 0x10000 read the history sample, one at a time;
// - body: every group of kWidth frames (W) whose reads stay within the block's valid frames, all
//   in one call of Body::Run; how far past lane 0's frame a group reads is Body::Reach(step), in
//   phase units (a group starting at phase p reads frames up to (p + reach) >> 16);
// - tail: the frames left before the output budget or the input runs out, one at a time.
// Lane arithmetic of a body: (f x 2^-16 x (s(k) - s(k-1)) + s(k-1)), x 2^-15 for 16-bit input.
//
// A group body is a struct with: `Input` (the input policy of ResamplerKernelCore.h), `kUseMap`
// (output channel through the map), `kWidth`, `Reach(step)` and
// `Run(input, resampler, out, firstFrame, phase, step, groups)`, which writes groups x kWidth frames
// per channel from output frame firstFrame on, the first group's lane 0 at `phase`.
//
// A copy body is a struct with `Input`, `kUseMap` and `Run(input, resampler, out, firstFrame, frames)`, which
// converts a leading part of the frames and answers how many; the driver converts the rest.
//
// In an unnamed namespace for the same reason as ResamplerKernelCore.h: each file compiles its own
// copy. Include it after ResamplerKernelCore.h and the bodies.
#pragma once

namespace
{
template <class Body>
ZKRESULT InterpolateVector(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    using Input = typename Body::Input;
    constexpr bool kUseMap = Body::kUseMap;
    constexpr uint32_t W = Body::kWidth;
    const Input input(in, r);
    const uint32_t valid = in->validFrames;
    const uint32_t budget = OutputBudget(r, framesWanted);
    const uint32_t step = static_cast<uint32_t>(r->currentStep);
    uint64_t phase = r->phase;
    uint32_t produced = 0;
    if (valid == 0)
        return FinishCall(input, in, out, r, phase, produced, framesWanted);

    while (produced < budget && phase < 0x10000)
    {
        InterpolateFrame<Input, kUseMap>(input, r, out, r->outputOffset + produced, phase);
        ++produced;
        phase += step;
    }

    // The highest phase whose frame is valid; every phase a group reads stays at or below it, so
    // the lanes' phases also fit in 32 bits.
    const uint64_t lastPosition = (static_cast<uint64_t>(valid) << 16) - 1;
    const uint64_t reach = Body::Reach(step);
    if (produced < budget && reach <= lastPosition && phase <= lastPosition - reach)
    {
        const uint64_t groupAdvance = static_cast<uint64_t>(W) * step;
        const uint64_t groupsInInput = (lastPosition - reach - phase) / groupAdvance + 1;
        const uint32_t groups = static_cast<uint32_t>(std::min<uint64_t>(groupsInInput, (budget - produced) / W));
        if (groups > 0)
        {
            Body::Run(input, r, out, r->outputOffset + produced, static_cast<uint32_t>(phase), step, groups);
            produced += groups * W;
            phase += groups * groupAdvance;
        }
    }

    while (produced < budget && (phase >> 16) <= valid - 1)
    {
        InterpolateFrame<Input, kUseMap>(input, r, out, r->outputOffset + produced, phase);
        ++produced;
        phase += step;
    }
    return FinishCall(input, in, out, r, phase, produced, framesWanted);
}

template <class Body>
ZKRESULT CopyVector(ZkAudioBuffer* in, ZkAudioBuffer* out, uint32_t framesWanted, CZkResampler* r)
{
    using Input = typename Body::Input;
    const Input input(in, r);
    const uint32_t frames = std::min<uint32_t>(OutputBudget(r, framesWanted), in->validFrames);
    const uint32_t done = Body::Run(input, r, out, r->outputOffset, frames);
    for (uint32_t c = 0; c < input.channels; ++c)
    {
        float* target = TargetOf<Body::kUseMap>(out, r, c, r->outputOffset);
        for (uint32_t j = done; j < frames; ++j)
            target[j] = input.Sample(c, j);
    }
    return FinishCopy(input, in, out, r, frames, framesWanted);
}
} // namespace
