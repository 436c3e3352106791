// The interface calls that set game parameters, states and switches and post triggers. Names
// follow the strict rule: a null name, or an id of 0, gives 15.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/GameSyncMessages.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <limits>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
// A game-parameter value must be finite and below the largest float, which the engine keeps for
// itself.
bool IsAcceptedValue(float value)
{
    return IsFinite(value) && value != std::numeric_limits<float>::max();
}

// The strict rule: 0 stands for a name that is refused.
template <typename Char>
ZkUniqueID StrictID(const Char* name)
{
    return name == nullptr ? ZK_INVALID_UNIQUE_ID : GetIDFromString(name);
}

// The game object the playing manager holds for a playing id; all ones when none.
ZkGameObjectID GameObjectOfPlayingID(ZkPlayingID playingID)
{
    return g_pPlayingMgr != nullptr ? g_pPlayingMgr->GetGameObjectFromPlayingID(playingID) : ZK_ALL_GAME_OBJECTS;
}
} // namespace

ZKRESULT PostRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject, ZkPlayingID playingID,
                       ZkTimeMs transitionMs, uint32_t curve, bool bypassInternalInterpolation)
{
    if (!IsAcceptedValue(value))
        return ZK_NotFinite;
    const ZkSetRTPCMessage body{gameObject, parameterID, value, playingID};
    if (transitionMs == 0 && !bypassInternalInterpolation)
        return PostFixed(ZkMessage_SetRTPC, body);
    return PostFixed(ZkMessage_SetRTPCWithTransition,
                     ZkSetRTPCTransitionMessage{body, transitionMs, curve,
                                                static_cast<uint8_t>(bypassInternalInterpolation), {}});
}

ZKRESULT SetStateInternal(ZkUniqueID stateGroup, ZkUniqueID state, bool immediate, bool skipNotification)
{
    return PostFixed(ZkMessage_SetState, ZkSetStateMessage{stateGroup, state, static_cast<uint16_t>(immediate),
                                                           static_cast<uint16_t>(skipNotification)});
}

ZKRESULT SetRTPCValue(ZkUniqueID parameterID, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                      ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    if (parameterID == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return PostRTPCValue(parameterID, value, gameObject, 0, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT SetRTPCValue(const char* parameterName, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                      ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    return SetRTPCValue(StrictID(parameterName), value, gameObject, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT SetRTPCValue(const wchar_t* parameterName, float value, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                      ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    return SetRTPCValue(StrictID(parameterName), value, gameObject, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT SetRTPCValueByPlayingID(ZkUniqueID parameterID, float value, ZkPlayingID playingID, ZkTimeMs transitionMs,
                                 ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    if (parameterID == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    const ZkGameObjectID gameObject = GameObjectOfPlayingID(playingID);
    if (gameObject == ZK_ALL_GAME_OBJECTS)
        return ZK_PlayingIDWithoutGameObject;
    return PostRTPCValue(parameterID, value, gameObject, playingID, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT SetRTPCValueByPlayingID(const char* parameterName, float value, ZkPlayingID playingID,
                                 ZkTimeMs transitionMs, ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    return SetRTPCValueByPlayingID(StrictID(parameterName), value, playingID, transitionMs, curve,
                                   bypassInternalInterpolation);
}

ZKRESULT SetRTPCValueByPlayingID(const wchar_t* parameterName, float value, ZkPlayingID playingID,
                                 ZkTimeMs transitionMs, ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    return SetRTPCValueByPlayingID(StrictID(parameterName), value, playingID, transitionMs, curve,
                                   bypassInternalInterpolation);
}

ZKRESULT ResetRTPCValue(ZkUniqueID parameterID, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                        ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    if (parameterID == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    const ZkResetRTPCMessage body{gameObject, parameterID, 0};
    if (transitionMs == 0 && !bypassInternalInterpolation)
        return PostFixed(ZkMessage_ResetRTPC, body);
    return PostFixed(ZkMessage_ResetRTPCWithTransition,
                     ZkResetRTPCTransitionMessage{body, transitionMs, curve,
                                                  static_cast<uint8_t>(bypassInternalInterpolation), {}});
}

ZKRESULT ResetRTPCValue(const char* parameterName, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                        ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    return ResetRTPCValue(StrictID(parameterName), gameObject, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT ResetRTPCValue(const wchar_t* parameterName, ZkGameObjectID gameObject, ZkTimeMs transitionMs,
                        ZkCurveInterpolation curve, bool bypassInternalInterpolation)
{
    return ResetRTPCValue(StrictID(parameterName), gameObject, transitionMs, curve, bypassInternalInterpolation);
}

ZKRESULT SetState(ZkUniqueID stateGroup, ZkUniqueID state)
{
    if (stateGroup == ZK_INVALID_UNIQUE_ID || state == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return SetStateInternal(stateGroup, state, false, false);
}

ZKRESULT SetState(const char* stateGroupName, const char* stateName)
{
    return SetState(StrictID(stateGroupName), StrictID(stateName));
}

ZKRESULT SetState(const wchar_t* stateGroupName, const wchar_t* stateName)
{
    return SetState(StrictID(stateGroupName), StrictID(stateName));
}

ZKRESULT SetSwitch(ZkUniqueID switchGroup, ZkUniqueID switchState, ZkGameObjectID gameObject)
{
    if (switchGroup == ZK_INVALID_UNIQUE_ID || switchState == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return PostFixed(ZkMessage_SetSwitch, ZkSetSwitchMessage{gameObject, switchGroup, switchState});
}

ZKRESULT SetSwitch(const char* switchGroupName, const char* switchStateName, ZkGameObjectID gameObject)
{
    return SetSwitch(StrictID(switchGroupName), StrictID(switchStateName), gameObject);
}

ZKRESULT SetSwitch(const wchar_t* switchGroupName, const wchar_t* switchStateName, ZkGameObjectID gameObject)
{
    return SetSwitch(StrictID(switchGroupName), StrictID(switchStateName), gameObject);
}

ZKRESULT PostTrigger(ZkUniqueID trigger, ZkGameObjectID gameObject)
{
    if (trigger == ZK_INVALID_UNIQUE_ID)
        return ZK_InvalidID;
    return PostFixed(ZkMessage_Trigger, ZkTriggerMessage{gameObject, trigger});
}

ZKRESULT PostTrigger(const char* triggerName, ZkGameObjectID gameObject)
{
    return PostTrigger(StrictID(triggerName), gameObject);
}

ZKRESULT PostTrigger(const wchar_t* triggerName, ZkGameObjectID gameObject)
{
    return PostTrigger(StrictID(triggerName), gameObject);
}
} // namespace ZK::SoundEngine
