#include "ZkAudiolib/Common/Hierarchy/CZkNodeLimiter.h"

#include <cmath>

namespace ZK::SoundEngine
{
uint16_t CZkNodeLimiter::MaxFromValue(float value)
{
    if (!(value > 0.0f))
        return 0;
    return value >= 65535.0f ? uint16_t{0xFFFF} : static_cast<uint16_t>(std::lround(value));
}

void CZkNodeLimiter::OnParamValue(uint32_t bit, uint32_t, ZkUniqueID, float value, float)
{
    if (bit == kMaxInstancesParam)
        SetMaxCount(MaxFromValue(value));
}
} // namespace ZK::SoundEngine
