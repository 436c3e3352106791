// CZkGroupNode: bank hierarchy item type 7, node category 1. It gathers children so that they
// inherit its settings and receive the actions aimed at it; a play of the group plays nothing
// (its children are played by the events that name them). It validates children without the
// container's category and count tests: any node without a parent that is not the group or one
// of its ancestors may join.
//
//   uint32 id, common node body (CZkHierarchyNode::SetBaseFromBank), uint32 N, N x uint32 child id
//
// A count that runs past the item ends the read with 7; the children linked so far are unlinked
// again, so a failed read leaves no node behind.
//
// Threading and ownership: as CZkContainerNode.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkContainerNode.h"

namespace ZK::SoundEngine
{
class CZkGroupNode final : public CZkContainerNode
{
public:
    // A new group holding one reference (the bank's), in the actor-mixer table; null out of memory.
    static CZkGroupNode* Create(ZkUniqueID id);
    // Reads the item body (starting with the id). 91 when node is not a group; 1; 7 a count past
    // the item; 52 the child array; the common body's or a child's failure (15 is accepted).
    static ZKRESULT ReadFromBank(CZkHierarchyNode* node, const uint8_t* body, uint32_t size, bool partial);

    explicit CZkGroupNode(ZkUniqueID id) : CZkContainerNode(id) { SetBusFlag(false); }

    ZkNodeCategory Category() const override { return ZkNodeCategory_Group; }
    ZKRESULT CanAddChild(const CZkHierarchyNode* child) const override { return CanLinkChild(child); }
    // A group plays nothing.
    ZKRESULT PlayChildren(PlayLaunchParams&) override { return ZK_NothingToReport; }
};

// Reads N and N child ids at the cursor into the container (an item's child list), with the
// array sized first. Results as CZkGroupNode::ReadFromBank; on a failure the children added by
// this call are unlinked again.
ZKRESULT ReadChildList(CZkContainerNode& container, ZK::ZkByteCursor& cursor);
} // namespace ZK::SoundEngine
