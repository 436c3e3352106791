// CZkSwitchMgr: the engine's switch groups. A switch group's value (a switch state id) is held per
// game object with a global fallback; switch containers subscribe to a group (CZkGroupSubscriber)
// and are told when its value changes. A group may instead be driven by a game parameter: a curve
// maps the parameter's value to an index into the group's switch states, and changes come from the
// game-parameter manager.
//
// Deferral brackets: every path that notifies subscribers runs inside BeginDeferral/EndDeferral.
// While a bracket is open, subscriptions and unsubscriptions are queued (an unsubscribed record is
// only made inactive) and run in order when the outermost bracket closes, so a subscriber may change
// its subscription from inside its notification.
//
// Threading: no lock of its own: every caller runs on the audio thread or holds the global engine
// lock.
// Ownership: one manager (memory pool 16), reached through g_pSwitchMgr. It owns its groups and
// subscription records (pool 2), its tables and pending buffer (pool 0); subscribers are pointed at.
#pragma once

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"
#include "ZkAudiolib/Common/Containers/ZkInlineArray.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchGroup.h"

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkRTPCKey.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkRTPCOverrideFilter;
class CZkRegisteredObj;

// One point of a parameter-driven switch group as the bank stores it (12 bytes): the parameter
// value and the switch state it selects, and the curve shape of the segment that starts there.
struct ZkSwitchGroupPoint
{
    float value;
    uint32_t switchStateID;
    uint32_t shape;
};
static_assert(sizeof(ZkSwitchGroupPoint) == 12, "bank switch-group points are 12 bytes");

class CZkSwitchMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr ZkMemoryId kRecordPool = ZkMemID_BankObjects;
    static constexpr uint32_t kInitialBucketCount = 11;
    static constexpr uint32_t kInlinePendingOperations = 16;

    CZkSwitchMgr() = default;
    ~CZkSwitchMgr() { Term(); }
    CZkSwitchMgr(const CZkSwitchMgr&) = delete;
    CZkSwitchMgr& operator=(const CZkSwitchMgr&) = delete;

    // 11 buckets per table. 1, or 52.
    ZKRESULT Init();
    // Frees every group (unsubscribing parameter-driven ones), subscription and table. 1.
    ZKRESULT Term();

    // The group's record, created when absent; null out of memory.
    CZkSwitchGroup* GetOrAddSwitchGroup(ZkUniqueID groupID);
    CZkSwitchGroup* FindGroup(ZkUniqueID groupID) const { return m_groups.Find(groupID); }
    uint32_t GroupCount() const { return m_groups.Length(); }

    // Stores the value for the object (null: global) and, unless the group is driven by a game
    // parameter, tells the group's active subscribers. True when the value was stored.
    bool SetSwitch(CZkSwitchGroup* group, ZkUniqueID state, CZkRegisteredObj* object);
    // SetSwitch inside a deferral bracket (the set-switch action; null object: global).
    void SetSwitchInBracket(ZkUniqueID groupID, ZkUniqueID state, CZkRegisteredObj* object);
    // Message 8: an unregistered object drops the message.
    void SetSwitchMessage(ZkGameObjectID objectID, ZkUniqueID groupID, ZkUniqueID state);

    // The group's value for the key's game object (or global; from the curve for a parameter-driven
    // group); 0 for an unknown group or when nothing is set.
    ZkUniqueID GetSwitch(ZkUniqueID groupID, const ZkRTPCKey& key);
    // False (and 0) for an unknown group.
    bool QuerySwitch(ZkUniqueID groupID, const ZkRTPCKey& key, ZkUniqueID& value);

    // 1; 31 for a null subscriber; 52 out of memory (nothing left behind); inside a bracket the call
    // is queued (1, or 2 when the queue cannot grow).
    ZKRESULT Subscribe(CZkGroupSubscriber* subscriber, ZkUniqueID groupID);
    void Unsubscribe(CZkGroupSubscriber* subscriber);
    void BeginDeferral() { ++m_deferralDepth; }
    void EndDeferral();
    uint32_t SubscriptionCount() const { return m_subscriptions.Length(); }
    const ZkSwitchSubscription* FindSubscription(const CZkGroupSubscriber* subscriber) const;

    // Binds the group to a game parameter through count points (none: set directly again). 1; 52
    // out of memory; the game-parameter manager's refusal.
    ZKRESULT SetSwitchGroupRTPC(ZkUniqueID groupID, ZkUniqueID parameterID, uint8_t parameterType,
                                const ZkSwitchGroupPoint* points, uint32_t count);
    // The game-parameter manager's notification for a parameter-driven group: index is the curve's
    // new output truncated toward zero.
    void NotifyFromParameter(CZkSwitchGroup* group, const ZkRTPCKey& key, int32_t index,
                             const CZkRTPCOverrideFilter* filter);
    // NotifyFromParameter inside a deferral bracket, for the curve's new output (truncated toward
    // zero; NaN or an output beyond the index range selects nothing).
    void ApplyRTPCSwitch(void* group, float curveOutput, const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter);

    // Drops the object's values from every group (its destruction).
    void RemoveGameObject(CZkRegisteredObj* object);

private:
    using GroupTable = ZK::CZkHashTable<CZkSwitchGroup, &CZkSwitchGroup::pNextItem, &CZkSwitchGroup::groupID>;
    using SubscriptionTable =
        ZK::CZkHashTable<ZkSwitchSubscription, &ZkSwitchSubscription::pNextItem, &ZkSwitchSubscription::hashKey>;

    struct PendingOperation
    {
        uint32_t operation; // 0 subscribe, 1 unsubscribe
        CZkGroupSubscriber* subscriber;
        ZkUniqueID groupID;
    };
    static constexpr uint32_t kPendingSubscribe = 0;
    static constexpr uint32_t kPendingUnsubscribe = 1;

    ZkSwitchSubscription* FindRecord(const CZkGroupSubscriber* subscriber) const;
    ZKRESULT SubscribeNow(CZkGroupSubscriber* subscriber, ZkUniqueID groupID);
    void UnsubscribeNow(CZkGroupSubscriber* subscriber);
    void DetachFromGroup(ZkSwitchSubscription* record);
    void DestroyRecord(ZkSwitchSubscription* record);
    void Notify(const CZkSwitchGroup& group, ZkUniqueID state, const ZkRTPCKey& key, const CZkRTPCOverrideFilter* filter);
    void UnbindParameter(CZkSwitchGroup& group);
    void DestroyGroup(CZkSwitchGroup* group);

    GroupTable m_groups;
    SubscriptionTable m_subscriptions;
    ZK::ZkInlineArray<PendingOperation, kInlinePendingOperations> m_pending;
    int32_t m_deferralDepth = 0;
};

extern CZkSwitchMgr* g_pSwitchMgr;
} // namespace ZK::SoundEngine
