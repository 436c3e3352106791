// The bank table: keys are (bank id, memory address), so one bank can be present from a file and
// from memory at once; insertion reports whether the entry was linked.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Banks/CZkLockedIdTable.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;
namespace Faults = ZK::MemoryMgr::FaultInjection;

using LockedIdTable = ZkEngineTest::EngineMemoryTest;

TEST_F(LockedIdTable, OneBankIdWithTwoAddressesGivesTwoEntries)
{
    CZkLockedIdTable table;
    ASSERT_TRUE(table.Init());
    EXPECT_EQ(table.BucketCount(), 11u);
    ZkLockedIdEntry fromFile;
    ZkLockedIdEntry fromMemory;
    EXPECT_TRUE(table.InsertUnique({42, 0}, &fromFile));
    EXPECT_TRUE(table.InsertUnique({42, 0x10000}, &fromMemory));
    EXPECT_EQ(table.Length(), 2u);
    EXPECT_EQ(table.Find({42, 0}), &fromFile) << "address 0 finds only the bank read from a file";
    EXPECT_EQ(table.Find({42, 0x10000}), &fromMemory);
    EXPECT_EQ(table.Find({43, 0}), nullptr);
    table.Remove({42, 0});
    EXPECT_EQ(table.Find({42, 0}), nullptr);
    EXPECT_EQ(table.Find({42, 0x10000}), &fromMemory);
    EXPECT_EQ(table.Length(), 1u);
}

TEST_F(LockedIdTable, APresentKeyLeavesTheNewEntryUnlinked)
{
    CZkLockedIdTable table;
    ASSERT_TRUE(table.Init());
    ZkLockedIdEntry first;
    ZkLockedIdEntry second;
    EXPECT_TRUE(table.InsertUnique({7, 0}, &first));
    EXPECT_FALSE(table.InsertUnique({7, 0}, &second));
    EXPECT_EQ(table.Length(), 1u);
    EXPECT_EQ(table.Find({7, 0}), &first);
    EXPECT_EQ(second.pNextItem, nullptr);
}

TEST_F(LockedIdTable, AnInsertionIntoATableWithoutBucketsIsReportedWhenNoneCanBeMade)
{
    CZkLockedIdTable table; // never initialised: no buckets
    ZkLockedIdEntry entry;
    {
        Faults::ScopedAllocationFailure failure(CZkLockedIdTable::kPool, 1);
        EXPECT_FALSE(table.InsertUnique({5, 0}, &entry)) << "the caller must know the entry was not linked";
    }
    EXPECT_EQ(table.Length(), 0u);
    EXPECT_EQ(table.Find({5, 0}), nullptr);
    EXPECT_TRUE(table.InsertUnique({5, 0}, &entry)) << "with memory the table gets buckets";
    EXPECT_EQ(table.BucketCount(), 29u);
    EXPECT_EQ(table.Find({5, 0}), &entry);
}

TEST_F(LockedIdTable, GrowsPastTheLoadOfNineTenthsAndKeepsEveryEntry)
{
    CZkLockedIdTable table;
    ASSERT_TRUE(table.Init());
    std::vector<ZkLockedIdEntry> entries(60);
    for (uint32_t index = 0; index < entries.size(); ++index)
    {
        ASSERT_TRUE(table.InsertUnique({index * 11, index % 2 ? 0x1000u + index : 0u}, &entries[index]));
        if (index == 9)
        {
            EXPECT_EQ(table.BucketCount(), 11u) << "10 entries in 11 buckets";
        }
        if (index == 10)
        {
            EXPECT_EQ(table.BucketCount(), 29u) << "the 11th grows the table";
        }
    }
    EXPECT_EQ(table.BucketCount(), 97u);
    for (uint32_t index = 0; index < entries.size(); ++index)
        EXPECT_EQ(table.Find({index * 11, index % 2 ? 0x1000u + index : 0u}), &entries[index]);
    {
        Faults::ScopedAllocationFailure failure(CZkLockedIdTable::kPool, 1, Faults::ScopedAllocationFailure::Mode::FromNth);
        std::vector<ZkLockedIdEntry> more(40);
        for (uint32_t index = 0; index < more.size(); ++index)
            EXPECT_TRUE(table.InsertUnique({5000 + index, 0}, &more[index])) << "a failed growth still inserts";
        EXPECT_EQ(table.BucketCount(), 97u);
        EXPECT_EQ(table.Length(), 100u);
        for (uint32_t index = 0; index < more.size(); ++index)
            table.Remove({5000 + index, 0});
    }
    EXPECT_EQ(table.Length(), 60u);
    ASSERT_TRUE(table.Init()) << "Init reuses the grown array";
    EXPECT_EQ(table.BucketCount(), 11u);
    EXPECT_EQ(table.Length(), 0u);
    EXPECT_EQ(table.Find({0, 0}), nullptr);
}
} // namespace
