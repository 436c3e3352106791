// CZkStateMgr: the engine's state groups and triggers. A state group has one current state for every
// game object. Setting a state tells the group's subscribers (switch containers, music switches)
// first, then moves the state-driven property values of every node and effect object linked to the
// group (CZkStateGroupLink) to the new state's values, at once or through transitions whose time is
// chosen per (from, to) pair. Triggers go to the receivers registered for them. The manager also
// keeps the prepared values of state and switch groups that the bank manager maintains.
//
// Threading: everything runs on the audio thread or under the global engine lock, except the
// prepared groups, which the bank manager's thread also reaches: finding or creating a prepared
// record takes the manager's own lock; the record's values and nodes are used outside it.
// A subscriber may unregister while it is notified (its node is emptied and purged after the walk);
// trigger receivers must not unregister while Trigger walks.
// Ownership: one manager (memory pool 16), reached through g_pStateMgr. It owns its group records
// and prepared records (pool 2), the list nodes (pool 0) and the transition arrays; links,
// subscribers, receivers and group nodes are only pointed at. Init/Term leave no state behind.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkPooledList.h"
#include "ZkAudiolib/Common/GameSyncs/ZkGameSyncTypes.h"
#include "ZkAudiolib/Common/GameSyncs/ZkPreparedGroup.h"

#include "Platform/PlatformLock.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGroupSubscriber;
class CZkRegisteredObj;
class CZkStateGroupLink;
class IZkTriggerReceiver;

struct ZkStateTransitionTime
{
    ZkUniqueID from;
    ZkUniqueID to;
    uint32_t timeMs;
};

// One state group (memory pool 2).
struct ZkStateGroup
{
    uint32_t defaultTransitionMs = 0;
    ZkUniqueID currentState = kZkStateNone;
    CZkStateGroupLink* links = nullptr; // newest first, chained through the links' group link
    ZK::ZkArray<ZkStateTransitionTime> customTransitions; // at most one per (from, to)

    const ZkStateTransitionTime* FindTransition(ZkUniqueID from, ZkUniqueID to) const;
};

