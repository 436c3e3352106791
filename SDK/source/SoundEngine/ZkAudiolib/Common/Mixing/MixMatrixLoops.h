// The channel loops shared by every form of the matrix mixing kernels: which input channel goes to
// which output channel with which gain ramp. The form supplies its MixChannel loop and how it
// computes the ramp's step (the AVX2 form uses a fused multiply-add).
//
// Volume matrices: one row per input channel and one column per output channel, both in pipeline
// order (LFE last), row stride MatrixRowStride(output channels).
#pragma once

#include "MixKernels.h"

namespace ZkMixKernels
{
struct PlainRampStep
{
    static float Step(float nextVolume, float nextBase, float gain, float oneOverFrames)
    {
        return (nextVolume * nextBase - gain) * oneOverFrames;
    }
};

template <MixChannelFn MixChannel, class RampStep>
inline void MixNinNLoop(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base, const float* previousMatrix,
                        const float* nextMatrix, float oneOverFrames, uint16_t frames)
{
    const ZkChannelConfig inConfig = in->channelConfig;
    const ZkChannelConfig outConfig = out->channelConfig;
    const uint32_t inputs = inConfig.NumNonLfeChannels();
    const uint32_t outputs = outConfig.NumNonLfeChannels();
    const uint32_t outChannels = outConfig.NumChannels();
    const uint32_t stride = MatrixRowStride(outChannels);

    for (uint32_t row = 0; row < inputs; ++row)
    {
        const float* source = in->GetChannel(row);
        for (uint32_t column = 0; column < outputs; ++column)
        {
            const uint32_t index = row * stride + column;
            const float gain = previousMatrix[index] * base.previous;
            const float step = RampStep::Step(nextMatrix[index], base.next, gain, oneOverFrames);
            MixChannel(source, out->GetChannel(column), gain, step, frames);
        }
    }
    // The LFE goes to the LFE only; an input LFE is dropped when the output has none.
    if (inConfig.HasLfe() && outConfig.HasLfe())
    {
        const uint32_t index = inputs * stride + (outChannels - 1);
        const float gain = previousMatrix[index] * base.previous;
        const float step = RampStep::Step(nextMatrix[index], base.next, gain, oneOverFrames);
        MixChannel(in->GetChannel(inConfig.NumChannels() - 1), out->GetChannel(outChannels - 1), gain, step, frames);
    }
    out->validFrames = frames;
}

template <MixChannelFn MixChannel, class RampStep>
inline void MixOneInNLoop(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                          const float* previousVolumes, const float* nextVolumes, float oneOverFrames,
                          uint16_t frames)
{
    // The channel count comes from config, not from the output buffer; valid frames stay as they are.
    const uint32_t channels = config.NumChannels();
    for (uint32_t channel = 0; channel < channels; ++channel)
    {
        const float gain = previousVolumes[channel] * base.previous;
        const float step = RampStep::Step(nextVolumes[channel], base.next, gain, oneOverFrames);
        MixChannel(in, out->GetChannel(channel), gain, step, frames);
    }
}
} // namespace ZkMixKernels
