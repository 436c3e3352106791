// A buddy allocator over one region of device I/O memory: power-of-two blocks from the smallest
// block size up to the largest, each level an address-ordered free list linked through the free
// blocks' first 8 bytes. The region is first cut into largest blocks; a request takes the first
// block that holds it and returns the rest at once as smaller free pieces; a returned range merges
// with free buddies up to, but not beyond, the largest block size.
//
// Threading: none of its own; the owning I/O pool runs every call under its device's lock.
// Ownership: the region belongs to the caller; the allocator only writes links into free blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ZK::MemoryMgr
{
class ZkBuddyAllocator
{
public:
    static constexpr uint32_t kMaxLevels = 32;

    // smallest and largest are powers of two with smallest <= largest; usableSize is a multiple of
    // largest. Returns false when that needs more than kMaxLevels levels.
    bool Setup(char* base, uint64_t usableSize, uint64_t smallest, uint64_t largest);
    void Reset();

    // A block of size bytes (a multiple of the smallest block size, at most the largest), or null.
    char* Take(uint64_t size);
    // Returns a range obtained from Take with the same size.
    void GiveBack(char* address, uint64_t size);

    uint64_t SmallestBlock() const { return m_smallest; }
    uint64_t LargestBlock() const { return m_largest; }
    uint32_t LevelCount() const { return m_levelCount; }
    uint64_t UsableSize() const { return m_usableSize; }
    char* Base() const { return m_base; }
    // Free blocks on a level (level 0 holds the smallest blocks), and the address of the n-th one.
    uint32_t FreeCount(uint32_t level) const { return level < m_levelCount ? m_levels[level].count : 0; }
    char* FreeBlock(uint32_t level, uint32_t index) const;

private:
    struct Level
    {
        uint32_t count;
        char* head;
        char* tail;
    };

    uint64_t BlockSizeOf(uint32_t level) const { return uint64_t(1) << (m_smallestShift + level); }
    void Insert(uint32_t level, char* block);
    bool Remove(uint32_t level, char* block);
    void Release(uint32_t level, char* block);

    Level m_levels[kMaxLevels] = {};
    char* m_base = nullptr;
    uint64_t m_usableSize = 0;
    uint64_t m_largest = 0;
    uint64_t m_smallest = 0;
    uint32_t m_smallestShift = 0;
    uint32_t m_levelCount = 0;
};
} // namespace ZK::MemoryMgr
