// The state of the active instances that their source files share (CZkActiveInstances.cpp,
// CZkActiveInstancesLimits.cpp, CZkActiveInstancesQueries.cpp, CZkActiveInstancesPlayContexts.cpp);
// nothing else includes it.
//
// Threading and ownership: as CZkActiveInstances.
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"
#include "ZkAudiolib/Common/Hierarchy/ZkNodeTypes.h"

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkInstanceLimiter;
class CZkPlayingInstance;

struct ZkActiveInstanceState
{
    CZkPlayingInstance* head = nullptr;
    CZkPlayingInstance* tail = nullptr;
    uint32_t count = 0;
    // Instances counted as virtual: the engine-wide limit does not count them.
    uint32_t excluded = 0;
    // The limiters that hold at least one instance, sorted by their keys.
    ZK::ZkArray<CZkInstanceLimiter*> limiters;
    bool rebuildPending = false;
    bool rebuildBlocked = false;

    // Takes the instance off the list (nothing when absent).
    void Unlink(CZkPlayingInstance* instance);
};

extern ZkActiveInstanceState g_activeInstances;

// Every container play context executes the action (a context may leave the list meanwhile).
void BroadcastToPlayContexts(const ZkActionParams& params);
} // namespace ZK::SoundEngine
