// Starting and stopping the sound engine: ZK::SoundEngine::Init brings the whole engine up in one
// call (after ZK::MemoryMgr::Init and ZK::StreamMgr::Create): its managers, the platform audio, the
// engine's message ring and its threads ("ZK::EventManager" and "ZK::BankManager" unless the settings
// turn them off). ZK::SoundEngine::Term takes all of it down again; a process may start and stop
// the engine as often as it likes.
//
// Threading: Init and Term on the game's main thread, while no other call of the engine's
// interface runs. The getters from any thread. Ownership: Init keeps copies of both settings
// records and writes the effective settings back into the caller's records.
#pragma once

#include <ZK/SoundEngine/Common/ZkAudioSettings.h>
#include <ZK/SoundEngine/Common/ZkInitSettings.h>
#include <ZK/SoundEngine/Common/ZkPlatformInitSettings.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

// The engine's assertion hook: Init stores the settings' hook here when it is not null.
extern ZK::SoundEngine::ZkAssertHook g_pAssertHook;

namespace ZK::SoundEngine
{
// Writes the default settings (reservedE keeps its value).
void GetDefaultInitSettings(ZkInitSettings& settings);
// Writes the platform layer's default settings.
void GetDefaultPlatformInitSettings(ZkPlatformInitSettings& platformSettings);

// Starts the engine; null records take the defaults. 1; 74 without the memory manager; 75 without
// the stream manager; 2 when the engine is already running (nothing changes, the settings copies
// included) or the MIDI post manager cannot be made; 52 when a manager cannot be allocated; else
// the failing step's own result (31 for a message ring of 52 bytes or less). After any failure but
// 2, 74 and 75 the engine is fully terminated again. The callbacks registered for location 1024
// (ZkGlobalCallbackLocation_Init) are called before it returns, whatever its result.
ZKRESULT Init(ZkInitSettings* settings, ZkPlatformInitSettings* platformSettings);
bool IsInitialized();
// Stops the threads, destroys every voice, playing instance, bank object and manager, and frees
// what the engine holds. Safe in any state, also twice and after a failed Init.
void Term();

// The samples per audio frame and the sample rate. 1; 2 before Init (nothing written).
ZKRESULT GetAudioSettings(::ZkAudioSettings& settings);
} // namespace ZK::SoundEngine
