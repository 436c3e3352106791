// The interface calls that choose the listeners of emitters (their own and the default ones) and
// set a listener's spatialization: argument checks, then one message each. The listener lists are
// the only messages of this family whose size grows with the caller's list.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/MessagePosting.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"

#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <cstring>

namespace ZK::SoundEngine
{
using namespace MessagePosting;

namespace
{
constexpr ZkMemoryId kOffsetsPool = ZkMemID_Default;
constexpr uint32_t kOffsetsAlignment = 16;
constexpr uint32_t kOffsetsGroup = 4; // offsets travel in whole groups of four floats

// Message 14 (with the emitter) or 16 (without): the head, the ids, then the unused tail.
template <typename Head>
ZKRESULT PostListenerList(uint16_t type, const Head& head, const ZkGameObjectID* listeners, uint32_t count)
{
    if (count > 0 && listeners == nullptr)
        return ZK_InvalidParameter;
    const size_t idBytes = size_t{count} * sizeof(ZkGameObjectID);
    return PostHeadAndItems(type, head, listeners, idBytes, MessageBytes<Head>() + idBytes + kListenerListTailBytes);
}

ZKRESULT PostEmitterListeners(ZkGameObjectID emitter, ZkListenerOperation operation, const ZkGameObjectID* listeners,
                              uint32_t count)
{
    return PostListenerList(ZkMessage_SetListeners, ZkSetListenersMessage{emitter, operation, count}, listeners, count);
}

ZKRESULT PostDefaultListeners(ZkListenerOperation operation, const ZkGameObjectID* listeners, uint32_t count)
{
    return PostListenerList(ZkMessage_SetDefaultListeners, ZkSetDefaultListenersMessage{operation, count}, listeners,
                            count);
}
} // namespace

ZKRESULT AddListener(ZkGameObjectID emitter, ZkGameObjectID listener)
{
    return PostEmitterListeners(emitter, ZkListenerOperation_Add, &listener, 1);
}

ZKRESULT RemoveListener(ZkGameObjectID emitter, ZkGameObjectID listener)
{
    return PostEmitterListeners(emitter, ZkListenerOperation_Remove, &listener, 1);
}

ZKRESULT SetListeners(ZkGameObjectID emitter, const ZkGameObjectID* listeners, uint32_t count)
{
    return PostEmitterListeners(emitter, ZkListenerOperation_Set, listeners, count);
}

ZKRESULT AddDefaultListener(ZkGameObjectID listener)
{
    return PostDefaultListeners(ZkListenerOperation_Add, &listener, 1);
}

ZKRESULT RemoveDefaultListener(ZkGameObjectID listener)
{
    return PostDefaultListeners(ZkListenerOperation_Remove, &listener, 1);
}

ZKRESULT SetDefaultListeners(const ZkGameObjectID* listeners, uint32_t count)
{
    return PostDefaultListeners(ZkListenerOperation_Set, listeners, count);
}

ZKRESULT ResetListenersToDefault(ZkGameObjectID emitter)
{
    return PostFixed(ZkMessage_ResetListenersToDefault, ZkGameObjectMessage{emitter});
}

ZKRESULT SetListenerSpatialization(ZkGameObjectID listener, bool spatialized, ZkChannelConfig channelConfig,
                                   const float* volumeOffsets)
{
    const uint32_t channels = channelConfig.NumChannels();
    if (volumeOffsets != nullptr)
    {
        for (uint32_t channel = 0; channel < channels; ++channel)
        {
            if (!IsFinite(volumeOffsets[channel]))
                return ZK_NotFinite;
        }
    }
    ZKRESULT result = ZK_Success;
    uint8_t* message = Reserve(ZkMessage_SetListenerSpatialization, MessageBytes<ZkListenerSpatializationMessage>(),
                               result);
    if (message == nullptr)
        return result;
    ZkListenerSpatializationMessage body{listener, nullptr, channelConfig.word, static_cast<uint16_t>(spatialized),
                                         static_cast<uint16_t>(volumeOffsets != nullptr)};
    if (volumeOffsets != nullptr)
    {
        // At least one group, so that offsets given for a configuration without channels still
        // reach the listener, which refuses them.
        const uint32_t groups = channels == 0 ? 1 : (channels + kOffsetsGroup - 1) / kOffsetsGroup;
        const size_t bytes = size_t{groups} * kOffsetsGroup * sizeof(float);
        body.volumeOffsets = static_cast<float*>(ZK::MemoryMgr::Malign(kOffsetsPool, bytes, kOffsetsAlignment));
        if (body.volumeOffsets == nullptr)
        {
            Abandon(message);
            return ZK_InsufficientMemory;
        }
        std::memset(body.volumeOffsets, 0, bytes);
        std::memcpy(body.volumeOffsets, volumeOffsets, size_t{channels} * sizeof(float));
    }
    std::memcpy(message + kMessageHeaderBytes, &body, sizeof(body));
    Finish();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
