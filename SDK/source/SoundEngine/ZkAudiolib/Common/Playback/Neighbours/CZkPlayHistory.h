// CZkPlayHistory (declaration only): what a container played along one play chain (the chain
// item's own copy). Containers do not make one yet, so no chain item ever holds one: its release
// answers 4 and does nothing else.
//
// Threading: audio thread, under the global engine lock. Ownership: owned by its chain item.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkPlayHistory
{
public:
    ZKRESULT Release() { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
