// Scalar reference of the mixer kernels: one frame at a time, the gain of frame k computed as
// gain + k x step. This is what the SSE and AVX2 forms compute, up to float rounding.
#include "MixKernels.h"
#include "MixMatrixLoops.h"

#include <cmath>

namespace ZkMixKernels
{
void MixChannelScalar(const float* in, float* out, float gain, float step, uint32_t frames)
{
    if (std::fabs(step) >= kMinAudibleGain)
    {
        for (uint32_t k = 0; k < frames; ++k)
            out[k] += in[k] * (gain + static_cast<float>(k) * step);
    }
    else if (std::fabs(gain) >= kMinAudibleGain)
    {
        for (uint32_t k = 0; k < frames; ++k)
            out[k] += in[k] * gain;
    }
    // Silent: the output is left untouched (not multiplied by zero).
}

void MixNinNScalar(const ZkAudioBuffer* in, ZkAudioBuffer* out, const ZkRamp& base, const float* previousMatrix,
                   const float* nextMatrix, float oneOverFrames, uint16_t frames)
{
    MixNinNLoop<MixChannelScalar, PlainRampStep>(in, out, base, previousMatrix, nextMatrix, oneOverFrames, frames);
}

void MixOneInNScalar(const float* in, ZkAudioBuffer* out, ZkChannelConfig config, const ZkRamp& base,
                     const float* previousVolumes, const float* nextVolumes, float oneOverFrames, uint16_t frames)
{
    MixOneInNLoop<MixChannelScalar, PlainRampStep>(in, out, config, base, previousVolumes, nextVolumes,
                                                   oneOverFrames, frames);
}
} // namespace ZkMixKernels
