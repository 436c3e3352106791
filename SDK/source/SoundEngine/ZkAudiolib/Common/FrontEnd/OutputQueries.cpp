// The interface's output getters: they wait for the main output, then read the device under the
// global engine lock.
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/MainOutputGate.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include <ZK/SoundEngine/Common/ZkOutputCalls.h>

namespace ZK::SoundEngine
{
namespace
{
// Runs read(device) under the global engine lock once the main output is ready; 2 when it is not,
// or when no device has the id.
template <typename Read>
ZKRESULT WithDevice(ZkOutputDeviceID outputID, Read read)
{
    if (WaitForMainOutput() != ZK_Success)
        return ZK_Fail;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(outputID);
    return device != nullptr ? read(*device) : ZK_Fail;
}
} // namespace

ZkChannelConfig GetSpeakerConfiguration(ZkOutputDeviceID outputID)
{
    ZkChannelConfig config;
    WithDevice(outputID, [&config](CZkOutputDevice& device) {
        if (device.Sink() == nullptr)
            return ZK_Fail;
        // An audio-objects device answers the configuration of the mix it keeps for that case.
        config = device.channelConfig.Type() == ZkChannelConfigType_Objects ? device.MainMixConfig()
                                                                              : device.channelConfig;
        return ZK_Success;
    });
    return config;
}

ZKRESULT GetPanningRule(ZkPanningRule& rule, ZkOutputDeviceID outputID)
{
    return WithDevice(outputID, [&rule](CZkOutputDevice& device) {
        rule = static_cast<ZkPanningRule>(device.panningRule);
        return ZK_Success;
    });
}

ZKRESULT GetSpeakerAngles(float* angles, uint32_t& count, float& heightAngle, ZkOutputDeviceID outputID)
{
    return WithDevice(outputID, [&](CZkOutputDevice& device) { return device.GetSpeakerAngles(angles, count, heightAngle); });
}

ZKRESULT GetOutputDeviceConfiguration(ZkOutputDeviceID outputID, ZkChannelConfig& channelConfig,
                                      ZK::Zk3DAudioSinkCapabilities& capabilities)
{
    return WithDevice(outputID, [&](CZkOutputDevice& device) {
        if (device.Sink() == nullptr)
            return ZK_Fail;
        channelConfig = device.channelConfig;
        capabilities = device.Capabilities();
        return ZK_Success;
    });
}
} // namespace ZK::SoundEngine
