#include "MemoryMgr/ZkBuddyAllocator.h"

#include <bit>

namespace ZK::MemoryMgr
{
namespace
{
char*& NextOf(char* block) { return *reinterpret_cast<char**>(block); }
} // namespace

bool ZkBuddyAllocator::Setup(char* base, uint64_t usableSize, uint64_t smallest, uint64_t largest)
{
    Reset();
    const uint32_t levels = static_cast<uint32_t>(std::countr_zero(largest) - std::countr_zero(smallest)) + 1;
    if (levels > kMaxLevels)
        return false;
    m_base = base;
    m_usableSize = usableSize;
    m_smallest = smallest;
    m_largest = largest;
    m_smallestShift = static_cast<uint32_t>(std::countr_zero(smallest));
    m_levelCount = levels;
    // Largest blocks in ascending address order.
    for (uint64_t offset = 0; offset + largest <= usableSize; offset += largest)
    {
        char* block = base + offset;
        NextOf(block) = nullptr;
        Level& top = m_levels[levels - 1];
        if (top.tail)
            NextOf(top.tail) = block;
        else
            top.head = block;
        top.tail = block;
        ++top.count;
    }
    return true;
}

void ZkBuddyAllocator::Reset()
{
    for (Level& level : m_levels)
        level = Level{};
    m_base = nullptr;
    m_usableSize = 0;
    m_largest = m_smallest = 0;
    m_smallestShift = 0;
    m_levelCount = 0;
}

char* ZkBuddyAllocator::FreeBlock(uint32_t level, uint32_t index) const
{
    if (level >= m_levelCount)
        return nullptr;
    char* block = m_levels[level].head;
    for (uint32_t at = 0; block && at < index; ++at)
        block = NextOf(block);
    return block;
}

void ZkBuddyAllocator::Insert(uint32_t level, char* block)
{
    Level& list = m_levels[level];
    char* previous = nullptr;
    char* current = list.head;
    while (current && current < block)
    {
        previous = current;
        current = NextOf(current);
    }
    NextOf(block) = current;
    if (previous)
        NextOf(previous) = block;
    else
        list.head = block;
    if (!current)
        list.tail = block;
    ++list.count;
}

bool ZkBuddyAllocator::Remove(uint32_t level, char* block)
{
    Level& list = m_levels[level];
    char* previous = nullptr;
    for (char* current = list.head; current && current <= block; previous = current, current = NextOf(current))
    {
        if (current != block)
            continue;
        if (previous)
            NextOf(previous) = NextOf(current);
        else
            list.head = NextOf(current);
        if (list.tail == current)
            list.tail = previous;
        --list.count;
        return true;
    }
    return false;
}

char* ZkBuddyAllocator::Take(uint64_t size)
{
    if (size == 0 || size > m_largest)
        return nullptr;
    for (uint32_t level = 0; level < m_levelCount; ++level)
    {
        const uint64_t blockSize = BlockSizeOf(level);
        Level& list = m_levels[level];
        if (blockSize < size || !list.head)
            continue;
        char* block = list.head;
        list.head = NextOf(block);
        if (!list.head)
            list.tail = nullptr;
        --list.count;
        // The rest of the block goes back as one free piece per set bit of (block size - size),
        // the smallest pieces right after the part taken.
        const uint64_t rest = blockSize - size;
        for (uint32_t lower = 0; lower < level; ++lower)
        {
            const uint64_t pieceSize = BlockSizeOf(lower);
            if (!(rest & pieceSize))
                continue;
            const uint64_t offset = blockSize - (rest & ~(pieceSize - 1));
            Insert(lower, block + offset);
        }
        return block;
    }
    return nullptr;
}

// Gives one free block back to its level, merging with its buddy while the buddy is free.
void ZkBuddyAllocator::Release(uint32_t level, char* block)
{
    while (level + 1 < m_levelCount)
    {
        const uint64_t blockSize = BlockSizeOf(level);
        const uint64_t offset = static_cast<uint64_t>(block - m_base);
        char* buddy = m_base + (offset ^ blockSize);
        if (!Remove(level, buddy))
            break;
        block = buddy < block ? buddy : block;
        ++level;
    }
    Insert(level, block);
}

void ZkBuddyAllocator::GiveBack(char* address, uint64_t size)
{
    if (!address || size == 0)
        return;
    // Pieces along the set bits of size: the largest at the start of the range, the smallest at its
    // end; given back from the smallest upward.
    uint64_t end = size;
    for (uint32_t level = 0; level < m_levelCount; ++level)
    {
        const uint64_t pieceSize = BlockSizeOf(level);
        if (!(size & pieceSize))
            continue;
        end -= pieceSize;
        Release(level, address + end);
    }
}
} // namespace ZK::MemoryMgr
