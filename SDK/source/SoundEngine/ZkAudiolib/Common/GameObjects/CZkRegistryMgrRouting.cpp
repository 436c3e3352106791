// CZkRegistryMgr: the messages that route game objects to listeners (14, 16, 17, 19, 20).
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

namespace ZK::SoundEngine
{
namespace
{
// The emitter's geometry must follow the routing; obstruction values of listeners it no longer
// hears are dropped.
void MarkRoutingChanged(CZkEmitter* emitter, const ZkListenerSet& listeners)
{
    if (emitter == nullptr)
        return;
    emitter->SetDirty();
    emitter->PruneListeners(listeners.Data(), listeners.Length());
}

// The object's routing, created when missing. Null with 2 for an unknown object, or with the
// creation's result.
CZkListenerRouting* RoutingOf(CZkRegisteredObj* object, ZKRESULT& result)
{
    if (object == nullptr)
    {
        result = ZK_Fail;
        return nullptr;
    }
    return object->GetOrCreateListenerRouting(&result);
}
} // namespace

ZKRESULT CZkRegistryMgr::SetListeners(ZkGameObjectID id, const ZkListenerSet& listeners, ZkListenerOperation operation)
{
    CZkRegisteredObj* object = GetObj(id);
    ZKRESULT result = ZK_Success;
    CZkListenerRouting* routing = RoutingOf(object, result);
    if (routing == nullptr)
        return result;
    if (operation != ZkListenerOperation_Remove)
    {
        for (ZkGameObjectID listenerID : listeners)
            EnsureListener(listenerID);
    }
    routing->Apply(operation, listeners);
    CZkAudioRenderer::SetGraphDirty(0);
    MarkRoutingChanged(object->Emitter(), routing->Listeners());
    return ZK_Success;
}

ZKRESULT CZkRegistryMgr::SetDefaultListeners(const ZkListenerSet& listeners, ZkListenerOperation operation)
{
    if (operation != ZkListenerOperation_Remove)
    {
        for (ZkGameObjectID listenerID : listeners)
            EnsureListener(listenerID);
    }
    CZkListenerRouting* defaults = CZkListenerRouting::GetDefault();
    if (defaults == nullptr)
        return ZK_InsufficientMemory;
    defaults->Apply(operation, listeners);
    CZkAudioRenderer::SetGraphDirty(0);
    for (CZkEmitter* emitter = CZkEmitter::First(); emitter != nullptr; emitter = emitter->Next())
    {
        const CZkListenerRouting* routing = emitter->owner->ListenerRouting();
        if (routing == nullptr || !routing->OwnsListeners())
            MarkRoutingChanged(emitter, defaults->Listeners());
    }
    return ZK_Success;
}

ZKRESULT CZkRegistryMgr::ResetListenersToDefault(ZkGameObjectID id)
{
    CZkRegisteredObj* object = GetObj(id);
    if (object == nullptr)
        return ZK_Fail;
    CZkListenerRouting* routing = object->ListenerRouting();
    if (routing == nullptr)
        return ZK_Success; // it follows the default listeners already
    routing->ResetToDefault();
    CZkAudioRenderer::SetGraphDirty(0);
    MarkRoutingChanged(object->GetOrCreateEmitter(), routing->Listeners());
    return ZK_Success;
}

ZKRESULT CZkRegistryMgr::SetGameObjectAuxSendValues(ZkGameObjectID id, const ZkAuxSendValue* values, uint32_t count)
{
    CZkRegisteredObj* object = GetObj(id);
    ZKRESULT result = ZK_Success;
    CZkListenerRouting* routing = RoutingOf(object, result);
    if (routing == nullptr)
        return result;
    for (uint32_t index = 0; index < count; ++index)
    {
        if (values[index].listenerID != ZK_ALL_GAME_OBJECTS)
            EnsureListener(values[index].listenerID);
    }
    routing->SetAuxSends(values, count);
    MarkRoutingChanged(object->GetOrCreateEmitter(), routing->Listeners());
    return ZK_Success;
}

ZKRESULT CZkRegistryMgr::SetGameObjectOutputBusVolume(ZkGameObjectID emitterID, ZkGameObjectID listenerID, float volume)
{
    CZkRegisteredObj* object = GetObj(emitterID);
    ZKRESULT result = ZK_Success;
    CZkListenerRouting* routing = RoutingOf(object, result);
    if (routing == nullptr)
        return result;
    if (listenerID == ZK_ALL_GAME_OBJECTS)
    {
        routing->SetAllDryLevels(volume);
    }
    else
    {
        EnsureListener(listenerID);
        routing->SetDryLevel(listenerID, volume);
    }
    MarkRoutingChanged(object->Emitter(), routing->Listeners());
    return ZK_Success;
}
} // namespace ZK::SoundEngine
