// ZkPlayContextBlocks<Record>: the engine-wide pool of one container class's per-play records
// (the contexts a continuous switch container keeps for each play). Records come from blocks of
// 128; the blocks form one list per record class. A block that has a free record is used before a
// new block is made, and a block whose records are all free again is given back at once, so a
// pool of idle containers holds no memory.
//
// Threading: audio thread, under the global engine lock (no lock of its own).
// Ownership: the blocks are pool 0 and belong to the pool; a record taken belongs to the caller
// until it is given back with Give.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace ZK::SoundEngine
{
template <typename Record>
class ZkPlayContextBlocks
{
public:
    static constexpr uint32_t kRecordsPerBlock = 128;
    static constexpr ZkMemoryId kPool = ZkMemID_Default;

    // A record built from args in a free slot; null when no block can be made.
    template <typename... Args>
    static Record* Take(Args&&... args)
    {
        Block* block = Head();
        while (block != nullptr && block->used == kRecordsPerBlock)
            block = block->next;
        if (block == nullptr && (block = NewBlock()) == nullptr)
            return nullptr;
        const uint32_t slot = block->FirstFree();
        block->free[slot / 64] &= ~(uint64_t{1} << (slot % 64));
        ++block->used;
        return ::new (block->Slot(slot)) Record(std::forward<Args>(args)...);
    }

    // Destroys the record and frees its slot; the block goes when it holds no record any more.
    static void Give(Record* record)
    {
        Block* previous = nullptr;
        for (Block* block = Head(); block != nullptr; previous = block, block = block->next)
        {
            const auto* bytes = reinterpret_cast<const unsigned char*>(record);
            if (bytes < block->storage || bytes >= block->storage + sizeof(block->storage))
                continue;
            const auto slot = static_cast<uint32_t>((bytes - block->storage) / sizeof(Record));
            record->~Record();
            block->free[slot / 64] |= uint64_t{1} << (slot % 64);
            if (--block->used == 0)
            {
                (previous != nullptr ? previous->next : Head()) = block->next;
                block->~Block();
                ZK::MemoryMgr::Free(kPool, block);
            }
            return;
        }
    }

    static uint32_t BlockCount()
    {
        uint32_t count = 0;
        for (Block* block = Head(); block != nullptr; block = block->next)
            ++count;
        return count;
    }

private:
    struct Block
    {
        Block* next = nullptr;
        uint32_t used = 0;
        uint64_t free[kRecordsPerBlock / 64] = {~uint64_t{0}, ~uint64_t{0}};
        alignas(Record) unsigned char storage[kRecordsPerBlock * sizeof(Record)];

        uint32_t FirstFree() const
        {
            return free[0] != 0 ? static_cast<uint32_t>(std::countr_zero(free[0]))
                                : 64 + static_cast<uint32_t>(std::countr_zero(free[1]));
        }
        void* Slot(uint32_t slot) { return storage + slot * sizeof(Record); }
    };
    static_assert(kRecordsPerBlock == 128, "the free mask holds two words");

    static Block*& Head()
    {
        static Block* head = nullptr;
        return head;
    }

    static Block* NewBlock()
    {
        void* memory = ZK::MemoryMgr::Malloc(kPool, sizeof(Block));
        if (memory == nullptr)
            return nullptr;
        // At the tail: the older, fuller blocks are searched first, so that the newest block
        // empties and goes when the plays fall back.
        auto* block = ::new (memory) Block;
        Block** link = &Head();
        while (*link != nullptr)
            link = &(*link)->next;
        *link = block;
        return block;
    }
};
} // namespace ZK::SoundEngine