class CZkStateMgr
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    static constexpr ZkMemoryId kRecordPool = ZkMemID_BankObjects;
    static constexpr uint32_t kBlockNodes = 8;

    CZkStateMgr() = default;
    ~CZkStateMgr() { Term(); }
    CZkStateMgr(const CZkStateMgr&) = delete;
    CZkStateMgr& operator=(const CZkStateMgr&) = delete;

    // Preallocates the two blocks of 8 list nodes. 1, or 52.
    ZKRESULT Init();
    // Frees every group, list node and prepared record (group nodes are only detached).
    void Term();

    // --- Groups (the bank's state-manager chunk) ---
    // 1 when the group exists or was added; 2 out of memory (nothing is kept).
    ZKRESULT AddStateGroup(ZkUniqueID groupID);
    // 1, or 20 for an unknown group.
    ZKRESULT SetDefaultTransitionTime(ZkUniqueID groupID, uint32_t timeMs);
    // Sets the time of (from, to), and of (to, from) with bothDirections. 1; 20 unknown group; 2 when
    // an entry cannot be appended.
    ZKRESULT AddStateTransition(ZkUniqueID groupID, ZkUniqueID from, ZkUniqueID to, uint32_t timeMs,
                                bool bothDirections);
    // Removes every group, or with onlyUnused those no link uses. 1.
    ZKRESULT RemoveAllStateGroups(bool onlyUnused);

    // --- Current states ---
    // The current state; 0 for an unknown group.
    ZkUniqueID GetState(ZkUniqueID groupID) const;
    // True and the current state; false and kZkStateNone for an unknown group.
    bool QueryState(ZkUniqueID groupID, ZkUniqueID& state) const;
    // Message 7, the set-state action and the music engine's internal setter.
    void SetStateInternal(ZkUniqueID groupID, ZkUniqueID stateID, bool immediate, bool skipNotification);
    uint32_t GroupCount() const { return m_groups.Length(); }
    ZkStateGroup* FindGroup(ZkUniqueID groupID) const;

    // --- Links of state-driven properties ---
    // Each: 1, or 20 for an unknown group.
    ZKRESULT AddGroupLink(ZkUniqueID groupID, CZkStateGroupLink* link);
    ZKRESULT RemoveGroupLink(ZkUniqueID groupID, CZkStateGroupLink* link);

    // --- State-group subscribers ---
    // 1; 31 for a null subscriber; 2 when no list node can be had.
    ZKRESULT RegisterStateObject(CZkGroupSubscriber* subscriber, ZkUniqueID groupID);
    ZKRESULT UnregisterStateObject(CZkGroupSubscriber* subscriber);
    uint32_t StateAwareCount() const { return m_stateAware.Length(); }

    // --- Triggers ---
    // 1, or 2 when no list node can be had. The receiver gets every trigger posted to object, or
    // with a null object only those posted to every object.
    ZKRESULT RegisterTriggerTarget(IZkTriggerReceiver* receiver, CZkRegisteredObj* object);
    ZKRESULT UnregisterTriggerTarget(IZkTriggerReceiver* receiver);
    // object null: every game object.
    void Trigger(ZkUniqueID triggerID, CZkRegisteredObj* object);
    // Message 10: -1 reaches every receiver, a registered object only its receivers; an unregistered
    // object drops the message.
    void PostTriggerMessage(ZkGameObjectID objectID, ZkUniqueID triggerID);
    uint32_t TriggerTargetCount() const { return m_triggers.Length(); }

    // --- Prepared game syncs (also from the bank manager's thread) ---
    // The record of (group, type 1 = state, other = switch), created when absent; null out of memory.
    ZkPreparedGroup* GetPreparedGroup(ZkUniqueID groupID, uint32_t groupType);
    // Adds (once) or removes a prepared value and tells the group's nodes. 1; the first failing
    // node's result (the nodes told before it are told to unprepare again); 52 when preparing and no
    // record can be created.
    ZKRESULT PrepareGameSync(uint32_t groupType, ZkUniqueID groupID, ZkUniqueID value, bool prepare);
    // The prepared values of (group, type 1 = state, other = switch), the record being created when
    // absent so that nodes can join it; null out of memory (the caller answers 52).
    ZK::ZkArray<ZkUniqueID>* GetPreparedValues(ZkUniqueID groupID, uint32_t groupType);
    // The record of a prepared group (its node list and prepared values), or null when the group
    // is not prepared. Nothing is created.
    ZkPreparedGroup* GetGroupNodes(uint32_t groupType, ZkUniqueID groupID);
    // Links node at the head of the prepared group's node list. 1; 2 when the group is not prepared.
    ZKRESULT AddGroupNode(IZkPreparedGroupNode* node, uint32_t groupType, ZkUniqueID groupID);
    // Unlinks node from the list (nothing when it is not in it or the group is not prepared).
    void RemoveGroupNode(IZkPreparedGroupNode* node, uint32_t groupType, ZkUniqueID groupID);

private:
    struct StateAwareNode
    {
        StateAwareNode* next;
        CZkGroupSubscriber* subscriber; // null once unregistered during a walk
        ZkUniqueID groupID;
    };
    struct TriggerNode
    {
        TriggerNode* next;
        IZkTriggerReceiver* receiver;
        ZkUniqueID triggerID; // 0: every trigger
        CZkRegisteredObj* object; // null: only triggers posted to every object
    };
    struct GroupEntry
    {
        ZkUniqueID id;
        ZkStateGroup* group;
    };
    struct PreparedList
    {
        ZkPreparedGroup* tail = nullptr;
        ZkPreparedGroup* head = nullptr;
    };

    static void DestroyGroup(ZkStateGroup* group);
    void NotifySubscribers(ZkUniqueID groupID, ZkUniqueID stateID);
    static void ApplyStateToLink(CZkStateGroupLink& link, ZkUniqueID stateID, uint32_t timeMs);
    static void FreePreparedList(PreparedList& list);
    // The record of (group, type) in its list, or null; the caller holds the prepared lock.
    ZkPreparedGroup* FindPreparedGroup(ZkUniqueID groupID, uint32_t groupType);

    ZK::ZkArray<GroupEntry> m_groups;
    ZK::ZkPooledList<StateAwareNode> m_stateAware;
    bool m_walking = false;
    bool m_purgePending = false;
    ZK::ZkPooledList<TriggerNode> m_triggers;
    ZK::Platform::ZkCriticalSection m_preparedLock;
    PreparedList m_preparedStates;
    PreparedList m_preparedSwitches;
};

extern CZkStateMgr* g_pStateMgr;

namespace StateMgr
{
// Removes the state groups no link uses, under the global engine lock (taken here).
void PurgeUnusedGroupsLocked();
} // namespace StateMgr
} // namespace ZK::SoundEngine
