#include "ZkAudiolib/Common/Events/CZkStopAction.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

namespace ZK::SoundEngine
{
ZKRESULT CZkStopAction::ExecuteTransient(uint16_t type, CZkRegisteredObj* object)
{
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    auto* stop = ZK::ZkNew<CZkStopAction>(kPool, type, 0);
    if (stop == nullptr)
        return ZK_InsufficientMemory;
    {
        PendingAction pending(stop, object);
        stop->Execute(pending);
    }
    stop->Release();
    return ZK_Success;
}

void CZkStopAction::FillActionParams(ZkActionParams& params) const
{
    params.pausesStateTransitions = Option(0);
    params.resumesStateTransitions = Option(1);
}

void CZkStopAction::OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending)
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->StopPendingActions(&target, pending.GameObject(), pending.playingIDFilter);
}

void CZkStopAction::OnAllPending(const PendingAction& pending)
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->StopPendingActionsAllExcept(pending.GameObject(), Exceptions(), pending.playingIDFilter);
}

void CZkStopAction::ExecuteOnAllObjects(const ZkActionParams& params)
{
    if (!Exceptions().IsEmpty())
    {
        ExecuteOnAll(params, true);
        return;
    }
    // Nothing is excepted: every playing instance and play context is told directly.
    BroadcastToDynamicSequences(params.code, params.gameObject);
    CZkActiveInstances::BroadcastAction(params);
}
} // namespace ZK::SoundEngine
