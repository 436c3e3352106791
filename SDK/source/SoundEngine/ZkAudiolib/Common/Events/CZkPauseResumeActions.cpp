#include "ZkAudiolib/Common/Events/CZkPauseResumeActions.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"

namespace ZK::SoundEngine
{
void CZkPauseAction::FillActionParams(ZkActionParams& params) const
{
    params.pausesStateTransitions = Option(1);
    params.resumesStateTransitions = Option(2);
}

void CZkPauseAction::OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending)
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->PausePendingActions(&target, pending.GameObject(), Option(0), pending.playingIDFilter);
}

void CZkPauseAction::OnAllPending(const PendingAction& pending)
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->PausePendingActionsAllExcept(pending.GameObject(), Exceptions(), Option(0),
                                                  pending.playingIDFilter);
}

void CZkResumeAction::FillActionParams(ZkActionParams& params) const
{
    params.resumeAllPauses = Option(0);
    params.pausesStateTransitions = Option(1);
    params.resumesStateTransitions = Option(2);
}

void CZkResumeAction::OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending)
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->ResumePendingActions(&target, pending.GameObject(), Option(0), pending.playingIDFilter);
}

void CZkResumeAction::OnAllPending(const PendingAction& pending)
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->ResumePendingActionsAllExcept(pending.GameObject(), Exceptions(), Option(0),
                                                   pending.playingIDFilter);
}
} // namespace ZK::SoundEngine
