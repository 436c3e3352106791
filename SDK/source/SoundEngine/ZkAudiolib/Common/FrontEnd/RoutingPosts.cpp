// The interface calls that set a game object's aux sends, output bus volumes, obstruction and
// occlusion: finite checks and clamping, then one message each. The array forms clamp the caller's
// array in place, item by item, so a value refused later leaves the ones before it clamped.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"

#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <array>
#include <cstring>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
constexpr float kMaximumSendLevel = 16.0f;
constexpr float kMaximumBusVolume = 16.0f;
constexpr float kMaximumObstruction = 1.0f;

// Checks and clamps each value of count records in place through valuesOf (which gives the record's
// float fields). 95 at the first value that is not finite.
template <typename Record, typename ValuesOf>
ZKRESULT ClampRecords(Record* records, uint32_t count, float maximum, ValuesOf valuesOf)
{
    for (uint32_t index = 0; index < count; ++index)
    {
        for (float* value : valuesOf(records[index]))
        {
            if (!IsFinite(*value))
                return ZK_NotFinite;
            *value = ClampLevel(*value, maximum);
        }
    }
    return ZK_Success;
}

// The size of a head and count records, and whether the engine's ring takes it (an engine that is
// not running takes it: the post then answers that there is no engine).
template <typename Head, typename Record>
uint64_t RecordsMessageBytes(uint32_t count)
{
    return MessageBytes<Head>() + uint64_t{count} * sizeof(Record);
}
bool TooLarge(uint64_t size)
{
    const CZkMessageRing* ring = EngineRing();
    return ring != nullptr && size > LargestMessage(*ring);
}
} // namespace

ZKRESULT SetGameObjectAuxSendValues(ZkGameObjectID gameObject, ZkAuxSendValue* sends, uint32_t count)
{
    // The size is tested before anything else: a list longer than the ring takes (or than the
    // 16-bit size field describes) would otherwise be posted with a wrapped size.
    const uint64_t size = RecordsMessageBytes<ZkAuxSendsMessage, ZkAuxSendValue>(count);
    if (TooLarge(size) || (count > 0 && sends == nullptr))
        return ZK_InvalidParameter;
    const ZKRESULT clamped = ClampRecords(sends, count, kMaximumSendLevel, [](ZkAuxSendValue& send) {
        return std::array<float*, 1>{&send.controlValue};
    });
    if (clamped != ZK_Success)
        return clamped;
    return PostHeadAndItems(ZkMessage_SetAuxSends, ZkAuxSendsMessage{gameObject, count}, sends,
                            size_t{count} * sizeof(ZkAuxSendValue), size);
}

ZKRESULT SetGameObjectOutputBusVolume(ZkGameObjectID emitter, ZkGameObjectID listener, float volume)
{
    if (!IsFinite(volume))
        return ZK_NotFinite;
    return PostFixed(ZkMessage_SetOutputBusVolume,
                     ZkOutputBusVolumeMessage{emitter, listener, ClampLevel(volume, kMaximumBusVolume)});
}

ZKRESULT SetObjectObstructionAndOcclusion(ZkGameObjectID emitter, ZkGameObjectID listener, float obstruction,
                                          float occlusion)
{
    if (!IsFinite(obstruction) || !IsFinite(occlusion))
        return ZK_NotFinite;
    return PostFixed(ZkMessage_SetObstructionOcclusion,
                     ZkObstructionOcclusionMessage{emitter, listener, ClampLevel(obstruction, kMaximumObstruction),
                                                   ClampLevel(occlusion, kMaximumObstruction)});
}

ZKRESULT SetMultipleObstructionAndOcclusion(ZkGameObjectID emitter, ZkGameObjectID listener,
                                            ZkObstructionOcclusionValues* values, uint32_t count)
{
    const uint64_t size = RecordsMessageBytes<ZkMultipleObstructionOcclusionMessage, ZkObstructionOcclusionValues>(count);
    if (TooLarge(size) || (count > 0 && values == nullptr))
        return ZK_InvalidParameter;
    const ZKRESULT clamped = ClampRecords(values, count, kMaximumObstruction, [](ZkObstructionOcclusionValues& pair) {
        return std::array<float*, 2>{&pair.occlusion, &pair.obstruction};
    });
    if (clamped != ZK_Success)
        return clamped;
    return PostHeadAndItems(ZkMessage_SetMultipleObstructionOcclusion,
                            ZkMultipleObstructionOcclusionMessage{emitter, listener, count}, values,
                            size_t{count} * sizeof(ZkObstructionOcclusionValues), size);
}
} // namespace ZK::SoundEngine
