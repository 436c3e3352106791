#include "Plugins/Sources/ZkSilenceSource/ZkFXSrcSilenceParams.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT CZkSrcSilenceParams::SetParam(uint16_t paramID, const void* value, uint32_t)
{
    if (value == nullptr)
        return ZK_InvalidParameter;
    float* target = nullptr;
    switch (paramID)
    {
    case Param_Duration: target = &durationSeconds; break;
    case Param_RandomMin: target = &randomMinSeconds; break;
    case Param_RandomMax: target = &randomMaxSeconds; break;
    default: return ZK_InvalidParameter;
    }
    std::memcpy(target, value, sizeof(float));
    return ZK_Success;
}

ZKRESULT CZkSrcSilenceParams::SetParamsBlock(const void* block, uint32_t size)
{
    if (block == nullptr || size < kBlockBytes)
        return ZK_InvalidFile;
    const auto* bytes = static_cast<const uint8_t*>(block);
    // Little-endian f32 in the bank; this engine runs on little-endian machines only.
    std::memcpy(&durationSeconds, bytes, sizeof(float));
    std::memcpy(&randomMinSeconds, bytes + 4, sizeof(float));
    std::memcpy(&randomMaxSeconds, bytes + 8, sizeof(float));
    return ZK_Success;
}
} // namespace ZK::SoundEngine
