// The engine's message catalogue: the type number and the body of every message the interface, the
// bank manager and the engine post into the message ring. A body starts right after the 4-byte
// header, so a field at body offset k sits at message offset k + 4; the offsets asserted below are
// the message's (header included). Bodies are packed on 4 bytes, as the ring lays messages out, and
// are written and read whole with memcpy. A field that a body names "unused" is written as zero and
// never read.
//
// Messages that carry an array are a fixed head followed by the items; their size is the head, the
// items and, for the listener and output lists, 8 unused bytes at the end.
//
// Threading and ownership: plain layouts. A pointer in a body is a reference (event, dynamic
// sequence, external sources, bank) or a copy (names, offsets, angles, data) that the poster hands to
// the engine with the message: whoever consumes the message releases it (EngineMessageHoldings.h).
#pragma once

#include "ZkAudiolib/Common/FrontEnd/EngineMessage.h"

#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkPositionTypes.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstddef>
#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;
class ZkExternalSourceArray;
struct LoadedBank;

enum ZkEngineMessageType : uint16_t
{
    ZkMessage_FrameMarker = kMessageFrameMarker,
    ZkMessage_PostEvent = 1,
    ZkMessage_SetRTPC = 2,
    ZkMessage_SetRTPCWithTransition = 3,
    ZkMessage_ResetRTPC = 5,
    ZkMessage_ResetRTPCWithTransition = 6,
    ZkMessage_SetState = 7,
    ZkMessage_SetSwitch = 8,
    ZkMessage_Trigger = 10,
    ZkMessage_RegisterGameObj = 11,
    ZkMessage_UnregisterGameObj = 12,
    ZkMessage_SetPosition = 13,
    ZkMessage_SetListeners = 14,
    ZkMessage_SetDefaultListeners = 16,
    ZkMessage_ResetListenersToDefault = 17,
    ZkMessage_SetListenerSpatialization = 18,
    ZkMessage_SetAuxSends = 19,
    ZkMessage_SetOutputBusVolume = 20,
    ZkMessage_SetObstructionOcclusion = 21,
    ZkMessage_SetMultipleObstructionOcclusion = 22,
    ZkMessage_SetOutputVolume = 23,
    ZkMessage_OpenDynamicSequence = 24,
    ZkMessage_DynamicSequenceCommand = 25,
    ZkMessage_UnloadBank = 26,
    ZkMessage_StopAll = 27,
    ZkMessage_AddOutput = 28,
    ZkMessage_RemoveOutput = 29,
    ZkMessage_ReplaceOutput = 30,
    ZkMessage_SetBusDevice = 31,
    ZkMessage_StopPlayingID = 32,
    ZkMessage_ExecuteActionOnEvent = 33,
    ZkMessage_PostMIDIOnEvent = 34,
    ZkMessage_StopMIDIOnEvent = 35,
    ZkMessage_PinEventInStreamCache = 36,
    ZkMessage_SetScalingFactor = 37,
    ZkMessage_SetMultiplePositions = 38,
    ZkMessage_SeekOnEvent = 39,
    ZkMessage_SourcePlugin = 40,
    ZkMessage_OutputCapture = 41,
    ZkMessage_OutputCaptureMarker = 42,
    ZkMessage_SetNodeEffect = 43,
    ZkMessage_SetOutputDeviceEffect = 44,
    ZkMessage_SetMixer = 45,
    ZkMessage_SetBusConfig = 46,
    ZkMessage_SetPanningRule = 47,
    ZkMessage_SetSpeakerAngles = 48,
    ZkMessage_SetRandomSeed = 51,
    ZkMessage_MuteBackgroundMusic = 52,
    ZkMessage_PluginCustomGameData = 53,
    ZkMessage_Suspend = 54,
    ZkMessage_ReplaceMainOutput = 55,
    ZkMessage_Custom = 56,
    ZkMessage_ExecuteActionOnPlayingID = 57,
    ZkMessage_SeekDynamicSequence = 58,
    ZkMessage_OfflineRendering = 59,
    ZkMessage_WrapMarker = kMessageWrapMarker,
    ZkMessage_Abandoned = kMessageAbandoned,
};

// The message's total size for a body type (before the ring rounds it up).
template <typename Body>
constexpr uint32_t MessageBytes()
{
    return kMessageHeaderBytes + sizeof(Body);
}

