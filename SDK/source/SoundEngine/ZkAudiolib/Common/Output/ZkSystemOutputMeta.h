// CZkSystemOutputMeta: the metadata parameters of the system output (plug-in 900, type 9): one
// 32-bit value and a flags byte. Made through the registry's parameter creator (flags 0); a clone,
// Init and a parameter block set the flags to 255; SetParam with id 0 stores the value and marks bit
// 0 of the flags.
//
// Threading: one thread at a time. Ownership: Term destroys it through its allocator.
#pragma once

#include "ZkAudiolib/Common/Output/ZkPluginParamRecord.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSystemOutputMeta final : public ZkPluginParamRecord<CZkSystemOutputMeta>
{
public:
    static constexpr uint32_t kPluginNumber = 900;
    static constexpr uint8_t kAllSet = 255;
    static constexpr uint8_t kValueSet = 0x01;

    // Id 0: value (4 bytes) stored, bit 0 of the flags set. 31 for another id, no value or fewer
    // than 4 bytes.
    ZKRESULT SetParam(uint16_t paramID, const void* value, uint32_t size) override;
    ZK::IZkPluginParam* Clone(ZK::IZkPluginMemAlloc* allocator) override;
    // The value from the block's first 4 bytes (0 without them); flags 255. 1.
    ZKRESULT Init(ZK::IZkPluginMemAlloc* allocator, const void* block, uint32_t size) override;
    ZKRESULT SetParamsBlock(const void* block, uint32_t size) override; // as Init

    uint32_t value = 0;
    uint8_t flags = 0;
};
} // namespace ZK::SoundEngine
