#include "ZkAudiolib/Common/Events/CZkNodeCommandActions.h"

#include "ZkAudiolib/Common/Events/Neighbours/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkSetNodeFlagAction::Execute(PendingAction&)
{
    if (CZkHierarchyNode* node = GetTargetNode())
    {
        node->SetStateEnabled(Type() == kEnableType);
        node->Release();
    }
    return ZK_Success;
}

ZKRESULT CZkActionCode3::Execute(PendingAction& pending)
{
    CZkHierarchyNode* node = GetTargetNode();
    if (node == nullptr)
        return ZK_InvalidID;
    ZkActionParams params = MakeCommand(ZkActionCode_TargetNotification, pending);
    params.transitionTime = 0;
    params.curve = ZkCurveInterpolation_Linear;
    params.target = node;
    node->ExecuteAction(params);
    if (g_pEventMgr != nullptr)
        g_pEventMgr->StopPendingPlayActions(node, pending.GameObject(), pending.playingIDFilter);
    node->Release();
    return ZK_Success;
}

ZKRESULT CZkBreakAction::Execute(PendingAction& pending)
{
    if (Scope() != ZkActionScope_TargetAllObjects && Scope() != ZkActionScope_TargetOneObject)
        return ZK_Fail;
    return ExecuteOnTarget(MakeCommand(ZkActionCode_Break, pending)) == ZK_Success ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkResetPlaylistAction::Execute(PendingAction& pending)
{
    if (Scope() != ZkActionScope_TargetAllObjects && Scope() != ZkActionScope_TargetOneObject)
        return ZK_Success;
    if (CZkHierarchyNode* node = GetTargetNode())
    {
        if (node->Category() == ZkNodeCategory_Playlist)
            static_cast<CZkPlaylistContainerNode*>(node)->ResetHistory(pending.GameObject());
        node->Release();
    }
    return ZK_Success;
}

ZKRESULT CZkNodeParamAction::ReadParams(ZK::ZkByteCursor& cursor)
{
    uint8_t flag = 0;
    if (!cursor.Read(flag) || !cursor.Read(m_slotIndex))
        return ZK_InvalidFile;
    m_slotFlag = flag != 0;
    return ReadExceptions(cursor);
}
} // namespace ZK::SoundEngine
