// The device I/O memory pool: set-up, buddy split and merge, views, and the stream cache.
#include "MemoryMgr/CZkIOMemoryPool.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MemoryTestSupport.h"
#include "Platform/PlatformEvent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using ZK::MemoryMgr::CZkIOMemoryPool;
using ZK::MemoryMgr::ZkIOMemorySettings;
using ZK::MemoryMgr::ZkIOMemoryView;
using ZkMemoryTest::BuiltInMemoryTest;

namespace
{
ZkIOMemorySettings DefaultDeviceMemory(bool cache = false)
{
    ZkIOMemorySettings settings;
    settings.ioMemoryBytes = 0x200000;
    settings.ioMemoryAlignment = 4096;
    settings.granularity = 0x4000;
    settings.useStreamCache = cache;
    return settings;
}

class IOMemoryPool : public BuiltInMemoryTest
{
protected:
    void SetUp() override
    {
        BuiltInMemoryTest::SetUp();
        ASSERT_TRUE(m_event.Init(ZK::Platform::EventReset::Manual));
    }
    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        m_pool.Term();
        m_event.Term();
        BuiltInMemoryTest::TearDown();
    }

    bool EventIsSet() { return m_event.Wait(0); }

    uint32_t FreeCount(uint32_t level) const { return m_pool.Buddy().FreeCount(level); }

    ZK::Platform::ZkEvent m_event;
    CZkIOMemoryPool m_pool;
};
} // namespace

TEST_F(IOMemoryPool, DefaultSettingsGiveThreeLevelsAnd128LargestBlocks)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_Success);
    const auto& buddy = m_pool.Buddy();
    EXPECT_EQ(buddy.SmallestBlock(), 4096u);
    EXPECT_EQ(buddy.LargestBlock(), 16384u);
    EXPECT_EQ(buddy.LevelCount(), 3u);
    EXPECT_EQ(FreeCount(2), 128u);
    EXPECT_EQ(FreeCount(0) + FreeCount(1), 0u);
    EXPECT_EQ(m_pool.IndexCapacity(), 128u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(buddy.Base()) % 4096, 0u);
    // Free blocks of the top level are in ascending address order.
    for (uint32_t index = 0; index < 128; ++index)
        ASSERT_EQ(buddy.FreeBlock(2, index), buddy.Base() + index * 16384u);
}

TEST_F(IOMemoryPool, SetupRefusals)
{
    struct Case
    {
        const char* what;
        ZkIOMemorySettings settings;
        ZKRESULT expected;
    };
    ZkIOMemorySettings zeroGranularity = DefaultDeviceMemory();
    zeroGranularity.granularity = 0;
    ZkIOMemorySettings lessThanALargestBlock = DefaultDeviceMemory();
    lessThanALargestBlock.ioMemoryBytes = 0x4000;
    lessThanALargestBlock.granularity = 12288; // largest block 16 KiB, only 12 KiB usable
    ZkIOMemorySettings noMemory = DefaultDeviceMemory();
    noMemory.ioMemoryBytes = 0;
    const Case cases[] = {
        {"zero granularity", zeroGranularity, ZK_InvalidParameter},
        {"less than one largest block", lessThanALargestBlock, ZK_Fail},
        {"no I/O memory at all", noMemory, ZK_Success},
    };
    for (const Case& testCase : cases)
    {
        CZkIOMemoryPool pool;
        EXPECT_EQ(pool.Setup(testCase.settings, &m_event), testCase.expected) << testCase.what;
    }
}

TEST_F(IOMemoryPool, OutOfMemoryDuringSetup)
{
    namespace FI = ZK::MemoryMgr::FaultInjection;
    // The region comes from the device's memory id with the I/O flag; the index from pool 7.
    FI::FailNth(ZkMemID_DeviceIOFlag, 1);
    EXPECT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_InsufficientMemory);
    FI::FailNth(ZkMemID_StreamMgr, 1);
    EXPECT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_Fail);
    FI::Disarm();
    EXPECT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_Success);
}

