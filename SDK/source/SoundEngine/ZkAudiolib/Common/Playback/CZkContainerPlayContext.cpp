#include "ZkAudiolib/Common/Playback/CZkContainerPlayContext.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkContainerPlayContext::RegisterForUpdates(CZkHierarchyNode* node)
{
    return node != nullptr && node->JoinUpdatedNodes() ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkContainerPlayContext::UnregisterFromUpdates(CZkHierarchyNode* node)
{
    if (node != nullptr && node->PlayCount() <= 0 && node->VirtualCount() <= 0)
        node->LeaveUpdatedNodes();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
