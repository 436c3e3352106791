#include "ZkAudiolib/Common/Events/CZkNodeCommandActions.h"

#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
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

void CZkNodeParamAction::ResetSlots(CZkHierarchyNode& node, CZkGameObject* object) const
{
    node.SetEffectBypass(node.Effects().BypassBits(), m_slotIndex, object);
}

template <typename NodeList>
void CZkNodeParamAction::ResetListed(const NodeList& nodes, CZkGameObject* object) const
{
    if (g_pObjectIndex == nullptr)
        return;
    for (const auto* entry = nodes.First(); entry != nullptr; entry = entry->next)
    {
        if (IsException(entry->id, entry->isBus != 0))
            continue;
        auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(entry->id, entry->isBus != 0));
        if (node == nullptr)
            continue;
        ResetSlots(*node, object);
        node->Release();
    }
}

ZKRESULT CZkNodeParamAction::Execute(PendingAction& pending)
{
    CZkRegisteredObj* posting = pending.GameObject();
    const uint8_t scope = Scope();
    const bool oneObject = scope == ZkActionScope_TargetOneObject || scope == ZkActionScope_AllOneObject;
    CZkGameObject* object = oneObject ? posting : nullptr;
    if (scope == ZkActionScope_TargetAllObjects || scope == ZkActionScope_TargetOneObject)
    {
        CZkHierarchyNode* node = GetTargetNode();
        if (node == nullptr)
            return ZK_Success;
        if (Kind() == ZkActionKind_NodeSlotReset)
            ResetSlots(*node, object);
        else
            node->SetEffectBypass(m_slotFlag ? m_slotIndex : 0, m_slotIndex, object);
        node->Release();
        return ZK_Success;
    }
    if (Kind() != ZkActionKind_NodeSlotReset)
        return ZK_Success;
    if (scope == ZkActionScope_AllAllObjects && g_pRegistryMgr != nullptr)
    {
        ResetListed(g_pRegistryMgr->NodesWithoutObject(), nullptr);
        g_pRegistryMgr->ForEachObject([&](CZkRegisteredObj& registered) {
            if (const CZkPerObjectNodeList* list = registered.PerObjectNodeList())
                ResetListed(list->Nodes(), &registered);
        });
    }
    else if (scope == ZkActionScope_AllOneObject && posting != nullptr)
    {
        if (const CZkPerObjectNodeList* list = posting->PerObjectNodeList())
            ResetListed(list->Nodes(), posting);
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
