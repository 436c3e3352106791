// CZkSwitchMgr: subscriptions and deferral brackets.
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

#include <algorithm>
#include <cstdint>
#include <functional>

namespace ZK::SoundEngine
{
namespace
{
uint32_t SubscriberKey(const CZkGroupSubscriber* subscriber)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(subscriber));
}

uint32_t SortedPosition(const ZK::ZkArray<ZkSwitchSubscription*>& records, const ZkSwitchSubscription* record)
{
    const auto at = std::lower_bound(records.begin(), records.end(), record, std::less<const ZkSwitchSubscription*>());
    return static_cast<uint32_t>(at - records.begin());
}
} // namespace

ZkSwitchSubscription* CZkSwitchMgr::FindRecord(const CZkGroupSubscriber* subscriber) const
{
    if (m_subscriptions.BucketCount() == 0)
        return nullptr;
    for (ZkSwitchSubscription* record = m_subscriptions.Bucket(SubscriberKey(subscriber) % m_subscriptions.BucketCount());
         record != nullptr; record = record->pNextItem)
    {
        if (record->subscriber == subscriber)
            return record;
    }
    return nullptr;
}

const ZkSwitchSubscription* CZkSwitchMgr::FindSubscription(const CZkGroupSubscriber* subscriber) const
{
    return FindRecord(subscriber);
}

void CZkSwitchMgr::DetachFromGroup(ZkSwitchSubscription* record)
{
    CZkSwitchGroup* group = m_groups.Find(record->groupID);
    if (group == nullptr)
        return;
    const uint32_t index = SortedPosition(group->subscriptions, record);
    if (index < group->subscriptions.Length() && group->subscriptions[index] == record)
        group->subscriptions.Erase(index);
}

void CZkSwitchMgr::DestroyRecord(ZkSwitchSubscription* record)
{
    m_subscriptions.Unlink(record);
    DetachFromGroup(record);
    ZK::ZkDelete(kRecordPool, record);
}

ZKRESULT CZkSwitchMgr::SubscribeNow(CZkGroupSubscriber* subscriber, ZkUniqueID groupID)
{
    if (subscriber == nullptr)
        return ZK_InvalidParameter;
    ZkSwitchSubscription* record = FindRecord(subscriber);
    if (record != nullptr)
    {
        DetachFromGroup(record);
    }
    else
    {
        record = ZK::ZkNew<ZkSwitchSubscription>(kRecordPool);
        if (record == nullptr)
            return ZK_InsufficientMemory;
        record->subscriber = subscriber;
        record->hashKey = SubscriberKey(subscriber);
        if (m_subscriptions.Insert(record) != ZK_Success)
        {
            ZK::ZkDelete(kRecordPool, record);
            return ZK_InsufficientMemory;
        }
    }
    record->groupID = groupID;
    record->active = 1;
    CZkSwitchGroup* group = GetOrAddSwitchGroup(groupID);
    if (group == nullptr ||
        group->subscriptions.Insert(SortedPosition(group->subscriptions, record), record) == nullptr)
    {
        DestroyRecord(record);
        return ZK_InsufficientMemory;
    }
    return ZK_Success;
}

void CZkSwitchMgr::UnsubscribeNow(CZkGroupSubscriber* subscriber)
{
    ZkSwitchSubscription* record = FindRecord(subscriber);
    if (record == nullptr)
        return;
    if (m_deferralDepth > 0)
        record->active = 0;
    else
        DestroyRecord(record);
}

ZKRESULT CZkSwitchMgr::Subscribe(CZkGroupSubscriber* subscriber, ZkUniqueID groupID)
{
    if (m_deferralDepth == 0)
        return SubscribeNow(subscriber, groupID);
    return m_pending.AddLast(PendingOperation{kPendingSubscribe, subscriber, groupID}) != nullptr ? ZK_Success : ZK_Fail;
}

void CZkSwitchMgr::Unsubscribe(CZkGroupSubscriber* subscriber)
{
    UnsubscribeNow(subscriber);
    if (m_deferralDepth > 0)
        m_pending.AddLast(PendingOperation{kPendingUnsubscribe, subscriber, 0});
}

void CZkSwitchMgr::EndDeferral()
{
    if (m_deferralDepth <= 0 || --m_deferralDepth > 0)
        return;
    // Operations run now may not queue more: the depth is 0 while they run.
    for (uint32_t index = 0; index < m_pending.Length(); ++index)
    {
        const PendingOperation operation = m_pending[index];
        if (operation.operation == kPendingSubscribe)
            SubscribeNow(operation.subscriber, operation.groupID);
        else
            UnsubscribeNow(operation.subscriber);
    }
    m_pending.RemoveAll();
}

} // namespace ZK::SoundEngine
