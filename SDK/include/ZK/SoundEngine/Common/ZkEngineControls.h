// The engine-wide controls: the game's frame (RenderAudio), suspension of the output, offline
// rendering, the random seed, the background-music mute, custom data for plug-ins, the volume
// threshold and the voice limit, and the engine's clock.
//
// RenderAudio closes the batch of calls made since the last one: the engine applies them together
// at its next tick, in the order they were made. It wakes the engine's thread, or, when the engine
// runs without one (or renders offline), runs the tick on the caller.
//
// The volume threshold and the voice limit are set at once. An Init bank may set them too; a value
// the game set is never overridden by a bank loaded later.
//
// Threading: any thread after the engine's initialisation (RenderAudio from the game's main thread).
// Ownership: custom data is copied.
#pragma once

#include <ZK/SoundEngine/Common/IZkPlugin.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
// Ends the game's frame. allowSyncRender: without an engine thread, the tick runs on the caller
// (otherwise the frame only waits for the next RenderAudio(true)). 1.
ZKRESULT RenderAudio(bool allowSyncRender = true);
// Fades the output out and stops feeding the devices (renderAnyway: the engine keeps rendering).
ZKRESULT Suspend(bool renderAnyway = false);
ZKRESULT WakeupFromSuspend();
// Offline rendering: the engine renders only in RenderAudio, frameTimeSeconds of audio each time
// (0: what the output takes).
ZKRESULT SetOfflineRendering(bool enable);
ZKRESULT SetOfflineRenderingFrameTime(float frameTimeSeconds);
// The seed of the engine's random numbers; 0 takes the calendar time.
ZKRESULT SetRandomSeed(uint32_t seed);
ZKRESULT MuteBackgroundMusic(bool mute);
bool GetBackgroundMusicMute();
// Data for the plug-in (type, company, id) hosted by the bus, for the game object (all bits set: for
// every game object without data of its own). The engine keeps a copy until it is replaced; size 0
// removes it. 31 for null data with a non-zero size; 52 when the data cannot be copied.
ZKRESULT SendPluginCustomGameData(ZkUniqueID busID, ZkGameObjectID gameObject, ZK::ZkPluginType type,
                                  uint32_t companyID, uint32_t pluginID, const void* data, uint32_t sizeInBytes);
// Voices quieter than this many decibels are not heard: -96.3 to 0 (31 outside, 95 not finite).
ZKRESULT SetVolumeThreshold(float thresholdDB);
// At most this many voices play at once (31 for 0).
ZKRESULT SetMaxNumVoicesLimit(uint16_t maxNumberVoices);

uint32_t GetSampleRate();
// Audio frames rendered since Init (0 before it).
uint32_t GetBufferTick();
// Samples rendered since Init: frames x samples per frame.
uint64_t GetSampleTick();
} // namespace ZK::SoundEngine
