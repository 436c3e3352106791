// The channel order and weighting of a captured ambisonic mix: the engine mixes ambisonics in ACN
// order with SN3D weights, while capture files carry the FuMa order and weights. Input channel i
// goes to output channel m(i) with gain 0.70710677 / w(i).
//
// The tables cover up to third order (16 channels). A mix of higher order, or a mixed-order layout
// whose FuMa positions lie beyond its own channel count, has no conversion here and is captured as
// it is.
//
// Threading and ownership: pure functions over the caller's matrix.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine::ZkFumaConversion
{
constexpr uint32_t kMaxChannels = 16;

bool CanConvert(uint32_t channels);
// The N-in-N mixing matrix (one row per input channel, channels rounded up to 4 floats per row).
void BuildMatrix(uint32_t channels, float* matrix);
} // namespace ZK::SoundEngine::ZkFumaConversion
