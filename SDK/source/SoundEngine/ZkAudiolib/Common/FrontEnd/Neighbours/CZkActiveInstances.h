// CZkActiveInstances (declaration only): the engine's playing instances. Unloading a bank stops the
// instances that use it; the radius queries read the attenuation radii of what plays.
//
// Threading: engine thread, or the game thread under the global engine lock (queries).
// Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/ZkQueryParameters.h>
#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct LoadedBank;

class CZkActiveInstances
{
public:
    // Not built yet: 4, nothing stops.
    static ZKRESULT StopForBankMessage(LoadedBank*) { return ZK_NotImplemented; }
    // Not built yet: nothing plays (radius 0; 4 with no entry).
    static float GetMaxRadius(ZkGameObjectID) { return 0.0f; }
    static ZKRESULT GetMaxRadiusAll(ZkRadiusInfo*, uint32_t& count)
    {
        count = 0;
        return ZK_NotImplemented;
    }
};
} // namespace ZK::SoundEngine
