// Output devices, their panning and capture, bus routing to devices, effects and mixers of buses
// and devices, and the callbacks registered on outputs and buses.
//
// The posting calls check their arguments and queue one message for the engine's next tick; 1
// means queued. Before the engine's initialisation every one answers 2 and queues nothing. Names
// follow the strict rule (a null name, or one whose id computes to 0, gives 15), GetOutputID's the
// lenient one (a null name is id 0).
//
// The main output: the engine starts with a placeholder main device, which the Init bank replaces
// by the device its master bus asks for. The calls marked "waits for the main output" first wait
// until that device has started (or failed): up to one second once devices exist (the engine's
// thread is woken meanwhile, or the engine is ticked on the caller when it runs without one), and
// answer 92 when it has not started.
//
// Threading: any thread after the engine's initialisation; the getters and registrations take the
// global engine lock and wait for a running tick. Ownership: arguments are read during the call;
// the file name, marker text and speaker angles are copied.
#pragma once

#include <ZK/SoundEngine/Common/IZkSinkPlugin.h>
#include <ZK/SoundEngine/Common/ZkChannelConfig.h>
#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>
#include <ZK/SoundEngine/Common/ZkOutputTypes.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// How an output device pans: for speakers or for headphones.
enum ZkPanningRule : uint32_t
{
    ZkPanningRule_Speakers = 0,
    ZkPanningRule_Headphones = 1,
};

// --- Output devices ---
// Adds a device with the settings, heard by the listed listeners (none: the listeners no other
// device of the share set claims). Waits for the main output (92). 31 for listeners with a count of
// 0 or a list too long for one message; 15 for a share set no loaded bank defines. The new
// device's output id (the settings' first 8 bytes) goes to outputID.
ZKRESULT AddOutput(const ZkOutputSettings& settings, ZkOutputDeviceID* outputID = nullptr,
                   const ZkGameObjectID* listeners = nullptr, uint32_t listenerCount = 0);
ZKRESULT RemoveOutput(ZkOutputDeviceID outputID);
// Replaces the device outputID by one with the settings. 15 for a share set no loaded bank defines;
// 93 when no device has that id; 67 for a "System" device (other than the default) that names an
// endpoint neither active nor unplugged.
ZKRESULT ReplaceOutput(const ZkOutputSettings& settings, ZkOutputDeviceID outputID,
                       ZkOutputDeviceID* newOutputID = nullptr);
// device id << 32 | share-set id. When the engine runs and either id is 0, the id of the device
// those defaults resolve to, when one exists.
ZkOutputDeviceID GetOutputID(ZkUniqueID shareSetID, uint32_t deviceID);
ZkOutputDeviceID GetOutputID(const char* shareSetName, uint32_t deviceID);
ZkOutputDeviceID GetOutputID(const wchar_t* shareSetName, uint32_t deviceID);
// Sends a top-level bus to the devices of a share set. 15 for a bus or share set not loaded; 31 for
// a bus that has a parent.
ZKRESULT SetBusDevice(ZkUniqueID busID, ZkUniqueID deviceShareSetID);
ZKRESULT SetBusDevice(const char* busName, const char* deviceShareSetName);
ZKRESULT SetBusDevice(const wchar_t* busName, const wchar_t* deviceShareSetName);
// 95 for a volume that is not finite.
ZKRESULT SetOutputVolume(ZkOutputDeviceID outputID, float volume);
ZKRESULT SetPanningRule(ZkPanningRule rule, ZkOutputDeviceID outputID = 0);
// Planar speaker angles in degrees (at least 3, each finite: 95) and the height angle. 31 for
// fewer than 3 or a set the panning refuses (gaps below 5 degrees); 52 when they cannot be copied.
ZKRESULT SetSpeakerAngles(const float* angles, uint32_t count, float heightAngle, ZkOutputDeviceID outputID = 0);

