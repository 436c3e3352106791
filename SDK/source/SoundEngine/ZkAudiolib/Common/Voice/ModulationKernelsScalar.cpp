// Scalar reference of the modulation stage's kernels (see ModulationKernels.h): four samples per
// step, the gains of the four computed from their frame index.
#include "ZkAudiolib/Common/Voice/ModulationKernels.h"

#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace ZkModulationKernels
{
void ApplySignalScalar(float* samples, uint32_t frames, const float* modulation, float scale, float offset)
{
    for (uint32_t k = 0; k < frames; ++k)
        samples[k] *= scale * modulation[k] + offset;
}

void ApplyRampScalar(float* samples, uint32_t frames, float start, float step)
{
    uint32_t k = 0;
    for (; k + 4 <= frames; k += 4)
    {
        samples[k] *= start + static_cast<float>(k) * step;
        samples[k + 1] *= start + static_cast<float>(k + 1) * step;
        samples[k + 2] *= start + static_cast<float>(k + 2) * step;
        samples[k + 3] *= start + static_cast<float>(k + 3) * step;
    }
    for (; k < frames; ++k)
        samples[k] *= start + static_cast<float>(k) * step;
}

Forms Select()
{
    const ZK::ZkRuntimeEnvironmentMgr* environment = ZK::ZkRuntimeEnvironmentMgr::Instance();
    if (environment != nullptr && environment->CanUseAvx2Kernels())
        return Forms{ApplySignalAvx2, ApplyRampAvx2};
    return Forms{ApplySignalScalar, ApplyRampScalar};
}
} // namespace ZkModulationKernels
