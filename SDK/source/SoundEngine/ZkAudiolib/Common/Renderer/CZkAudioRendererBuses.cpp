// CZkAudioRenderer: the bus list of the mix graph, and how bus instances are found, made and
// connected when an input needs them.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererBusList.h"

#include "ZkAudiolib/Common/GameObjects/CZkGameObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

namespace ZK::SoundEngine
{
namespace
{
bool HasConnectionWithKey(const CZkMixContext& input, const ZkMixBusKey& key)
{
    for (const CZkMixerInputContext* c = input.FirstOutput(); c != nullptr; c = c->nextOutput)
        if (c->GetOutputBus()->Key() == key)
            return true;
    return false;
}

// A configuration a bus can be made with: speakers, ambisonics or objects, with channels unless
// objects.
bool IsUsable(ZkChannelConfig config)
{
    return config.Type() <= ZkChannelConfigType_Objects &&
           (config.Type() == ZkChannelConfigType_Objects || config.NumChannels() != 0);
}

// The configuration of a new bus from its node's request, the bus it feeds and its device.
ZkChannelConfig NewBusConfig(ZkChannelConfig requested, const CZkMixBus* parent, CZkOutputDevice& device)
{
    if (IsUsable(requested))
        return requested;
    switch (requested.Type())
    {
    case ZkChannelConfigType_Anonymous:
        return parent != nullptr ? parent->GetChannelConfig() : device.channelConfig;
    case ZkChannelConfigType_MainMix:
        return device.MainMixIsObjects() ? device.Capabilities().channelConfig : device.channelConfig;
    case ZkChannelConfigType_Passthrough:
        return device.MainMixIsObjects() && device.PassthroughMix() != nullptr ? ZkChannelConfig(ZkChannelConfig::kStereoWord)
                                                                                : device.channelConfig;
    default:
        return ZkChannelConfig();
    }
}

// The device's master mix, made (and listed) when the device has none. Null on failure.
CZkMixBus* MasterMixOf(CZkOutputDevice& device)
{
    if (CZkMixBus* master = device.MasterMix())
        return master;
    CZkMixBus* master = CZkMixBus::Create(ZkMixBusKey());
    if (master == nullptr)
        return nullptr;
    if (master->Init(device.channelConfig, ZkMixBusKey(nullptr, device.OutputID(), nullptr)) != ZK_Success ||
        CZkAudioRenderer::AddBus(master) != ZK_Success)
    {
        CZkMixBus::Destroy(master);
        return nullptr;
    }
    device.SetMasterMix(master);
    // The first root of this device left without a destination feeds the new master mix.
    ZkRendererBusList& list = RendererBuses();
    for (CZkMixBus* bus : list.buses)
    {
        if (bus == master || bus->FirstOutput() != nullptr || !bus->IsRoot() || bus->GetBusNode() == nullptr ||
            bus->GetOutputDevice() != &device)
            continue;
        if (bus->ConnectTo(*master, kConnectionDirect) != nullptr)
            list.graphChanged = true;
        break;
    }
    return master;
}
} // namespace

ZkRendererBusList& RendererBuses()
{
    static ZkRendererBusList list;
    return list;
}

uint32_t CZkAudioRenderer::BusCount() { return RendererBuses().buses.Length(); }

CZkMixBus* CZkAudioRenderer::BusAt(uint32_t index) { return RendererBuses().buses[index]; }

CZkMixBus* CZkAudioRenderer::FindBusForKey(const ZkMixBusKey& key)
{
    for (CZkMixBus* bus : RendererBuses().buses)
    {
        if (!(bus->Key() == key))
            continue;
        const CZkGameObject* object = key.GameObject();
        if (bus->NodeInstance() == nullptr || object == nullptr || object->IsActive())
            return bus;
    }
    return nullptr;
}

CZkMixBus* CZkAudioRenderer::FindOrCreateBus(ZkMixBusKey&& key)
{
    if (CZkMixBus* bus = FindBusForKey(key))
        return bus;
    return CreateBusForKey(std::move(key));
}

CZkMixBus* CZkAudioRenderer::CreateBusForKey(ZkMixBusKey&& key)
{
    CZkHierarchyNode* parentNode = key.Node() != nullptr ? key.Node()->Parent() : nullptr;
    if (parentNode == nullptr)
        return CreateBusInstance(std::move(key), nullptr);
    CZkGameObject* object = key.GameObject();
    if (!parentNode->GetFlagBit1())
    {
        CZkMixBus* parent = FindOrCreateBus(ZkMixBusKey(parentNode, 0, object));
        return parent != nullptr ? CreateBusInstance(std::move(key), parent) : nullptr;
    }

    // The parent mixes per listener: one parent instance per listener of the game object.
    if (object == nullptr || object->GetOrCreateEmitter() == nullptr)
        return nullptr;
    CZkMixBus* bus = nullptr;
    for (ZkGameObjectID listener : object->GetListenerSet())
    {
        CZkMixBus* parent = FindOrCreateBus(ZkMixBusKey(parentNode, listener));
        if (parent == nullptr)
            continue;
        if (bus == nullptr)
        {
            bus = CreateBusInstance(std::move(key), parent);
            if (bus == nullptr)
                return nullptr;
        }
        else if (bus->ConnectTo(*parent, kConnectionDirect) != nullptr)
        {
            RendererBuses().graphChanged = true;
        }
    }
    return bus;
}

CZkMixBus* CZkAudioRenderer::CreateBusInstance(ZkMixBusKey&& key, CZkMixBus* parent)
{
    CZkOutputDevice* device = nullptr;
    if (parent == nullptr)
    {
        device = CZkOutputDeviceMgr::FindDeviceForBus(key.Bus(), key.GameObjectID(), key.DeviceID());
        if (device == nullptr || !IsUsable(device->channelConfig))
            return nullptr;
        parent = MasterMixOf(*device);
        if (parent == nullptr)
            return nullptr;
    }
    else
    {
        device = parent->GetOutputDevice();
        if (device == nullptr)
            return nullptr;
    }
    CZkMixBus* bus = CZkMixBus::Create(key);
    if (bus == nullptr)
        return nullptr;
    const ZkChannelConfig config = NewBusConfig(key.BusConfig(), parent, *device);
    if (bus->Init(config, std::move(key)) != ZK_Success || bus->ConnectTo(*parent, kConnectionDirect) == nullptr ||
        AddBus(bus) != ZK_Success)
    {
        CZkMixBus::Destroy(bus);
        return nullptr;
    }
    return bus;
}

ZKRESULT CZkAudioRenderer::AddBus(CZkMixBus* bus)
{
    ZkRendererBusList& list = RendererBuses();
    const bool first = bus->FirstOutput() == nullptr && bus->IsRoot();
    if ((first ? list.buses.Insert(0, bus) : list.buses.AddLast(bus)) == nullptr)
        return ZK_Fail;
    list.graphChanged = true;
    return ZK_Success;
}

void CZkAudioRenderer::RemoveBus(uint32_t index)
{
    ZkRendererBusList& list = RendererBuses();
    CZkMixBus* bus = list.buses[index];
    list.buses.Erase(index);
    CZkMixBus::Destroy(bus);
    list.graphChanged = true;
}

void CZkAudioRenderer::DestroyAllBuses()
{
    ZkRendererBusList& list = RendererBuses();
    while (!list.buses.IsEmpty())
        RemoveBus(list.buses.Length() - 1);
    list.buses.Term();
    list.levelCounts.Term();
    list.serialFlags.Term();
    list.scratch.Term();
    list.keys.Term();
    list.outputs.Term();
    list.graphChanged = false;
    list.feedback = false;
}

ZKRESULT CZkAudioRenderer::ConnectToBusKey(ZkMixBusKey&& key, CZkMixContext& input, uint32_t type)
{
    if (HasConnectionWithKey(input, key))
        return ZK_Success;
    CZkMixBus* bus = FindOrCreateBus(std::move(key));
    if (bus == nullptr || input.ConnectTo(*bus, type) == nullptr)
        return ZK_Fail;
    if (input.IsBus())
        RendererBuses().graphChanged = true;
    return ZK_Success;
}

ZKRESULT CZkAudioRenderer::ConnectSend(CZkHierarchyNode* node, const ZkSendRecord& send, CZkMixContext* input)
{
    if (node == nullptr || input == nullptr)
        return ZK_InvalidParameter;
    const ZkGameObjectID object = node->GetFlagBit1() ? send.listenerID : input->View().gameObjectID;
    return ConnectToBusKey(ZkMixBusKey(node, object), *input, send.reserved);
}

void CZkAudioRenderer::ConnectVoice(CZkMixContext& input, CZkHierarchyNode* outputBus, CZkGameObject* object,
                                   bool perListener)
{
    if (outputBus == nullptr)
    {
        if (CZkOutputDeviceMgr::GetMainDevice() != nullptr)
            ConnectToBusKey(ZkMixBusKey(nullptr, 0, object), input, kConnectionDirect);
        return;
    }
    if (!perListener)
    {
        ConnectToBusKey(ZkMixBusKey(outputBus, 0, object), input, kConnectionDirect);
        return;
    }
    if (object == nullptr)
        return;
    for (ZkGameObjectID listener : object->GetListenerSet())
        ConnectToBusKey(ZkMixBusKey(outputBus, listener), input, kConnectionDirect);
}

void CZkAudioRenderer::RefreshConnections(CZkMixContext& input, CZkGameObject* object, bool perListener)
{
    CZkMixerInputContext* next = nullptr;
    for (CZkMixerInputContext* c = input.FirstOutput(); c != nullptr; c = next)
    {
        next = c->nextOutput;
        if (c->connectionType != kConnectionDirect)
            continue;
        const ZkGameObjectID listener = c->listenerID;
        const bool valid = perListener ? object != nullptr && object->GetListenerSet().Contains(listener)
                                       : listener == (object != nullptr ? object->ID() : ZK_ALL_GAME_OBJECTS);
        if (!valid)
            input.RemoveConnection(c);
    }
}
} // namespace ZK::SoundEngine
