// CZkChildContextContainer (declaration only): a container whose children play in contexts of
// their own; it counts the play chains that pass through it (chainRefs) and is given a chain back
// with ReleaseChainRef. No such container is made yet, so no chain item ever holds one: every
// operation answers 4 and does nothing else.
//
// Threading: audio thread, under the global engine lock. Ownership: a hierarchy node, counted.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
class CZkPlayChain;

class CZkChildContextContainer
{
public:
    ZKRESULT AddRef() { return ZK_NotImplemented; }
    ZKRESULT Release() { return ZK_NotImplemented; }
    // Gives back one count of the chain the container keeps.
    static ZKRESULT ReleaseChainRef(CZkChildContextContainer*, CZkPlayChain*) { return ZK_NotImplemented; }
};
} // namespace ZK::SoundEngine