TEST_F(IOMemoryPool, CallerSuppliedRegionIsUsedAndNotFreed)
{
    alignas(4096) static char region[4 * 16384];
    ZkIOMemorySettings settings = DefaultDeviceMemory();
    settings.ioMemoryBlock = region;
    settings.ioMemoryBytes = sizeof(region);
    ASSERT_EQ(m_pool.Setup(settings, &m_event), ZK_Success);
    EXPECT_EQ(m_pool.Buddy().Base(), region);
    ZkIOMemoryView* view = m_pool.TakeView(100, 4096);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->address, region);
    m_pool.ReleaseView(view);
    m_pool.Term(); // would crash freeing a static region
}

TEST_F(IOMemoryPool, OneByteRequestSplitsALargestBlock)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_Success);
    char* base = m_pool.Buddy().Base();
    ZkIOMemoryView* view = m_pool.TakeView(1, 4096);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->address, base);
    EXPECT_EQ(view->blockSize, 4096u);
    EXPECT_EQ(view->dataSize, 1u);
    EXPECT_EQ(view->refCount, 1u);
    EXPECT_EQ(view->fileKey, ZK::MemoryMgr::kViewNotIndexed);
    EXPECT_EQ(FreeCount(0), 1u);
    EXPECT_EQ(FreeCount(1), 1u);
    EXPECT_EQ(FreeCount(2), 127u);
    EXPECT_EQ(m_pool.Buddy().FreeBlock(0, 0), base + 4096);
    EXPECT_EQ(m_pool.Buddy().FreeBlock(1, 0), base + 8192);
    EXPECT_EQ(m_pool.BytesTaken(), 4096u);
    EXPECT_EQ(m_pool.ReleaseView(view), 0u);
    EXPECT_EQ(FreeCount(2), 128u);
    EXPECT_EQ(m_pool.BytesTaken(), 0u);
}

TEST_F(IOMemoryPool, PiecesOfASplitBlockMergeBackInAnyOrder)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_Success);
    std::array<int, 3> order = {0, 1, 2};
    do
    {
        std::array<ZkIOMemoryView*, 3> views = {m_pool.TakeView(1, 4096), m_pool.TakeView(4096, 4096),
                                                m_pool.TakeView(5000, 4096)};
        ASSERT_TRUE(views[0] && views[1] && views[2]);
        // All three come from the same largest block: 4 KiB, the 4 KiB beside it, then 8 KiB.
        EXPECT_EQ(views[1]->address, views[0]->address + 4096);
        EXPECT_EQ(views[2]->address, views[0]->address + 8192);
        EXPECT_EQ(views[2]->blockSize, 8192u);
        EXPECT_EQ(FreeCount(2), 127u);
        for (int which : order)
            m_pool.ReleaseView(views[which]);
        EXPECT_EQ(FreeCount(0), 0u) << order[0] << order[1] << order[2];
        EXPECT_EQ(FreeCount(1), 0u);
        EXPECT_EQ(FreeCount(2), 128u);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(IOMemoryPool, UnevenSizesSplitAndMerge)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(), &m_event), ZK_Success);
    ZkIOMemoryView* threeQuarters = m_pool.TakeView(12288, 4096);
    ASSERT_NE(threeQuarters, nullptr);
    EXPECT_EQ(FreeCount(0), 1u);
    EXPECT_EQ(m_pool.Buddy().FreeBlock(0, 0), threeQuarters->address + 12288);
    ZkIOMemoryView* quarter = m_pool.TakeView(10, 512); // rounded up to a whole smallest block
    ASSERT_NE(quarter, nullptr);
    EXPECT_EQ(quarter->blockSize, 4096u);
    EXPECT_EQ(quarter->address, threeQuarters->address + 12288);
    m_pool.ReleaseView(threeQuarters);
    EXPECT_EQ(FreeCount(1), 1u);
    EXPECT_EQ(FreeCount(0), 1u);
    m_pool.ReleaseView(quarter);
    EXPECT_EQ(FreeCount(2), 128u);
    EXPECT_EQ(FreeCount(0) + FreeCount(1), 0u);
}

