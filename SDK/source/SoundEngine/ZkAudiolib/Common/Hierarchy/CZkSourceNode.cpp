#include "ZkAudiolib/Common/Hierarchy/CZkSourceNode.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkSourceNode::ExecuteAction(const ZkActionParams& params)
{
    if (IsExcepted(params))
        return ZK_Success;
    FollowStateTransitions(params);
    ForEachLiveInstance(params.gameObject, params.playingID,
                        [&](CZkLiveInstance& instance) { instance.ExecuteAction(params); });
    return ZK_Success;
}

void CZkSourceNode::PropagateParamDelta(uint32_t parameter, float delta)
{
    ForEachLiveInstance(nullptr, 0, [&](CZkLiveInstance& instance) { instance.ApplyParamDelta(parameter, delta); });
}

void CZkSourceNode::UpdateContribution(CZkGameObject* object)
{
    ForEachLiveInstance(object, 0, [](CZkLiveInstance& instance) { instance.UpdateContribution(); });
}

void CZkSourceNode::RefreshPositioningParam(uint32_t parameter, float value)
{
    ForEachLiveInstance(nullptr, 0,
                        [&](CZkLiveInstance& instance) { instance.RefreshPositioningParam(parameter, value); });
}

void CZkSourceNode::Refresh()
{
    ForEachLiveInstance(nullptr, 0, [](CZkLiveInstance& instance) { instance.RefreshFromNode(); });
}

void CZkSourceNode::NotifyEffectBypass(uint8_t bits, uint8_t mask)
{
    ForEachLiveInstance(nullptr, 0, [&](CZkLiveInstance& instance) { instance.SetEffectBypass(bits, mask); });
}

void CZkSourceNode::OnEffectSlotIndexChanged(uint32_t slotIndex)
{
    ForEachLiveInstance(nullptr, 0, [&](CZkLiveInstance& instance) { instance.RebuildEffect(slotIndex); });
    CZkHierarchyNode::OnEffectSlotIndexChanged(slotIndex);
}

void CZkSourceNode::RefreshPositioning()
{
    ForEachLiveInstance(nullptr, 0, [](CZkLiveInstance& instance) { instance.RefreshPositioning(); });
}
} // namespace ZK::SoundEngine
