// ZkMixBusKey: what names one mix-bus instance of the graph: the bus node (null for an output
// device's master mix), the output device (only for a master mix; 0 otherwise) and the game object
// (the listener of a bus that mixes per listener, else the emitter whose sound it carries; none for
// a master mix). The key holds a counted reference on its game object; keys move (the source is
// left empty) and release their reference when destroyed or overwritten.
//
// Threading: engine thread, under the global engine lock. Ownership: the reference is the key's.
#pragma once

#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkBus;
class CZkGameObject;
class CZkHierarchyNode;

class ZkMixBusKey
{
public:
    ZkMixBusKey() = default;
    // The object of the id from the registry with a reference (none when not registered).
    ZkMixBusKey(CZkHierarchyNode* busNode, ZkGameObjectID objectID);
    // Takes a reference on object (may be null).
    ZkMixBusKey(CZkHierarchyNode* busNode, uint64_t deviceID, CZkGameObject* object);
    ~ZkMixBusKey() { Reset(); }
    ZkMixBusKey(ZkMixBusKey&& other) noexcept;
    ZkMixBusKey& operator=(ZkMixBusKey&& other) noexcept;
    ZkMixBusKey(const ZkMixBusKey&) = delete;
    ZkMixBusKey& operator=(const ZkMixBusKey&) = delete;

    // Releases the game object and empties the key.
    void Reset();
    bool operator==(const ZkMixBusKey& other) const
    {
        return m_node == other.m_node && m_deviceID == other.m_deviceID && m_object == other.m_object;
    }

    CZkHierarchyNode* Node() const { return m_node; }
    // The node as a bus of the hierarchy (null without a node, or for a node of another class).
    CZkBus* Bus() const;
    uint64_t DeviceID() const { return m_deviceID; }
    CZkGameObject* GameObject() const { return m_object; }
    // -1 without a game object.
    ZkGameObjectID GameObjectID() const;
    // 0 without a node.
    ZkUniqueID NodeID() const;
    // The bus node's channel configuration (0 without a node).
    ZkChannelConfig BusConfig() const;

private:
    CZkHierarchyNode* m_node = nullptr;
    uint64_t m_deviceID = 0;
    CZkGameObject* m_object = nullptr;
};
} // namespace ZK::SoundEngine
