// Compiled with -O2 -fno-tree-vectorize (bench/CMakeLists.txt).
#include "BusMixPeerScalar.h"

namespace BusMixPeer
{
void MixMonoInputsIntoStereo(const float* const* inputs, uint32_t inputCount, const float* gains, const float* steps,
                             float* left, float* right, uint32_t frames)
{
    for (uint32_t i = 0; i < inputCount; ++i)
    {
        const float* in = inputs[i];
        for (uint32_t k = 0; k < frames; ++k)
        {
            left[k] += in[k] * (gains[2 * i] + static_cast<float>(k) * steps[2 * i]);
            right[k] += in[k] * (gains[2 * i + 1] + static_cast<float>(k) * steps[2 * i + 1]);
        }
    }
}
} // namespace BusMixPeer