#pragma pack(push, 4)

// 1: an event posted on a game object. The event reference and the external-source reference
// travel with the message; the playing id holds one pending reference until the message is handled.
struct ZkPostEventMessage
{
    ZkGameObjectID gameObject;
    ZkPlayingID playingID;
    ZkPlayingID playingIDFilter; // the playing id the game passed (0: any), handed to each action
    ZkExternalSourceArray* externalSources;
    uint8_t unused[12];
    CZkIndexedObject* event;
    ZkUniqueID eventID;
};

// 2 (without transition) and 3 (with the transition fields).
struct ZkSetRTPCMessage
{
    ZkGameObjectID gameObject; // all ones: the global value
    ZkUniqueID parameterID;
    float value;
    ZkPlayingID playingID; // 0: none
};
struct ZkSetRTPCTransitionMessage
{
    ZkSetRTPCMessage value;
    ZkTimeMs transitionMs;
    uint32_t curve;
    uint8_t bypassInternalInterpolation;
    uint8_t unused[3];
};

// 5 (without transition) and 6.
struct ZkResetRTPCMessage
{
    ZkGameObjectID gameObject; // all ones: the global value
    ZkUniqueID parameterID;
    ZkPlayingID playingID;
};
struct ZkResetRTPCTransitionMessage
{
    ZkResetRTPCMessage value;
    ZkTimeMs transitionMs;
    uint32_t curve;
    uint8_t bypassInternalInterpolation;
    uint8_t unused[3];
};

// 7: both options 0 from the interface; the internal setter passes its own.
struct ZkSetStateMessage
{
    ZkUniqueID groupID;
    ZkUniqueID stateID;
    uint16_t immediate;
    uint16_t skipNotification;
};

struct ZkSetSwitchMessage // 8
{
    ZkGameObjectID gameObject;
    ZkUniqueID groupID;
    ZkUniqueID switchID;
};

struct ZkTriggerMessage // 10
{
    ZkGameObjectID gameObject; // all ones: every object
    ZkUniqueID triggerID;
};

struct ZkRegisterGameObjMessage // 11
{
    ZkGameObjectID gameObject;
    uint8_t flag;
    uint8_t unused[3];
};

// 12 (all ones: every object), 17 (reset listeners), 27 (stop all; all ones: every object).
struct ZkGameObjectMessage
{
    ZkGameObjectID gameObject;
};

struct ZkSetPositionMessage // 13
{
    ZkGameObjectID gameObject;
    ZkTransform transform;
};

// 14: the head, then count listener ids, then 8 unused bytes.
struct ZkSetListenersMessage
{
    ZkGameObjectID emitter;
    uint32_t operation; // ZkListenerOperation
    uint32_t count;
};
// 16: the same for the default listeners.
struct ZkSetDefaultListenersMessage
{
    uint32_t operation;
    uint32_t count;
};
constexpr uint32_t kListenerListTailBytes = 8;

struct ZkListenerSpatializationMessage // 18
{
    ZkGameObjectID listener;
    float* volumeOffsets; // pool 0 copy, 16-byte aligned, or null
    uint32_t channelConfig;
    uint16_t spatialized;
    uint16_t hasVolumeOffsets;
};

// 19: the head, then count ZkAuxSendValue records.
struct ZkAuxSendsMessage
{
    ZkGameObjectID gameObject;
    uint32_t count;
};

struct ZkOutputBusVolumeMessage // 20
{
    ZkGameObjectID emitter;
    ZkGameObjectID listener; // all ones: every listener
    float volume;
};

struct ZkObstructionOcclusionMessage // 21
{
    ZkGameObjectID emitter;
    ZkGameObjectID listener;
    float obstruction;
    float occlusion;
};

// 22: the head, then count ZkObstructionOcclusionValues records as the caller gave them.
struct ZkMultipleObstructionOcclusionMessage
{
    ZkGameObjectID emitter;
    ZkGameObjectID listener;
    uint32_t count;
};

struct ZkOutputVolumeMessage // 23
{
    ZkOutputDeviceID outputID;
    float volume;
};

struct ZkOpenDynamicSequenceMessage // 24
{
    ZkGameObjectID gameObject;
    ZkPlayingID playingID;
    uint8_t unused[24];
    CZkIndexedObject* sequence;
};

