// CZkSourceNode: what nodes that own one media source share (sounds and music tracks): their
// operations reach the live playing instances kept in the node's activity record. Until activity
// records exist a node has no live instance, so these walks reach nobody.
//
// Threading and ownership: as CZkPlayableNode.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkPlayableNode.h"

namespace ZK::SoundEngine
{
class CZkSourceNode : public CZkPlayableNode
{
public:
    explicit CZkSourceNode(ZkUniqueID id) : CZkPlayableNode(id) {}

    // Stop, pause and resume reach the node's instances (of the game object and playing id when
    // given); with both state flags of the record set, stop and resume resume the node's paused
    // state transitions and pause pauses them.
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    using CZkHierarchyNode::ExecuteAction;
};
} // namespace ZK::SoundEngine
