#include "ZkAudiolib/Common/MixGraph/ZkMixBusKey.h"

#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"

#include <utility>

namespace ZK::SoundEngine
{
ZkMixBusKey::ZkMixBusKey(CZkHierarchyNode* busNode, ZkGameObjectID objectID) : m_node(busNode)
{
    if (objectID != ZK_ALL_GAME_OBJECTS && g_pRegistryMgr != nullptr)
        m_object = g_pRegistryMgr->GetObjAndAddref(objectID);
}

ZkMixBusKey::ZkMixBusKey(CZkHierarchyNode* busNode, uint64_t deviceID, CZkGameObject* object)
    : m_node(busNode), m_deviceID(deviceID), m_object(object)
{
    if (m_object != nullptr)
        m_object->AddRef();
}

ZkMixBusKey::ZkMixBusKey(ZkMixBusKey&& other) noexcept
    : m_node(std::exchange(other.m_node, nullptr)), m_deviceID(std::exchange(other.m_deviceID, 0)),
      m_object(std::exchange(other.m_object, nullptr))
{
}

ZkMixBusKey& ZkMixBusKey::operator=(ZkMixBusKey&& other) noexcept
{
    if (this != &other)
    {
        Reset();
        m_node = std::exchange(other.m_node, nullptr);
        m_deviceID = std::exchange(other.m_deviceID, 0);
        m_object = std::exchange(other.m_object, nullptr);
    }
    return *this;
}

void ZkMixBusKey::Reset()
{
    CZkGameObject* object = std::exchange(m_object, nullptr);
    m_node = nullptr;
    m_deviceID = 0;
    if (object != nullptr)
        object->Release();
}

ZkGameObjectID ZkMixBusKey::GameObjectID() const { return m_object != nullptr ? m_object->ID() : ZK_ALL_GAME_OBJECTS; }

ZkUniqueID ZkMixBusKey::NodeID() const { return m_node != nullptr ? m_node->ID() : 0; }

CZkBus* ZkMixBusKey::Bus() const { return dynamic_cast<CZkBus*>(m_node); }

ZkChannelConfig ZkMixBusKey::BusConfig() const
{
    const CZkBus* bus = Bus();
    return bus != nullptr ? ZkChannelConfig(bus->ChannelConfig()) : ZkChannelConfig();
}
} // namespace ZK::SoundEngine
