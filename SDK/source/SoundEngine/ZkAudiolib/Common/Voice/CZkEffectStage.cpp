#include "ZkAudiolib/Common/Voice/CZkEffectStage.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixContext.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

namespace ZK::SoundEngine
{
CZkEffectStage::~CZkEffectStage()
{
    if (m_privateBlock != nullptr)
        ZK::MemoryMgr::Free(kPool, m_privateBlock);
}

ZKRESULT CZkEffectStage::Init(ZK::IZkEffectPlugin* plugin, CZkEffectObject& effect, uint32_t slot,
                              CZkMixContext& voice, CZkGameObject* gameObject, ZK::ZkEffectFormat& format)
{
    m_plugin = plugin;
    m_pluginContext.Bind(&voice, slot, &effect);
    bypass = 0;
    m_finished = 0;
    m_resetWhileBypassed = 0;
    if (!effect.CreateInstancePlugin(m_effectContext, slot, gameObject))
        return ZK_Fail;
    m_effectID = effect.ID();
    const ZKRESULT result = InitPlugin(m_pluginContext, m_effectContext.Params(), format);
    if (result != ZK_Success)
        return result;
    m_plugin->Reset();
    m_outputConfig = format.channelConfig;
    return ZK_Success;
}

void CZkEffectStage::TermPlugin()
{
    if (m_plugin != nullptr)
        m_plugin->Term(&CZkPluginMemAlloc::ForInstances());
    m_plugin = nullptr;
    if (m_privateBlock != nullptr)
        ZK::MemoryMgr::Free(kPool, m_privateBlock);
    m_privateBlock = nullptr;
}

void CZkEffectStage::Destroy()
{
    TermPlugin();
    m_effectContext.Unsubscribe();
    m_pluginContext.ReleaseAllMedia();
}

bool CZkEffectStage::IsBypassed() const
{
    const CZkMixContext* voice = m_pluginContext.Owner();
    return bypass != 0 || (voice != nullptr && voice->View().bypassAllEffects != 0);
}

void CZkEffectStage::ResetOncePerBypass()
{
    if (m_resetWhileBypassed != 0)
        return;
    m_plugin->Reset();
    m_resetWhileBypassed = 1;
}

void* CZkEffectStage::AllocateBlock(uint16_t maxFrames, ZkChannelConfig config)
{
    return ZK::MemoryMgr::Malign(kPool, size_t{maxFrames} * config.NumChannels() * sizeof(float), kBlockAlignment);
}

void CZkEffectStage::EnterVirtual(uint32_t mode)
{
    if (mode != kVirtualModeResume)
        m_plugin->Reset();
    if (mode == kVirtualModeFromStart)
        m_finished = 0;
    if (m_finished == 0)
        CZkVoicePipelineStage::EnterVirtual(mode);
}

ZKRESULT CZkEffectStage::LeaveVirtual(uint32_t mode, bool flag)
{
    return m_finished != 0 ? ZK_Success : CZkVoicePipelineStage::LeaveVirtual(mode, flag);
}

ZKRESULT CZkEffectStage::Restart()
{
    m_plugin->Reset();
    m_finished = 0;
    return CZkVoicePipelineStage::Restart();
}
} // namespace ZK::SoundEngine
