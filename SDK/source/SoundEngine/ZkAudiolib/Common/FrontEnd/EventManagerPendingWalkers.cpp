// The event manager's walkers over its pending actions: stop and remove, pause and resume, by
// target node (the node, what lies below it or is routed through it), game object, playing id,
// action, or every target but a list of exceptions. Duck-recovery actions are never paused or
// removed: a bus waiting for its recovery always gets it.
//
// A walker first takes the matching records out of a list, then drops or moves them, so nothing
// that a dropped record's release sets off can change a list under the walk.
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"

namespace ZK::SoundEngine
{
namespace
{
bool IsDuckRecovery(const PendingAction& pending) { return pending.action->Type() == kDuckRecoveryActionType; }

bool IsPlay(const PendingAction& pending)
{
    const uint16_t type = pending.action->Type();
    return type == kPlayActionType || type == kDynamicPlayActionType;
}

bool IsResumeKind(const PendingAction& pending) { return pending.action->Kind() == ZkActionKind_Resume; }

// The action's target is the node, lies below it or is routed through it; every action matches a
// null node, an action without a loaded target no other.
bool TargetIsUnder(const PendingAction& pending, const CZkHierarchyNode* node)
{
    if (node == nullptr)
        return true;
    CZkHierarchyNode* target = pending.action->GetTargetNode();
    if (target == nullptr)
        return false;
    const bool under = target->IsDescendantOf(node);
    target->Release();
    return under;
}

bool TargetIsExcepted(const PendingAction& pending, const ZK::ZkArray<ZkNodeKey>& exceptions)
{
    const CZkEventAction& action = *pending.action;
    for (const ZkNodeKey& entry : exceptions)
    {
        if (entry.id == action.TargetID() && (entry.isBus != 0) == action.TargetIsBus())
            return true;
    }
    return false;
}

bool ObjectMatches(const PendingAction& pending, const CZkGameObject* object)
{
    return object == nullptr || pending.GameObject() == object;
}

bool PlayingIDMatches(const PendingAction& pending, ZkPlayingID playingID)
{
    return playingID == 0 || pending.playingID == playingID;
}

// A continuous playlist's queued next item whose node is stopped (a stop aimed below the playlist)
// moves on to the item after it and stays queued; any other stop of it ends the playlist's play.
bool RetargetsPastStop(const PendingAction& pending, const CZkHierarchyNode* node)
{
    return pending.action->Type() == kDynamicPlayActionType &&
           static_cast<CZkDynamicPlayAction*>(pending.action)->RetargetPastStop(node);
}

bool KeyMatches(const PendingAction& pending, ZkUniqueID actionID, ZkPlayingID playingID)
{
    return pending.action->ID() == actionID && PlayingIDMatches(pending, playingID);
}
} // namespace

// --- Stop and remove ---

template <typename Match>
void EventManager::StopMatching(Match match)
{
    const auto take = [&](const PendingAction& pending) { return !IsDuckRecovery(pending) && match(pending); };
    PendingAction* active = m_activeActions.Extract(take);
    PendingAction* paused = m_pausedActions.Extract(take);
    DiscardChain(active);
    DiscardChain(paused);
}

void EventManager::StopPendingActions(const CZkHierarchyNode* node, const CZkGameObject* object,
                                      ZkPlayingID playingID)
{
    StopMatching([&](const PendingAction& pending) {
        return ObjectMatches(pending, object) && PlayingIDMatches(pending, playingID) && TargetIsUnder(pending, node) &&
               !RetargetsPastStop(pending, node);
    });
}

void EventManager::StopPendingActionsAllExcept(const CZkGameObject* object, const ZK::ZkArray<ZkNodeKey>& exceptions,
                                               ZkPlayingID playingID)
{
    StopMatching([&](const PendingAction& pending) {
        return ObjectMatches(pending, object) && PlayingIDMatches(pending, playingID) &&
               !TargetIsExcepted(pending, exceptions);
    });
}

void EventManager::StopPendingPlayActions(const CZkHierarchyNode* node, const CZkGameObject* object,
                                          ZkPlayingID playingID)
{
    StopMatching([&](const PendingAction& pending) {
        return IsPlay(pending) && ObjectMatches(pending, object) && PlayingIDMatches(pending, playingID) &&
               TargetIsUnder(pending, node);
    });
}

void EventManager::StopActivePendingActionsOfNode(const CZkHierarchyNode* node)
{
    DiscardChain(m_activeActions.Extract([&](const PendingAction& pending) {
        return !IsDuckRecovery(pending) && TargetIsUnder(pending, node);
    }));
}

void EventManager::StopPausedPendingActionsOfNode(const CZkHierarchyNode* node)
{
    DiscardChain(m_pausedActions.Extract([&](const PendingAction& pending) {
        return !IsDuckRecovery(pending) && TargetIsUnder(pending, node);
    }));
}

ZKRESULT EventManager::StopPendingActionsOfAction(const CZkEventAction* action, const CZkGameObject* object,
                                                  uint32_t mode)
{
    constexpr uint32_t kMatchingObjects = 2;
    constexpr uint32_t kEveryActive = 3;
    if (mode != kMatchingObjects && mode != kEveryActive)
        return ZK_Success;
    PendingAction* active = m_activeActions.Extract([&](const PendingAction& pending) {
        return pending.action == action && !IsDuckRecovery(pending) &&
               (mode == kEveryActive || ObjectMatches(pending, object));
    });
    PendingAction* paused = m_pausedActions.Extract([&](const PendingAction& pending) {
        return pending.action == action && !IsDuckRecovery(pending) && ObjectMatches(pending, object);
    });
    DiscardChain(active);
    DiscardChain(paused);
    return ZK_Success;
}

void EventManager::StopPendingPlaysCarrying(const CZkModulatorInstance* instance)
{
    StopMatching([&](const PendingAction& pending) {
        return pending.action->Type() == kDynamicPlayActionType &&
               static_cast<const CZkDynamicPlayAction*>(pending.action)->HasModulatorInstance(instance);
    });
}

ZKRESULT EventManager::RemovePendingActionsOfPlayingID(ZkPlayingID playingID)
{
    StopMatching([&](const PendingAction& pending) { return pending.playingID == playingID; });
    return ZK_Success;
}

void EventManager::RemovePendingActionsOfKey(ZkUniqueID actionID, ZkPlayingID playingID)
{
    StopMatching([&](const PendingAction& pending) { return KeyMatches(pending, actionID, playingID); });
    if (g_pMidiPostMgr != nullptr)
        g_pMidiPostMgr->StopMidiOnEvent(0, ZK_ALL_GAME_OBJECTS, playingID);
}

// --- Pause ---

template <typename Match>
void EventManager::PauseMatching(Match match)
{
    // The records already paused count one pause more; then the active ones join them.
    m_pausedActions.ForEach([&](PendingAction* pending) {
        if (!IsDuckRecovery(*pending) && match(*pending))
            ++pending->pauseCount;
    });
    PendingAction* moving = m_activeActions.Extract(
        [&](const PendingAction& pending) { return !IsDuckRecovery(pending) && match(pending); });
    while (moving != nullptr)
    {
        PendingAction* next = moving->pNextExtracted;
        moving->pausedAtFrame = frameCounter;
        moving->pauseCount = 0;
        moving->isPaused = true;
        if (!m_pausedActions.Insert(moving->action->ID(), moving))
            DiscardPendingAction(moving); // no node: dropped, as a stop would
        moving = next;
    }
}

void EventManager::PausePendingActions(const CZkHierarchyNode* node, const CZkGameObject* object,
                                       bool includeResumeKinds, ZkPlayingID playingID)
{
    PauseMatching([&](const PendingAction& pending) {
        return (includeResumeKinds || !IsResumeKind(pending)) && ObjectMatches(pending, object) &&
               PlayingIDMatches(pending, playingID) && TargetIsUnder(pending, node);
    });
}

void EventManager::PausePendingActionsAllExcept(const CZkGameObject* object, const ZK::ZkArray<ZkNodeKey>& exceptions,
                                                bool includeResumeKinds, ZkPlayingID playingID)
{
    PauseMatching([&](const PendingAction& pending) {
        return (includeResumeKinds || !IsResumeKind(pending)) && ObjectMatches(pending, object) &&
               PlayingIDMatches(pending, playingID) && !TargetIsExcepted(pending, exceptions);
    });
}

ZKRESULT EventManager::PausePendingActionsOfPlayingID(ZkPlayingID playingID)
{
    PauseMatching([&](const PendingAction& pending) { return pending.playingID == playingID; });
    return ZK_Success;
}

void EventManager::PausePendingActionsOfKey(ZkUniqueID actionID, ZkPlayingID playingID)
{
    PauseMatching([&](const PendingAction& pending) { return KeyMatches(pending, actionID, playingID); });
}

void EventManager::PausePendingActionsOfActionObj(const CZkEventAction* action)
{
    PauseMatching([&](const PendingAction& pending) { return pending.action == action; });
}

void EventManager::PausePendingAction(PendingAction* pending)
{
    PauseMatching([&](const PendingAction& listed) { return &listed == pending; });
}

// --- Resume ---

template <typename Match>
void EventManager::ResumeMatching(Match match, bool resumeAll)
{
    PendingAction* resuming = m_pausedActions.Extract([&](PendingAction& pending) {
        if (!match(pending))
            return false;
        if (resumeAll || pending.pauseCount == 0)
            return true;
        --pending.pauseCount;
        return false;
    });
    while (resuming != nullptr)
    {
        PendingAction* next = resuming->pNextExtracted;
        // The delay left when it was paused starts again from now.
        const uint32_t left = resuming->dueFrame - resuming->pausedAtFrame;
        if (!InsertActive(resuming, frameCounter + left))
            DiscardPendingAction(resuming);
        resuming = next;
    }
    // A run-time play still waiting no longer needs the instance that queued it to stay.
    m_activeActions.ForEach([&](PendingAction* pending) {
        if (pending->action->Type() == kDynamicPlayActionType && match(*pending))
            pending->action->ReleaseInstanceRef();
    });
}

void EventManager::ResumePendingActions(const CZkHierarchyNode* node, const CZkGameObject* object, bool resumeAll,
                                        ZkPlayingID playingID)
{
    ResumeMatching(
        [&](const PendingAction& pending) {
            return ObjectMatches(pending, object) && PlayingIDMatches(pending, playingID) &&
                   TargetIsUnder(pending, node);
        },
        resumeAll);
}

void EventManager::ResumePendingActionsAllExcept(const CZkGameObject* object, const ZK::ZkArray<ZkNodeKey>& exceptions,
                                                 bool resumeAll, ZkPlayingID playingID)
{
    ResumeMatching(
        [&](const PendingAction& pending) {
            return ObjectMatches(pending, object) && PlayingIDMatches(pending, playingID) &&
                   !TargetIsExcepted(pending, exceptions);
        },
        resumeAll);
}

ZKRESULT EventManager::ResumePendingActionsOfPlayingID(ZkPlayingID playingID)
{
    ResumeMatching([&](const PendingAction& pending) { return pending.playingID == playingID; }, false);
    return ZK_Success;
}

void EventManager::ResumePendingActionsOfKey(ZkUniqueID actionID, ZkPlayingID playingID)
{
    ResumeMatching([&](const PendingAction& pending) { return KeyMatches(pending, actionID, playingID); }, false);
}

void EventManager::ResumePendingActionsOfActionObj(const CZkEventAction* action)
{
    ResumeMatching([&](const PendingAction& pending) { return pending.action == action; }, false);
}

void EventManager::NotifyPendingDynamicPlays(const CZkPlayingInstance* instance)
{
    const auto detach = [&](PendingAction* pending) {
        if (pending->action->Type() == kDynamicPlayActionType)
            static_cast<CZkDynamicPlayAction*>(pending->action)->DetachInstance(instance);
    };
    m_activeActions.ForEach(detach);
    m_pausedActions.ForEach(detach);
}
} // namespace ZK::SoundEngine
