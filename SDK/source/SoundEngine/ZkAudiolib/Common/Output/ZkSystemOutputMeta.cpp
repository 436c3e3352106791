#include "ZkAudiolib/Common/Output/ZkSystemOutputMeta.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

#include <new>

namespace ZK::SoundEngine
{
ZK::IZkPluginParam* CZkSystemOutputMeta::Create(ZK::IZkPluginMemAlloc* allocator)
{
    void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(CZkSystemOutputMeta));
    return memory != nullptr ? new (memory) CZkSystemOutputMeta : nullptr;
}

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
    auto* clone = static_cast<CZkSystemOutputMeta*>(Create(allocator));
    if (clone == nullptr)
        return nullptr;
    clone->value = value;
    clone->flags = kAllSet;
    return clone;
}

ZKRESULT CZkSystemOutputMeta::Init(ZK::IZkPluginMemAlloc*, const void* block, uint32_t size)
{
    value = block != nullptr && size >= sizeof(value) ? LoadLittleEndian<uint32_t>(static_cast<const uint8_t*>(block)) : 0;
    flags = kAllSet;
    return ZK_Success;
}

ZKRESULT CZkSystemOutputMeta::Term(ZK::IZkPluginMemAlloc* allocator)
{
    this->~CZkSystemOutputMeta();
    ZK_PLUGIN_FREE(allocator, this);
    return ZK_Success;
}

ZKRESULT CZkSystemOutputMeta::SetParamsBlock(const void* block, uint32_t size)
{
    return Init(nullptr, block, size);
}
} // namespace ZK::SoundEngine
