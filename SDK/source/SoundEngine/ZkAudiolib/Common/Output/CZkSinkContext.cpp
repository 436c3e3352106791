#include "ZkAudiolib/Common/Output/CZkSinkContext.h"

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace ZK::SoundEngine
{
namespace
{
// A mono mix reaches an output with a front centre through that speaker alone.
constexpr float kSinkMatrixCentrePercentage = 1.0f;
} // namespace

ZK::IZkGlobalPluginContext* CZkSinkContext::GlobalContext() const
{
    return GetGlobalPluginContext();
}

ZKRESULT CZkSinkContext::GetOutputID(uint32_t& deviceID, uint32_t& pluginID) const
{
    deviceID = m_deviceID;
    pluginID = m_pluginID;
    return ZK_Success;
}

ZKRESULT CZkSinkContext::PostMonitorMessage(const char*, uint32_t)
{
    return ZK_Fail;
}

ZKRESULT CZkSinkContext::GetParentChannelConfig(ZkChannelConfig& config) const
{
    config = m_device.MainMixConfig();
    return ZK_Success;
}

ZK::IZkRuntimeEnvironment* CZkSinkContext::GetRuntimeEnvironment() const
{
    return ZK::ZkRuntimeEnvironmentMgr::Instance();
}

bool CZkSinkContext::IsMainDevice() const
{
    return m_device.IsMain();
}

ZKRESULT CZkSinkContext::SignalEngineThread()
{
    if (!m_device.IsMain())
        return ZK_Fail;
    EngineWakeEvent::Signal();
    return ZK_Success;
}

uint16_t CZkSinkContext::NumRefillBuffers() const
{
    return GetPlatformInitSettings().numRefillBuffers;
}

ZKRESULT CZkSinkContext::ComputeSpeakerMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix)
{
    CZkSpeakerPan::ComputeSpeakerVolumes(0.0f, 0.0f, 0.0f, kSinkMatrixCentrePercentage, ZkSpeakerPanning_Direct, input,
                                         output, matrix, &m_device);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
