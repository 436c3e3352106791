// Block sizes, alignment, reallocation, the heaps named by bits 29 and 30, and the mapped-bytes cap
// of the built-in allocator, through the memory manager's calls.
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using ZkMemoryTest::BuiltInMemoryTest;
using ZkMemoryTest::Fill;
using ZkMemoryTest::Holds;

namespace
{
constexpr size_t kSpan = 65536;
constexpr size_t kPage = 4096;
constexpr size_t kSpanUsable = kSpan - 128;

// The block a medium request gets, derived from the sizing rule: the smallest medium size
// (1536 + 512 k) that holds the request, then the largest medium size with as many blocks per span.
size_t ExpectedMediumBlock(size_t request)
{
    size_t block = 1536;
    while (block < request)
        block += 512;
    const size_t perSpan = kSpanUsable / block;
    while (block + 512 <= 32256 && kSpanUsable / (block + 512) == perSpan)
        block += 512;
    return block;
}

size_t PagesFor(size_t bytes) { return (bytes + kPage - 1) / kPage; }

class SpanBlocks : public BuiltInMemoryTest
{
};
} // namespace

TEST_F(SpanBlocks, RequestSizesGetTheirClassBlocks)
{
    struct Case
    {
        size_t request;
        size_t usable;
    };
    const Case cases[] = {
        {0, 16},
        {1, 16},
        {16, 16},
        {17, 32},
        {1000, 1008},
        {1024, 1024},
        {1025, 1536},
        {1536, 1536},
        {1537, ExpectedMediumBlock(1537)},
        {20000, ExpectedMediumBlock(20000)},
        {32256, 32256},                            // the largest medium block
        {32257, kSpan - 128},                      // one span, large
        {kSpan - 128, kSpan - 128},
        {kSpan - 127, 2 * kSpan - 128},
        {32 * kSpan - 128, 32 * kSpan - 128},      // the largest large request
        {32 * kSpan - 127, PagesFor(32 * kSpan + 1) * kPage - 128}, // huge: pages
        {5 * 1024 * 1024, PagesFor(5 * 1024 * 1024 + 128) * kPage - 128},
    };
    EXPECT_EQ(ExpectedMediumBlock(20000), 21504u); // 3 blocks per span up to 21504 bytes
    for (const Case& testCase : cases)
    {
        void* block = ZK::MemoryMgr::Malloc(0, testCase.request);
        ASSERT_NE(block, nullptr) << testCase.request;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u) << testCase.request;
        EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, block), testCase.usable) << testCase.request;
        Fill(block, testCase.usable, 3);
        EXPECT_TRUE(Holds(block, testCase.usable, 3));
        ZK::MemoryMgr::Free(0, block);
    }
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, nullptr), 0u);
    ZK::MemoryMgr::Free(0, nullptr);
}

TEST_F(SpanBlocks, ClassTableFollowsTheSpanSize)
{
    const auto& allocator = ZK::SpanAlloc::CZkSpanAllocator::Instance(0);
    EXPECT_EQ(allocator.SpanSize(), kSpan);
    EXPECT_EQ(allocator.PageSize(), kPage);
    EXPECT_EQ(allocator.MediumLimit(), 32256u);
    EXPECT_EQ(allocator.SizeClass(0).blockSize, 16u);
    EXPECT_EQ(allocator.SizeClass(1).blockSize, 16u);
    EXPECT_EQ(allocator.SizeClass(64).blockSize, 1024u);
    EXPECT_EQ(allocator.SizeClass(64).blocksPerSpan, kSpanUsable / 1024);
    EXPECT_EQ(allocator.SizeClass(125).blockSize, 32256u);
    EXPECT_EQ(allocator.SizeClass(125).blocksPerSpan, 2u);
}

TEST_F(SpanBlocks, ManyBlocksOfOneClassAreDistinctAndKeepTheirContents)
{
    std::vector<void*> blocks;
    for (int index = 0; index < 5000; ++index)
    {
        void* block = ZK::MemoryMgr::Malloc(0, 48);
        ASSERT_NE(block, nullptr);
        Fill(block, 48, static_cast<uint8_t>(index));
        blocks.push_back(block);
    }
    for (size_t index = 0; index < blocks.size(); ++index)
        ASSERT_TRUE(Holds(blocks[index], 48, static_cast<uint8_t>(index))) << index;
    // Free every other block, allocate again: freed blocks are reused before new spans are mapped.
    const uint64_t mapped = ZkMemoryTest::MappedBytes();
    for (size_t index = 0; index < blocks.size(); index += 2)
        ZK::MemoryMgr::Free(0, blocks[index]);
    for (size_t index = 0; index < blocks.size(); index += 2)
        blocks[index] = ZK::MemoryMgr::Malloc(0, 48);
    EXPECT_EQ(ZkMemoryTest::MappedBytes(), mapped);
    for (void* block : blocks)
        ZK::MemoryMgr::Free(0, block);
}

