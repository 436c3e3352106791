// The messages that act on the actions of an event (33) and seek its plays (39). An action on an
// event reaches the nodes its play actions target, and the pending actions of those nodes or of
// the event's other actions; post-event actions are followed into the events they post (as deep as
// nested posts may go).
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include "ZkAudiolib/Common/Events/CZkEventAction.h"
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZK::SoundEngine
{
namespace
{
// The code that nodes receive for each ZkActionOnEventType; false for another type.
bool NodeCode(uint32_t actionType, ZkActionCode& code)
{
    switch (actionType)
    {
    case ZkActionOnEventType_Stop: code = ZkActionCode_Stop; return true;
    case ZkActionOnEventType_Pause: code = ZkActionCode_Pause; return true;
    case ZkActionOnEventType_Resume: code = ZkActionCode_Resume; return true;
    case ZkActionOnEventType_ReleaseEnvelope: code = ZkActionCode_TargetNotification; return true;
    case ZkActionOnEventType_Break: code = ZkActionCode_Break; return true;
    default: return false;
    }
}

void TellMidiPosts(uint32_t action, ZkPlayingID playingID)
{
    if (g_pMidiPostMgr != nullptr)
        g_pMidiPostMgr->ExecuteActionOnPlayingID(action, playingID);
}
} // namespace

void EventManager::ActOnEventActions(const CZkEventObject& event, CZkRegisteredObj* object,
                                     const ZkActionOnEventMessage& request, uint32_t depth)
{
    const ZkPlayingID playingID = request.playingID;
    for (CZkEventAction* action = event.FirstAction(); action != nullptr; action = action->pNextAction)
    {
        if (action->Type() == kPostEventActionType && depth < kMaxNestedPosts && g_pObjectIndex != nullptr)
        {
            if (CZkIndexedObject* posted = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, action->TargetID()))
            {
                ActOnEventActions(*static_cast<CZkEventObject*>(posted), object, request, depth + 1);
                posted->Release();
            }
        }
        if (action->Type() != kPlayActionType)
        {
            switch (request.actionType)
            {
            case ZkActionOnEventType_Stop:
            case ZkActionOnEventType_ReleaseEnvelope: RemovePendingActionsOfKey(action->ID(), playingID); break;
            case ZkActionOnEventType_Pause:
                PausePendingActionsOfKey(action->ID(), playingID);
                TellMidiPosts(ZkActionOnEventType_Pause, playingID);
                break;
            case ZkActionOnEventType_Resume:
                ResumePendingActionsOfKey(action->ID(), playingID);
                TellMidiPosts(ZkActionOnEventType_Resume, playingID);
                break;
            default: break;
            }
            continue;
        }
        ZkActionCode code;
        CZkHierarchyNode* target = action->GetTargetNode();
        if (target == nullptr)
            continue;
        if (NodeCode(request.actionType, code))
        {
            switch (request.actionType)
            {
            case ZkActionOnEventType_Stop: StopPendingActions(target, object, playingID); break;
            case ZkActionOnEventType_Pause: PausePendingActions(target, object, true, playingID); break;
            case ZkActionOnEventType_Resume: ResumePendingActions(target, object, false, playingID); break;
            case ZkActionOnEventType_ReleaseEnvelope: StopPendingPlayActions(target, object, playingID); break;
            default: break;
            }
            ZkActionParams params;
            params.code = code;
            params.gameObject = object;
            params.isGlobal = object == nullptr;
            params.playingID = playingID;
            params.transitionTime = request.transitionMs;
            params.curve = request.curve;
            target->ExecuteAction(params);
        }
        target->Release();
    }
}

ZKRESULT EventManager::ExecuteActionOnEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject,
                                                   const ZkActionOnEventMessage& request)
{
    // Every object of the event table is an event.
    ActOnEventActions(*static_cast<CZkEventObject*>(event), gameObject, request, 0);
    return ZK_Success;
}

ZKRESULT EventManager::SeekOnEventActions(CZkIndexedObject* event, CZkRegisteredObj* gameObject,
                                          const ZkSeekOnEventMessage& request)
{
    ZkActionParams params;
    params.code = ZkActionCode_Seek;
    params.gameObject = gameObject;
    params.isGlobal = gameObject == nullptr;
    params.playingID = request.playingID;
    params.seekIsRelative = request.isFraction != 0;
    params.snapToNearestMarker = request.snapToNearestMarker != 0;
    if (params.seekIsRelative)
        params.seekValue = request.position.fraction;
    else
        params.seekMilliseconds = request.position.milliseconds;
    static_cast<CZkEventObject*>(event)->ForEachPlayTarget(
        [&](CZkHierarchyNode* target) { target->ExecuteAction(params); });
    return ZK_Success;
}
} // namespace ZK::SoundEngine
