#include "ZkAudiolib/Common/Events/CZkGameSyncActions.h"

#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkGroupValueAction::ReadParams(ZK::ZkByteCursor& cursor)
{
    return cursor.Read(m_groupID) && cursor.Read(m_valueID) ? ZK_Success : ZK_InvalidFile;
}

ZKRESULT CZkSetStateAction::Execute(PendingAction&)
{
    if (g_pStateMgr != nullptr)
        g_pStateMgr->SetStateInternal(GroupID(), ValueID(), false, false);
    return ZK_Success;
}

ZKRESULT CZkSetSwitchAction::Execute(PendingAction& pending)
{
    if (g_pSwitchMgr != nullptr)
        g_pSwitchMgr->SetSwitchInBracket(GroupID(), ValueID(), pending.GameObject());
    return ZK_Success;
}

ZKRESULT CZkTriggerAction::Execute(PendingAction& pending)
{
    if (g_pStateMgr != nullptr)
        g_pStateMgr->Trigger(TargetID(), pending.GameObject());
    return ZK_Success;
}
} // namespace ZK::SoundEngine
