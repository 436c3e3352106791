// The parameter records of the output sinks (plug-in parameters, ZK::IZkPluginParam), allocated
// through a plug-in allocator:
//   CZkSinkParamsBasic    the base sink's: a channel configuration (stereo by default), the three
//                         words of a 3-D sink's capabilities, and a flag that asks for objects;
//   CZkSinkParamsSpatial  the system sink's: whether spatial audio is wanted, its main and second
//                         channel configurations, whether an object limit is given and the limit,
//                         and the set of parameters changed since the sink last read them.
// The registry creates them through the sink plug-ins' parameter creators (Create); the output
// devices also build a basic record in place (stereo) for a device without bank parameters.
//
// Threading: a record is used by one thread at a time (bank thread while it is read, engine thread
// afterwards). Ownership: Term destroys a record through the allocator it came from.
#pragma once

#include "ZkAudiolib/Common/Output/ZkPluginParamRecord.h"

#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkSinkParamsBasic final : public ZkPluginParamRecord<CZkSinkParamsBasic>
{
public:
    ZKRESULT SetParam(uint16_t, const void*, uint32_t) override { return ZK_Success; } // stores nothing
    ZK::IZkPluginParam* Clone(ZK::IZkPluginMemAlloc* allocator) override { return Make(allocator, *this); }
    ZKRESULT SetParamsBlock(const void*, uint32_t) override { return ZK_Success; } // nothing to read

    // The configuration and the three words after it, as a 3-D sink's capabilities.
    ZK::Zk3DAudioSinkCapabilities Capabilities() const;

    ZkChannelConfig channelConfig{ZkChannelConfig::kStereoWord};
    uint32_t capabilityWords[3] = {}; // maximum objects, objects available, pass-through flag
    uint16_t reserved = 0;
    uint8_t objectsWanted = 0;        // the sink offers objects unless the request is mono
};

class CZkSinkParamsSpatial final : public ZkPluginParamRecord<CZkSinkParamsSpatial>
{
public:
    static constexpr uint32_t kDefaultChannelWord = 0x2D63F10C; // 7.1.4
    static constexpr uint16_t kDefaultObjectLimit = 32;
    static constexpr uint32_t kBlockBytes = 12;

    enum ParamID : uint16_t
    {
        Param_Enable = 0,
        Param_MainConfig = 1,
        Param_SecondConfig = 2,
        Param_LimitGiven = 3,
        Param_ObjectLimit = 4,
    };

    // Ids 0..4 (the value read with the width of its field); a changed value sets bit 1 << id of
    // the changed set. 31 for another id, no value, or fewer bytes than the field holds.
    ZKRESULT SetParam(uint16_t paramID, const void* value, uint32_t size) override;
    // The five parameters; the clone starts with an empty changed set.
    ZK::IZkPluginParam* Clone(ZK::IZkPluginMemAlloc* allocator) override;
    // The 12-byte bank block: enable (1), main configuration (4), second configuration (4), limit
    // given (1), object limit (2), packed. 7 for a shorter block (nothing read).
    ZKRESULT SetParamsBlock(const void* block, uint32_t size) override;

    uint8_t enable = 0;
    ZkChannelConfig mainConfig{kDefaultChannelWord};
    ZkChannelConfig secondConfig{kDefaultChannelWord};
    uint8_t limitGiven = 1;
    uint16_t objectLimit = kDefaultObjectLimit;
    uint8_t changed = 0;
};
} // namespace ZK::SoundEngine
