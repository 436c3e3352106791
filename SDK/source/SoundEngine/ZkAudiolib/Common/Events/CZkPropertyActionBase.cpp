#include "ZkAudiolib/Common/Events/CZkPropertyActionBase.h"

#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/GameObjects/CZkPerObjectNodeList.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine
{
namespace
{
bool IsSetKind(uint8_t kind)
{
    switch (kind)
    {
    case ZkActionKind_SetGain:
    case 0x08:
    case 0x0A:
    case 0x0C:
    case 0x0E:
    case ZkActionKind_SetProperty20: return true;
    default: return false;
    }
}

bool IsResetKind(uint8_t kind)
{
    switch (kind)
    {
    case ZkActionKind_ResetGain:
    case 0x09:
    case 0x0B:
    case 0x0D:
    case 0x0F:
    case ZkActionKind_ResetProperty30: return true;
    default: return false;
    }
}
} // namespace

template <typename Change>
void CZkPropertyActionBase::OnTarget(Change change)
{
    if (CZkHierarchyNode* node = GetTargetNode())
    {
        change(node);
        node->Release();
    }
}

template <typename NodeList, typename Change>
void CZkPropertyActionBase::OnListedNodes(const NodeList& nodes, Change change)
{
    if (g_pObjectIndex == nullptr)
        return;
    for (const auto* entry = nodes.First(); entry != nullptr; entry = entry->next)
    {
        auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->GetNodePtrAndAddRef(entry->id, entry->isBus != 0));
        if (node == nullptr)
            continue;
        change(node);
        node->Release();
    }
}

ZKRESULT CZkPropertyActionBase::Execute(PendingAction& pending)
{
    CZkRegisteredObj* object = pending.GameObject();
    const uint8_t kind = Kind();
    const uint8_t scope = Scope();
    if (kind == ZkActionKind_SetGameParameter || kind == ZkActionKind_ResetGameParameter)
    {
        if (scope == ZkActionScope_TargetAllObjects || scope == ZkActionScope_TargetOneObject)
        {
            if (kind == ZkActionKind_SetGameParameter)
                ApplyForObject(nullptr, object);
            else
                ResetForObject(nullptr, object);
        }
        return ZK_Success;
    }
    const bool set = IsSetKind(kind);
    if (!set && !IsResetKind(kind))
        return ZK_Success;
    switch (scope)
    {
    case ZkActionScope_TargetAllObjects:
        OnTarget([&](CZkHierarchyNode* node) { set ? ApplyGlobal(node) : ResetGlobal(node); });
        break;
    case ZkActionScope_TargetOneObject:
        OnTarget([&](CZkHierarchyNode* node) { set ? ApplyForObject(node, object) : ResetForObject(node, object); });
        break;
    case ZkActionScope_AllAllObjects:
        if (set || g_pRegistryMgr == nullptr)
            break;
        OnListedNodes(g_pRegistryMgr->NodesWithoutObject(), [&](CZkHierarchyNode* node) { ResetAll(node); });
        g_pRegistryMgr->ForEachObject([&](CZkRegisteredObj& registered) {
            if (const CZkPerObjectNodeList* list = registered.PerObjectNodeList())
                OnListedNodes(list->Nodes(), [&](CZkHierarchyNode* node) { ResetAll(node); });
        });
        break;
    case ZkActionScope_AllOneObject:
        if (set || object == nullptr)
            break;
        if (const CZkPerObjectNodeList* list = object->PerObjectNodeList())
            OnListedNodes(list->Nodes(), [&](CZkHierarchyNode* node) { ResetObjectNodes(node, object); });
        break;
    default: break;
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
