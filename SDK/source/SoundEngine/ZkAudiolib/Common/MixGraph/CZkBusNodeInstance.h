// CZkBusNodeInstance: the node instance of a mix-bus instance, the bus-side counterpart of a
// playing instance. It binds the bus node and the bus's game object, receives the bus's
// game-parameter changes (volume, the four aux send levels, the property-33 value), refreshes the
// bus's mix parameters from the node, and keeps the bus in the engine's list of buses with active
// sends while it has any (their send lists are rebuilt every frame).
//
// Life cycle: Create (made and subscribed at once, with the bus), Destroy (unsubscribed, out of the
// active-send list). RefreshFromNode whenever the node or its parameters change.
//
// Threading: engine thread, under the global engine lock. Ownership: its bus's (memory pool 5).
#pragma once

#include "ZkAudiolib/Common/Playback/CZkNodeInstanceBase.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkMixBus;

class CZkBusNodeInstance final : public CZkNodeInstanceBase
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Processing;
    // Game-parameter bits the instance receives: 5, 14, 18-35, 39-55 and 58.
    static constexpr uint64_t kParamMask = 0x04FFFF8FFFFC4020ull;
    // Parameter types with a meaning of their own.
    static constexpr uint32_t kParamVolume = 5;
    // The bus volume's property, which the volume parameter drives.
    static constexpr uint32_t kBusVolumeProperty = 5;
    static constexpr uint32_t kParamAuxSend0 = 29;
    static constexpr uint32_t kParamProperty33 = 33;

    // Made for the bus and subscribed: 52 when out of memory, else the subscription's failure (the
    // instance is then destroyed); 1 with the instance.
    static ZKRESULT Create(CZkMixBus& owner, CZkHierarchyNode* node, CZkGameObject* object,
                           CZkBusNodeInstance*& instance);
    static void Destroy(CZkBusNodeInstance*& instance);

    // Volume adds to the instance's volume; aux sends 0-3 and property 33 add to the bus's values
    // (a switch between zero and non-zero resets the send volume); the others go to the base.
    void SetParameterValue(uint32_t type, float value, float delta) override;
    void GetParamMask(uint64_t& mask) override { mask = kParamMask; }
    void RefreshFromNode() override;

    CZkMixBus* Owner() const { return m_owner; }
    float VolumeDb() const { return m_volumeDb; }
    bool IsInActiveSendList() const;

    // The frame's pass over the buses with active sends: each rebuilds its send list; one whose
    // list comes out empty leaves the list.
    static void UpdateActiveSends();
    static CZkBusNodeInstance* FirstWithActiveSends();
    CZkBusNodeInstance* NextWithActiveSends() const { return m_next; }

private:
    CZkBusNodeInstance(CZkMixBus& owner, CZkHierarchyNode* node, CZkGameObject* object);
    ~CZkBusNodeInstance() override = default;
    ZKRESULT Subscribe();
    void Unsubscribe();
    void PushActiveSend();
    void UnlinkActiveSend();
    void SendsChanged();

    CZkMixBus* m_owner;
    CZkBusNodeInstance* m_previous = nullptr;
    CZkBusNodeInstance* m_next = nullptr;
    float m_volumeDb = 0.0f;
};
} // namespace ZK::SoundEngine
