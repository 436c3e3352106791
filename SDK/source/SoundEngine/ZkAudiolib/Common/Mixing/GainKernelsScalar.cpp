// Scalar reference of the gain and interleave kernels (see GainKernels.h).
#include "GainKernels.h"

#include <cmath>

namespace ZkGainKernels
{
LayoutClass LayoutClassOf(ZkChannelConfig config)
{
    switch (config.Mask())
    {
    case ZK_SPEAKER_SETUP_MONO: return LayoutClass_Mono;
    case ZK_SPEAKER_SETUP_STEREO: return LayoutClass_Stereo;
    case ZK_SPEAKER_SETUP_5POINT1: return LayoutClass_5Point1;
    case ZK_SPEAKER_SETUP_7POINT1: return LayoutClass_7Point1;
    default: return LayoutClass_General;
    }
}

int16_t ToShortSaturated(float scaled)
{
    // fmax/fmin send NaN to the lower bound, as the SSE max/min pair does.
    const float clamped = std::fmin(std::fmax(scaled, -32768.0f), 32767.0f);
    return static_cast<int16_t>(static_cast<int32_t>(clamped));
}

void ApplyGainScalar(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, bool toShort)
{
    const uint32_t frames = in->maxFrames;
    const uint32_t channels = out->NumChannels();
    const float* source = static_cast<const float*>(in->data);
    if (!toShort)
    {
        float* target = static_cast<float*>(out->data);
        const float step = (gain.next - gain.previous) / static_cast<float>(frames);
        for (uint32_t channel = 0; channel < channels; ++channel)
        {
            float g = gain.previous;
            const size_t base = static_cast<size_t>(channel) * frames;
            for (uint32_t k = 0; k < frames; ++k)
            {
                target[base + k] = source[base + k] * (gain.IsConstant() ? gain.previous : g);
                g += step;
            }
        }
        return;
    }
    int16_t* target = static_cast<int16_t*>(out->data);
    const float previous = gain.previous * kShortScale;
    if (gain.IsConstant())
    {
        // One run over the whole block of channels x F samples.
        const size_t samples = static_cast<size_t>(channels) * frames;
        for (size_t i = 0; i < samples; ++i)
            target[i] = ToShortSaturated(source[i] * previous);
        return;
    }
    const float step = (gain.next * kShortScale - previous) / static_cast<float>(frames);
    for (uint32_t channel = 0; channel < channels; ++channel)
    {
        float g = previous;
        const size_t base = static_cast<size_t>(channel) * frames;
        for (uint32_t k = 0; k < frames; ++k)
        {
            target[base + k] = ToShortSaturated(source[base + k] * g);
            g += step;
        }
    }
}

namespace
{
template <class Sample, class Write>
void InterleaveGeneral(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain, Write write)
{
    const uint32_t frames = in->maxFrames;
    const ZkChannelConfig config = in->channelConfig;
    const uint32_t inChannels = config.NumChannels();
    const uint32_t outChannels = out->NumChannels();
    const float* source = static_cast<const float*>(in->data);
    Sample* target = static_cast<Sample*>(out->data);

    uint32_t offsets[256];
    for (uint32_t p = 0; p < inChannels; ++p)
        offsets[p] = config.InterleavedToPipeline(p) * frames;

    const float step = (gain.next - gain.previous) / static_cast<float>(frames);
    float g = gain.previous;
    for (uint32_t k = 0; k < frames; ++k)
    {
        const float frameGain = gain.IsConstant() ? gain.previous : g;
        for (uint32_t p = 0; p < inChannels; ++p)
            *target++ = write(frameGain * source[offsets[p] + k]);
        for (uint32_t p = inChannels; p < outChannels; ++p)
            *target++ = Sample(0);
        g += step;
    }
}
} // namespace

void InterleaveGeneralFloat(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    InterleaveGeneral<float>(in, out, gain, [](float value) { return value; });
}

void InterleaveGeneralShort(const ZkAudioBuffer* in, ZkAudioBuffer* out, ZkRamp gain)
{
    InterleaveGeneral<int16_t>(in, out, gain, [](float value) { return ToShortSaturated(value * kShortScale); });
}

} // namespace ZkGainKernels
