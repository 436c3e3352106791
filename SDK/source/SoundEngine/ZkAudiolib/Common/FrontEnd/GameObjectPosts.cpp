// The interface calls that register, unregister and position game objects, and set their scaling
// factor: argument checks, then one message each.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"

#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <cstring>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
// Fills and finishes message 38 from count records that give their transform through transformOf
// and their channel mask through maskOf; a transform that fails the check drops the message.
template <typename Record, typename TransformOf, typename MaskOf>
ZKRESULT PostPositions(ZkGameObjectID gameObject, const Record* records, uint16_t count, MultiPositionType type,
                       TransformOf transformOf, MaskOf maskOf)
{
    if (type > MultiPositionType_MultiDirections || (count > 0 && records == nullptr))
        return ZK_InvalidParameter;
    ZKRESULT result = ZK_Success;
    const uint64_t size = MessageBytes<ZkMultiplePositionsMessage>() + uint64_t{count} * sizeof(ZkChannelEmitter);
    uint8_t* message = Reserve(ZkMessage_SetMultiplePositions, size, result);
    if (message == nullptr)
        return result;
    const ZkMultiplePositionsMessage head{gameObject, count, type};
    std::memcpy(message + kMessageHeaderBytes, &head, sizeof(head));
    uint8_t* item = message + MessageBytes<ZkMultiplePositionsMessage>();
    for (uint16_t index = 0; index < count; ++index, item += sizeof(ZkChannelEmitter))
    {
        const ZkChannelEmitter emitter{transformOf(records[index]), maskOf(records[index])};
        if (!IsValidTransform(emitter.transform))
        {
            Abandon(message);
            return ZK_InvalidParameter;
        }
        std::memcpy(item, &emitter, sizeof(emitter));
    }
    Finish();
    return ZK_Success;
}
} // namespace

ZKRESULT RegisterGameObj(ZkGameObjectID gameObject)
{
    if (ZkIsReservedGameObjectID(gameObject))
        return ZK_InvalidParameter;
    return PostFixed(ZkMessage_RegisterGameObj, ZkRegisterGameObjMessage{gameObject, 0, {}});
}

ZKRESULT RegisterGameObj(ZkGameObjectID gameObject, const char*)
{
    return RegisterGameObj(gameObject);
}

ZKRESULT UnregisterGameObj(ZkGameObjectID gameObject)
{
    if (ZkIsReservedGameObjectID(gameObject))
        return ZK_Fail;
    return PostFixed(ZkMessage_UnregisterGameObj, ZkGameObjectMessage{gameObject});
}

ZKRESULT UnregisterAllGameObj()
{
    return PostFixed(ZkMessage_UnregisterGameObj, ZkGameObjectMessage{ZK_ALL_GAME_OBJECTS});
}

ZKRESULT SetPosition(ZkGameObjectID gameObject, const ZkTransform& position)
{
    if (ZkIsReservedGameObjectID(gameObject))
        return ZK_Fail;
    return SetPositionInternal(gameObject, position);
}

ZKRESULT SetPositionInternal(ZkGameObjectID gameObject, const ZkTransform& position)
{
    if (!IsValidTransform(position))
        return ZK_InvalidParameter;
    return PostFixed(ZkMessage_SetPosition, ZkSetPositionMessage{gameObject, position});
}

ZKRESULT SetMultiplePositions(ZkGameObjectID gameObject, const ZkChannelEmitter* positions, uint16_t count,
                              MultiPositionType type)
{
    return PostPositions(
        gameObject, positions, count, type, [](const ZkChannelEmitter& record) { return record.transform; },
        [](const ZkChannelEmitter& record) { return record.inputChannelMask; });
}

ZKRESULT SetMultiplePositions(ZkGameObjectID gameObject, const ZkTransform* positions, uint16_t count,
                              MultiPositionType type)
{
    return PostPositions(
        gameObject, positions, count, type, [](const ZkTransform& record) { return record; },
        [](const ZkTransform&) { return kZkAllInputChannels; });
}

ZKRESULT SetScalingFactor(ZkGameObjectID gameObject, float factor)
{
    if (!(factor > 0.0f))
        return ZK_InvalidParameter;
    if (!IsFinite(factor))
        return ZK_NotFinite;
    return PostFixed(ZkMessage_SetScalingFactor, ZkScalingFactorMessage{gameObject, factor});
}
} // namespace ZK::SoundEngine
