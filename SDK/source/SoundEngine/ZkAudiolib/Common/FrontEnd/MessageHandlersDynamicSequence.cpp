// Messages 24, 25 and 58: a dynamic sequence meets its game object, takes a command, seeks. Each
// handler ends by giving back the reference the message holds on the sequence.
#include "ZkAudiolib/Common/DynamicSequence/CZkDynamicSequence.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

namespace ZK::SoundEngine::MessageHandlers
{
namespace
{
// Every object of the dynamic-sequence table is a sequence.
CZkDynamicSequence* SequenceOf(CZkIndexedObject* object) { return static_cast<CZkDynamicSequence*>(object); }
} // namespace

void OpenDynamicSequence(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkOpenDynamicSequenceMessage>(message);
    CZkRegisteredObj* object = g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(body.gameObject) : nullptr;
    // A sequence opened for an object that is not registered has none and does nothing.
    if (body.sequence != nullptr && object != nullptr)
        SequenceOf(body.sequence)->SetGameObject(object);
    ReleaseMessageHoldings(message);
}

void DynamicSequenceCommand(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkDynamicSequenceCommandMessage>(message);
    if (body.sequence != nullptr)
        SequenceOf(body.sequence)->ExecuteCommand(body.command, body.transitionMs, body.curve);
    ReleaseMessageHoldings(message);
}

void SeekDynamicSequence(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSeekDynamicSequenceMessage>(message);
    if (body.sequence != nullptr)
        (void)SequenceOf(body.sequence)->Seek(body.position.fraction, body.position.milliseconds,
                                              body.isFraction != 0, body.snapToNearestMarker != 0);
    ReleaseMessageHoldings(message);
}
} // namespace ZK::SoundEngine::MessageHandlers
