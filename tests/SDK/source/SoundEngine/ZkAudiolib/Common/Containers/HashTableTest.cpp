// The chained hash table keyed by 32-bit ids: growth through the primes at the 0.9 load, items kept
// across growth, and an allocation failure that leaves the table intact.
#include "EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/CZkHashTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
using ZkEngineTest::EngineMemoryTest;

namespace
{
struct Item
{
    Item* next = nullptr;
    uint32_t id = 0;
};
using Table = ZK::CZkHashTable<Item, &Item::next, &Item::id>;

class HashTable : public EngineMemoryTest
{
protected:
    void TearDown() override
    {
        m_table.Term();
        EngineMemoryTest::TearDown();
    }

    Item* NewItem(uint32_t id)
    {
        m_items.push_back(std::make_unique<Item>());
        m_items.back()->id = id;
        return m_items.back().get();
    }

    Table m_table;
    std::vector<std::unique_ptr<Item>> m_items;
};
} // namespace

TEST_F(HashTable, GrowsThroughThePrimesWhenLoadedAboveNineTenths)
{
    // (items before the insert that grows the table, bucket count after it)
    std::vector<std::pair<uint32_t, uint32_t>> growths;
    uint32_t buckets = m_table.BucketCount();
    for (uint32_t n = 0; n < 800; ++n)
    {
        ASSERT_EQ(m_table.Insert(NewItem(n * 7919u)), ZK_Success);
        if (m_table.BucketCount() != buckets)
        {
            growths.emplace_back(n, m_table.BucketCount());
            buckets = m_table.BucketCount();
        }
    }
    // 27/29 = 0.93 > 0.9 while 26/29 = 0.897; 48/53 = 0.906; 88/97 = 0.907; 174/193 = 0.902;
    // 351/389 = 0.902; 693/769 = 0.901.
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0, 29}, {27, 53}, {48, 97}, {88, 193}, {174, 389}, {351, 769}, {693, 1543}};
    EXPECT_EQ(growths, expected);
    for (const auto& item : m_items)
        ASSERT_EQ(m_table.Find(item->id), item.get()) << item->id;
    EXPECT_EQ(m_table.Length(), 800u);
}

TEST_F(HashTable, StartsFromElevenBucketsAndGrowsToTwentyNine)
{
    ASSERT_TRUE(m_table.InitBuckets(11));
    for (uint32_t id = 1; id <= 10; ++id)
        ASSERT_EQ(m_table.Insert(NewItem(id)), ZK_Success);
    EXPECT_EQ(m_table.BucketCount(), 11u) << "10/11 is reached only by the tenth insert";
    ASSERT_EQ(m_table.Insert(NewItem(11)), ZK_Success);
    EXPECT_EQ(m_table.BucketCount(), 29u);
}

TEST_F(HashTable, IdsSharingABucketAreAllFoundAndNewestFirst)
{
    ASSERT_TRUE(m_table.InitBuckets(11));
    Item* a = NewItem(3);
    Item* b = NewItem(14);
    Item* c = NewItem(25);
    for (Item* item : {a, b, c})
        ASSERT_EQ(m_table.Insert(item), ZK_Success);
    EXPECT_EQ(m_table.Bucket(3), c) << "new items go to the head of their chain";
    EXPECT_EQ(m_table.Find(3), a);
    EXPECT_EQ(m_table.Find(14), b);
    EXPECT_EQ(m_table.Find(25), c);
    EXPECT_EQ(m_table.Find(36), nullptr);
    EXPECT_TRUE(m_table.Unlink(b));
    EXPECT_FALSE(m_table.Unlink(b));
    EXPECT_EQ(m_table.Find(14), nullptr);
    EXPECT_EQ(m_table.Find(3), a);
    EXPECT_EQ(m_table.Remove(25), c);
    EXPECT_EQ(m_table.Length(), 1u);
}

TEST_F(HashTable, ItemsOfOneIdStayNewestFirstThroughGrowth)
{
    ASSERT_TRUE(m_table.InitBuckets(11));
    Item* older = NewItem(7);
    Item* newer = NewItem(7);
    ASSERT_EQ(m_table.Insert(older), ZK_Success);
    ASSERT_EQ(m_table.Insert(newer), ZK_Success);
    ASSERT_EQ(m_table.Find(7), newer);
    // Enough other ids to grow the table three times: 11 -> 29 -> 53 -> 97 buckets.
    for (uint32_t id = 100; id < 150; ++id)
        ASSERT_EQ(m_table.Insert(NewItem(id)), ZK_Success);
    ASSERT_EQ(m_table.BucketCount(), 97u);
    EXPECT_EQ(m_table.Find(7), newer) << "growth must not reverse items of one id";
    EXPECT_EQ(m_table.Remove(7), newer);
    EXPECT_EQ(m_table.Find(7), older);
}

TEST_F(HashTable, FailedGrowthKeepsTheTableAndStillInserts)
{
    for (uint32_t id = 0; id < 27; ++id)
        ASSERT_EQ(m_table.Insert(NewItem(id * 31u)), ZK_Success);
    ASSERT_EQ(m_table.BucketCount(), 29u);
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(m_table.Insert(NewItem(999)), ZK_Success) << "a table with buckets takes the item unbalanced";
    }
    EXPECT_EQ(m_table.BucketCount(), 29u);
    EXPECT_EQ(m_table.Capacity(), 29u);
    EXPECT_EQ(m_table.Length(), 28u);
    for (const auto& item : m_items)
        EXPECT_EQ(m_table.Find(item->id), item.get());
    ASSERT_EQ(m_table.Insert(NewItem(1000)), ZK_Success);
    EXPECT_EQ(m_table.BucketCount(), 53u) << "the next insert grows once memory is back";
}

TEST_F(HashTable, TableWithoutBucketsRefusesWhenItCannotAllocate)
{
    EXPECT_EQ(m_table.Find(1), nullptr) << "no buckets: nothing is touched";
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1, ScopedAllocationFailure::Mode::FromNth);
        EXPECT_EQ(m_table.Insert(NewItem(1)), ZK_InsufficientMemory);
        EXPECT_FALSE(m_table.InitBuckets(11));
    }
    EXPECT_EQ(m_table.BucketCount(), 0u);
    EXPECT_EQ(m_table.Length(), 0u);
}

TEST(HashTablePrimes, NextPrimeStopsAtTheLast)
{
    EXPECT_EQ(ZK::NextHashTablePrime(0), 29u);
    EXPECT_EQ(ZK::NextHashTablePrime(11), 29u);
    EXPECT_EQ(ZK::NextHashTablePrime(29), 53u);
    EXPECT_EQ(ZK::NextHashTablePrime(805306457u), 1610612741u);
    EXPECT_EQ(ZK::NextHashTablePrime(1610612741u), 0u);
}
