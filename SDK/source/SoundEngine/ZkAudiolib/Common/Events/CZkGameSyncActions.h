// The actions that change game syncs: set a state (kind 0x12: state group and state ids), set a
// switch (kind 0x19: switch group and switch ids, for the pending action's game object, or
// globally without one) and post a trigger (kind 0x1D: the trigger id is the target id, for the
// pending action's game object, or every object without one). Each returns 1.
//
// Threading and ownership: as CZkEventAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkEventAction.h"

namespace ZK::SoundEngine
{
// The two ids of the set-state and set-switch bodies: a group and a value in it.
class CZkGroupValueAction : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;

    ZKRESULT ReadParams(ZK::ZkByteCursor& cursor) override;
    ZkUniqueID GroupID() const { return m_groupID; }
    ZkUniqueID ValueID() const { return m_valueID; }

private:
    ZkUniqueID m_groupID = 0;
    ZkUniqueID m_valueID = 0;
};

class CZkSetStateAction final : public CZkGroupValueAction
{
public:
    using CZkGroupValueAction::CZkGroupValueAction;
    ZKRESULT Execute(PendingAction& pending) override;
};

class CZkSetSwitchAction final : public CZkGroupValueAction
{
public:
    using CZkGroupValueAction::CZkGroupValueAction;
    ZKRESULT Execute(PendingAction& pending) override;
};

class CZkTriggerAction final : public CZkEventAction
{
public:
    using CZkEventAction::CZkEventAction;
    ZKRESULT Execute(PendingAction& pending) override;
};
} // namespace ZK::SoundEngine
