#include "ZkAudiolib/Common/Events/CZkActionFactory.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Events/CZkGameSyncActions.h"
#include "ZkAudiolib/Common/Events/CZkNodeCommandActions.h"
#include "ZkAudiolib/Common/Events/CZkPauseResumeActions.h"
#include "ZkAudiolib/Common/Events/CZkPlayAction.h"
#include "ZkAudiolib/Common/Events/CZkPostEventAction.h"
#include "ZkAudiolib/Common/Events/CZkSeekAction.h"
#include "ZkAudiolib/Common/Events/CZkSetGameParameterAction.h"
#include "ZkAudiolib/Common/Events/CZkSetPropertyAction.h"
#include "ZkAudiolib/Common/Events/CZkStopAction.h"

namespace ZK::SoundEngine::CZkActionFactory
{
namespace
{
template <typename Action>
CZkEventAction* Make(uint16_t type, ZkUniqueID id)
{
    return ZK::ZkNew<Action>(CZkEventAction::kPool, type, id);
}

CZkEventAction* MakeOfKind(uint16_t type, ZkUniqueID id)
{
    const uint8_t kind = ActionKindOf(type);
    switch (kind)
    {
    case ZkActionKind_Stop: return Make<CZkStopAction>(type, id);
    case ZkActionKind_Pause: return Make<CZkPauseAction>(type, id);
    case ZkActionKind_Resume: return Make<CZkResumeAction>(type, id);
    case ZkActionKind_Play: return Make<CZkPlayAction>(type, id);
    case ZkActionKind_SetNodeFlag:
    case ZkActionKind_ClearNodeFlag: return Make<CZkSetNodeFlagAction>(type, id);
    case ZkActionKind_SetState: return Make<CZkSetStateAction>(type, id);
    case ZkActionKind_SetGameParameter:
    case ZkActionKind_ResetGameParameter: return Make<CZkSetGameParameterAction>(type, id);
    case ZkActionKind_SetSwitch: return Make<CZkSetSwitchAction>(type, id);
    case ZkActionKind_NodeSlot:
    case ZkActionKind_NodeSlotReset: return Make<CZkNodeParamAction>(type, id);
    case ZkActionKind_TargetNotification: return Make<CZkActionCode3>(type, id);
    case ZkActionKind_Trigger: return Make<CZkTriggerAction>(type, id);
    case ZkActionKind_Seek: return Make<CZkSeekAction>(type, id);
    case ZkActionKind_Break: return Make<CZkBreakAction>(type, id);
    case ZkActionKind_PostEvent: return Make<CZkPostEventAction>(type, id);
    case ZkActionKind_ResetPlaylist: return Make<CZkResetPlaylistAction>(type, id);
    case ZkActionKind_SetProperty20:
    case ZkActionKind_ResetProperty30: return Make<CZkSetPropertyAction>(type, id);
    default:
        if (kind >= ZkActionKind_SetGain && kind <= 0x0F)
            return Make<CZkSetPropertyAction>(type, id);
        return nullptr;
    }
}
} // namespace

CZkEventAction* Create(uint16_t type, ZkUniqueID id)
{
    CZkEventAction* action = MakeOfKind(type, id);
    if (action != nullptr && id != 0)
        action->AddToIndex();
    return action;
}
} // namespace ZK::SoundEngine::CZkActionFactory
