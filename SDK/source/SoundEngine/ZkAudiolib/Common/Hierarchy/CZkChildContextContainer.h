// CZkChildContextContainer: a container that hands one incoming play chain on to several children
// (switch and layered containers). Each child's play gets a chain of its own whose first item names
// this container and refers to the incoming chain; the container counts, per chain, how many such
// references are out (chainRefs), and gives the incoming chain back, or hands it over to the last
// item that continues past the container, when the count falls to zero.
//
// Life cycle of a chain reference: AddChainRef when an item starts referring to the chain;
// ReleaseChainRef (or HandOverChainRef, when the caller continues the chain) when it stops. The
// first count takes a reference on the chain, the last gives it back.
//
// Threading: audio thread, under the global engine lock. Ownership: a hierarchy node (object
// index, pool 2); chainRefs is pool 0 and holds one reference on each chain it lists.
#pragma once

#include "ZkAudiolib/Common/Hierarchy/CZkContainerNode.h"

namespace ZK::SoundEngine
{
class CZkPlayChain;

class CZkChildContextContainer : public CZkContainerNode
{
public:
    explicit CZkChildContextContainer(ZkUniqueID id);
    ~CZkChildContextContainer() override;

    // Counts one more reference to chain (the first holds the chain). 1; 2 when the list cannot grow.
    ZKRESULT AddChainRef(CZkPlayChain* chain);
    // Counts one reference less; the last gives the chain back. An absent chain is ignored. 1.
    ZKRESULT ReleaseChainRef(CZkPlayChain* chain);
    // The form the chain's own release calls (no container: nothing to do).
    static ZKRESULT ReleaseChainRef(CZkChildContextContainer* container, CZkPlayChain* chain)
    {
        return container != nullptr ? container->ReleaseChainRef(chain) : ZK_Success;
    }
    // Like ReleaseChainRef, but at the last reference, when the container keeps no per-play
    // contexts, the chain is also returned with a new reference for the caller to continue; null
    // otherwise.
    CZkPlayChain* HandOverChainRef(CZkPlayChain* chain);
    // A new chain for one child's play under the incoming chain (may be null): its first item names
    // this container (referenced twice: as container and as child-context container) and refers to
    // incoming, with incoming's first loop counter and flags (1 and none when it is empty). The
    // container counts references to both chains. Null out of memory (nothing left counted).
    CZkPlayChain* NewChildChain(CZkPlayChain* incoming);
    // Continues a play past this container, for a play that goes no further below it (nothing
    // selected, or a child that lets its chain go on): the play's chain (params.playChain, the
    // chain that came into the container) is handed over when this container counts references
    // to it, then the chain continues from its top: container items are popped (their chains
    // handed over), a playlist item plays its next child with the play's path. 1 when a next item
    // plays, or when other children still hold the chain (they continue it); 2 without a chain or
    // when the chain ends; else the next item's failure. The play's chain reference is used up.
    ZKRESULT ContinueChain(PlayLaunchParams& params);

    // The number of references counted for chain (0 when absent).
    uint32_t ChainRefCount(const CZkPlayChain* chain) const;
    uint32_t ChainCount() const { return m_chainRefs.Length(); }

protected:
    // Whether plays keep per-play contexts in the container (continuous switch containers).
    virtual bool KeepsPlayContexts() const { return false; }

private:
    struct ChainRef
    {
        CZkPlayChain* chain;
        uint32_t count;
    };
    uint32_t FindChain(const CZkPlayChain* chain, bool& found) const;
    // Counts one reference less; true when it was the last (the entry is then gone, its chain
    // reference still to be given back by the caller).
    bool DropChainRef(CZkPlayChain* chain, bool& found);

    ZK::ZkArray<ChainRef> m_chainRefs;
};
} // namespace ZK::SoundEngine
