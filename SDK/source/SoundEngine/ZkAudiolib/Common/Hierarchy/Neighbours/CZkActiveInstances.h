// CZkActiveInstances (declaration only): the engine's playing instances and its array of active
// limiters. A limiter that holds its first instance registers there (the per-frame pass enforces
// every registered limiter) and unregisters when it holds none; a node's limit test asks it for the
// limit decision when a play would exceed the limit.
//
// Threading: audio thread, under the global engine lock. Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkGameObject;
class CZkHierarchyNode;
class CZkInstanceLimiter;

class CZkActiveInstances
{
public:
    // Not built yet: 4, the limiter is not in the array (no per-frame enforcement).
    static ZKRESULT RegisterLimiter(CZkInstanceLimiter*) { return ZK_NotImplemented; }
    static ZKRESULT UnregisterLimiter(CZkInstanceLimiter*) { return ZK_NotImplemented; }
    // The decision for a play that would exceed a full limiter: 1 room was made, 80 start virtual,
    // 2 refused. Not built yet: 4, nothing is stopped.
    static ZKRESULT CheckNodeLimit(CZkInstanceLimiter*, uint16_t, float, CZkGameObject*, bool, bool,
                                   CZkHierarchyNode*&, uint8_t)
    {
        return ZK_NotImplemented;
    }
};
} // namespace ZK::SoundEngine
