// The growable array: growth steps, order-keeping edits, and a failed growth that drops only the
// insertion.
#include "EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/ZkArray.h"

#include <gtest/gtest.h>

#include <vector>

using ZK::ZkArray;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
using ZkEngineTest::EngineMemoryTest;

using ZkArrayTest = EngineMemoryTest;

TEST_F(ZkArrayTest, GrowsFromZeroToOneThenByCapacityPlusOneAndAHalf)
{
    ZkArray<uint32_t> array;
    std::vector<uint32_t> capacities;
    for (uint32_t value = 0; value < 200; ++value)
    {
        ASSERT_NE(array.AddLast(value), nullptr);
        if (capacities.empty() || capacities.back() != array.Capacity())
            capacities.push_back(array.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<uint32_t>{1, 2, 5, 12, 30, 75, 187, 467}));
    for (uint32_t value = 0; value < 200; ++value)
        ASSERT_EQ(array[value], value);
}

TEST_F(ZkArrayTest, InsertEraseAndFindKeepTheOrder)
{
    ZkArray<int> array;
    for (int value : {10, 20, 30, 40})
        ASSERT_NE(array.AddLast(value), nullptr);
    ASSERT_NE(array.Insert(0, 5), nullptr);
    ASSERT_NE(array.Insert(5, 50), nullptr);
    EXPECT_EQ(array.Insert(7, 99), nullptr) << "an index past the end is refused";
    array.Erase(2);
    EXPECT_EQ(std::vector<int>(array.begin(), array.end()), (std::vector<int>{5, 10, 30, 40, 50}));
    array.EraseSwap(0);
    EXPECT_EQ(std::vector<int>(array.begin(), array.end()), (std::vector<int>{50, 10, 30, 40}));
    EXPECT_EQ(array.Find(30), 2u);
    EXPECT_EQ(array.Find(7), array.Length());
    array.Erase(9); // out of range: nothing happens
    EXPECT_EQ(array.Length(), 4u);
}

TEST_F(ZkArrayTest, FailedGrowthDropsTheInsertionAndKeepsTheItems)
{
    ZkArray<uint64_t> array;
    for (uint64_t value = 0; value < 5; ++value)
        ASSERT_NE(array.AddLast(value * 3), nullptr);
    ASSERT_EQ(array.Capacity(), 5u);
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1, ScopedAllocationFailure::Mode::FromNth);
        EXPECT_EQ(array.AddLast(99), nullptr);
        EXPECT_EQ(array.Insert(0, 99), nullptr);
        EXPECT_EQ(array.Reserve(100), ZK_InsufficientMemory);
    }
    EXPECT_EQ(array.Length(), 5u);
    EXPECT_EQ(array.Capacity(), 5u);
    for (uint64_t value = 0; value < 5; ++value)
        EXPECT_EQ(array[static_cast<uint32_t>(value)], value * 3);
    EXPECT_NE(array.AddLast(15), nullptr) << "growth works again once memory is back";
    EXPECT_EQ(array.Capacity(), 12u);
}

TEST_F(ZkArrayTest, ReserveAndTerm)
{
    ZkArray<uint16_t> array;
    ASSERT_EQ(array.Reserve(40), ZK_Success);
    EXPECT_EQ(array.Capacity(), 40u);
    EXPECT_EQ(array.Reserve(10), ZK_Success);
    EXPECT_EQ(array.Capacity(), 40u);
    ASSERT_NE(array.AddLast(), nullptr);
    EXPECT_EQ(array[0], 0u) << "a new item is value-initialised";
    array.Term();
    EXPECT_EQ(array.Length(), 0u);
    EXPECT_EQ(array.Capacity(), 0u);
    EXPECT_EQ(array.Data(), nullptr);
}
