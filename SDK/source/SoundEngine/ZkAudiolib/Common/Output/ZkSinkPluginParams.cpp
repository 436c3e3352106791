#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

namespace ZK::SoundEngine
{
namespace
{
// A channel configuration is changed when its channel count, its type or its mask differs.
bool ConfigChanged(ZkChannelConfig a, ZkChannelConfig b)
{
    return a.NumChannels() != b.NumChannels() || a.Type() != b.Type() || a.Mask() != b.Mask();
}

// The value of a parameter with the width of its field; false when fewer bytes were given.
template <typename Field>
bool ReadField(const void* value, uint32_t size, Field& field)
{
    if (size < sizeof(Field))
        return false;
    field = LoadLittleEndian<Field>(static_cast<const uint8_t*>(value));
    return true;
}
} // namespace

ZK::Zk3DAudioSinkCapabilities CZkSinkParamsBasic::Capabilities() const
{
    ZK::Zk3DAudioSinkCapabilities capabilities;
    capabilities.channelConfig = channelConfig;
    capabilities.maxSystemAudioObjects = capabilityWords[0];
    capabilities.numSystemAudioObjectsAvailable = capabilityWords[1];
    capabilities.passthrough = static_cast<uint8_t>(capabilityWords[2]);
    return capabilities;
}

ZKRESULT CZkSinkParamsSpatial::SetParam(uint16_t paramID, const void* value, uint32_t size)
{
    if (value == nullptr)
        return ZK_InvalidParameter;
    bool differs = false;
    uint8_t byte = 0;
    uint16_t half = 0;
    uint32_t word = 0;
    switch (paramID)
    {
    case Param_Enable:
        if (!ReadField(value, size, byte))
            return ZK_InvalidParameter;
        differs = byte != enable;
        enable = byte;
        break;
    case Param_MainConfig:
        if (!ReadField(value, size, word))
            return ZK_InvalidParameter;
        differs = ConfigChanged(ZkChannelConfig(word), mainConfig);
        mainConfig = ZkChannelConfig(word);
        break;
    case Param_SecondConfig:
        if (!ReadField(value, size, word))
            return ZK_InvalidParameter;
        differs = ConfigChanged(ZkChannelConfig(word), secondConfig);
        secondConfig = ZkChannelConfig(word);
        break;
    case Param_LimitGiven:
        if (!ReadField(value, size, byte))
            return ZK_InvalidParameter;
        differs = byte != limitGiven;
        limitGiven = byte;
        break;
    case Param_ObjectLimit:
        if (!ReadField(value, size, half))
            return ZK_InvalidParameter;
        differs = half != objectLimit;
        objectLimit = half;
        break;
    default:
        return ZK_InvalidParameter;
    }
    if (differs)
        changed = static_cast<uint8_t>(changed | (1u << paramID));
    return ZK_Success;
}

ZK::IZkPluginParam* CZkSinkParamsSpatial::Clone(ZK::IZkPluginMemAlloc* allocator)
{
    CZkSinkParamsSpatial* clone = Make(allocator, *this);
    if (clone != nullptr)
        clone->changed = 0; // nothing has changed for the sink that will read the clone
    return clone;
}

ZKRESULT CZkSinkParamsSpatial::SetParamsBlock(const void* block, uint32_t size)
{
    if (block == nullptr || size < kBlockBytes)
        return ZK_InvalidFile;
    const auto* bytes = static_cast<const uint8_t*>(block);
    enable = bytes[0];
    mainConfig = ZkChannelConfig(LoadLittleEndian<uint32_t>(bytes + 1));
    secondConfig = ZkChannelConfig(LoadLittleEndian<uint32_t>(bytes + 5));
    limitGiven = bytes[9];
    objectLimit = LoadLittleEndian<uint16_t>(bytes + 10);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
