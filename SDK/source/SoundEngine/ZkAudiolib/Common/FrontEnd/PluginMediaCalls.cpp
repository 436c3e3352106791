// The interface calls that register plug-ins and codecs and hand media blocks to the engine: they
// act at once, through the plug-in registry and the media index.
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/ZkPluginCalls.h>

namespace ZK::SoundEngine
{
namespace
{
// The media index lives in the bank manager: 2 before the engine's initialisation.
template <typename Call>
ZKRESULT WithMediaIndex(Call&& call)
{
    BankManager* manager = g_pBankManager;
    return manager != nullptr ? call(*manager) : ZK_Fail;
}
} // namespace

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
    return count == 0 ? ZK_Success
                      : WithMediaIndex([&](BankManager& manager) { return manager.SetMedia(sourceSettings, count); });
}

ZKRESULT UnsetMedia(ZkSourceSettings* sourceSettings, uint32_t count)
{
    if (sourceSettings == nullptr)
        return ZK_InvalidParameter;
    return count == 0 ? ZK_Success
                      : WithMediaIndex([&](BankManager& manager) { return manager.UnsetMedia(sourceSettings, count); });
}

ZKRESULT TryUnsetMedia(ZkSourceSettings* sourceSettings, uint32_t count, ZKRESULT* results)
{
    if (sourceSettings == nullptr)
    {
        for (uint32_t index = 0; results != nullptr && index < count; ++index)
            results[index] = ZK_InvalidParameter;
        return ZK_InvalidParameter;
    }
    return count == 0 ? ZK_Success : WithMediaIndex([&](BankManager& manager) {
        return manager.TryUnsetMedia(sourceSettings, count, results);
    });
}
} // namespace ZK::SoundEngine