// --- Output getters (wait for the main output) ---
// The device's channel configuration (that of its main mix for an audio-objects device); 0 when the
// main output is not ready or the device does not exist or has no sink.
ZkChannelConfig GetSpeakerConfiguration(ZkOutputDeviceID outputID = 0);
// 2 when the main output is not ready or the device does not exist.
ZKRESULT GetPanningRule(ZkPanningRule& rule, ZkOutputDeviceID outputID = 0);
// angles may be null to ask for the count; else at most count are written and count becomes the
// number of angles.
ZKRESULT GetSpeakerAngles(float* angles, uint32_t& count, float& heightAngle, ZkOutputDeviceID outputID = 0);
ZKRESULT GetOutputDeviceConfiguration(ZkOutputDeviceID outputID, ZkChannelConfig& channelConfig,
                                      ZK::Zk3DAudioSinkCapabilities& capabilities);

// --- Buses, effects and mixers ---
ZKRESULT SetBusConfig(ZkUniqueID busID, ZkChannelConfig channelConfig);
ZKRESULT SetBusConfig(const char* busName, ZkChannelConfig channelConfig);
ZKRESULT SetBusConfig(const wchar_t* busName, ZkChannelConfig channelConfig);
ZKRESULT SetBusEffect(ZkUniqueID busID, uint32_t effectIndex, ZkUniqueID effectShareSetID);
ZKRESULT SetBusEffect(const char* busName, uint32_t effectIndex, ZkUniqueID effectShareSetID);
ZKRESULT SetBusEffect(const wchar_t* busName, uint32_t effectIndex, ZkUniqueID effectShareSetID);
ZKRESULT SetActorMixerEffect(ZkUniqueID nodeID, uint32_t effectIndex, ZkUniqueID effectShareSetID);
ZKRESULT SetOutputDeviceEffect(ZkOutputDeviceID outputID, uint32_t effectIndex, ZkUniqueID effectShareSetID);
ZKRESULT SetMixer(ZkUniqueID busID, ZkUniqueID mixerShareSetID);
ZKRESULT SetMixer(const char* busName, ZkUniqueID mixerShareSetID);
ZKRESULT SetMixer(const wchar_t* busName, ZkUniqueID mixerShareSetID);

// --- Capture ---
// Writes every device's output into a WAVE file of that name. 31 for a null or empty name.
ZKRESULT StartOutputCapture(const wchar_t* fileName);
ZKRESULT StopOutputCapture();
// 31 for empty text; 2 before the engine's initialisation.
ZKRESULT AddOutputCaptureMarker(const char* text);
// The callback gets every frame of the device's final mix. 31 for a null callback; 92 before the
// engine's initialisation; 2 for no such device; 52 out of memory. A pair registered already stays
// once.
ZKRESULT RegisterCaptureCallback(ZkCaptureCallback callback, ZkOutputDeviceID outputID = 0, void* cookie = nullptr);
// Removes the pair (1 also when it was not registered).
ZKRESULT UnregisterCaptureCallback(ZkCaptureCallback callback, ZkOutputDeviceID outputID = 0,
                                   void* cookie = nullptr);

// --- Metering and device status ---
// Output id 0: the main device. Waits for the main output (2 when not ready); 93 for no such device;
// a null callback removes the registration.
ZKRESULT RegisterOutputDeviceMeteringCallback(ZkOutputDeviceID outputID, ZkOutputDeviceMeteringCallbackFunc callback,
                                              ZkMeteringFlags flags, void* cookie = nullptr);
// 2 before the engine's initialisation; 15 for a bus not loaded; a null callback removes it.
ZKRESULT RegisterBusMeteringCallback(ZkUniqueID busID, ZkBusMeteringCallbackFunc callback, ZkMeteringFlags flags,
                                     void* cookie = nullptr);
ZKRESULT RegisterBusVolumeCallback(ZkUniqueID busID, ZkBusVolumeCallbackFunc callback, void* cookie = nullptr);
// The one callback told of output devices' starts, removals and losses. 1.
ZKRESULT RegisterAudioDeviceStatusCallback(ZkAudioDeviceStatusCallback callback);
ZKRESULT UnregisterAudioDeviceStatusCallback();
} // namespace ZK::SoundEngine
