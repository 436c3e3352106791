#include "ZkAudiolib/Common/Plugins/CZkEffectPluginContext.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace ZK::SoundEngine
{
ZK::IZkGlobalPluginContext* CZkEffectPluginContext::GetGlobalContext() const { return GetGlobalPluginContext(); }

uint32_t CZkEffectPluginContext::GetCustomData(const void*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
    return 0;
}

ZK::IZkRuntimeEnvironment* CZkEffectPluginContext::GetRuntimeEnvironment() const
{
    return ZK::ZkRuntimeEnvironmentMgr::Instance();
}

ZK::IZkStreamMgr* CZkEffectPluginContext::GetStreamMgr() const { return ZK::IZkStreamMgr::m_pStreamMgr; }

ZK::IZkVoiceInfo* CZkEffectPluginContext::GetVoiceInterface() const
{
    return Owner() != nullptr ? Owner()->GetVoiceInfo() : nullptr;
}
} // namespace ZK::SoundEngine
