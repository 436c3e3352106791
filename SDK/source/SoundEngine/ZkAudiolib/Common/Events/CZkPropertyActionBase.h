// CZkPropertyActionBase: the common execute step of the actions that set or reset a runtime
// property of nodes (CZkSetPropertyAction) or a game parameter (CZkSetGameParameterAction). The
// kinds come in pairs, the even kind sets and the odd kind (and 0x30) resets; the scope picks who
// is changed:
//
//   scope 2   the target node, for every game object (set: ApplyGlobal, reset: ResetGlobal)
//   scope 3   the target node, for the pending action's game object (ApplyForObject,
//             ResetForObject)
//   scope 4   reset only: every node that keeps runtime data, in the registry's list and in each
//             game object's list (ResetAll)
//   scope 5   reset only: every node in the pending action's game object's list
//             (ResetObjectNodes)
//
// Game parameters (kinds 0x13 and 0x14) have no target node: the target id is the parameter, and
// ApplyForObject / ResetForObject get a null node with the game object (null for scope 2).
// Nothing happens for a target that is not loaded, nor for the other types; Execute returns 1.
//
// Threading and ownership: as CZkScopedAction.
#pragma once

#include "ZkAudiolib/Common/Events/CZkScopedAction.h"

namespace ZK::SoundEngine
{
class CZkHierarchyNode;
class CZkRegisteredObj;

class CZkPropertyActionBase : public CZkScopedAction
{
public:
    using CZkScopedAction::CZkScopedAction;

    ZKRESULT Execute(PendingAction& pending) override;

    // The per-scope operations, in the order of the table.
    virtual void ApplyForObject(CZkHierarchyNode* node, CZkRegisteredObj* object) = 0;
    virtual void ApplyGlobal(CZkHierarchyNode* node) = 0;
    virtual void ResetForObject(CZkHierarchyNode* node, CZkRegisteredObj* object) = 0;
    virtual void ResetGlobal(CZkHierarchyNode* node) = 0;
    virtual void ResetObjectNodes(CZkHierarchyNode*, CZkRegisteredObj*) {}
    virtual void ResetAll(CZkHierarchyNode*) {}

private:
    // Calls change(node) on the target node (when loaded), then releases it.
    template <typename Change>
    void OnTarget(Change change);
    // Calls change(node) on every node of the list that is loaded, each held for the call.
    template <typename NodeList, typename Change>
    static void OnListedNodes(const NodeList& nodes, Change change);
};
} // namespace ZK::SoundEngine
