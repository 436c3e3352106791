// CZkMixBus: making and initialising a bus, its place in the graph, its volume and the services its
// plug-ins ask for.
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkBusNodeInstance.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>

#include <algorithm>
#include <new>

namespace ZK::SoundEngine
{
namespace
{
// Override bits of a bus node that enable its window.
constexpr uint64_t kWindowOverrideBits = 0xE0000ull;
// The effect slot the node answers for "every effect".
constexpr uint32_t kAllEffectsSlot = 4;

bool IsValidDestination(ZkChannelConfig config)
{
    return config.Type() == ZkChannelConfigType_Objects ||
           (config.Type() <= ZkChannelConfigType_Objects && config.NumChannels() != 0);
}
} // namespace

CZkMixBus::CZkMixBus()
{
    // Removing a bus's connection changes the graph.
    SetFlags(kFlagGraphOnRemove, true);
}

CZkMixBus::~CZkMixBus()
{
    // The connections go first: a mixer plug-in hears of every input that leaves.
    while (FirstOutput() != nullptr)
        RemoveConnection(FirstOutput());
    while (FirstInput() != nullptr)
        FirstInput()->GetInputContext().RemoveConnection(FirstInput());
    for (uint32_t slot = 0; slot < kEffectSlots; ++slot)
    {
        ClearSlot(slot);
        m_slots[slot].instances.Term();
    }
    DestroyMixerRecord();
    CZkBusNodeInstance::Destroy(m_nodeInstance);
    instance = nullptr;
    if (m_key.Node() == nullptr)
    {
        // A master mix: its device forgets it.
        CZkOutputDevice* device = CZkOutputDeviceMgr::GetDevice(m_key.DeviceID());
        if (device != nullptr && device->MasterMix() == this)
            device->ClearMasterMix();
    }
}

CZkMixBus* CZkMixBus::Create(const ZkMixBusKey& key)
{
    const CZkHierarchyNode* node = key.Node();
    const bool window = node != nullptr && (node->OverrideMask() & kWindowOverrideBits) != 0;
    void* memory = ZK::MemoryMgr::Malloc(kPool, window ? sizeof(CZkMixBusWithWindow) : sizeof(CZkMixBus));
    if (memory == nullptr)
        return nullptr;
    if (!window)
        return new (memory) CZkMixBus();
    auto* bus = new (memory) CZkMixBusWithWindow();
    bus->InitWindow(*node);
    return bus;
}

void CZkMixBus::Destroy(CZkMixBus* bus)
{
    if (bus == nullptr)
        return;
    bus->~CZkMixBus();
    ZK::MemoryMgr::Free(kPool, bus);
}

ZKRESULT CZkMixBus::Init(ZkChannelConfig config, ZkMixBusKey&& key)
{
    m_key = std::move(key);
    CZkHierarchyNode* node = m_key.Node();
    View().nodeID = m_key.NodeID();
    View().gameObjectID = m_key.GameObjectID();
    m_busFlags = static_cast<uint8_t>((m_busFlags & ~kFlagEffectsSetUp) | (node == nullptr ? kFlagEffectsSetUp : 0));
    if (node != nullptr)
    {
        if (m_key.GameObject() == nullptr)
            return ZK_Fail;
        const ZKRESULT made = CZkBusNodeInstance::Create(*this, node, m_key.GameObject(), m_nodeInstance);
        if (made != ZK_Success)
            return made;
        instance = m_nodeInstance;
        if (g_pPlayingMgr != nullptr)
        {
            m_volumeCallback = g_pPlayingMgr->HasBusVolumeCallback(node->ID());
            m_meteringFlags = g_pPlayingMgr->GetBusMeteringFlags(node->ID()) & ZkMeteringFlag_All;
        }
        m_nodeInstance->RefreshFromNode();
    }
    m_config = config;
    m_activity = kIdle;
    if (m_key.Bus() != nullptr && config.Type() != ZkChannelConfigType_Objects && m_key.Bus()->MixerPlugin() != nullptr)
    {
        const ZKRESULT made = CreateMixerRecord();
        if (made != ZK_Success)
            return made;
    }
    ReadBypassAll();
    return ZK_Success;
}

void CZkMixBus::ReadBypassAll()
{
    const CZkHierarchyNode* node = m_key.Node();
    const uint16_t value =
        node != nullptr && node->IsEffectBypassed(kAllEffectsSlot, m_key.GameObject()) ? uint16_t{1} : uint16_t{0};
    if ((value == 0) != (m_bypassAll == 0))
    {
        m_busFlags |= kFlagEffectChangePending;
        if (m_nodeInstance != nullptr)
            m_nodeInstance->SetSendValue(CZkNodeInstanceBase::kUnsetSendValue);
    }
    m_bypassAll = value;
}

CZkHierarchyNode* CZkMixBus::ParentNode() const
{
    const CZkHierarchyNode* node = m_key.Node();
    return node != nullptr ? node->Parent() : nullptr;
}

CZkOutputDevice* CZkMixBus::GetOutputDevice() const
{
    // The root of the first dry path up the graph.
    const CZkMixBus* bus = this;
    for (uint32_t depth = 0; depth < 64; ++depth)
    {
        const CZkMixerInputContext* dry = nullptr;
        for (const CZkMixerInputContext* c = bus->FirstOutput(); c != nullptr; c = c->nextOutput)
            if (c->connectionType == kConnectionDirect)
            {
                dry = c;
                break;
            }
        if (dry == nullptr)
            break;
        bus = dry->GetOutputBus();
    }
    if (bus->m_key.Node() == nullptr)
        return CZkOutputDeviceMgr::GetDevice(bus->m_key.DeviceID());
    CZkBus* busNode = bus->m_key.Bus();
    if (busNode == nullptr)
        return nullptr;
    return CZkOutputDeviceMgr::FindDeviceForBus(busNode, bus->m_key.GameObjectID(), bus->m_key.DeviceID());
}

void CZkMixBus::PrepareFrame(bool thresholdTest, float thresholdDb)
{
    if ((m_busFlags & kFlagEffectsSetUp) == 0 || (m_busFlags & kFlagEffectChangePending) != 0)
        ApplyPendingEffectChanges((m_busFlags & kFlagEffectsSetUp) == 0 ? 0xFu : 0u);
    View().notifiesVolumeMatrix = m_volumeCallback;
    View().bypassAllEffects = static_cast<uint8_t>(m_bypassAll != 0);
    if (m_nodeInstance == nullptr)
    {
        m_linearVolume = 1.0f;
        m_volumeDb = ZkFastLinToDB(m_linearVolume);
    }
    else
    {
        // The bus volume alone: the voice volume of the bus's node reaches the voices routed through
        // it (their gathering), so counted here too it would be applied twice.
        m_volumeDb = m_nodeInstance->VolumeDb();
        m_linearVolume = ZkDecibelsToLinear(m_volumeDb) * m_nodeInstance->LinearGain();
        View().outputLevel = m_linearVolume;
        RefreshRays();
        if (FirstOutput() != nullptr)
            UpdateSendConnections(thresholdTest, thresholdDb);
    }
    // The matrices the parents mix this bus's blocks with.
    if (FirstOutput() != nullptr)
        ComputeConnectionVolumes(1.0f);
}

void CZkMixBus::RefreshRays()
{
    ZkMixInstanceView& view = View();
    view.tracksRays = view.positioning.Is3D();
    if (!view.tracksRays)
    {
        view.rays = nullptr;
        view.rayCount = 0;
        view.attenuation = nullptr;
        return;
    }
    // A bus positioned in three dimensions is heard along the rays of its game object, attenuated
    // like a voice's.
    m_nodeInstance->Update();
    m_nodeInstance->RefreshRayAttenuation();
    view.rays = m_nodeInstance->Rays();
    view.rayCount = m_nodeInstance->RayCount();
    view.attenuation = m_nodeInstance->Attenuation();
}

void CZkMixBus::CollectSends(ZK::ZkArray<ZkSendRecord>& sends)
{
    if (m_nodeInstance != nullptr)
        m_nodeInstance->CollectSends(sends);
}

ZkChannelConfig CZkMixBus::GetOutputConfig() const
{
    if (m_bypassAll != 0)
        return m_config;
    for (uint32_t slot = kEffectSlots; slot-- > 0;)
    {
        if (!IsSlotActive(slot))
            continue;
        const ZkBusObjectList& output = m_slots[slot].output;
        if (output.Count() != 1)
            return ZkChannelConfig(ZkChannelConfigType_Objects << 8);
        return output[0].config;
    }
    return m_config;
}

void CZkMixBus::SetMeteringFlags(uint32_t flags)
{
    m_meteringFlags = flags & ZkMeteringFlag_All;
    RefreshObjectMetering();
}

void CZkMixBus::SetPluginMeteringFlags(uint32_t flags)
{
    m_pluginMeteringFlags = flags & ZkMeteringFlag_All;
    RefreshObjectMetering();
}

uint32_t CZkMixBus::ObjectMeteringFlags() const { return m_meteringFlags | m_pluginMeteringFlags; }

void CZkMixBus::RefreshObjectMetering()
{
    for (ZkBusObject& object : OutputList())
        object.meteringFlags = ObjectMeteringFlags();
}

void CZkMixBus::GetOutputDeviceIDs(uint32_t& shareSetID, uint32_t& deviceID) const
{
    shareSetID = 0xFFFFFFFFu;
    deviceID = 0xFFFFFFFFu;
    if (const CZkOutputDevice* device = GetOutputDevice())
        device->GetOutputIDs(shareSetID, deviceID);
}

ZKRESULT CZkMixBus::GetDestinationConfig(ZkChannelConfig& config) const
{
    config = ZkChannelConfig();
    for (const CZkMixerInputContext* c = FirstOutput(); c != nullptr; c = c->nextOutput)
    {
        if (c->connectionType != kConnectionDirect)
            continue;
        config = c->GetOutputConfig();
        return IsValidDestination(config) ? ZK_Success : ZK_Fail;
    }
    return ZK_Fail;
}

namespace
{
// Adds delta to a 16-bit value; true when it switched between zero and non-zero.
bool AddLevel(int16_t& level, float delta)
{
    const bool wasZero = level == 0;
    const float sum = std::clamp(static_cast<float>(level) + delta, -32768.0f, 32767.0f);
    level = static_cast<int16_t>(sum);
    return wasZero != (level == 0);
}
} // namespace

bool CZkMixBus::AddSendLevel(uint32_t send, float delta)
{
    const bool changed = AddLevel(m_sendLevels[send], delta);
    m_sendsChanged = m_sendsChanged || changed;
    return changed;
}

bool CZkMixBus::AddProperty33(float delta)
{
    const bool changed = AddLevel(m_property33, delta);
    m_sendsChanged = m_sendsChanged || changed;
    return changed;
}
} // namespace ZK::SoundEngine
