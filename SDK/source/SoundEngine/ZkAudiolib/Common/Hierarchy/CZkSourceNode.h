// CZkSourceNode: what nodes that own one media source share (sounds and music tracks): their
// operations reach the live playing instances kept in the node's activity record (an idle node has
// none, so they reach nobody).
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

    // Stop, pause and resume reach the node's instances of the record's game object and playing id
    // (null and 0: any); with both state flags of the record set, stop and resume resume the node's
    // paused state transitions and pause pauses them.
    ZKRESULT ExecuteAction(const ZkActionParams& params) override;
    using CZkHierarchyNode::ExecuteAction;
    // Each live instance takes the change (UpdateContribution: the instances of the game object,
    // every instance for null).
    void PropagateParamDelta(uint32_t parameter, float delta) override;
    void UpdateContribution(CZkGameObject* object) override;
    void RefreshPositioningParam(uint32_t parameter, float value) override;
    void Refresh() override;
    void RefreshPositioning() override;

    // Its slot's effect changed: every live instance's voice builds the slot again.
    void OnEffectSlotIndexChanged(uint32_t slotIndex) override;

private:
    void NotifyEffectBypass(uint8_t bits, uint8_t mask) override;
};
} // namespace ZK::SoundEngine
