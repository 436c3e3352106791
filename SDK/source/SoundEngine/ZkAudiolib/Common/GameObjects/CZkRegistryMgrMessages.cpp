// CZkRegistryMgr: positions, scaling, routing and obstruction messages, and value lists.
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

#include "ZkAudiolib/Common/GameObjects/CZkEmitter.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"

#include <cmath>

namespace ZK::SoundEngine
{
ZKRESULT CZkRegistryMgr::SetPosition(ZkGameObjectID id, const ZkChannelEmitter* records, uint32_t count, uint32_t mode)
{
    CZkRegisteredObj* object = GetObj(id);
    if (object == nullptr)
        return ZK_Fail;
    ZKRESULT result = ZK_Fail;
    if (CZkEmitter* emitter = object->Emitter())
        result = emitter->SetPositions(records, count, mode) == ZK_Success ? ZK_Success : ZK_InsufficientMemory;
    if (count == 0)
        return result;
    if (CZkListener* listener = object->Listener())
        result = listener->SetTransform(records[0]);
    return result;
}

ZKRESULT CZkRegistryMgr::SetScalingFactor(ZkGameObjectID id, float factor)
{
    if (!std::isfinite(factor) || factor <= 0.0f)
        return ZK_InvalidParameter;
    CZkRegisteredObj* object = GetObj(id);
    if (object == nullptr)
        return ZK_Fail;
    if (CZkEmitter* emitter = object->Emitter())
    {
        emitter->SetScalingFactor(factor);
        emitter->SetDirty();
    }
    if (CZkListener* listener = object->Listener())
        listener->SetScalingFactor(factor);
    return ZK_Success;
}

ZKRESULT CZkRegistryMgr::SetObjectObstructionAndOcclusion(ZkGameObjectID emitterID, ZkGameObjectID listenerID,
                                                          float obstruction, float occlusion)
{
    const ZkObstructionOcclusionValues value = {occlusion, obstruction};
    return SetMultipleObstructionAndOcclusion(emitterID, listenerID, &value, 1);
}

ZKRESULT CZkRegistryMgr::SetMultipleObstructionAndOcclusion(ZkGameObjectID emitterID, ZkGameObjectID listenerID,
                                                            const ZkObstructionOcclusionValues* values, uint32_t count)
{
    CZkRegisteredObj* object = GetObj(emitterID);
    if (object == nullptr)
        return ZK_Fail;
    EnsureListener(listenerID);
    CZkEmitter* emitter = object->GetOrCreateEmitter();
    if (emitter == nullptr)
        return ZK_Fail;
    const ZKRESULT result = emitter->SetObstructionOcclusion(listenerID, values, count);
    emitter->SetDirty();
    return result;
}

ZKRESULT CZkRegistryMgr::RecordObjectValue(CZkGameObject* object, uint32_t key, uint32_t value)
{
    CZkObjectValueList* list = object != nullptr ? object->GetOrCreateValueList() : nullptr;
    if (list == nullptr)
        return ZK_Fail;
    if (CZkObjectValueList::Entry* entry = list->Find(key))
    {
        if (entry->value == value)
        {
            ++entry->count;
        }
        else
        {
            entry->value = value;
            entry->count = 1;
        }
        return ZK_Success;
    }
    return list->Append(key, ZkObjectValue{value, 0}) != nullptr ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkRegistryMgr::AddObjectValue(CZkGameObject* object, uint32_t key, ZkObjectValue value)
{
    CZkObjectValueList* list = object != nullptr ? object->GetOrCreateValueList() : nullptr;
    if (list == nullptr)
        return ZK_Fail;
    if (CZkObjectValueList::Entry* entry = list->Find(key))
    {
        entry->value = value.value;
        entry->count = value.count;
        return ZK_Success;
    }
    return list->Append(key, value) != nullptr ? ZK_Success : ZK_Fail;
}

ZkObjectValue CZkRegistryMgr::GetObjectValue(CZkGameObject* object, uint32_t key) const
{
    CZkObjectValueList* list = object != nullptr ? object->ValueList() : nullptr;
    const CZkObjectValueList::Entry* entry = list != nullptr ? list->Find(key) : nullptr;
    return entry != nullptr ? ZkObjectValue{entry->value, entry->count} : ZkObjectValue{0, 0};
}

ZKRESULT CZkRegistryMgr::ClearObjectValue(uint32_t key, CZkGameObject* object)
{
    if (object != nullptr)
    {
        if (CZkObjectValueList* list = object->ValueList())
            list->Remove(key);
        return ZK_Success;
    }
    for (CZkObjectValueList* list = CZkObjectValueList::First(); list != nullptr; list = list->Next())
        list->Remove(key);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
