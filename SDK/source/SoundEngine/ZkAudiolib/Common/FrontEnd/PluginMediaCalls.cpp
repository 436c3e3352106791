// The interface calls that register plug-ins and codecs and hand media blocks to the engine: they
// act at once, through the plug-in registry and the media index.
#include "ZkAudiolib/Common/FrontEnd/Neighbours/MediaIndexCalls.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/ZkPluginCalls.h>

namespace ZK::SoundEngine
{
ZKRESULT RegisterPlugin(ZK::ZkPluginType type, uint32_t companyID, uint32_t pluginID,
                        ZK::ZkCreatePluginCallback createFunc, ZK::ZkCreateParamCallback createParamFunc,
                        ZkGetDeviceListCallback deviceEnumerationFunc)
{
    // The registry keeps the device enumeration in the entry's data slot.
    return PluginRegistry::RegisterPlugin(type, companyID, pluginID, createFunc, createParamFunc,
                                          reinterpret_cast<void*>(deviceEnumerationFunc));
}

ZKRESULT RegisterCodec(uint32_t companyID, uint32_t codecID, ZK::ZkCreateCodecCallback fileSourceCreateFunc,
                       ZK::ZkCreateCodecCallback bankSourceCreateFunc)
{
    return PluginRegistry::RegisterCodec(companyID, codecID, fileSourceCreateFunc, bankSourceCreateFunc, nullptr,
                                         nullptr);
}

ZKRESULT SetMedia(ZkSourceSettings* sourceSettings, uint32_t count)
{
    if (sourceSettings == nullptr)
        return ZK_InvalidParameter;
    return count == 0 ? ZK_Success : MediaIndexCalls::SetMedia(sourceSettings, count);
}

ZKRESULT UnsetMedia(ZkSourceSettings* sourceSettings, uint32_t count)
{
    if (sourceSettings == nullptr)
        return ZK_InvalidParameter;
    return count == 0 ? ZK_Success : MediaIndexCalls::UnsetMedia(sourceSettings, count);
}

ZKRESULT TryUnsetMedia(ZkSourceSettings* sourceSettings, uint32_t count, ZKRESULT* results)
{
    if (sourceSettings == nullptr)
    {
        for (uint32_t index = 0; results != nullptr && index < count; ++index)
            results[index] = ZK_InvalidParameter;
        return ZK_InvalidParameter;
    }
    return count == 0 ? ZK_Success : MediaIndexCalls::TryUnsetMedia(sourceSettings, count, results);
}
} // namespace ZK::SoundEngine
