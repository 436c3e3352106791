// ZkFixedNodeStore: a store of same-sized nodes for lists that come and go often (state-aware
// nodes, trigger receivers, node ids, bus duck records, deferred commands). Init preallocates one
// block of nodes chained into a free list; Create takes a free node, or one node from the memory
// manager when the free list is empty; Destroy puts a node of the block back on the free list and
// frees any other node.
//
// Threading: none of its own; the owner's lock (or thread) protects it.
// Ownership: the store owns its block. Every node taken must be given back with Destroy before Term.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace ZK
{
template <typename T, ZkMemoryId Pool = ZkMemID_Default>
class ZkFixedNodeStore
{
    union Slot
    {
        Slot* nextFree;
        alignas(T) unsigned char storage[sizeof(T)];
    };
    // The memory manager hands out 16-byte aligned blocks.
    static_assert(alignof(Slot) <= 16, "nodes are allocated without extra alignment");

public:
    ZkFixedNodeStore() = default;
    ~ZkFixedNodeStore() { Term(); }
    ZkFixedNodeStore(const ZkFixedNodeStore&) = delete;
    ZkFixedNodeStore& operator=(const ZkFixedNodeStore&) = delete;

    // Preallocates nodeCount nodes. 1, or 52 when the block cannot be allocated (the store then
    // works without a block, one node at a time).
    ZKRESULT Init(uint32_t nodeCount)
    {
        Term();
        if (nodeCount == 0)
            return ZK_Success;
        m_block = static_cast<Slot*>(ZK::MemoryMgr::Malloc(Pool, sizeof(Slot) * size_t{nodeCount}));
        if (m_block == nullptr)
            return ZK_InsufficientMemory;
        m_blockNodes = nodeCount;
        for (uint32_t index = 0; index < nodeCount; ++index)
            m_block[index].nextFree = index + 1 < nodeCount ? &m_block[index + 1] : nullptr;
        m_freeList = m_block;
        return ZK_Success;
    }

    // Constructs a node; null when the free list is empty and no node can be allocated.
    template <typename... Args>
    T* Create(Args&&... args)
    {
        Slot* slot = m_freeList;
        if (slot != nullptr)
            m_freeList = slot->nextFree;
        else
            slot = static_cast<Slot*>(ZK::MemoryMgr::Malloc(Pool, sizeof(Slot)));
        if (slot == nullptr)
            return nullptr;
        return new (slot->storage) T(std::forward<Args>(args)...);
    }

    void Destroy(T* node)
    {
        if (node == nullptr)
            return;
        node->~T();
        Slot* slot = reinterpret_cast<Slot*>(node);
        if (InBlock(slot))
        {
            slot->nextFree = m_freeList;
            m_freeList = slot;
        }
        else
        {
            ZK::MemoryMgr::Free(Pool, slot);
        }
    }

    bool InBlock(const T* node) const { return InBlock(reinterpret_cast<const Slot*>(node)); }
    uint32_t BlockNodes() const { return m_blockNodes; }

    // Frees the block. Nodes still taken from it become invalid.
    void Term()
    {
        if (m_block != nullptr)
            ZK::MemoryMgr::Free(Pool, m_block);
        m_block = nullptr;
        m_blockNodes = 0;
        m_freeList = nullptr;
    }

private:
    bool InBlock(const Slot* slot) const
    {
        return m_block != nullptr && slot >= m_block && slot < m_block + m_blockNodes;
    }

    Slot* m_block = nullptr;
    uint32_t m_blockNodes = 0;
    Slot* m_freeList = nullptr;
};
} // namespace ZK
