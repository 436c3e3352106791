// The failure-injection test hook: the chosen allocations of a pool fail, the others do not.
#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include "MemoryTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace FI = ZK::MemoryMgr::FaultInjection;
using ZkMemoryTest::BuiltInMemoryTest;

namespace
{
class FaultInjection : public BuiltInMemoryTest
{
protected:
    void TearDown() override
    {
        FI::Disarm();
        for (auto [memId, block] : m_blocks)
            ZK::MemoryMgr::Free(memId, block);
        BuiltInMemoryTest::TearDown();
    }

    void* Keep(ZkMemoryId memId, void* block)
    {
        if (block)
            m_blocks.push_back({memId, block});
        return block;
    }

    std::vector<std::pair<ZkMemoryId, void*>> m_blocks;
};
} // namespace

TEST_F(FaultInjection, OnlyTheNthAllocationOfThePoolFails)
{
    FI::FailNth(ZkMemID_StreamMgr, 3);
    EXPECT_TRUE(FI::IsArmed());
    EXPECT_NE(Keep(7, ZK::MemoryMgr::Malloc(7, 10)), nullptr);                      // 1st of pool 7
    EXPECT_NE(Keep(0, ZK::MemoryMgr::Malloc(0, 10)), nullptr);                      // other pool
    EXPECT_NE(Keep(7, ZK::MemoryMgr::Malign(7, 10, 64)), nullptr);                  // 2nd
    EXPECT_EQ(ZK::MemoryMgr::Realloc(ZkMemID_SharedHeap | 7, nullptr, 10), nullptr); // 3rd: bits ignored
    EXPECT_NE(Keep(7, ZK::MemoryMgr::Malloc(7, 10)), nullptr);                      // 4th succeeds again
    EXPECT_EQ(FI::CountedAllocations(), 4u);
    EXPECT_EQ(FI::FailedAllocations(), 1u);
}

TEST_F(FaultInjection, FromTheNthOnEveryAllocationFailsUntilDisarmed)
{
    FI::FailFrom(ZkMemID_Processing, 2);
    EXPECT_NE(Keep(5, ZK::MemoryMgr::Malloc(5, 10)), nullptr);
    for (int attempt = 0; attempt < 5; ++attempt)
        EXPECT_EQ(ZK::MemoryMgr::Malign(5, 64, 16), nullptr);
    EXPECT_NE(Keep(4, ZK::MemoryMgr::Malloc(4, 10)), nullptr);
    FI::Disarm();
    EXPECT_FALSE(FI::IsArmed());
    EXPECT_NE(Keep(5, ZK::MemoryMgr::Malloc(5, 10)), nullptr);
    EXPECT_EQ(FI::FailedAllocations(), 5u);
}

TEST_F(FaultInjection, FailedReallocLeavesTheBlockValid)
{
    auto* block = static_cast<char*>(ZK::MemoryMgr::Malloc(0, 100));
    ZkMemoryTest::Fill(block, 100, 1);
    {
        FI::ScopedAllocationFailure failure(0, 1);
        EXPECT_EQ(ZK::MemoryMgr::Realloc(0, block, 5000), nullptr);
    }
    EXPECT_FALSE(FI::IsArmed());
    EXPECT_TRUE(ZkMemoryTest::Holds(block, 100, 1));
    EXPECT_EQ(ZK::MemoryMgr::GetBlockSize(0, block), 112u);
    void* grown = ZK::MemoryMgr::Realloc(0, block, 5000);
    ASSERT_NE(grown, nullptr);
    EXPECT_TRUE(ZkMemoryTest::Holds(grown, 100, 1));
    ZK::MemoryMgr::Free(0, grown);
}

TEST_F(FaultInjection, CountingThenFailingEachAllocationOfAScenario)
{
    // The sweep other areas use: count a scenario's allocations, then fail each in turn.
    auto scenario = [] {
        void* first = ZK::MemoryMgr::Malloc(2, 40);
        void* second = first ? ZK::MemoryMgr::Malloc(2, 400) : nullptr;
        void* third = second ? ZK::MemoryMgr::Realloc(2, second, 4000) : nullptr;
        const bool complete = first && third;
        ZK::MemoryMgr::Free(2, first);
        ZK::MemoryMgr::Free(2, third ? third : second);
        return complete;
    };
    FI::CountOnly(2);
    EXPECT_TRUE(scenario());
    const uint32_t count = FI::CountedAllocations();
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(FI::FailedAllocations(), 0u);
    for (uint32_t nth = 1; nth <= count; ++nth)
    {
        FI::FailNth(2, nth);
        EXPECT_FALSE(scenario()) << nth;
        EXPECT_EQ(FI::FailedAllocations(), 1u) << nth;
    }
}

TEST_F(FaultInjection, AnyPoolCountsEveryPool)
{
    FI::FailNth(FI::kAnyPool, 2);
    EXPECT_NE(Keep(1, ZK::MemoryMgr::Malloc(1, 8)), nullptr);
    EXPECT_EQ(ZK::MemoryMgr::Malloc(16, 8), nullptr);
    EXPECT_NE(Keep(9, ZK::MemoryMgr::Malloc(9, 8)), nullptr);
}