TEST_F(IOMemoryPool, ExhaustionResetsTheEventAndReleaseSetsIt)
{
    ZkIOMemorySettings settings = DefaultDeviceMemory();
    settings.ioMemoryBytes = 2 * 16384;
    ASSERT_EQ(m_pool.Setup(settings, &m_event), ZK_Success);
    ZkIOMemoryView* first = m_pool.TakeView(16384, 4096);
    ZkIOMemoryView* second = m_pool.TakeView(16384, 4096);
    ASSERT_TRUE(first && second);
    m_event.Set();
    EXPECT_EQ(m_pool.TakeView(4096, 4096), nullptr);
    EXPECT_FALSE(EventIsSet());
    EXPECT_EQ(m_pool.TakeView(0, 4096), nullptr);
    EXPECT_EQ(m_pool.TakeView(32768, 4096), nullptr); // above the largest block
    m_pool.ReleaseView(first);
    EXPECT_TRUE(EventIsSet());
    m_pool.ReleaseView(second);
}

TEST_F(IOMemoryPool, ReferencesKeepAViewUntilTheLastRelease)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(true), &m_event), ZK_Success);
    ZkIOMemoryView* view = m_pool.TakeView(4096, 4096);
    ASSERT_EQ(m_pool.KeyView(view, this, 9, 0, 4096), 1u);
    uint32_t bytes = 4096;
    ZkIOMemoryView* found = nullptr;
    EXPECT_EQ(m_pool.FindCachedData(9, 0, 1, 1, false, bytes, found), 0u);
    ASSERT_EQ(found, view);
    EXPECT_EQ(view->refCount, 2u);
    EXPECT_EQ(m_pool.ReleaseView(view), 1u);
    EXPECT_EQ(m_pool.ReleasedCount(), 0u);
    EXPECT_EQ(m_pool.ReleaseView(view), 0u);
    EXPECT_EQ(m_pool.ReleasedCount(), 1u);
}

TEST_F(IOMemoryPool, CachedViewIsFoundAgainWithoutATransfer)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(true), &m_event), ZK_Success);
    ZkIOMemoryView* view = m_pool.TakeView(16384, 4096);
    ASSERT_NE(view, nullptr);
    std::fill(view->address, view->address + 16384, 'x');
    EXPECT_EQ(m_pool.KeyView(view, this, 42, 32768, 16384), 1u);
    EXPECT_EQ(m_pool.IndexCount(), 1u);
    EXPECT_EQ(view->nextOrOwner, this);
    m_pool.ReleaseView(view);
    EXPECT_EQ(m_pool.ReleasedCount(), 1u);
    EXPECT_EQ(m_pool.BytesHeldByReleased(), 16384u);

    struct Case
    {
        const char* what;
        uint32_t key;
        uint64_t position;
        uint32_t minimum;
        uint32_t alignment;
        bool endAllowed;
        uint32_t asked;
        bool found;
        uint32_t offset;
        uint32_t available;
    };
    const Case cases[] = {
        {"exact position", 42, 32768, 1, 1, false, 16384, true, 0, 16384},
        {"inside the view", 42, 32768 + 4096, 1, 4096, false, 16384, true, 4096, 12288},
        {"other file", 41, 32768, 1, 1, false, 16384, false, 0, 0},
        {"before the view", 42, 30000, 1, 1, false, 16384, false, 0, 0},
        {"past the minimum", 42, 32768 + 16000, 1000, 1, false, 16384, false, 0, 0},
        {"more than asked", 42, 32768, 1, 1, false, 8192, false, 0, 0},
        {"rest not aligned", 42, 32768 + 100, 1, 4096, false, 16384, false, 0, 0},
        {"end of file, start aligned", 42, 32768 + 100, 1, 4, true, 16284, true, 100, 16284},
        {"end of file, start unaligned", 42, 32768 + 100, 1, 4096, true, 16284, false, 0, 0},
    };
    for (const Case& testCase : cases)
    {
        uint32_t bytes = testCase.asked;
        ZkIOMemoryView* found = nullptr;
        const uint32_t offset = m_pool.FindCachedData(testCase.key, testCase.position, testCase.minimum,
                                                      testCase.alignment, testCase.endAllowed, bytes, found);
        EXPECT_EQ(found != nullptr, testCase.found) << testCase.what;
        if (!found)
            continue;
        EXPECT_EQ(found, view) << testCase.what;
        EXPECT_EQ(offset, testCase.offset) << testCase.what;
        EXPECT_EQ(bytes, testCase.available) << testCase.what;
        EXPECT_EQ(m_pool.ReleasedCount(), 0u) << testCase.what;
        EXPECT_EQ(found->address[offset], 'x');
        m_pool.ReleaseView(found);
        EXPECT_EQ(m_pool.ReleasedCount(), 1u) << testCase.what;
    }
}