struct ZkDynamicSequenceCommandMessage // 25
{
    CZkIndexedObject* sequence;
    uint32_t command; // 0 play, 1 pause, 2 resume, 3 close, 4 stop, 5 break, 6 playlist unlocked
    ZkTimeMs transitionMs;
    uint32_t curve;
};
constexpr uint32_t kDynamicSequenceClose = 3;

struct ZkUnloadBankMessage // 26
{
    LoadedBank* bank;
};

// 28: the head, then count listener ids, then 8 unused bytes.
struct ZkAddOutputMessage
{
    ZkOutputSettings settings;
    uint32_t unused;
    uint32_t count;
};

struct ZkOutputIDMessage // 29
{
    ZkOutputDeviceID outputID;
};

struct ZkReplaceOutputMessage // 30
{
    ZkOutputSettings settings;
    ZkOutputDeviceID outputID;
};

struct ZkSetBusDeviceMessage // 31
{
    ZkUniqueID busID;
    uint32_t deviceID;
};

struct ZkStopPlayingIDMessage // 32
{
    ZkPlayingID playingID;
    ZkTimeMs transitionMs;
    uint32_t curve;
};

struct ZkActionOnEventMessage // 33
{
    ZkGameObjectID gameObject;
    CZkIndexedObject* event;
    ZkUniqueID eventID;
    uint32_t actionType; // ZkActionOnEventType
    ZkTimeMs transitionMs;
    uint32_t curve;
    ZkPlayingID playingID;
};

// 34: the head, then count 20-byte MIDI posts.
struct ZkPostMIDIMessage
{
    ZkGameObjectID gameObject;
    CZkIndexedObject* event;
    ZkUniqueID eventID;
    ZkPlayingID playingID;
    uint16_t absoluteOffsets;
    uint16_t count;
};
constexpr uint32_t kMIDIPostBytes = 20;
// The bytes of message 34 with count posts (the limit a post of MIDI must fit, queued or not).
constexpr uint64_t PostMIDIMessageBytes(uint16_t count)
{
    return uint64_t{MessageBytes<ZkPostMIDIMessage>()} + uint64_t{kMIDIPostBytes} * count;
}

struct ZkStopMIDIMessage // 35
{
    ZkGameObjectID gameObject;
    CZkIndexedObject* event; // null: every event
    ZkUniqueID eventID;
    ZkPlayingID playingID;
};

struct ZkPinEventMessage // 36
{
    ZkGameObjectID gameObject; // all ones
    CZkIndexedObject* event;
    ZkUniqueID eventID;
    int8_t activePriority;
    int8_t inactivePriority;
    uint16_t pin;
};

struct ZkScalingFactorMessage // 37
{
    ZkGameObjectID gameObject;
    float factor;
};

// 38: the head, then count ZkChannelEmitter records.
struct ZkMultiplePositionsMessage
{
    ZkGameObjectID gameObject;
    uint32_t count;
    uint32_t multiPositionType;
};

struct ZkSeekOnEventMessage // 39
{
    ZkGameObjectID gameObject;
    CZkIndexedObject* event;
    ZkUniqueID eventID;
    union
    {
        int32_t milliseconds;
        float fraction;
    } position;
    ZkPlayingID playingID;
    uint16_t isFraction;
    uint16_t snapToNearestMarker;
};

struct ZkSourcePluginMessage // 40
{
    ZkGameObjectID gameObject; // all ones for a stop
    ZkPlayingID playingID;
    uint8_t unused[24];
    uint32_t pluginID;
    uint32_t companyID;
    uint32_t command; // 0 play, 1 stop
};

struct ZkOutputCaptureMessage // 41
{
    wchar_t* fileName; // pool 0 copy; null stops the capture
};

struct ZkCaptureMarkerMessage // 42
{
    char* text; // pool 0 copy
};

struct ZkNodeEffectMessage // 43
{
    ZkUniqueID nodeID;
    uint32_t effectIndex;
    ZkUniqueID effectShareSetID;
    uint32_t isBus;
};

struct ZkOutputDeviceEffectMessage // 44
{
    ZkOutputDeviceID outputID;
    uint32_t effectIndex;
    ZkUniqueID effectShareSetID;
};

