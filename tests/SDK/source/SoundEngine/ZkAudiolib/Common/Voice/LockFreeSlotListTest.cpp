// The lock-free slot list alone: pre-made cells are used before any allocation, removed cells are
// reused, Find never reports a free cell, and an allocation failure stores nothing.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Voice/ZkLockFreeSlotList.h"

#include <gtest/gtest.h>

namespace
{
using namespace ZK::SoundEngine;
namespace Slots = ZK::SoundEngine::ZkLockFreeSlotList;
namespace Faults = ZK::MemoryMgr::FaultInjection;

class LockFreeSlotList : public ZkEngineTest::EngineMemoryTest
{
protected:
    void TearDown() override
    {
        Slots::Term(m_head, kPool);
        EngineMemoryTest::TearDown();
    }
    static constexpr ZkMemoryId kPool = ZkMemID_EngineSingletons;
    Slots::Head m_head{0};
    int m_data[8] = {};
};

TEST_F(LockFreeSlotList, FourPreparedCellsTakeFourAddsAndTheFifthAllocates)
{
    ASSERT_EQ(Slots::Init(m_head, 4, kPool), ZK_Success);
    Faults::CountOnly(kPool);
    for (int index = 0; index < 4; ++index)
        ASSERT_EQ(Slots::Add(m_head, &m_data[index], kPool), ZK_Success);
    EXPECT_EQ(Faults::CountedAllocations(), 0u);
    ASSERT_EQ(Slots::Add(m_head, &m_data[4], kPool), ZK_Success);
    EXPECT_EQ(Faults::CountedAllocations(), 1u);
    EXPECT_EQ(Slots::CellCount(m_head), 5u);
    for (int index = 0; index < 5; ++index)
        EXPECT_NE(Slots::Find(m_head, &m_data[index]), nullptr) << index;
}

TEST_F(LockFreeSlotList, ARemovedCellIsReusedAndNoLongerFound)
{
    ASSERT_EQ(Slots::Init(m_head, 1, kPool), ZK_Success);
    ASSERT_EQ(Slots::Add(m_head, &m_data[0], kPool), ZK_Success);
    Slots::Remove(m_head, &m_data[0]);
    EXPECT_EQ(Slots::Find(m_head, &m_data[0]), nullptr);
    ASSERT_EQ(Slots::Add(m_head, &m_data[1], kPool), ZK_Success);
    EXPECT_EQ(Slots::CellCount(m_head), 1u) << "the freed cell took the new data";
    EXPECT_NE(Slots::Find(m_head, &m_data[1]), nullptr);
}

TEST_F(LockFreeSlotList, RemoveFreesEveryRegistrationAndReleaseOnlyOne)
{
    ASSERT_EQ(Slots::Init(m_head, 0, kPool), ZK_Success);
    for (int times = 0; times < 3; ++times)
        ASSERT_EQ(Slots::Add(m_head, &m_data[0], kPool), ZK_Success);
    Slots::Cell* first = Slots::Find(m_head, &m_data[0]);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(Slots::Release(*first, &m_data[0]));
    EXPECT_FALSE(Slots::Release(*first, &m_data[0])) << "already free";
    EXPECT_NE(Slots::Find(m_head, &m_data[0]), nullptr) << "two registrations left";
    Slots::Remove(m_head, &m_data[0]);
    EXPECT_EQ(Slots::Find(m_head, &m_data[0]), nullptr);
}

TEST_F(LockFreeSlotList, AnAllocationFailureStoresNothing)
{
    ASSERT_EQ(Slots::Init(m_head, 0, kPool), ZK_Success);
    {
        Faults::ScopedAllocationFailure failure(kPool, 1);
        EXPECT_EQ(Slots::Add(m_head, &m_data[0], kPool), ZK_InsufficientMemory);
    }
    EXPECT_EQ(Slots::Find(m_head, &m_data[0]), nullptr);
    EXPECT_EQ(Slots::CellCount(m_head), 0u);
    Faults::ScopedAllocationFailure failure(kPool, 2);
    EXPECT_EQ(Slots::Init(m_head, 3, kPool), ZK_InsufficientMemory);
    EXPECT_EQ(Slots::CellCount(m_head), 1u) << "the cell made before the failure stays";
}
} // namespace