TEST_F(SpanBlocks, AlignedAllocationsTable)
{
    const uint32_t alignments[] = {0, 1, 3, 8, 16, 32, 64, 128, 256, 1024, 4096, 8192, 32768};
    const size_t sizes[] = {0, 1, 100, 1000, 5000, 33000, 200000, 3 * 1024 * 1024};
    std::vector<void*> blocks;
    for (uint32_t alignment : alignments)
    {
        for (size_t size : sizes)
        {
            void* block = ZK::MemoryMgr::Malign(0, size, alignment);
            ASSERT_NE(block, nullptr) << "alignment " << alignment << " size " << size;
            const uintptr_t required = alignment > 16 ? alignment : 16;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % required, 0u) << alignment << " " << size;
            EXPECT_GE(ZK::MemoryMgr::GetBlockSize(0, block), size) << alignment << " " << size;
            Fill(block, size, static_cast<uint8_t>(size));
            blocks.push_back(block);
        }
    }
    size_t at = 0;
    for (uint32_t alignment : alignments)
    {
        for (size_t size : sizes)
        {
            EXPECT_TRUE(Holds(blocks[at], size, static_cast<uint8_t>(size))) << alignment << " " << size;
            ZK::MemoryMgr::Free(0, blocks[at++]);
        }
    }
}

TEST_F(SpanBlocks, RefusedAlignmentsAnswerNullWithEinval)
{
    for (uint32_t alignment : {48u, 100u, 65536u, 1u << 20})
    {
        errno = 0;
        EXPECT_EQ(ZK::MemoryMgr::Malign(0, 64, alignment), nullptr) << alignment;
        EXPECT_EQ(errno, EINVAL) << alignment;
    }
}

TEST_F(SpanBlocks, ReallocationKeepsOrGrowsAsTheRulesSay)
{
    // A size the block already holds keeps the block.
    void* small = ZK::MemoryMgr::Malloc(0, 1536);
    Fill(small, 1536, 9);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, small, 1500), small);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, small, 1536), small);

    // Growing by 10% moves into a block 1.375 times the old length, contents kept.
    void* grown = ZK::MemoryMgr::Realloc(0, small, 1690);
    ASSERT_NE(grown, nullptr);
    EXPECT_NE(grown, small);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, grown), ExpectedMediumBlock(1536 + 1536 / 8 + 1536 / 4));
    EXPECT_TRUE(Holds(grown, 1536, 9));

    // Growing by more than 37.5% takes the exact size.
    void* exact = ZK::MemoryMgr::Realloc(0, grown, 10000);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, exact), ExpectedMediumBlock(10000));
    EXPECT_TRUE(Holds(exact, 1536, 9));
    ZK::MemoryMgr::Free(0, exact);

    // A large run stays while the request fits and uses at least half of it.
    void* large = ZK::MemoryMgr::Malloc(0, 100000); // two spans
    Fill(large, 100000, 4);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, large), 2 * kSpan - 128);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, large, 70000), large);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, large, 2 * kSpan - 128), large);
    void* shrunk = ZK::MemoryMgr::Realloc(0, large, 30000);
    EXPECT_NE(shrunk, large);
    EXPECT_TRUE(Holds(shrunk, 30000, 4));
    void* largeGrown = ZK::MemoryMgr::Realloc(0, shrunk, 33000);
    EXPECT_TRUE(Holds(largeGrown, 30000, 4));
    ZK::MemoryMgr::Free(0, largeGrown);

    // Huge blocks follow the same rule in pages.
    void* huge = ZK::MemoryMgr::Malloc(0, 4 * 1024 * 1024);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, huge, 3 * 1024 * 1024), huge);
    void* hugeShrunk = ZK::MemoryMgr::Realloc(0, huge, 1024 * 1024);
    EXPECT_NE(hugeShrunk, huge);
    ZK::MemoryMgr::Free(0, hugeShrunk);

    // Realloc of null allocates.
    void* fresh = ZK::MemoryMgr::Realloc(0, nullptr, 40);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, fresh), 48u);
    ZK::MemoryMgr::Free(0, fresh);
}

