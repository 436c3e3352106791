#include "ZkAudiolib/Common/Output/CZkDeviceEffectContext.h"

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace ZK::SoundEngine
{
ZK::IZkGlobalPluginContext* CZkDeviceEffectContext::GetGlobalContext() const
{
    return GetGlobalPluginContext();
}

ZKRESULT CZkDeviceEffectContext::PostMonitoring(const void*, uint32_t)
{
    return ZK_NotImplemented;
}

void CZkDeviceEffectContext::FindMedia(uint32_t, const uint8_t*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
}

uint32_t CZkDeviceEffectContext::GetCustomData(const void*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
    return 0;
}

ZKRESULT CZkDeviceEffectContext::GetOutputConfig(ZkChannelConfig& config) const
{
    config = m_device.MainMixConfig();
    return ZK_Success;
}

ZK::IZkRuntimeEnvironment* CZkDeviceEffectContext::GetRuntimeEnvironment() const
{
    return ZK::ZkRuntimeEnvironmentMgr::Instance();
}

ZK::IZkStreamMgr* CZkDeviceEffectContext::GetStreamMgr() const
{
    return ZK::IZkStreamMgr::m_pStreamMgr;
}
} // namespace ZK::SoundEngine
