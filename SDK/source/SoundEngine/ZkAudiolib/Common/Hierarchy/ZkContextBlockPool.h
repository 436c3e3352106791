// ZkContextBlockPool: an engine-wide pool of container play-context records in blocks of
// kPerBlock records (memory pool 0). Each block keeps its own free list; a record is taken from the
// first block with a free one (a new block is prepended when none has), and a block whose records
// are all free again is freed, so an idle engine holds no block.
//
// Threading: audio thread, under the global engine lock. Ownership: the pool owns its blocks; a
// record taken is the taker's until it is given back.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace ZK::SoundEngine
{
template <typename Record, uint32_t kPerBlock = 128>
class ZkContextBlockPool
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    ZkContextBlockPool() = default;
    ZkContextBlockPool(const ZkContextBlockPool&) = delete;
    ZkContextBlockPool& operator=(const ZkContextBlockPool&) = delete;

    // A record constructed with args; null when no block can be had.
    template <typename... Args>
    Record* Take(Args&&... args)
    {
        Block* block = m_blocks;
        while (block != nullptr && block->firstFree == nullptr)
            block = block->next;
        if (block == nullptr && (block = NewBlock()) == nullptr)
            return nullptr;
        Slot* slot = block->firstFree;
        block->firstFree = slot->nextFree;
        --block->freeCount;
        ++m_inUse;
        return new (slot->storage) Record(std::forward<Args>(args)...);
    }

    // Destroys the record and returns it to its block (the block goes when it is all free).
    void Give(Record* record)
    {
        if (record == nullptr)
            return;
        record->~Record();
        auto* slot = reinterpret_cast<Slot*>(record);
        Block** link = &m_blocks;
        while (*link != nullptr && !(*link)->Holds(slot))
            link = &(*link)->next;
        Block* block = *link;
        if (block == nullptr)
            return;
        slot->nextFree = block->firstFree;
        block->firstFree = slot;
        --m_inUse;
        if (++block->freeCount == kPerBlock)
        {
            *link = block->next;
            ZK::MemoryMgr::Free(kPool, block);
        }
    }

    uint32_t BlockCount() const
    {
        uint32_t count = 0;
        for (const Block* block = m_blocks; block != nullptr; block = block->next)
            ++count;
        return count;
    }
    uint32_t RecordsInUse() const { return m_inUse; }

private:
    union Slot
    {
        Slot* nextFree;
        alignas(Record) unsigned char storage[sizeof(Record)];
    };
    struct Block
    {
        Block* next;
        Slot* firstFree;
        uint32_t freeCount;
        Slot slots[kPerBlock];

        bool Holds(const Slot* slot) const { return slot >= slots && slot < slots + kPerBlock; }
    };

    Block* NewBlock()
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(Block));
        if (memory == nullptr)
            return nullptr;
        auto* block = static_cast<Block*>(memory);
        block->next = m_blocks;
        block->firstFree = nullptr;
        for (uint32_t index = kPerBlock; index-- > 0;)
        {
            block->slots[index].nextFree = block->firstFree;
            block->firstFree = &block->slots[index];
        }
        block->freeCount = kPerBlock;
        m_blocks = block;
        return block;
    }

    Block* m_blocks = nullptr;
    uint32_t m_inUse = 0;
};
} // namespace ZK::SoundEngine
