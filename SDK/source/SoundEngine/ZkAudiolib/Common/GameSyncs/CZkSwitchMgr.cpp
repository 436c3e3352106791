// CZkSwitchMgr: life cycle, groups, values and their notification, parameter-driven groups.
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkGroupSubscriber.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace ZK::SoundEngine
{
CZkSwitchMgr* g_pSwitchMgr = nullptr;

ZKRESULT CZkSwitchMgr::Init()
{
    if (!m_groups.InitBuckets(kInitialBucketCount) || !m_subscriptions.InitBuckets(kInitialBucketCount))
    {
        m_groups.Term();
        m_subscriptions.Term();
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

void CZkSwitchMgr::DestroyGroup(CZkSwitchGroup* group)
{
    UnbindParameter(*group);
    group->values.Term();
    group->subscriptions.Term();
    ZK::ZkDelete(kRecordPool, group);
}

ZKRESULT CZkSwitchMgr::Term()
{
    for (uint32_t bucket = 0; bucket < m_groups.BucketCount(); ++bucket)
    {
        for (CZkSwitchGroup* group = m_groups.Bucket(bucket); group != nullptr;)
        {
            CZkSwitchGroup* next = group->pNextItem;
            DestroyGroup(group);
            group = next;
        }
    }
    for (uint32_t bucket = 0; bucket < m_subscriptions.BucketCount(); ++bucket)
    {
        for (ZkSwitchSubscription* record = m_subscriptions.Bucket(bucket); record != nullptr;)
        {
            ZkSwitchSubscription* next = record->pNextItem;
            ZK::ZkDelete(kRecordPool, record);
            record = next;
        }
    }
    m_groups.Term();
    m_subscriptions.Term();
    m_pending.Term();
    m_deferralDepth = 0;
    return ZK_Success;
}

CZkSwitchGroup* CZkSwitchMgr::GetOrAddSwitchGroup(ZkUniqueID groupID)
{
    if (CZkSwitchGroup* group = m_groups.Find(groupID))
        return group;
    auto* group = ZK::ZkNew<CZkSwitchGroup>(kRecordPool, groupID);
    if (group != nullptr && m_groups.Insert(group) != ZK_Success)
    {
        ZK::ZkDelete(kRecordPool, group);
        return nullptr;
    }
    return group;
}

void CZkSwitchMgr::Notify(const CZkSwitchGroup& group, ZkUniqueID state, const ZkRTPCKey& key,
                          const CZkRTPCOverrideFilter* filter)
{
    // Inside a bracket the array does not change; indexes keep the walk safe regardless.
    for (uint32_t index = 0; index < group.subscriptions.Length(); ++index)
    {
        const ZkSwitchSubscription* record = group.subscriptions[index];
        if (record->active != 0)
            record->subscriber->OnGroupValueChanged(state, key, filter);
    }
}

bool CZkSwitchMgr::SetSwitch(CZkSwitchGroup* group, ZkUniqueID state, CZkRegisteredObj* object)
{
    const bool stored = group->values.Set(object, state);
    if (!stored || group->IsParameterDriven())
        return stored;
    Notify(*group, state, ZkRTPCKey::ForObject(object), nullptr);
    return true;
}

void CZkSwitchMgr::SetSwitchInBracket(ZkUniqueID groupID, ZkUniqueID state, CZkRegisteredObj* object)
{
    BeginDeferral();
    if (CZkSwitchGroup* group = GetOrAddSwitchGroup(groupID))
        SetSwitch(group, state, object);
    EndDeferral();
}

void CZkSwitchMgr::SetSwitchMessage(ZkGameObjectID objectID, ZkUniqueID groupID, ZkUniqueID state)
{
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(objectID) : nullptr;
    if (object != nullptr)
        SetSwitchInBracket(groupID, state, object);
}

bool CZkSwitchMgr::QuerySwitch(ZkUniqueID groupID, const ZkRTPCKey& key, ZkUniqueID& value)
{
    value = 0;
    CZkSwitchGroup* group = m_groups.Find(groupID);
    if (group == nullptr)
        return false;
    if (group->IsParameterDriven())
        value = group->StateAtCurveOutput(g_pRTPCMgr != nullptr ? g_pRTPCMgr->EvaluateTargetCurve(group, key) : 0.0f);
    else
        group->values.FindBestMatch(key.gameObject, value);
    return true;
}

ZkUniqueID CZkSwitchMgr::GetSwitch(ZkUniqueID groupID, const ZkRTPCKey& key)
{
    ZkUniqueID value = 0;
    QuerySwitch(groupID, key, value);
    return value;
}

void CZkSwitchMgr::UnbindParameter(CZkSwitchGroup& group)
{
    if (!group.IsParameterDriven())
        return;
    if (g_pRTPCMgr != nullptr)
        g_pRTPCMgr->UnsubscribeRTPC(&group, kRTPCCrossfadeBit);
    group.states.Term();
    group.parameterID = 0;
}

ZKRESULT CZkSwitchMgr::SetSwitchGroupRTPC(ZkUniqueID groupID, ZkUniqueID parameterID, uint8_t parameterType,
                                          const ZkSwitchGroupPoint* points, uint32_t count)
{
    CZkSwitchGroup* group = GetOrAddSwitchGroup(groupID);
    if (group == nullptr)
        return ZK_InsufficientMemory;
    UnbindParameter(*group);
    if (count == 0)
        return ZK_Success;
    if (g_pRTPCMgr == nullptr)
        return ZK_Fail;

    ZkCurvePoint* curve = static_cast<ZkCurvePoint*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(ZkCurvePoint) * size_t{count}));
    ZKRESULT result = curve != nullptr ? group->states.Reserve(count) : ZK_InsufficientMemory;
    if (result == ZK_Success)
    {
        group->parameterID = parameterID;
        group->parameterType = parameterType;
        for (uint32_t index = 0; index < count; ++index)
        {
            curve[index] = ZkCurvePoint{points[index].value, static_cast<float>(index), points[index].shape};
            group->states.AddLast(points[index].switchStateID);
        }
        result = g_pRTPCMgr->SubscribeSwitchGroup(group, parameterID, parameterType, curve, count, ZkCurveScaling_None);
    }
    if (curve != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, curve);
    if (result != ZK_Success)
    {
        group->states.Term();
        group->parameterID = 0;
    }
    return result;
}

void CZkSwitchMgr::NotifyFromParameter(CZkSwitchGroup* group, const ZkRTPCKey& key, int32_t index,
                                       const CZkRTPCOverrideFilter* filter)
{
    if (index < 0 || static_cast<uint32_t>(index) >= group->states.Length() || group->subscriptions.IsEmpty())
        return;
    Notify(*group, group->states[static_cast<uint32_t>(index)], ZkRTPCKey::ForObject(key.gameObject), filter);
}

void CZkSwitchMgr::ApplyRTPCSwitch(void* group, float curveOutput, const ZkRTPCKey& key,
                                   const CZkRTPCOverrideFilter* filter)
{
    BeginDeferral();
    NotifyFromParameter(static_cast<CZkSwitchGroup*>(group), key, CZkSwitchGroup::CurveIndex(curveOutput), filter);
    EndDeferral();
}

void CZkSwitchMgr::RemoveGameObject(CZkRegisteredObj* object)
{
    for (uint32_t bucket = 0; bucket < m_groups.BucketCount(); ++bucket)
    {
        for (CZkSwitchGroup* group = m_groups.Bucket(bucket); group != nullptr; group = group->pNextItem)
            group->values.Remove(object);
    }
}
} // namespace ZK::SoundEngine
