// The handlers of the game-object messages: registration, positions, listeners, spatialization,
// routing, obstruction and scaling, applied by the registry and its components.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/MessageItemsCopy.h"
#include "ZkAudiolib/Common/GameObjects/CZkListener.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"

namespace ZK::SoundEngine
{
namespace
{
// The ids of a listener message as a sorted set without duplicates. False when the set cannot be
// stored (the message is then dropped).
bool ReadListenerSet(const uint8_t* ids, uint32_t count, ZkListenerSet& set)
{
    if (set.Reserve(count) != ZK_Success)
        return false;
    for (uint32_t index = 0; index < count; ++index)
    {
        ZkGameObjectID id;
        std::memcpy(&id, ids + size_t{index} * sizeof(id), sizeof(id));
        if (set.Add(id) != ZK_Success)
            return false;
    }
    return true;
}

// Reads count items of an array message whose head is Head, when they fit its size.
template <typename Head, typename Item>
bool ItemsFit(const uint8_t* message, uint32_t count)
{
    return MessageBytes<Head>() + uint64_t{count} * sizeof(Item) <= ReadMessageHeader(message).size;
}
} // namespace

namespace MessageHandlers
{
void RegisterGameObj(EventManager&, const uint8_t* message, bool&)
{
    if (g_pRegistryMgr != nullptr)
        g_pRegistryMgr->RegisterObject(ReadMessageBody<ZkRegisterGameObjMessage>(message).gameObject);
}

void UnregisterGameObj(EventManager&, const uint8_t* message, bool&)
{
    if (g_pRegistryMgr == nullptr)
        return;
    const ZkGameObjectID id = ReadMessageBody<ZkGameObjectMessage>(message).gameObject;
    if (id == ZK_ALL_GAME_OBJECTS)
        g_pRegistryMgr->UnregisterAll(nullptr);
    else
        g_pRegistryMgr->UnregisterObject(id);
}

void SetPosition(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkSetPositionMessage>(message);
    const ZkChannelEmitter position{body.transform, kZkAllInputChannels};
    if (g_pRegistryMgr != nullptr)
        g_pRegistryMgr->SetPosition(body.gameObject, &position, 1, MultiPositionType_SingleSource);
}

void SetMultiplePositions(EventManager&, const uint8_t* message, bool&)
{
    const auto head = ReadMessageBody<ZkMultiplePositionsMessage>(message);
    if (g_pRegistryMgr == nullptr || !ItemsFit<ZkMultiplePositionsMessage, ZkChannelEmitter>(message, head.count))
        return;
    const MessageItemsCopy<ZkChannelEmitter, 4> positions(MessageItems<ZkMultiplePositionsMessage>(message), head.count);
    if (positions.IsValid())
        g_pRegistryMgr->SetPosition(head.gameObject, positions.Data(), head.count, head.multiPositionType);
}

void SetListeners(EventManager&, const uint8_t* message, bool&)
{
    const auto head = ReadMessageBody<ZkSetListenersMessage>(message);
    if (g_pRegistryMgr == nullptr || !ItemsFit<ZkSetListenersMessage, ZkGameObjectID>(message, head.count))
        return;
    ZkListenerSet listeners;
    if (ReadListenerSet(MessageItems<ZkSetListenersMessage>(message), head.count, listeners))
        g_pRegistryMgr->SetListeners(head.emitter, listeners, static_cast<ZkListenerOperation>(head.operation));
    listeners.Term();
}

void SetDefaultListeners(EventManager&, const uint8_t* message, bool&)
{
    const auto head = ReadMessageBody<ZkSetDefaultListenersMessage>(message);
    if (g_pRegistryMgr == nullptr || !ItemsFit<ZkSetDefaultListenersMessage, ZkGameObjectID>(message, head.count))
        return;
    ZkListenerSet listeners;
    if (ReadListenerSet(MessageItems<ZkSetDefaultListenersMessage>(message), head.count, listeners))
        g_pRegistryMgr->SetDefaultListeners(listeners, static_cast<ZkListenerOperation>(head.operation));
    listeners.Term();
}

void ResetListenersToDefault(EventManager&, const uint8_t* message, bool&)
{
    if (g_pRegistryMgr != nullptr)
        g_pRegistryMgr->ResetListenersToDefault(ReadMessageBody<ZkGameObjectMessage>(message).gameObject);
}

void SetListenerSpatialization(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkListenerSpatializationMessage>(message);
    CZkListener::SetSpatialization(body.listener, body.spatialized != 0, ZkChannelConfig(body.channelConfig),
                                   body.hasVolumeOffsets != 0 ? body.volumeOffsets : nullptr);
    ReleaseMessageHoldings(message);
}

void SetAuxSends(EventManager&, const uint8_t* message, bool&)
{
    const auto head = ReadMessageBody<ZkAuxSendsMessage>(message);
    if (g_pRegistryMgr == nullptr || !ItemsFit<ZkAuxSendsMessage, ZkAuxSendValue>(message, head.count))
        return;
    const MessageItemsCopy<ZkAuxSendValue> sends(MessageItems<ZkAuxSendsMessage>(message), head.count);
    if (sends.IsValid())
        g_pRegistryMgr->SetGameObjectAuxSendValues(head.gameObject, sends.Data(), head.count);
}

void SetOutputBusVolume(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkOutputBusVolumeMessage>(message);
    if (g_pRegistryMgr != nullptr)
        g_pRegistryMgr->SetGameObjectOutputBusVolume(body.emitter, body.listener, body.volume);
}

void SetObstructionOcclusion(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkObstructionOcclusionMessage>(message);
    if (g_pRegistryMgr != nullptr)
        g_pRegistryMgr->SetObjectObstructionAndOcclusion(body.emitter, body.listener, body.obstruction,
                                                         body.occlusion);
}

void SetMultipleObstructionOcclusion(EventManager&, const uint8_t* message, bool&)
{
    const auto head = ReadMessageBody<ZkMultipleObstructionOcclusionMessage>(message);
    if (g_pRegistryMgr == nullptr ||
        !ItemsFit<ZkMultipleObstructionOcclusionMessage, ZkObstructionOcclusionValues>(message, head.count))
        return;
    const MessageItemsCopy<ZkObstructionOcclusionValues> values(
        MessageItems<ZkMultipleObstructionOcclusionMessage>(message), head.count);
    if (values.IsValid())
        g_pRegistryMgr->SetMultipleObstructionAndOcclusion(head.emitter, head.listener, values.Data(), head.count);
}

void SetScalingFactor(EventManager&, const uint8_t* message, bool&)
{
    const auto body = ReadMessageBody<ZkScalingFactorMessage>(message);
    if (g_pRegistryMgr != nullptr)
        g_pRegistryMgr->SetScalingFactor(body.gameObject, body.factor);
}
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