struct ZkSetMixerMessage // 45
{
    ZkUniqueID busID;
    uint32_t unused;
    ZkUniqueID mixerShareSetID;
    uint32_t isBus;
};

struct ZkSetBusConfigMessage // 46
{
    ZkUniqueID busID;
    uint32_t channelConfig;
};

struct ZkPanningRuleMessage // 47
{
    ZkOutputDeviceID outputID;
    uint32_t panningRule;
};

struct ZkSpeakerAnglesMessage // 48
{
    float* angles; // pool 0 copy of count angles
    uint32_t count;
    float heightAngle;
    ZkOutputDeviceID outputID;
};

struct ZkRandomSeedMessage // 51
{
    uint32_t seed; // 0: the current time
};

struct ZkMuteBackgroundMusicMessage // 52
{
    uint16_t mute;
};

struct ZkPluginCustomDataMessage // 53
{
    ZkUniqueID busID;
    ZkGameObjectID gameObject;
    uint32_t pluginType;
    uint32_t companyID;
    uint32_t pluginID;
    void* data; // pool 5 copy, or null
    uint32_t dataSize;
};

struct ZkSuspendMessage // 54
{
    uint32_t delayMs;
    uint16_t suspend;
    uint16_t renderWhileSuspended;
};

struct ZkReplaceMainOutputMessage // 55
{
    ZkOutputSettings settings;
};

// 56: the head, then the payload.
struct ZkCustomMessage
{
    uint32_t customID;
};

struct ZkActionOnPlayingIDMessage // 57
{
    uint32_t action; // ZkActionOnEventType
    ZkPlayingID playingID;
    ZkTimeMs transitionMs;
    uint32_t curve;
};

struct ZkSeekDynamicSequenceMessage // 58
{
    CZkIndexedObject* sequence;
    union
    {
        int32_t milliseconds;
        float fraction;
    } position;
    uint8_t isFraction;
    uint8_t snapToNearestMarker;
    uint8_t unused[2];
};

struct ZkOfflineRenderingMessage // 59
{
    uint16_t selector; // 1 the offline flag, 0 the frame time
    uint16_t offline;
    float frameTimeSeconds;
};

#pragma pack(pop)

// The offset of a body field inside the whole message.
#define ZK_MESSAGE_OFFSET(Body, field) (kMessageHeaderBytes + offsetof(Body, field))

