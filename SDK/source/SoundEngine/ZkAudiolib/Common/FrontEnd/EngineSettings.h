// The engine-wide state that the engine's initialisation owns: the engine settings copy (the
// caller's ZkInitSettings, or the defaults), whether the engine is initialised, whether it renders
// offline (message 59), and the performance counter's ticks per millisecond.
//
// Before the first Init the copy holds the defaults; Init replaces it, and it stays as it is after
// Term. The bank parser writes its mainOutput (the device a bank's master bus asks for).
//
// Threading: the copy is written by Init on the game's main thread before the engine's threads
// start, and then read by every thread (mainOutput: written and read under the global engine lock).
// The flags are atomics: the initialised flag is written by Init and Term, the offline flag by the
// engine thread. Ownership: process-wide values.
#pragma once

#include <ZK/SoundEngine/Common/ZkInitSettings.h>

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
inline std::atomic<uint8_t> g_engineInitialized{0};
inline std::atomic<uint8_t> g_offlineRendering{0};

// The engine settings copy.
ZkInitSettings& GetEngineSettings();

bool IsInitialized();
inline bool IsOfflineRendering()
{
    return g_offlineRendering.load(std::memory_order_relaxed) != 0;
}

// Whether the engine thread runs the ticks by itself. Without it (or in offline rendering, where
// only the game's render calls tick) a caller waiting for the engine must run the ticks itself.
inline bool EngineTicksByItself()
{
    return GetEngineSettings().engineThread != 0 && !IsOfflineRendering();
}

// Performance-counter ticks per millisecond, set by Init from the counter's frequency.
float TicksPerMillisecond();
void SetTicksPerMillisecond(float ticks);
} // namespace ZK::SoundEngine
