// ZkUpdatedNodes: the engine's list of nodes updated each frame. Nodes that follow something
// frame by frame while they play (continuous containers, music nodes) join it and leave it when
// they are no longer needed. The list is singly linked through the node's own link
// (CZkHierarchyNode::pNextUpdated) and appended at its tail, so nodes are visited in the order
// they joined; membership is the activity record's flag (ZkActivityRecord::kFlagPerFrameList),
// which CZkHierarchyNode keeps (JoinUpdatedNodes, LeaveUpdatedNodes).
//
// Threading: audio thread, under the global engine lock (no lock of its own).
// Ownership: none; the list only points at nodes, and a node leaves it before its activity record
// goes (the record's release takes it off), so no node is listed after it idles or is destroyed.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;

namespace ZkUpdatedNodes
{
// Links node at the tail. The caller makes sure it is not listed yet.
void Append(CZkHierarchyNode* node);
// Unlinks node (nothing when absent) and clears its link.
void Remove(CZkHierarchyNode* node);
// The first node, in joining order (null when empty); the next one is node->pNextUpdated.
CZkHierarchyNode* First();
uint32_t Length();
} // namespace ZkUpdatedNodes
} // namespace ZK::SoundEngine
