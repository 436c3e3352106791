// The engine-wide flags of the engine's initialisation (declaration only): whether the engine is
// initialised, and whether it renders offline (message 59). Devices wake the engine thread only
// once the engine is initialised; offline rendering puts every device on the base sink.
//
// Until the engine's initialisation exists nothing sets them; they start cleared.
//
// Threading: written on the engine thread (or by Init and Term), read by the engine thread.
// Ownership: the engine's.
#pragma once

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
inline std::atomic<uint8_t> g_engineInitialized{0};
inline std::atomic<uint8_t> g_offlineRendering{0};

inline bool IsInitialized()
{
    return g_engineInitialized.load(std::memory_order_relaxed) != 0;
}
inline bool IsOfflineRendering()
{
    return g_offlineRendering.load(std::memory_order_relaxed) != 0;
}
} // namespace ZK::SoundEngine
