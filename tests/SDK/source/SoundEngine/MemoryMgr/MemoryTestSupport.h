// Shared helpers of the memory manager tests: a fixture that starts the manager with its built-in
// allocator and checks, after Term, that every byte it mapped was given back.
#pragma once

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "MemoryMgr/CZkSpanAllocator.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace ZkMemoryTest
{
inline uint64_t MappedBytes() { return ZK::SpanAlloc::CZkSpanAllocator::MappedBytes(); }

class BuiltInMemoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_baseline = MappedBytes();
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        Configure(settings);
        ASSERT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
    }

    void TearDown() override
    {
        ZK::MemoryMgr::Term();
        EXPECT_FALSE(ZK::MemoryMgr::IsInitialized());
        if (m_expectAllGivenBack)
        {
            EXPECT_EQ(MappedBytes(), m_baseline) << "mappings left after Term";
        }
    }

    virtual void Configure(ZkMemSettings&) {}

    uint64_t m_baseline = 0;
    bool m_expectAllGivenBack = true;
};

// Default settings with the caller's five allocation hooks in place of the built-in allocator.
inline ZkMemSettings SettingsWithAllocationHooks(ZkMemMallocHook malloc, ZkMemMalignHook malign, ZkMemReallocHook realloc,
                                                 ZkMemReallocAlignedHook reallocAligned, ZkMemFreeHook free)
{
    ZkMemSettings settings;
    ZK::MemoryMgr::GetDefaultSettings(settings);
    settings.mallocHook = malloc;
    settings.malignHook = malign;
    settings.reallocHook = realloc;
    settings.reallocAlignedHook = reallocAligned;
    settings.freeHook = free;
    return settings;
}

// The memory manager's hooks over the system allocator: every block is a heap block of its own, so
// AddressSanitizer sees a write past any block the engine hands out.
inline void* SystemMalloc(ZkMemoryId, size_t size) { return std::malloc(size); }
inline void* SystemMalign(ZkMemoryId, size_t size, uint32_t alignment)
{
    void* block = nullptr;
    return posix_memalign(&block, alignment < sizeof(void*) ? sizeof(void*) : alignment, size) == 0 ? block : nullptr;
}
inline void* SystemRealloc(ZkMemoryId, void* block, size_t size) { return std::realloc(block, size); }
inline void* SystemReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment)
{
    void* moved = SystemMalign(memId, size, alignment);
    if (moved && block)
    {
        const size_t old = malloc_usable_size(block);
        std::memcpy(moved, block, old < size ? old : size);
        std::free(block);
    }
    return moved;
}
inline void SystemFree(ZkMemoryId, void* block) { std::free(block); }

// Writes a recognisable pattern over a block and checks it later.
inline void Fill(void* block, size_t size, uint8_t seed)
{
    auto* bytes = static_cast<uint8_t*>(block);
    for (size_t index = 0; index < size; ++index)
        bytes[index] = static_cast<uint8_t>(seed + index * 7);
}

inline bool Holds(const void* block, size_t size, uint8_t seed)
{
    const auto* bytes = static_cast<const uint8_t*>(block);
    for (size_t index = 0; index < size; ++index)
    {
        if (bytes[index] != static_cast<uint8_t>(seed + index * 7))
            return false;
    }
    return true;
}

// The memory manager's allocations through the C library, counting the blocks alive.
class CountingAllocator
{
public:
    static int64_t LiveBlocks() { return s_live.load(); }

    static void* Malloc(ZkMemoryId, size_t size) { return Counted(std::malloc(std::max<size_t>(size, 1))); }
    static void* Malign(ZkMemoryId, size_t size, uint32_t alignment)
    {
        void* block = nullptr;
        const size_t aligned = std::max<size_t>(alignment, sizeof(void*));
        return Counted(posix_memalign(&block, aligned, std::max<size_t>(size, 1)) == 0 ? block : nullptr);
    }
    static void* Realloc(ZkMemoryId memId, void* block, size_t size)
    {
        if (block == nullptr)
            return Malloc(memId, size);
        return std::realloc(block, std::max<size_t>(size, 1));
    }
    static void* ReallocAligned(ZkMemoryId memId, void* block, size_t size, uint32_t alignment)
    {
        void* moved = Malign(memId, size, alignment);
        if (moved != nullptr && block != nullptr)
        {
            std::memcpy(moved, block, std::min(size, malloc_usable_size(block)));
            Free(memId, block);
        }
        return moved;
    }
    static void Free(ZkMemoryId, void* block)
    {
        if (block == nullptr)
            return;
        --s_live;
        std::free(block);
    }

private:
    static void* Counted(void* block)
    {
        if (block != nullptr)
            ++s_live;
        return block;
    }
    static inline std::atomic<int64_t> s_live{0};
};


// Starts the memory manager over the counting allocator, for the calling thread too.
inline ZKRESULT InitCountingMemory()
{
    ZkMemSettings memory = SettingsWithAllocationHooks(&CountingAllocator::Malloc, &CountingAllocator::Malign,
                                                       &CountingAllocator::Realloc, &CountingAllocator::ReallocAligned,
                                                       &CountingAllocator::Free);
    const ZKRESULT result = ZK::MemoryMgr::Init(&memory);
    if (result == ZK_Success)
        ZK::MemoryMgr::InitForThread();
    return result;
}
} // namespace ZkMemoryTest
