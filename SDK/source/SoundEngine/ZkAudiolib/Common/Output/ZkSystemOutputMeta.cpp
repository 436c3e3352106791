#include "ZkAudiolib/Common/Output/ZkSystemOutputMeta.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkSystemOutputMeta::SetParam(uint16_t paramID, const void* newValue, uint32_t size)
{
    if (paramID != 0 || newValue == nullptr || size < sizeof(value))
        return ZK_InvalidParameter;
    value = LoadLittleEndian<uint32_t>(static_cast<const uint8_t*>(newValue));
    flags = static_cast<uint8_t>(flags | kValueSet);
    return ZK_Success;
}

ZK::IZkPluginParam* CZkSystemOutputMeta::Clone(ZK::IZkPluginMemAlloc* allocator)
{
    CZkSystemOutputMeta* clone = Make(allocator, *this);
    if (clone != nullptr)
        clone->flags = kAllSet;
    return clone;
}

ZKRESULT CZkSystemOutputMeta::Init(ZK::IZkPluginMemAlloc*, const void* block, uint32_t size)
{
    value = block != nullptr && size >= sizeof(value) ? LoadLittleEndian<uint32_t>(static_cast<const uint8_t*>(block)) : 0;
    flags = kAllSet;
    return ZK_Success;
}

ZKRESULT CZkSystemOutputMeta::SetParamsBlock(const void* block, uint32_t size)
{
    return Init(nullptr, block, size);
}
} // namespace ZK::SoundEngine
