// The lock-free slot list: claims by compare-and-swap of a cell's link word, pushes by
// compare-and-swap of the head word.
#include "ZkAudiolib/Common/Voice/ZkLockFreeSlotList.h"

#include <new>

namespace ZK::SoundEngine::ZkLockFreeSlotList
{
namespace
{
constexpr uint64_t kAddressBits = ~kFlagBits;

Cell* CellAt(uint64_t word)
{
    return reinterpret_cast<Cell*>(static_cast<uintptr_t>(word & kAddressBits));
}

uint64_t WordOf(const Cell* cell)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(cell));
}

bool InUse(uint64_t link)
{
    return (link & kFlagBits) == 0;
}

Cell* NewCell(ZkMemoryId pool, uint64_t flags, void* data)
{
    void* memory = ZK::MemoryMgr::Malloc(pool, sizeof(Cell));
    if (memory == nullptr)
        return nullptr;
    Cell* cell = new (memory) Cell;
    cell->link.store(flags, std::memory_order_relaxed);
    cell->data.store(data, std::memory_order_relaxed);
    return cell;
}

void Push(Head& head, Cell* cell, uint64_t flags)
{
    uint64_t first = head.load(std::memory_order_acquire);
    do
    {
        cell->link.store((first & kAddressBits) | flags, std::memory_order_relaxed);
    } while (!head.compare_exchange_weak(first, WordOf(cell), std::memory_order_acq_rel, std::memory_order_acquire));
}

// Claims a free cell for data. False when the cell is not free (any more).
bool Claim(Cell& cell, void* data)
{
    uint64_t link = cell.link.load(std::memory_order_acquire);
    while ((link & kFreeBit) != 0 && (link & kWritingBit) == 0)
    {
        const uint64_t next = link & kAddressBits;
        if (cell.link.compare_exchange_weak(link, next | kWritingBit, std::memory_order_acquire,
                                            std::memory_order_acquire))
        {
            cell.data.store(data, std::memory_order_relaxed);
            // Only this writer changes the link word while the writing bit is set.
            uint64_t writing = next | kWritingBit;
            while (!cell.link.compare_exchange_weak(writing, next, std::memory_order_release, std::memory_order_relaxed))
                writing = next | kWritingBit;
            return true;
        }
    }
    return false;
}
} // namespace

ZKRESULT Init(Head& head, uint32_t count, ZkMemoryId pool)
{
    head.store(0, std::memory_order_relaxed);
    for (uint32_t index = 0; index < count; ++index)
    {
        Cell* cell = NewCell(pool, kFreeBit, nullptr);
        if (cell == nullptr)
            return ZK_InsufficientMemory;
        Push(head, cell, kFreeBit);
    }
    return ZK_Success;
}

ZKRESULT Add(Head& head, void* data, ZkMemoryId pool)
{
    for (Cell* cell = CellAt(head.load(std::memory_order_acquire)); cell != nullptr;
         cell = CellAt(cell->link.load(std::memory_order_acquire)))
    {
        if (Claim(*cell, data))
            return ZK_Success;
    }
    Cell* cell = NewCell(pool, 0, data);
    if (cell == nullptr)
        return ZK_InsufficientMemory;
    Push(head, cell, 0);
    return ZK_Success;
}

Cell* Find(Head& head, const void* data)
{
    for (Cell* cell = CellAt(head.load(std::memory_order_acquire)); cell != nullptr;)
    {
        const uint64_t link = cell->link.load(std::memory_order_acquire);
        if (InUse(link) && cell->data.load(std::memory_order_relaxed) == data)
            return cell;
        cell = CellAt(link);
    }
    return nullptr;
}

bool Release(Cell& cell, const void* data)
{
    uint64_t link = cell.link.load(std::memory_order_acquire);
    while (InUse(link) && cell.data.load(std::memory_order_relaxed) == data)
    {
        if (cell.link.compare_exchange_weak(link, link | kFreeBit, std::memory_order_acq_rel, std::memory_order_acquire))
            return true;
    }
    return false;
}

void Remove(Head& head, const void* data)
{
    for (Cell* cell = CellAt(head.load(std::memory_order_acquire)); cell != nullptr;
         cell = CellAt(cell->link.load(std::memory_order_acquire)))
    {
        Release(*cell, data);
    }
}

void Term(Head& head, ZkMemoryId pool)
{
    Cell* cell = CellAt(head.load(std::memory_order_acquire));
    while (cell != nullptr)
    {
        Cell* next = CellAt(cell->link.load(std::memory_order_relaxed));
        cell->~Cell();
        ZK::MemoryMgr::Free(pool, cell);
        cell = next;
    }
    head.store(0, std::memory_order_release);
}

uint32_t CellCount(const Head& head)
{
    uint32_t count = 0;
    for (Cell* cell = CellAt(head.load(std::memory_order_acquire)); cell != nullptr;
         cell = CellAt(cell->link.load(std::memory_order_acquire)))
        ++count;
    return count;
}
} // namespace ZK::SoundEngine::ZkLockFreeSlotList
