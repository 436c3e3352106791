// The plain loop the bus mix is compared with: mono inputs ramped into a stereo mix, one gain ramp
// per input and output channel. Compiled with vectorisation switched off (bench/CMakeLists.txt).
#pragma once

#include <cstdint>

namespace BusMixPeer
{
// out[c][k] += in_i[k] x (gains[i][c] + k x steps[i][c]) for every input i and channel c of 2.
void MixMonoInputsIntoStereo(const float* const* inputs, uint32_t inputCount, const float* gains, const float* steps,
                             float* left, float* right, uint32_t frames);
} // namespace BusMixPeer
