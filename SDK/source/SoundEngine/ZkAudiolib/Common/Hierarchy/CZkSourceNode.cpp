#include "ZkAudiolib/Common/Hierarchy/CZkSourceNode.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkSourceNode::ExecuteAction(const ZkActionParams& params)
{
    if (params.pausesStateTransitions && params.resumesStateTransitions)
    {
        if (params.code == ZkActionCode_Pause)
            PauseTransitions(true);
        else if (params.code == ZkActionCode_Stop || params.code == ZkActionCode_Resume)
            PauseTransitions(false);
    }
    // The node's live instances are reached through its activity record; an idle node has none.
    return ZK_Success;
}
} // namespace ZK::SoundEngine
