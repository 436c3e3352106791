// GlobalCallbacks (declaration only): the callbacks that plug-ins and engine parts register for
// fixed points of the engine's life. The output device manager dispatches the suspend location
// (0x800) and the wake-up location (0x1000).
//
// Threading: engine thread, under the global engine lock. Ownership: the engine's lists.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine::GlobalCallbacks
{
constexpr uint32_t kLocationSuspend = 0x800;
constexpr uint32_t kLocationWakeup = 0x1000;

// Calls every callback registered for the location, newest first. Not built yet: 4, nothing called.
inline ZKRESULT Dispatch(uint32_t)
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine::GlobalCallbacks
