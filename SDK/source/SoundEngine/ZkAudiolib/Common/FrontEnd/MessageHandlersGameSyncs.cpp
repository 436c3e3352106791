// The handlers of the game-parameter, state, switch and trigger messages. A message naming a game
// object that is not registered is dropped; all ones names the global scope (or every object).
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace ZK::SoundEngine
{
namespace
{
CZkRegisteredObj* RegisteredObject(ZkGameObjectID id)
{
    return g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
}

void ApplyRTPC(const ZkSetRTPCMessage& body, TransParamsBase transition)
{
    if (g_pRTPCMgr == nullptr)
        return;
    if (body.gameObject == ZK_ALL_GAME_OBJECTS)
    {
        g_pRTPCMgr->SetRTPCInternal(body.parameterID, body.value, ZkRTPCKey::Global(), transition,
                                    ZkValueMeaning_Absolute, false);
        return;
    }
    if (CZkRegisteredObj* object = RegisteredObject(body.gameObject))
        g_pRTPCMgr->SetRTPCInternal(body.parameterID, body.value, object, body.playingID, transition,
                                    ZkValueMeaning_Absolute);
}

void ApplyReset(const ZkResetRTPCMessage& body, TransParamsBase transition)
{
    if (g_pRTPCMgr == nullptr)
        return;
    if (body.gameObject == ZK_ALL_GAME_OBJECTS)
    {
        g_pRTPCMgr->ResetRTPCValueForObject(body.parameterID, nullptr, 0, transition);
        return;
    }
    if (CZkRegisteredObj* object = RegisteredObject(body.gameObject))
        g_pRTPCMgr->ResetRTPCValueForObject(body.parameterID, object, body.playingID, transition);
}
} // namespace

namespace MessageHandlers
{
void SetRTPC(EventManager&, const uint8_t* message, bool&)
{
    ApplyRTPC(ReadMessageBody<ZkSetRTPCMessage>(message), TransParamsBase{});
}

void SetRTPCWithTransition(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetRTPCTransitionMessage>(message);
    ApplyRTPC(body.value, TransParamsBase{body.transitionMs, body.curve, body.bypassInternalInterpolation != 0});
}

void ResetRTPC(EventManager&, const uint8_t* message, bool&)
{
    ApplyReset(ReadMessageBody<ZkResetRTPCMessage>(message), TransParamsBase{});
}

void ResetRTPCWithTransition(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkResetRTPCTransitionMessage>(message);
    ApplyReset(body.value,
                                 TransParamsBase{body.transitionMs, body.curve, body.bypassInternalInterpolation != 0});
}

void SetState(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetStateMessage>(message);
    if (g_pStateMgr != nullptr)
        g_pStateMgr->SetStateInternal(body.groupID, body.stateID, body.immediate != 0, body.skipNotification != 0);
}

void SetSwitch(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetSwitchMessage>(message);
    if (g_pSwitchMgr != nullptr)
        g_pSwitchMgr->SetSwitchMessage(body.gameObject, body.groupID, body.switchID);
}

void Trigger(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkTriggerMessage>(message);
    if (g_pStateMgr != nullptr)
        g_pStateMgr->PostTriggerMessage(body.gameObject, body.triggerID);
}
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
