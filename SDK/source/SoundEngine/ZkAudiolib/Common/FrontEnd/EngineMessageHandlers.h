// The engine side of every message type: one handler per type, called by EventManager::Dispatch in
// ring order, and the release of what a message holds (references and copies), which every
// handler of a holding message ends with and which EventManager::Discard does alone.
//
// A handler reports nothing back to the poster: a message whose game object, node or device is not
// there is dropped. Handlers whose engine part is not built yet call that part's stand-in (which
// answers 4) and still release what the message holds.
//
// Threading: the ring's reader, under the global engine lock. Ownership: the message memory is the
// ring's, valid during the call only.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class EventManager;

using ZkMessageHandler = void (*)(EventManager& manager, const uint8_t* message, bool& deviceChanged);

// The handler of a type, or null for a type nothing handles (skipped by its size).
ZkMessageHandler FindMessageHandler(uint16_t type);

// Releases the references and frees the copies the message carries (nothing for most types).
void ReleaseMessageHoldings(const uint8_t* message);

// The engine's random generator takes the seed, or the calendar time for 0 (message 51, and the
// engine's start).
void SeedEngineRandom(uint32_t seed);

namespace MessageHandlers
{
// Game parameters, states, switches, triggers.
void SetRTPC(EventManager&, const uint8_t* message, bool&);
void SetRTPCWithTransition(EventManager&, const uint8_t* message, bool&);
void ResetRTPC(EventManager&, const uint8_t* message, bool&);
void ResetRTPCWithTransition(EventManager&, const uint8_t* message, bool&);
void SetState(EventManager&, const uint8_t* message, bool&);
void SetSwitch(EventManager&, const uint8_t* message, bool&);
void Trigger(EventManager&, const uint8_t* message, bool&);

// Game objects, positions, listeners, routing.
void RegisterGameObj(EventManager&, const uint8_t* message, bool&);
void UnregisterGameObj(EventManager&, const uint8_t* message, bool&);
void SetPosition(EventManager&, const uint8_t* message, bool&);
void SetMultiplePositions(EventManager&, const uint8_t* message, bool&);
void SetListeners(EventManager&, const uint8_t* message, bool&);
void SetDefaultListeners(EventManager&, const uint8_t* message, bool&);
void ResetListenersToDefault(EventManager&, const uint8_t* message, bool&);
void SetListenerSpatialization(EventManager&, const uint8_t* message, bool&);
void SetAuxSends(EventManager&, const uint8_t* message, bool&);
void SetOutputBusVolume(EventManager&, const uint8_t* message, bool&);
void SetObstructionOcclusion(EventManager&, const uint8_t* message, bool&);
void SetMultipleObstructionOcclusion(EventManager&, const uint8_t* message, bool&);
void SetScalingFactor(EventManager&, const uint8_t* message, bool&);

// Output devices.
void SetOutputVolume(EventManager&, const uint8_t* message, bool&);
void AddOutput(EventManager&, const uint8_t* message, bool&);
void RemoveOutput(EventManager&, const uint8_t* message, bool&);
void ReplaceOutput(EventManager&, const uint8_t* message, bool&);
void OutputCapture(EventManager&, const uint8_t* message, bool&);
void OutputCaptureMarker(EventManager&, const uint8_t* message, bool&);
void SetOutputDeviceEffect(EventManager&, const uint8_t* message, bool&);
void SetPanningRule(EventManager&, const uint8_t* message, bool&);
void SetSpeakerAngles(EventManager&, const uint8_t* message, bool&);
void Suspend(EventManager&, const uint8_t* message, bool&);
void ReplaceMainOutput(EventManager&, const uint8_t* message, bool&);

// Events, playing ids, banks, nodes and buses.
void PostEvent(EventManager&, const uint8_t* message, bool&);
void UnloadBank(EventManager&, const uint8_t* message, bool&);
void StopAll(EventManager&, const uint8_t* message, bool&);
void SetBusDevice(EventManager&, const uint8_t* message, bool&);
void StopPlayingID(EventManager&, const uint8_t* message, bool&);
void ExecuteActionOnEvent(EventManager&, const uint8_t* message, bool&);
void SeekOnEvent(EventManager&, const uint8_t* message, bool&);
void PinEventInStreamCache(EventManager&, const uint8_t* message, bool&);
void SetNodeEffect(EventManager&, const uint8_t* message, bool&);
void SetMixer(EventManager&, const uint8_t* message, bool&);
void SetBusConfig(EventManager&, const uint8_t* message, bool&);
void MuteBackgroundMusic(EventManager&, const uint8_t* message, bool&);
void ExecuteActionOnPlayingID(EventManager&, const uint8_t* message, bool&);
// Plays a source plug-in (command 0) on its run-time sound node, or stops the node's plays of the
// message's playing id (command 1).
void SourcePlugin(EventManager&, const uint8_t* message, bool&);
// MIDI posted on an event's nodes (34) and its stop (35), through the MIDI post manager.
void PostMIDIOnEvent(EventManager&, const uint8_t* message, bool&);
void StopMIDIOnEvent(EventManager&, const uint8_t* message, bool&);
// Dynamic sequences: the game object (24, registered ones only), a command (25), a seek (58).
void OpenDynamicSequence(EventManager&, const uint8_t* message, bool&);
void DynamicSequenceCommand(EventManager&, const uint8_t* message, bool&);
void SeekDynamicSequence(EventManager&, const uint8_t* message, bool&);

// Engine-wide values.
void SetRandomSeed(EventManager&, const uint8_t* message, bool&);
// The block becomes the custom-data table's (CZkPluginCustomData::Post, owned).
void PluginCustomGameData(EventManager&, const uint8_t* message, bool&);
void Custom(EventManager&, const uint8_t* message, bool&);
void OfflineRendering(EventManager&, const uint8_t* message, bool&);
} // namespace MessageHandlers
} // namespace ZK::SoundEngine
