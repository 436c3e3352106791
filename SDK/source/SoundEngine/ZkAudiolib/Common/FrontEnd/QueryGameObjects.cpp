// The queries of game objects: which are active, their positions, listeners, routing and
// obstruction, read from the registry and its components under the global engine lock. An object
// without a routing of its own reads the default routing (created on first use).
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <algorithm>

namespace ZK::SoundEngine::Query
{
namespace
{
// Copies min(room, available) items and reports the number available in count. 1; 2 when the room
// was smaller.
template <typename T, typename Source>
ZKRESULT CopyCounted(const Source& source, uint32_t available, T* destination, uint32_t& count)
{
    const uint32_t room = count;
    if (destination != nullptr)
    {
        for (uint32_t index = 0; index < std::min(room, available); ++index)
            destination[index] = source(index);
    }
    count = available;
    return room < available ? ZK_Fail : ZK_Success;
}

// The object's routing, or the default one (created on first use).
CZkListenerRouting* RoutingOf(const CZkRegisteredObj& object)
{
    CZkListenerRouting* own = object.ListenerRouting();
    return own != nullptr ? own : CZkListenerRouting::GetDefault();
}

CZkRegisteredObj* RegisteredObject(ZkGameObjectID id)
{
    return g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
}
} // namespace

ZKRESULT GetActiveGameObjects(ZkGameObjectID* gameObjects, uint32_t& count)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    ZK::ZkArray<ZkGameObjectID> active;
    const ZKRESULT result = g_pRegistryMgr->GetActiveGameObjects(active);
    if (result != ZK_Success)
        return result;
    return CopyCounted([&](uint32_t index) { return active[index]; }, active.Length(), gameObjects, count);
}

bool GetIsGameObjectActive(ZkGameObjectID gameObject)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    return g_pRegistryMgr != nullptr && g_pRegistryMgr->IsGameObjectActive(gameObject);
}

ZKRESULT GetPosition(ZkGameObjectID gameObject, ZkChannelEmitter& position)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    const CZkRegisteredObj* object = RegisteredObject(gameObject);
    const CZkEmitter* emitter = object != nullptr ? object->Emitter() : nullptr;
    if (emitter == nullptr)
        return ZK_InvalidID;
    position = emitter->PositionCount() > 0 ? emitter->Positions()[0]
                                            : ZkChannelEmitter{kZkDefaultTransform, kZkAllInputChannels};
    return ZK_Success;
}

ZKRESULT GetPosition(ZkGameObjectID gameObject, ZkTransform& position)
{
    ZkChannelEmitter emitter{};
    const ZKRESULT result = GetPosition(gameObject, emitter);
    if (result == ZK_Success)
        position = emitter.transform;
    return result;
}

ZKRESULT GetListenerPosition(ZkGameObjectID listener, ZkTransform& position)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    const CZkRegisteredObj* object = RegisteredObject(listener);
    const CZkListener* component = object != nullptr ? object->Listener() : nullptr;
    if (component == nullptr)
        return ZK_Fail;
    position = component->Transform();
    return ZK_Success;
}

ZKRESULT GetListenerSpatialization(ZkGameObjectID listener, bool& spatialized, float* volumeOffsets,
                                   uint32_t offsetCapacity, ZkChannelConfig& channelConfig)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    const float* offsets = nullptr;
    const ZKRESULT result = GetListenerSpatializationImpl(listener, spatialized, offsets, channelConfig);
    if (result != ZK_Success || volumeOffsets == nullptr)
        return result;
    const uint32_t channels = std::min(offsetCapacity, channelConfig.NumChannels());
    for (uint32_t channel = 0; channel < channels; ++channel)
        volumeOffsets[channel] = offsets != nullptr ? offsets[channel] : 0.0f;
    return ZK_Success;
}

ZKRESULT GetListeners(ZkGameObjectID emitter, ZkGameObjectID* listeners, uint32_t& count)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    const CZkRegisteredObj* object = RegisteredObject(emitter);
    if (object == nullptr)
        return ZK_InvalidID;
    const ZkListenerSet& set = object->GetListenerSet();
    return CopyCounted([&](uint32_t index) { return set[index]; }, set.Length(), listeners, count);
}

ZKRESULT GetGameObjectAuxSendValues(ZkGameObjectID gameObject, ZkAuxSendValue* sends, uint32_t& count)
{
    if (count == 0 || sends == nullptr)
        return ZK_InvalidParameter;
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    const CZkRegisteredObj* object = RegisteredObject(gameObject);
    const CZkListenerRouting* routing = object != nullptr ? RoutingOf(*object) : nullptr;
    if (routing == nullptr)
        return ZK_InvalidID;
    ZK::ZkArray<ZkSendRecord> collected;
    routing->EffectiveAuxTable().CollectSends(collected, 1.0f, 0.0f, 0, routing->Listeners(), 0.0f);
    count = std::min(count, collected.Length());
    for (uint32_t index = 0; index < count; ++index)
        sends[index] = ZkAuxSendValue{collected[index].listenerID, collected[index].auxBusID, collected[index].gain};
    return ZK_Success;
}

ZKRESULT GetGameObjectDryLevelValue(ZkGameObjectID emitter, ZkGameObjectID listener, float& dryLevel)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    const CZkRegisteredObj* object = RegisteredObject(emitter);
    const CZkListenerRouting* routing = object != nullptr ? RoutingOf(*object) : nullptr;
    if (routing == nullptr)
        return ZK_InvalidID;
    dryLevel = routing->EffectiveDryTable().GetGain(listener, 0);
    return ZK_Success;
}

ZKRESULT GetObjectObstructionAndOcclusion(ZkGameObjectID emitter, ZkGameObjectID listener, float& obstruction,
                                          float& occlusion)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pRegistryMgr == nullptr)
        return ZK_Fail;
    const CZkRegisteredObj* object = RegisteredObject(emitter);
    const CZkEmitter* component = object != nullptr ? object->Emitter() : nullptr;
    if (component == nullptr)
        return ZK_InvalidID;
    obstruction = 0.0f;
    occlusion = 0.0f;
    const ZkListenerObstruction* entry = component->FindObstruction(listener);
    if (entry != nullptr && entry->values != nullptr && !entry->values->IsEmpty())
    {
        obstruction = (*entry->values)[0].obstruction;
        occlusion = (*entry->values)[0].occlusion;
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine::Query
