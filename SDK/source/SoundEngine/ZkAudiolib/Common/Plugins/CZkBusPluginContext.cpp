#include "ZkAudiolib/Common/Plugins/CZkBusPluginContext.h"

#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Plugins/CZkPluginCustomData.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

namespace ZK::SoundEngine
{
void CZkBusPluginContext::BindBus(CZkMixBus* bus, uint32_t slot, uint32_t pluginKey, const CZkEffectObject* mediaProvider)
{
    Bind(bus, slot, mediaProvider);
    m_bus = bus;
    m_pluginKey = pluginKey;
}

uint32_t CZkBusPluginContext::GetCustomData(const void*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
    if (m_bus == nullptr)
        return 0;
    const ZkMixBusKey& key = m_bus->Key();
    CZkPluginCustomData::Find(key.NodeID(), key.GameObjectID(), m_pluginKey, data, size);
    return data != nullptr ? 1u : 0u;
}

void CZkBusPluginContext::GetOutputDeviceIDs(uint32_t& shareSetID, uint32_t& deviceID) const
{
    if (m_bus != nullptr)
    {
        m_bus->GetOutputDeviceIDs(shareSetID, deviceID);
        return;
    }
    shareSetID = 0xFFFFFFFFu;
    deviceID = 0xFFFFFFFFu;
}

float CZkBusPluginContext::GetOwnerGain() const
{
    return m_bus != nullptr ? ZkDecibelsToLinear(m_bus->GetLevelDb()) : 0.0f;
}

ZKRESULT CZkBusPluginContext::GetOutputConfig(ZkChannelConfig& config) const
{
    if (m_bus == nullptr)
    {
        config = ZkChannelConfig();
        return ZK_Fail;
    }
    return m_bus->GetDestinationConfig(config);
}

void CZkBusPluginContext::SetMeteringFlags(uint32_t flags)
{
    if (m_bus != nullptr)
        m_bus->SetPluginMeteringFlags(flags);
}

uint16_t CZkBusPluginContext::GetFramesPerBuffer() const { return ZkAudioSettings::FramesPerBuffer(); }
} // namespace ZK::SoundEngine