TEST_F(SpanBlocks, AlignedReallocationKeepsTheAlignment)
{
    void* block = ZK::MemoryMgr::Malign(0, 1000, 256);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(block) % 256, 0u);
    Fill(block, 1000, 21);
    EXPECT_EQ(ZK::MemoryMgr::ReallocAligned(0, block, 900, 256), block);
    for (size_t size : {3000u, 40000u, 300000u, 100u})
    {
        void* moved = ZK::MemoryMgr::ReallocAligned(0, block, size, 256);
        ASSERT_NE(moved, nullptr) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(moved) % 256, 0u) << size;
        EXPECT_TRUE(Holds(moved, std::min<size_t>(size, 1000), 21)) << size;
        block = moved;
    }
    // A block handed out inside an aligned block is freed and sized from where it was handed out.
    void* inner = ZK::MemoryMgr::Malign(0, 200, 64);
    void* plain = ZK::MemoryMgr::Realloc(0, inner, 100);
    EXPECT_NE(plain, nullptr);
    ZK::MemoryMgr::Free(0, plain);
    ZK::MemoryMgr::Free(0, block);
}

TEST_F(SpanBlocks, SharedHeapAndSecondInstanceBits)
{
    m_expectAllGivenBack = false; // instance 1 is never finalised: its mappings stay
    void* shared = ZK::MemoryMgr::Malloc(ZkMemID_SharedHeap | 2, 100);
    void* shared2 = ZK::MemoryMgr::Malign(ZkMemID_SharedHeap, 100, 64);
    ASSERT_NE(shared, nullptr);
    ASSERT_NE(shared2, nullptr);
    // Freed with or without bit 29.
    ZK::MemoryMgr::Free(2, shared);
    ZK::MemoryMgr::Free(ZkMemID_SharedHeap, shared2);

    const uint64_t beforeSecond = ZkMemoryTest::MappedBytes();
    void* second = ZK::MemoryMgr::Malloc(ZkMemID_SecondInstance, 100);
    ASSERT_NE(second, nullptr);
    EXPECT_GT(ZkMemoryTest::MappedBytes(), beforeSecond);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(ZkMemID_SecondInstance, second), 112u);
    ZK::MemoryMgr::Free(ZkMemID_SecondInstance, second);
    // Instance 1 has no shared heap.
    EXPECT_EQ(ZK::MemoryMgr::Malloc(ZkMemID_SecondInstance | ZkMemID_SharedHeap, 100), nullptr);
}

namespace
{
class CappedMemory : public BuiltInMemoryTest
{
protected:
    void Configure(ZkMemSettings& settings) override { settings.mappedBytesCap = m_cap; }
    uint64_t m_cap = 0;
};

class CapAtStart : public CappedMemory
{
protected:
    // The cap leaves room for the shared heap's mapping only (16 spans and one of slack).
    void SetUp() override
    {
        m_cap = ZkMemoryTest::MappedBytes() + 17 * kSpan;
        CappedMemory::SetUp();
    }
};

class TinyCap : public CappedMemory
{
protected:
    void SetUp() override
    {
        m_cap = 4096;
        CappedMemory::SetUp();
    }
};
} // namespace

TEST_F(CapAtStart, AllocationPastTheCapAnswersNullAndLeavesTheCounter)
{
    const uint64_t mapped = ZkMemoryTest::MappedBytes();
    ASSERT_LE(mapped, m_cap);
    // The shared heap has its reserve; the calling thread's heap must map and is refused.
    EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 16), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 50 * 1024 * 1024), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Malign(0, 64, 16384), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, nullptr, 100), nullptr);
    EXPECT_EQ(ZkMemoryTest::MappedBytes(), mapped);
    // Within what is already mapped, the shared heap still serves.
    void* shared = ZK::MemoryMgr::Malloc(ZkMemID_SharedHeap, 64);
    EXPECT_NE(shared, nullptr);
    void* tooBig = ZK::MemoryMgr::Realloc(ZkMemID_SharedHeap, shared, 40 * 1024 * 1024);
    EXPECT_EQ(tooBig, nullptr);
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, shared), 64u); // the old block is left valid
    ZK::MemoryMgr::Free(0, shared);
    EXPECT_EQ(ZkMemoryTest::MappedBytes(), mapped);
}

TEST_F(TinyCap, CapSmallerThanASpanMakesEveryAllocationFail)
{
    EXPECT_EQ(ZK::MemoryMgr::Malloc(0, 1), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Malloc(ZkMemID_SharedHeap, 1), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Malign(0, 1, 128), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Realloc(0, nullptr, 1), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::ReallocAligned(0, nullptr, 1, 64), nullptr);
    ZK::MemoryMgr::Free(0, nullptr);
    ZK::MemoryMgr::TermForThread();
    EXPECT_EQ(ZkMemoryTest::MappedBytes(), m_baseline);
}
