#include "ZkAudiolib/Common/Plugins/CZkBusPluginContext.h"

#include "ZkAudiolib/Common/MixGraph/Neighbours/CZkMixBus.h"
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/Neighbours/CZkPluginCustomData.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

namespace ZK::SoundEngine
{
void CZkBusPluginContext::BindBus(CZkMixBus* bus, uint32_t slot, uint32_t pluginKey, const CZkEffectObject* mediaProvider)
{
    Bind(bus, slot, mediaProvider);
    m_bus = bus;
    m_pluginKey = pluginKey;
}

ZK::IZkGlobalPluginContext* CZkBusPluginContext::GetGlobalContext() const { return GetGlobalPluginContext(); }

uint32_t CZkBusPluginContext::GetCustomData(const void*& data, uint32_t& size)
{
    data = nullptr;
    size = 0;
    if (m_bus == nullptr)
        return 0;
    data = CZkPluginCustomData::Find(m_bus->View().nodeID, m_pluginKey, m_bus->GetKeyGameObjectID(), size);
    if (data == nullptr)
        size = 0;
    return data != nullptr ? 1u : 0u;
}

ZK::IZkRuntimeEnvironment* CZkBusPluginContext::GetRuntimeEnvironment() const
{
    return ZK::ZkRuntimeEnvironmentMgr::Instance();
}

ZK::IZkStreamMgr* CZkBusPluginContext::GetStreamMgr() const { return ZK::IZkStreamMgr::m_pStreamMgr; }

void CZkBusPluginContext::GetOutputDeviceIDs(uint32_t& shareSetID, uint32_t& deviceID) const
{
    shareSetID = 0xFFFFFFFFu;
    deviceID = 0xFFFFFFFFu;
    const CZkOutputDevice* device = m_bus != nullptr ? m_bus->GetOutputDevice() : nullptr;
    if (device != nullptr)
        device->GetOutputIDs(shareSetID, deviceID);
}

uint16_t CZkBusPluginContext::GetFramesPerBuffer() const { return ZkAudioSettings::FramesPerBuffer(); }
} // namespace ZK::SoundEngine
