// CZkStateGroupLink: one subscription of an owner (CZkStateProperties) to one state group. It holds
// the owner's state objects for that group (one per state id, each with a reference), the current
// value of every state-driven property it moved (with the transition running on it, if any), the
// group's current state as last applied, and the sync type the bank gave.
//
// Both the state manager and running transitions write values through SetValue, which tells the
// owner.
//
// Threading: audio thread, or under the global engine lock.
// Ownership: its owner's (memory pool 2); it owns its value table (pool 0) and state array and holds
// one reference on each state object. It is chained both into its owner's links and into its
// group's links in the state manager.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Containers/ZkPackedIdTable.h"
#include "ZkAudiolib/Common/GameSyncs/ZkGameSyncTypes.h"
#include "ZkAudiolib/Common/Parameters/ZkTransitionUser.h"

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkState;
class CZkStateProperties;
class CZkTransition;

class CZkStateGroupLink final : public ZkTransitionUser
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;

    struct Value
    {
        float value;
        CZkTransition* transition; // null when none runs
    };
    struct StateEntry
    {
        ZkUniqueID stateID;
        CZkState* state; // one reference
    };

    CZkStateGroupLink(CZkStateProperties* owner, ZkUniqueID groupID) : owner(owner), groupID(groupID) {}
    // Removes its transitions, releases its state objects and frees its tables.
    ~CZkStateGroupLink();
    CZkStateGroupLink(const CZkStateGroupLink&) = delete;
    CZkStateGroupLink& operator=(const CZkStateGroupLink&) = delete;

    // key: property id in bits 0-15, kind in bits 16-23.
    void SetValue(uint32_t key, float value, bool transitionEnded);
    void TransUpdateValue(uint32_t kind, float value, bool done) override { SetValue(kind, value, done); }

    // Holds state object stateObjectID for stateID. 1; 16 when the object is not loaded; 52.
    ZKRESULT AddState(ZkUniqueID stateObjectID, ZkUniqueID stateID, bool apply);
    void RemoveState(ZkUniqueID stateID);
    void RemoveStateAt(uint32_t index);
    CZkState* FindState(ZkUniqueID stateID) const;
    const ZK::ZkArray<StateEntry>& States() const { return m_states; }

    // Takes every running transition off the link (the owner is told each ended).
    void RemoveTransitions();
    void PauseTransitions(bool pause);

    ZK::ZkPackedIdTable<Value>& Values() { return m_values; }
    const ZK::ZkPackedIdTable<Value>& Values() const { return m_values; }

    CZkStateGroupLink* nextInGroup = nullptr; // the state manager's chain of the group
    CZkStateGroupLink* nextInOwner = nullptr;
    CZkStateProperties* owner;
    ZkUniqueID groupID;
    ZkUniqueID currentState = kZkStateNone;
    uint8_t syncType = 0; // 0: immediate

private:
    ZK::ZkPackedIdTable<Value> m_values;
    ZK::ZkArray<StateEntry> m_states;
};
} // namespace ZK::SoundEngine
