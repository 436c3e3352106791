// CZkAudioRenderer: what a bus node tells its mix-bus instances (one per output device and, for a
// bus that mixes per listener, per listener). Each service walks the bus list and acts on every
// instance of the node; none allocates.
#include "ZkAudiolib/Common/Renderer/CZkAudioRendererBusList.h"

#include "ZkAudiolib/Common/MixGraph/CZkBusNodeInstance.h"
#include "ZkAudiolib/Common/MixGraph/CZkMixBus.h"

namespace ZK::SoundEngine
{
namespace
{
// Parameters the bus instance's parameter setter takes; every other goes to its change
// notification.
constexpr uint32_t kVolumeParameter = 5;
constexpr uint32_t kFirstOutputParameter = 43;
constexpr uint32_t kLastOutputParameter = 45;

template <typename Act>
ZKRESULT ForEachInstance(ZkUniqueID busID, Act act)
{
    for (CZkMixBus* bus : RendererBuses().buses)
        if (bus->Key().NodeID() == busID && bus->GetBusNode() != nullptr)
            act(*bus);
    return ZK_Success;
}
} // namespace

ZKRESULT CZkAudioRenderer::MarkBusInstancesDirty(ZkUniqueID busID, uint32_t slot)
{
    if (slot >= CZkMixBus::kEffectSlots)
        return ZK_InvalidParameter;
    return ForEachInstance(busID, [slot](CZkMixBus& bus) { bus.ApplyPendingEffectChanges(1u << slot); });
}

ZKRESULT CZkAudioRenderer::NotifyBusInstances(ZkUniqueID busID)
{
    return ForEachInstance(busID, [](CZkMixBus& bus) {
        if (CZkBusNodeInstance* instance = bus.NodeInstance())
            instance->RefreshFromNode();
    });
}

ZKRESULT CZkAudioRenderer::ForwardBusNotification(ZkUniqueID busID, uint32_t flags, uint32_t moreFlags,
                                                  ZkGameObjectID object)
{
    return ForEachInstance(busID, [&](CZkMixBus& bus) {
        if (object == ZK_ALL_GAME_OBJECTS || bus.GetKeyGameObjectID() == object)
            bus.SetBypass(flags, moreFlags);
    });
}

ZKRESULT CZkAudioRenderer::PropagateBusPropertyChange(ZkUniqueID busID, uint32_t parameter, float value, float delta)
{
    return ForEachInstance(busID, [&](CZkMixBus& bus) {
        CZkBusNodeInstance* instance = bus.NodeInstance();
        if (instance == nullptr)
            return;
        if (parameter == kVolumeParameter || (parameter >= kFirstOutputParameter && parameter <= kLastOutputParameter))
            instance->SetParameterValue(parameter, value, delta);
        else
            instance->RefreshFromNode();
    });
}

ZKRESULT CZkAudioRenderer::SetBusInstanceValue(ZkUniqueID busID, float value, uint32_t id)
{
    return ForEachInstance(busID, [&](CZkMixBus& bus) {
        if (CZkBusNodeInstance* instance = bus.NodeInstance())
            instance->SetParameterValue(id, value, 0.0f);
    });
}

ZKRESULT CZkAudioRenderer::SetBusVolumeCallbackFlag(ZkUniqueID busID, bool hasCallback)
{
    return ForEachInstance(busID, [hasCallback](CZkMixBus& bus) { bus.SetVolumeCallbackFlag(hasCallback); });
}

ZKRESULT CZkAudioRenderer::SetBusMeteringFlags(ZkUniqueID busID, uint32_t meteringFlags)
{
    return ForEachInstance(busID, [meteringFlags](CZkMixBus& bus) { bus.SetMeteringFlags(meteringFlags); });
}

ZKRESULT CZkAudioRenderer::RefreshBusesUsingObject(const CZkIndexedObject* effect)
{
    for (CZkMixBus* bus : RendererBuses().buses)
        if (bus->UsesEffectObject(effect))
            bus->RebuildEffects();
    return ZK_Success;
}

ZKRESULT CZkAudioRenderer::RefreshBusEffectsForShareSet(const CZkIndexedObject* shareSet)
{
    return RefreshBusesUsingObject(shareSet);
}
} // namespace ZK::SoundEngine
