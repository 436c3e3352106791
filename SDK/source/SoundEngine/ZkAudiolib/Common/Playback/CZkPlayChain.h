// CZkPlayChain: the path of containers a playback went through, one item per container level, so
// that a later step (a playlist's next item, a loop, a dynamic sequence's next item) continues from
// the same place with the same container contexts. Shared by reference count between the playing
// instances and actions that continue the same path.
//
// An item holds counted references on its container node and on its child-context container, owns
// its container's chain-local history, and may name a chain whose count the child-context
// container keeps (given back through the container, never released here).
//
// Life cycle: Create (count 1); the container code appends items (CZkPlayChainItem::Init, then its
// fields) and pops them (CZkPlayChainItem::Release); AddRef / Release by every holder; the last
// Release gives back the chain references first, then each item's history, child-context
// container and container, then frees the items and the chain.
// Threading: audio thread, under the global engine lock; no lock of its own.
// Ownership: memory pool 0 (the chain and its item array).
#pragma once

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkChildContextContainer;
class CZkHierarchyNode;
class CZkPlayChain;
class CZkPlayHistory;

struct CZkPlayChainItem
{
    // Flag bits.
    static constexpr uint8_t kFinite = 0x01;   // more than one pass requested
    static constexpr uint8_t kInfinite = 0x02;

    CZkHierarchyNode* container;            // counted
    CZkPlayHistory* history;                // owned
    int16_t loopsLeft;                      // at least 1 once set
    uint8_t flags;                          // bits 0 and 1 above; the others are kept
    CZkChildContextContainer* childContexts; // counted
    CZkPlayChain* chainRef;                 // counted by childContexts, given back through it

    // No references, no loops, bits 0 and 1 cleared.
    void Init();
    // Releases the history, the child-context container and the container and clears them (the
    // chain reference is not given back here).
    void Release();
};

class CZkPlayChain
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // An empty chain holding one reference; null when pool 0 is exhausted (the caller fails its
    // play step).
    static CZkPlayChain* Create();

    void AddRef() { ++m_refCount; }
    // At zero the chain gives back what its items hold and is freed.
    void Release();

    ZK::ZkArray<CZkPlayChainItem>& Items() { return m_items; }
    const ZK::ZkArray<CZkPlayChainItem>& Items() const { return m_items; }
    int32_t RefCount() const { return m_refCount; }

private:
    CZkPlayChain() = default;
    ~CZkPlayChain() = default;

    ZK::ZkArray<CZkPlayChainItem> m_items;
    int32_t m_refCount = 1;
};
} // namespace ZK::SoundEngine