TEST_F(IOMemoryPool, EndOfFileReadMayEndOffTheAlignment)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(true), &m_event), ZK_Success);
    ZkIOMemoryView* view = m_pool.TakeView(10000, 4096);
    m_pool.KeyView(view, this, 3, 0, 10000);
    m_pool.ReleaseView(view);
    uint32_t bytes = 10000;
    ZkIOMemoryView* found = nullptr;
    EXPECT_EQ(m_pool.FindCachedData(3, 0, 1, 4096, false, bytes, found), 0u);
    EXPECT_EQ(found, nullptr);
    bytes = 10000;
    EXPECT_EQ(m_pool.FindCachedData(3, 0, 1, 4096, true, bytes, found), 0u);
    EXPECT_EQ(found, view);
    m_pool.ReleaseView(view);
}

TEST_F(IOMemoryPool, ReleasedViewOfAnotherSizeIsDroppedAndItsMemoryReused)
{
    ZkIOMemorySettings settings = DefaultDeviceMemory(true);
    settings.ioMemoryBytes = 16384; // one largest block
    ASSERT_EQ(m_pool.Setup(settings, &m_event), ZK_Success);
    ZkIOMemoryView* whole = m_pool.TakeView(16384, 4096);
    char* address = whole->address;
    m_pool.KeyView(whole, this, 1, 0, 16384);
    m_pool.ReleaseView(whole);

    // Same size: the released view itself comes back, still indexed.
    ZkIOMemoryView* again = m_pool.TakeView(16384, 4096);
    EXPECT_EQ(again, whole);
    EXPECT_EQ(again->refCount, 1u);
    EXPECT_EQ(m_pool.IndexCount(), 1u);
    m_pool.ReleaseView(again);

    // Another size: the released view is dropped and its memory split for the request.
    m_event.Reset();
    ZkIOMemoryView* smaller = m_pool.TakeView(4096, 4096);
    ASSERT_NE(smaller, nullptr);
    EXPECT_EQ(smaller->address, address);
    EXPECT_EQ(m_pool.IndexCount(), 0u);
    EXPECT_EQ(m_pool.ReleasedCount(), 0u);
    EXPECT_TRUE(EventIsSet());
    m_pool.ReleaseView(smaller);
}