static_assert(MessageBytes<ZkPostEventMessage>() == 52);
static_assert(ZK_MESSAGE_OFFSET(ZkPostEventMessage, playingID) == 12);
static_assert(ZK_MESSAGE_OFFSET(ZkPostEventMessage, playingIDFilter) == 16);
static_assert(ZK_MESSAGE_OFFSET(ZkPostEventMessage, externalSources) == 20);
static_assert(ZK_MESSAGE_OFFSET(ZkPostEventMessage, event) == 40);
static_assert(ZK_MESSAGE_OFFSET(ZkPostEventMessage, eventID) == 48);
static_assert(MessageBytes<ZkSetRTPCMessage>() == 24);
static_assert(MessageBytes<ZkSetRTPCTransitionMessage>() == 36);
static_assert(ZK_MESSAGE_OFFSET(ZkSetRTPCTransitionMessage, bypassInternalInterpolation) == 32);
static_assert(MessageBytes<ZkResetRTPCMessage>() == 20);
static_assert(MessageBytes<ZkResetRTPCTransitionMessage>() == 32);
static_assert(MessageBytes<ZkSetStateMessage>() == 16);
static_assert(ZK_MESSAGE_OFFSET(ZkSetStateMessage, skipNotification) == 14);
static_assert(MessageBytes<ZkSetSwitchMessage>() == 20);
static_assert(MessageBytes<ZkTriggerMessage>() == 16);
static_assert(MessageBytes<ZkRegisterGameObjMessage>() == 16);
static_assert(MessageBytes<ZkGameObjectMessage>() == 12);
static_assert(MessageBytes<ZkSetPositionMessage>() == 48);
static_assert(MessageBytes<ZkSetListenersMessage>() + kListenerListTailBytes == 28);
static_assert(MessageBytes<ZkSetDefaultListenersMessage>() + kListenerListTailBytes == 20);
static_assert(MessageBytes<ZkListenerSpatializationMessage>() == 28);
static_assert(ZK_MESSAGE_OFFSET(ZkListenerSpatializationMessage, hasVolumeOffsets) == 26);
static_assert(MessageBytes<ZkAuxSendsMessage>() == 16);
static_assert(MessageBytes<ZkOutputBusVolumeMessage>() == 24);
static_assert(MessageBytes<ZkObstructionOcclusionMessage>() == 28);
static_assert(MessageBytes<ZkMultipleObstructionOcclusionMessage>() == 24);
static_assert(MessageBytes<ZkOutputVolumeMessage>() == 16);
static_assert(MessageBytes<ZkOpenDynamicSequenceMessage>() == 48);
static_assert(MessageBytes<ZkDynamicSequenceCommandMessage>() == 24);
static_assert(MessageBytes<ZkUnloadBankMessage>() == 12);
static_assert(MessageBytes<ZkAddOutputMessage>() + kListenerListTailBytes == 36);
static_assert(MessageBytes<ZkOutputIDMessage>() == 12);
static_assert(MessageBytes<ZkReplaceOutputMessage>() == 28);
static_assert(MessageBytes<ZkSetBusDeviceMessage>() == 12);
static_assert(MessageBytes<ZkStopPlayingIDMessage>() == 16);
static_assert(MessageBytes<ZkActionOnEventMessage>() == 40);
static_assert(MessageBytes<ZkPostMIDIMessage>() == 32);
static_assert(MessageBytes<ZkStopMIDIMessage>() == 28);
static_assert(MessageBytes<ZkPinEventMessage>() == 28);
static_assert(MessageBytes<ZkScalingFactorMessage>() == 16);
static_assert(MessageBytes<ZkMultiplePositionsMessage>() == 20);
static_assert(MessageBytes<ZkSeekOnEventMessage>() == 36);
static_assert(ZK_MESSAGE_OFFSET(ZkSeekOnEventMessage, snapToNearestMarker) == 34);
static_assert(MessageBytes<ZkSourcePluginMessage>() == 52);
static_assert(ZK_MESSAGE_OFFSET(ZkSourcePluginMessage, pluginID) == 40);
static_assert(MessageBytes<ZkOutputCaptureMessage>() == 12);
static_assert(MessageBytes<ZkCaptureMarkerMessage>() == 12);
static_assert(MessageBytes<ZkNodeEffectMessage>() == 20);
static_assert(MessageBytes<ZkOutputDeviceEffectMessage>() == 20);
static_assert(MessageBytes<ZkSetMixerMessage>() == 20);
static_assert(ZK_MESSAGE_OFFSET(ZkSetMixerMessage, mixerShareSetID) == 12);
static_assert(MessageBytes<ZkSetBusConfigMessage>() == 12);
static_assert(MessageBytes<ZkPanningRuleMessage>() == 16);
static_assert(MessageBytes<ZkSpeakerAnglesMessage>() == 28);
static_assert(ZK_MESSAGE_OFFSET(ZkSpeakerAnglesMessage, outputID) == 20);
static_assert(MessageBytes<ZkRandomSeedMessage>() == 8);
static_assert(MessageBytes<ZkMuteBackgroundMusicMessage>() == 6);
static_assert(MessageBytes<ZkPluginCustomDataMessage>() == 40);
static_assert(ZK_MESSAGE_OFFSET(ZkPluginCustomDataMessage, data) == 28);
static_assert(MessageBytes<ZkSuspendMessage>() == 12);
static_assert(MessageBytes<ZkReplaceMainOutputMessage>() == 20);
static_assert(MessageBytes<ZkActionOnPlayingIDMessage>() == 20);
static_assert(MessageBytes<ZkSeekDynamicSequenceMessage>() == 20);
static_assert(MessageBytes<ZkOfflineRenderingMessage>() == 12);

// Reads a body (or the fixed head of an array message) out of a message.
template <typename Body>
Body ReadMessageBody(const uint8_t* message)
{
    Body body;
    std::memcpy(&body, message + kMessageHeaderBytes, sizeof(Body));
    return body;
}

// The first item of an array message whose fixed head is Head.
template <typename Head>
const uint8_t* MessageItems(const uint8_t* message)
{
    return message + MessageBytes<Head>();
}
} // namespace ZK::SoundEngine
