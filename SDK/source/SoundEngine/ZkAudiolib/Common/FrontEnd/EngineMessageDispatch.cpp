// The table from message type to handler. Types without a handler (the markers, which the ring
// handles itself, and the unused numbers 4, 9, 15, 49 and 50) are skipped by their size.
#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"

#include <array>

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kHandledTypes = ZkMessage_OfflineRendering + 1;

constexpr std::array<ZkMessageHandler, kHandledTypes> MakeHandlerTable()
{
    using namespace MessageHandlers;
    std::array<ZkMessageHandler, kHandledTypes> table{};
    table[ZkMessage_PostEvent] = PostEvent;
    table[ZkMessage_SetRTPC] = SetRTPC;
    table[ZkMessage_SetRTPCWithTransition] = SetRTPCWithTransition;
    table[ZkMessage_ResetRTPC] = ResetRTPC;
    table[ZkMessage_ResetRTPCWithTransition] = ResetRTPCWithTransition;
    table[ZkMessage_SetState] = SetState;
    table[ZkMessage_SetSwitch] = SetSwitch;
    table[ZkMessage_Trigger] = Trigger;
    table[ZkMessage_RegisterGameObj] = RegisterGameObj;
    table[ZkMessage_UnregisterGameObj] = UnregisterGameObj;
    table[ZkMessage_SetPosition] = SetPosition;
    table[ZkMessage_SetListeners] = SetListeners;
    table[ZkMessage_SetDefaultListeners] = SetDefaultListeners;
    table[ZkMessage_ResetListenersToDefault] = ResetListenersToDefault;
    table[ZkMessage_SetListenerSpatialization] = SetListenerSpatialization;
    table[ZkMessage_SetAuxSends] = SetAuxSends;
    table[ZkMessage_SetOutputBusVolume] = SetOutputBusVolume;
    table[ZkMessage_SetObstructionOcclusion] = SetObstructionOcclusion;
    table[ZkMessage_SetMultipleObstructionOcclusion] = SetMultipleObstructionOcclusion;
    table[ZkMessage_SetOutputVolume] = SetOutputVolume;
    table[ZkMessage_OpenDynamicSequence] = OpenDynamicSequence;
    table[ZkMessage_DynamicSequenceCommand] = DynamicSequenceCommand;
    table[ZkMessage_UnloadBank] = UnloadBank;
    table[ZkMessage_StopAll] = StopAll;
    table[ZkMessage_AddOutput] = AddOutput;
    table[ZkMessage_RemoveOutput] = RemoveOutput;
    table[ZkMessage_ReplaceOutput] = ReplaceOutput;
    table[ZkMessage_SetBusDevice] = SetBusDevice;
    table[ZkMessage_StopPlayingID] = StopPlayingID;
    table[ZkMessage_ExecuteActionOnEvent] = ExecuteActionOnEvent;
    table[ZkMessage_PostMIDIOnEvent] = PostMIDIOnEvent;
    table[ZkMessage_StopMIDIOnEvent] = StopMIDIOnEvent;
    table[ZkMessage_PinEventInStreamCache] = PinEventInStreamCache;
    table[ZkMessage_SetScalingFactor] = SetScalingFactor;
    table[ZkMessage_SetMultiplePositions] = SetMultiplePositions;
    table[ZkMessage_SeekOnEvent] = SeekOnEvent;
    table[ZkMessage_SourcePlugin] = SourcePlugin;
    table[ZkMessage_OutputCapture] = OutputCapture;
    table[ZkMessage_OutputCaptureMarker] = OutputCaptureMarker;
    table[ZkMessage_SetNodeEffect] = SetNodeEffect;
    table[ZkMessage_SetOutputDeviceEffect] = SetOutputDeviceEffect;
    table[ZkMessage_SetMixer] = SetMixer;
    table[ZkMessage_SetBusConfig] = SetBusConfig;
    table[ZkMessage_SetPanningRule] = SetPanningRule;
    table[ZkMessage_SetSpeakerAngles] = SetSpeakerAngles;
    table[ZkMessage_SetRandomSeed] = SetRandomSeed;
    table[ZkMessage_MuteBackgroundMusic] = MuteBackgroundMusic;
    table[ZkMessage_PluginCustomGameData] = PluginCustomGameData;
    table[ZkMessage_Suspend] = Suspend;
    table[ZkMessage_ReplaceMainOutput] = ReplaceMainOutput;
    table[ZkMessage_Custom] = Custom;
    table[ZkMessage_ExecuteActionOnPlayingID] = ExecuteActionOnPlayingID;
    table[ZkMessage_SeekDynamicSequence] = SeekDynamicSequence;
    table[ZkMessage_OfflineRendering] = OfflineRendering;
    return table;
}

constexpr std::array<ZkMessageHandler, kHandledTypes> kHandlers = MakeHandlerTable();
} // namespace

ZkMessageHandler FindMessageHandler(uint16_t type)
{
    return type < kHandledTypes ? kHandlers[type] : nullptr;
}
} // namespace ZK::SoundEngine