TEST_F(IOMemoryPool, IndexKeepsItsOrderAndGrows)
{
    ZkIOMemorySettings settings = DefaultDeviceMemory(true);
    settings.ioMemoryBytes = 2 * 16384; // index of 2 entries, grown on demand
    ASSERT_EQ(m_pool.Setup(settings, &m_event), ZK_Success);
    std::vector<ZkIOMemoryView*> views;
    for (int index = 0; index < 8; ++index)
        views.push_back(m_pool.TakeView(4096, 4096));
    const uint32_t keys[] = {5, 2, 5, 2, 9, 5, 1, 2};
    const uint64_t positions[] = {0, 4096, 8192, 0, 0, 4096, 0, 8192};
    for (int index = 0; index < 8; ++index)
        EXPECT_EQ(m_pool.KeyView(views[index], this, keys[index], positions[index], 4096), 1u);
    EXPECT_EQ(m_pool.IndexCount(), 8u);
    EXPECT_GE(m_pool.IndexCapacity(), 8u);
    // Every (key, position) is found back to its own view.
    for (int index = 0; index < 8; ++index)
    {
        uint32_t bytes = 4096;
        ZkIOMemoryView* found = nullptr;
        m_pool.FindCachedData(keys[index], positions[index] + 1024, 1, 1024, false, bytes, found);
        EXPECT_EQ(found, views[index]) << index;
        if (found)
            m_pool.ReleaseView(found);
    }
    // Re-keying moves a view; the key 0xFFFFFFFF takes it out.
    EXPECT_EQ(m_pool.KeyView(views[0], this, 1, 8192, 4096), 1u);
    EXPECT_EQ(m_pool.KeyView(views[1], this, ZK::MemoryMgr::kViewNotIndexed, 0, 4096), 2u);
    EXPECT_EQ(m_pool.IndexCount(), 7u);
    uint32_t bytes = 4096;
    ZkIOMemoryView* found = nullptr;
    m_pool.FindCachedData(1, 8192, 1, 1, false, bytes, found);
    EXPECT_EQ(found, views[0]);
    m_pool.ReleaseView(found);
    for (ZkIOMemoryView* view : views)
        m_pool.ReleaseView(view);
    EXPECT_EQ(m_pool.ReleasedCount(), 7u);
    m_pool.FlushCache();
    EXPECT_EQ(m_pool.ReleasedCount(), 0u);
    EXPECT_EQ(m_pool.IndexCount(), 0u);
    EXPECT_EQ(m_pool.BytesTaken(), 0u);
    EXPECT_EQ(FreeCount(2), 2u);
}

TEST_F(IOMemoryPool, WithoutTheCacheReleasedViewsGoStraightBack)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(false), &m_event), ZK_Success);
    ZkIOMemoryView* view = m_pool.TakeView(4096, 4096);
    EXPECT_EQ(m_pool.KeyView(view, this, 7, 4096, 4000), 1u);
    EXPECT_EQ(view->position, 4096u);
    EXPECT_EQ(view->dataSize, 4000u);
    EXPECT_EQ(view->fileKey, ZK::MemoryMgr::kViewNotIndexed);
    m_pool.ReleaseView(view);
    EXPECT_EQ(m_pool.ReleasedCount(), 0u);
    EXPECT_EQ(m_pool.BytesTaken(), 0u);
}

TEST_F(IOMemoryPool, CopyOwnsNoMemory)
{
    ASSERT_EQ(m_pool.Setup(DefaultDeviceMemory(true), &m_event), ZK_Success);
    ZkIOMemoryView* view = m_pool.TakeView(4096, 4096);
    m_pool.KeyView(view, this, 7, 4096, 4000);
    ZkIOMemoryView* copy = m_pool.CopyView(view);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->address, view->address);
    EXPECT_EQ(copy->position, 4096u);
    EXPECT_EQ(copy->dataSize, 4000u);
    EXPECT_EQ(copy->refCount, 0u);
    EXPECT_EQ(copy->fileKey, ZK::MemoryMgr::kViewNotIndexed);
    m_pool.ReleaseView(copy); // frees the record only
    EXPECT_EQ(m_pool.BytesTaken(), 4096u);
    m_pool.ReleaseView(view);
}
