// CZkActiveInstances (declaration only): the engine's playing instances and its array of active
// limiters. Unloading a bank stops the instances that use it, and unsetting a media block the game
// set stops those that read it; a stop of everything (StopAll, a stop action on all objects without
// exceptions) reaches every instance; the radius queries read the attenuation radii of what plays.
// A limiter that holds its first instance registers in the array (the per-frame pass enforces
// every registered limiter) and unregisters when it holds none; a node's limit test asks for the
// limit decision when a play would exceed the limit.
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
class CZkGameObject;
class CZkHierarchyNode;
class CZkInstanceLimiter;
struct ZkActionParams;

class CZkActiveInstances
{
public:
    // Not built yet: 4, nothing stops.
    static ZKRESULT StopForBankMessage(LoadedBank*) { return ZK_NotImplemented; }
    // Stops every playing instance that reads the media block (called under the global engine lock).
    // Not built yet: 4, nothing stops.
    static ZKRESULT StopUsingMedia(const void*) { return ZK_NotImplemented; }
    // The action record to every container play context, then to every active playing instance
    // (each acts when the record's game object and playing id match it). Not built yet: 4, nothing
    // plays.
    static ZKRESULT BroadcastAction(const ZkActionParams&) { return ZK_NotImplemented; }
    // Not built yet: nothing plays (radius 0; 4 with no entry).
    static float GetMaxRadius(ZkGameObjectID) { return 0.0f; }
    static ZKRESULT GetMaxRadiusAll(ZkRadiusInfo*, uint32_t& count)
    {
        count = 0;
        return ZK_NotImplemented;
    }
    // Not built yet: 4, the limiter is not in the array (no per-frame enforcement).
    static ZKRESULT RegisterLimiter(CZkInstanceLimiter*) { return ZK_NotImplemented; }
    static ZKRESULT UnregisterLimiter(CZkInstanceLimiter*) { return ZK_NotImplemented; }
    // The decision for a play that would exceed a full limiter (limiter, maximum, priority, game
    // object, equal-priority flag, virtual-behaviour flag, out node, stop reason): 1 room was made,
    // 80 start virtual, 2 refused. Not built yet: 4, nothing is stopped.
    static ZKRESULT CheckNodeLimit(CZkInstanceLimiter*, uint16_t, float, CZkGameObject*, bool, bool,
                                   CZkHierarchyNode*&, uint8_t)
    {
        return ZK_NotImplemented;
    }
};
} // namespace ZK::SoundEngine
