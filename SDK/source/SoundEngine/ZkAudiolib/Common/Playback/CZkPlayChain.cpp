#include "ZkAudiolib/Common/Playback/CZkPlayChain.h"

#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkChildContextContainer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlayHistory.h"

#include <new>

namespace ZK::SoundEngine
{
void CZkPlayChainItem::Init()
{
    container = nullptr;
    history = nullptr;
    loopsLeft = 0;
    flags = static_cast<uint8_t>(flags & ~(kFinite | kInfinite));
    childContexts = nullptr;
    chainRef = nullptr;
}

void CZkPlayChainItem::Release()
{
    if (history != nullptr)
        history->Release();
    history = nullptr;
    if (childContexts != nullptr)
        childContexts->Release();
    childContexts = nullptr;
    if (container != nullptr)
        container->Release();
    container = nullptr;
}

CZkPlayChain* CZkPlayChain::Create()
{
    void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(CZkPlayChain));
    return memory != nullptr ? new (memory) CZkPlayChain() : nullptr;
}

void CZkPlayChain::Release()
{
    if (--m_refCount > 0)
        return;
    // The chains the child-context containers keep go back first, while every container is still
    // held: giving one back may end that chain, whose items name the same containers.
    for (CZkPlayChainItem& item : m_items)
    {
        if (item.childContexts != nullptr && item.chainRef != nullptr)
            CZkChildContextContainer::ReleaseChainRef(item.childContexts, item.chainRef);
        item.chainRef = nullptr;
    }
    for (CZkPlayChainItem& item : m_items)
        item.Release();
    m_items.Term();
    this->~CZkPlayChain();
    ZK::MemoryMgr::Free(kPool, this);
}
} // namespace ZK::SoundEngine
