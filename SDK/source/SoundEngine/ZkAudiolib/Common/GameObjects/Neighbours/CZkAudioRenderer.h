// CZkAudioRenderer (declaration only): the render side's mix graph. Listener-routing changes mark
// the graph for an update at the next tick.
//
// Threading: audio thread, under the global engine lock. Ownership: the engine's.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkAudioRenderer
{
public:
    // Marks the mix graph for an update (level + 1 unless a full rebuild is pending). Not built
    // yet: 4, nothing is marked.
    static ZKRESULT SetGraphDirty(uint32_t) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
