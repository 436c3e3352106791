#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"

#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"

#include <algorithm>
#include <functional>

namespace ZK::SoundEngine
{
CZkChildContextContainer::CZkChildContextContainer(ZkUniqueID id) : CZkContainerNode(id)
{
    // Only bus categories carry the bus flag; the class decides its category.
    SetBusFlag(false);
}

CZkChildContextContainer::~CZkChildContextContainer()
{
    // Chains still counted here are given back (their items hold the container, so this happens
    // only when the engine tears everything down).
    for (ChainRef& entry : m_chainRefs)
        entry.chain->Release();
}

uint32_t CZkChildContextContainer::FindChain(const CZkPlayChain* chain, bool& found) const
{
    const ChainRef* at = std::lower_bound(m_chainRefs.begin(), m_chainRefs.end(), chain,
                                          [](const ChainRef& entry, const CZkPlayChain* key) {
                                              return std::less<>()(entry.chain, key);
                                          });
    found = at != m_chainRefs.end() && at->chain == chain;
    return static_cast<uint32_t>(at - m_chainRefs.begin());
}

uint32_t CZkChildContextContainer::ChainRefCount(const CZkPlayChain* chain) const
{
    bool found = false;
    const uint32_t index = FindChain(chain, found);
    return found ? m_chainRefs[index].count : 0;
}

ZKRESULT CZkChildContextContainer::AddChainRef(CZkPlayChain* chain)
{
    bool found = false;
    const uint32_t index = FindChain(chain, found);
    if (found)
    {
        ++m_chainRefs[index].count;
        return ZK_Success;
    }
    if (m_chainRefs.Insert(index, ChainRef{chain, 1}) == nullptr)
        return ZK_Fail;
    chain->AddRef();
    return ZK_Success;
}

bool CZkChildContextContainer::DropChainRef(CZkPlayChain* chain, bool& found)
{
    const uint32_t index = FindChain(chain, found);
    if (!found || --m_chainRefs[index].count > 0)
        return false;
    m_chainRefs.Erase(index);
    return true;
}

ZKRESULT CZkChildContextContainer::ReleaseChainRef(CZkPlayChain* chain)
{
    bool found = false;
    if (DropChainRef(chain, found))
        chain->Release();
    return ZK_Success;
}

CZkPlayChain* CZkChildContextContainer::HandOverChainRef(CZkPlayChain* chain)
{
    bool found = false;
    if (!DropChainRef(chain, found))
        return nullptr;
    if (KeepsPlayContexts())
    {
        chain->Release();
        return nullptr;
    }
    return chain; // the container's reference passes to the caller
}

ZKRESULT CZkChildContextContainer::ContinueChain(PlayLaunchParams& params)
{
    CZkPlayChain* chain = params.playChain;
    if (chain == nullptr)
        return ZK_Fail;
    if (ChainRefCount(chain) != 0)
    {
        CZkPlayChain* handed = HandOverChainRef(chain);
        if (handed == nullptr)
        {
            // Other children still continue the chain; the play's own reference goes.
            params.playChain = nullptr;
            chain->Release();
            return ZK_Success;
        }
        // The container's reference now rides with the play, beside the play's own.
        chain->Release();
    }
    return ContinuePlayChain(params);
}

CZkPlayChain* CZkChildContextContainer::NewChildChain(CZkPlayChain* incoming)
{
    CZkPlayChain* chain = CZkPlayChain::Create();
    if (chain == nullptr)
        return nullptr;
    CZkPlayChainItem* item = chain->Items().AddLast();
    if (item == nullptr || (incoming != nullptr && AddChainRef(incoming) != ZK_Success))
    {
        chain->Release();
        return nullptr;
    }
    item->flags = 0;
    item->Init();
    AddRef();
    item->container = this;
    AddRef();
    item->childContexts = this;
    item->chainRef = incoming;
    item->loopsLeft = 1;
    if (incoming != nullptr && !incoming->Items().IsEmpty())
    {
        item->loopsLeft = incoming->Items()[0].loopsLeft;
        item->flags = incoming->Items()[0].flags;
    }
    if (AddChainRef(chain) != ZK_Success)
    {
        chain->Release(); // gives back the incoming reference through its item
        return nullptr;
    }
    return chain;
}
} // namespace ZK::SoundEngine
