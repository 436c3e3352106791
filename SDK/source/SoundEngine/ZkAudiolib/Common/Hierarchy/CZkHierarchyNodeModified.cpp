// CZkHierarchyNode: the records of runtime property changes, for every game object (the global
// record) and per game object. A node with a record is listed with the game object (or, for the
// global record, with the registry) so that it drops the record when the game object goes.
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// Every game object the engine hands out is a registered object.
ZkRTPCKey KeyOf(CZkGameObject* object)
{
    return object != nullptr ? ZkRTPCKey::ForObject(static_cast<CZkRegisteredObj*>(object)) : ZkRTPCKey::Global();
}
} // namespace

CZkModifiedProps* CZkHierarchyNode::FindModifiedProps(CZkGameObject* object) const
{
    if (object == nullptr)
        return m_globalModified;
    for (const ModifiedPair& pair : m_objectModified)
    {
        if (pair.object == object)
            return pair.record;
    }
    return nullptr;
}

CZkModifiedProps* CZkHierarchyNode::GetOrCreateModifiedProps(CZkGameObject* object)
{
    if (CZkModifiedProps* present = FindModifiedProps(object))
        return present;
    if (object == nullptr)
    {
        if (g_pRegistryMgr != nullptr && g_pRegistryMgr->AddNodeWithoutObject(ID(), IsBus()) != ZK_Success)
            return nullptr;
        m_globalModified = ZK::ZkNew<CZkModifiedProps>(CZkModifiedProps::kPool, *this, nullptr, m_effects.BypassBits());
        return m_globalModified;
    }
    auto* record = ZK::ZkNew<CZkModifiedProps>(CZkModifiedProps::kPool, *this, object, m_effects.BypassBits());
    if (record == nullptr)
        return nullptr;
    if (m_objectModified.AddLast(ModifiedPair{object, record}) == nullptr)
    {
        ZK::ZkDelete(CZkModifiedProps::kPool, record);
        return nullptr;
    }
    CZkPerObjectNodeList* nodes = static_cast<CZkRegisteredObj*>(object)->GetOrCreatePerObjectNodeList();
    if (nodes == nullptr || nodes->AddNode(ID(), IsBus()) != ZK_Success)
    {
        m_objectModified.Erase(m_objectModified.Length() - 1);
        ZK::ZkDelete(CZkModifiedProps::kPool, record);
        return nullptr;
    }
    return record;
}

ZKRESULT CZkHierarchyNode::SetModifiedProperty(CZkGameObject* object, uint8_t propertyID, float value, ZkTimeMs timeMs,
                                               uint32_t curve)
{
    const uint8_t parameter = PropertyParameter(propertyID);
    if (parameter == kNoParameter)
        return ZK_Fail;
    CZkModifiedProps* record = GetOrCreateModifiedProps(object);
    // The second target list must drive the parameter for the change to reach anyone.
    if (record == nullptr || m_modifiedParams.AddParamBit(parameter) != ZK_Success)
        return ZK_Fail;
    CZkModifiedProps::Entry* entry = record->FindOrAdd(propertyID);
    if (entry == nullptr)
        return ZK_Fail;
    if (entry->transition != nullptr && g_pTransitionMgr != nullptr)
    {
        g_pTransitionMgr->ChangeParameter(entry->transition, propertyID, value, timeMs, curve, ZkValueMeaning_Absolute);
        return ZK_Success;
    }
    if (timeMs > 0 && g_pTransitionMgr != nullptr)
    {
        ZkTransitionParams params;
        params.firstUser = record;
        params.kind = propertyID;
        params.startValue = entry->value;
        params.targetValue = value;
        params.timeMs = timeMs;
        params.curve = curve;
        entry->transition = g_pTransitionMgr->AddTransition(params);
        if (entry->transition != nullptr)
            return ZK_Success;
        // No memory for a transition: the value is set at once.
    }
    const float old = entry->value;
    entry->value = value;
    ApplyModifiedValue(*record, propertyID, old, value);
    return ZK_Success;
}

void CZkHierarchyNode::ApplyModifiedValue(CZkModifiedProps& record, uint8_t propertyID, float oldValue, float newValue)
{
    if (propertyID == ZkProp_Gain)
    {
        UpdateContribution(record.GameObject());
        return;
    }
    m_modifiedParams.SetParamValue(PropertyParameter(propertyID), KeyOf(record.GameObject()), newValue,
                                   newValue - oldValue, nullptr);
}

void CZkHierarchyNode::ResetModifiedProperty(CZkGameObject* object, uint8_t propertyID, ZkTimeMs timeMs,
                                             uint32_t curve)
{
    CZkModifiedProps* record = FindModifiedProps(object);
    const CZkModifiedProps::Entry* entry = record != nullptr ? record->Find(propertyID) : nullptr;
    if (entry == nullptr)
        return;
    const float neutral = CZkModifiedProps::NeutralValue(propertyID);
    if (object == nullptr && entry->value == neutral && entry->transition == nullptr)
        return;
    SetModifiedProperty(object, propertyID, neutral, timeMs, curve);
}

void CZkHierarchyNode::ResetAllModifiedProperties(uint8_t propertyID, ZkTimeMs timeMs, uint32_t curve)
{
    const float neutral = CZkModifiedProps::NeutralValue(propertyID);
    for (uint32_t index = 0; index < m_objectModified.Length(); ++index)
    {
        const ModifiedPair pair = m_objectModified[index];
        if (pair.record->Value(propertyID) != neutral)
            ResetModifiedProperty(pair.object, propertyID, timeMs, curve);
    }
}

ZKRESULT CZkHierarchyNode::RemoveGameObjectData(CZkGameObject* object)
{
    DropIdleObjectLimiter(object);
    FreeActivityIfIdle();
    for (uint32_t index = 0; index < m_objectModified.Length(); ++index)
    {
        if (m_objectModified[index].object == object)
        {
            ZK::ZkDelete(CZkModifiedProps::kPool, m_objectModified[index].record);
            m_objectModified.Erase(index);
            break;
        }
    }
    return ZK_Success;
}

void CZkHierarchyNode::FreeModifiedProps()
{
    for (const ModifiedPair& pair : m_objectModified)
        ZK::ZkDelete(CZkModifiedProps::kPool, pair.record);
    m_objectModified.Term();
    ZK::ZkDelete(CZkModifiedProps::kPool, m_globalModified);
    m_globalModified = nullptr;
}
} // namespace ZK::SoundEngine
