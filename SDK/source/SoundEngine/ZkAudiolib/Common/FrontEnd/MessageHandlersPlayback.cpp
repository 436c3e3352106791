// The handlers of the messages that drive playback: posted events become pending actions, actions
// on events and playing ids, StopAll, seeks, bank unloads, and the settings of nodes and buses.
// The actions on events, playing ids and background music reach the pending actions and the
// buses; the settings reach the node or bus of their id. What is not built yet (the playing
// instances a bank unload stops) answers 4 through its stand-in.
#include "ZkAudiolib/Common/Events/CZkEventObject.h"
#include "ZkAudiolib/Common/Events/CZkStopAction.h"
#include "ZkAudiolib/Common/FrontEnd/EngineHooks.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkBus.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kStopCode = 0;
// The game's effect and mixer settings outrank the banks' (priority 0): a bank read later (the
// same node from another bank) does not undo what the game chose.
constexpr int32_t kGameSettingPriority = 1;

CZkRegisteredObj* RegisteredObject(ZkGameObjectID id)
{
    return g_pRegistryMgr != nullptr ? g_pRegistryMgr->GetObj(id) : nullptr;
}

// The object a message about an event acts on: null for all ones (every object). False when the
// message must be dropped: the object is not registered, or has no emitter where one is needed.
bool EventTarget(ZkGameObjectID id, bool needsEmitter, CZkRegisteredObj*& object)
{
    object = nullptr;
    if (id == ZK_ALL_GAME_OBJECTS)
        return true;
    object = RegisteredObject(id);
    return object != nullptr && (!needsEmitter || object->Emitter() != nullptr);
}

// Finds a node in the bus or the actor-mixer table with a reference, applies change to it and
// releases it.
template <typename Change>
void WithNode(ZkUniqueID id, bool isBus, Change change)
{
    if (g_pObjectIndex == nullptr)
        return;
    if (CZkIndexedObject* node = g_pObjectIndex->GetNodePtrAndAddRef(id, isBus))
    {
        change(*static_cast<CZkHierarchyNode*>(node)); // the node tables hold hierarchy nodes only
        node->Release();
    }
}

// The action code that playing instances receive for each ZkActionOnEventType.
bool ActionCode(uint32_t action, uint32_t& code)
{
    constexpr uint32_t kCodes[] = {0, 1, 2, 3, 5};
    if (action >= std::size(kCodes))
        return false;
    code = kCodes[action];
    return true;
}

void TellMidiPosts(uint32_t code, ZkPlayingID playingID)
{
    if (g_pMidiPostMgr != nullptr)
        g_pMidiPostMgr->ExecuteActionOnPlayingID(code, playingID);
}
} // namespace

namespace MessageHandlers
{
void PostEvent(EventManager& manager, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkPostEventMessage>(message);
    // The event's actions are scheduled in list order, each taking its own references; an action
    // that needs an emitter skips an object that is not registered.
    ZkPlayRecord play;
    play.externalSources = body.externalSources;
    manager.EnqueueEventActions(body.event, RegisteredObject(body.gameObject), body.gameObject, body.playingID,
                                body.playingIDFilter, play, 0, false);
    ReleaseMessageHoldings(message);
}

void UnloadBank(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkUnloadBankMessage>(message);
    if (const EngineHooks::BankUnloadHandler hook = EngineHooks::GetBankUnloadHandler())
        hook(body.bank);
    CZkActiveInstances::StopForBankMessage(body.bank);
    ReleaseMessageHoldings(message);
}

void StopAll(EventManager&, const uint8_t* message, bool&)
{
    const ZkGameObjectID id = ReadMessageBody<ZkGameObjectMessage>(message).gameObject;
    if (id == ZK_ALL_GAME_OBJECTS)
        CZkStopAction::ExecuteTransient(CZkStopAction::kStopAllObjects, nullptr);
    else if (CZkRegisteredObj* object = RegisteredObject(id))
        CZkStopAction::ExecuteTransient(CZkStopAction::kStopOneObject, object);
}

void SetBusDevice(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetBusDeviceMessage>(message);
    CZkBus::SetBusDevice(body.busID, body.deviceID);
}

void StopPlayingID(EventManager& manager, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkStopPlayingIDMessage>(message);
    manager.RemovePendingActionsOfPlayingID(body.playingID);
    CZkBus::ExecuteActionOnPlayingID(kStopCode, body.playingID, body.transitionMs, body.curve);
    TellMidiPosts(kStopCode, body.playingID);
}

void ExecuteActionOnEvent(EventManager& manager, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkActionOnEventMessage>(message);
    CZkRegisteredObj* object = nullptr;
    if (body.event != nullptr && EventTarget(body.gameObject, true, object))
        manager.ExecuteActionOnEventActions(body.event, object, body);
    ReleaseMessageHoldings(message);
}

void SeekOnEvent(EventManager& manager, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSeekOnEventMessage>(message);
    CZkRegisteredObj* object = nullptr;
    if (body.event != nullptr && EventTarget(body.gameObject, false, object))
        manager.SeekOnEventActions(body.event, object, body);
    ReleaseMessageHoldings(message);
}

void PinEventInStreamCache(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkPinEventMessage>(message);
    CZkRegisteredObj* object = nullptr;
    if (body.event != nullptr && EventTarget(body.gameObject, false, object))
    {
        // Every object of the event table is an event.
        const auto* event = static_cast<const CZkEventObject*>(body.event);
        if (body.pin != 0)
            PinnedEventPrefetch::Pin(event, object, body.activePriority, body.inactivePriority);
        else
            PinnedEventPrefetch::Unpin(event, object);
    }
    ReleaseMessageHoldings(message);
}

void SetNodeEffect(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkNodeEffectMessage>(message);
    // A slot index above 3 is refused by the slot block (nothing changes).
    WithNode(body.nodeID, body.isBus != 0, [&](CZkHierarchyNode& node) {
        node.Effects().SetSlotValue(body.effectIndex, body.effectShareSetID, true, kGameSettingPriority);
    });
}

void SetMixer(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetMixerMessage>(message);
    WithNode(body.busID, body.isBus != 0, [&](CZkHierarchyNode& node) {
        if (auto* bus = dynamic_cast<CZkBus*>(&node))
            bus->SetMixerPlugin(body.mixerShareSetID, true, kGameSettingPriority);
    });
}

void SetBusConfig(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetBusConfigMessage>(message);
    CZkBus::SetBusConfig(body.busID, body.channelConfig);
}

void MuteBackgroundMusic(EventManager&, const uint8_t* message, bool&)
{
    if (ReadMessageBody<ZkMuteBackgroundMusicMessage>(message).mute != 0)
        CZkBus::MuteBackgroundMusic();
    else
        CZkBus::UnmuteBackgroundMusic();
}

void ExecuteActionOnPlayingID(EventManager& manager, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkActionOnPlayingIDMessage>(message);
    uint32_t code = 0;
    if (!ActionCode(body.action, code))
        return;
    switch (body.action)
    {
    case ZkActionOnEventType_Stop:
    case ZkActionOnEventType_ReleaseEnvelope: manager.RemovePendingActionsOfPlayingID(body.playingID); break;
    case ZkActionOnEventType_Pause: manager.PausePendingActionsOfPlayingID(body.playingID); break;
    case ZkActionOnEventType_Resume: manager.ResumePendingActionsOfPlayingID(body.playingID); break;
    default: break;
    }
    CZkBus::ExecuteActionOnPlayingID(code, body.playingID, body.transitionMs, body.curve);
    TellMidiPosts(code, body.playingID);
}
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
