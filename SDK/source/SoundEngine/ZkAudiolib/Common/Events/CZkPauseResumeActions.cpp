#include "ZkAudiolib/Common/Events/CZkPauseResumeActions.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PendingAction.h"

namespace ZK::SoundEngine
{
void CZkPauseResumeAction::FillActionParams(ZkActionParams& params) const
{
    params.resumeAllPauses = !m_pauses && Option(0);
    params.pausesStateTransitions = Option(1);
    params.resumesStateTransitions = Option(2);
}

void CZkPauseResumeAction::OnTargetPending(const CZkHierarchyNode& target, const PendingAction& pending)
{
    if (g_pEventMgr == nullptr)
        return;
    if (m_pauses)
        g_pEventMgr->PausePendingActions(&target, pending.GameObject(), Option(0), pending.playingIDFilter);
    else
        g_pEventMgr->ResumePendingActions(&target, pending.GameObject(), Option(0), pending.playingIDFilter);
}

void CZkPauseResumeAction::OnAllPending(const PendingAction& pending)
{
    if (g_pEventMgr == nullptr)
        return;
    if (m_pauses)
        g_pEventMgr->PausePendingActionsAllExcept(pending.GameObject(), Exceptions(), Option(0),
                                                  pending.playingIDFilter);
    else
        g_pEventMgr->ResumePendingActionsAllExcept(pending.GameObject(), Exceptions(), Option(0),
                                                   pending.playingIDFilter);
}
} // namespace ZK::SoundEngine
