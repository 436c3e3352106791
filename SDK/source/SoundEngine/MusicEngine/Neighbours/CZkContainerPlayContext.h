// CZkContainerPlayContext (declaration only): the engine's list of nodes updated each frame, which
// a playing music node joins while it plays. Not built yet: both operations answer 4 and do
// nothing, so a playing music node is not updated per frame by the engine.
//
// Threading: engine thread, under the global engine lock. Ownership: the list does not own nodes.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkHierarchyNode;

class CZkContainerPlayContext
{
public:
    static ZKRESULT RegisterForUpdates(CZkHierarchyNode*) { return ZK_NotImplemented; }
    static ZKRESULT UnregisterFromUpdates(CZkHierarchyNode*) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
