// The byte writers: growth of WriteBytesMem in 1024-byte steps, out of memory, detaching, the
// fixed buffer that writes all or nothing, and the counter.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
using ZkEngineTest::EngineMemoryTest;

using WriteBytesMem = EngineMemoryTest;

TEST_F(WriteBytesMem, GrowsInStepsOf1024Bytes)
{
    ZK::WriteBytesMem writer;
    writer.SetMemPool(ZkMemID_Default);
    int32_t written = -1;
    const uint8_t one = 0xAB;
    ASSERT_TRUE(writer.WriteBytes(&one, 1, written));
    EXPECT_EQ(written, 1);
    EXPECT_EQ(writer.Capacity(), 1024) << "one byte reserves 1024";
    std::vector<uint8_t> block(1500);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(writer.WriteBytes(block.data(), 1500, written));
    EXPECT_EQ(writer.Count(), 1501);
    EXPECT_EQ(writer.Capacity(), 2048);
    EXPECT_EQ(writer.Bytes()[0], 0xAB);
    EXPECT_EQ(std::memcmp(writer.Bytes() + 1, block.data(), block.size()), 0);
    EXPECT_TRUE(writer.Reserve(2048));
    EXPECT_EQ(writer.Capacity(), 2048);
    EXPECT_TRUE(writer.Reserve(2049));
    EXPECT_EQ(writer.Capacity(), 3072);
    writer.Clear();
    EXPECT_EQ(writer.Count(), 0);
    EXPECT_EQ(writer.Capacity(), 3072) << "Clear keeps the memory";
}

TEST_F(WriteBytesMem, OutOfMemoryKeepsWhatWasWritten)
{
    ZK::WriteBytesMem writer;
    writer.SetMemPool(ZkMemID_Default);
    std::vector<uint8_t> data(1000, 0x5A);
    int32_t written = -1;
    ASSERT_TRUE(writer.WriteBytes(data.data(), 1000, written));
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1, ScopedAllocationFailure::Mode::FromNth);
        EXPECT_FALSE(writer.WriteBytes(data.data(), 100, written));
        EXPECT_EQ(written, 0);
        EXPECT_FALSE(writer.Reserve(5000));
    }
    EXPECT_EQ(writer.Count(), 1000);
    EXPECT_EQ(writer.Capacity(), 1024);
    EXPECT_EQ(writer.Bytes()[999], 0x5A);
}

TEST_F(WriteBytesMem, RefusesWritesWithoutAPoolAndBadLengths)
{
    ZK::WriteBytesMem writer;
    const uint8_t byte = 1;
    int32_t written = -1;
    EXPECT_FALSE(writer.WriteBytes(&byte, 1, written)) << "no pool yet";
    EXPECT_FALSE(writer.Reserve(10));
    writer.SetMemPool(ZkMemID_Default);
    EXPECT_FALSE(writer.WriteBytes(&byte, -1, written));
    EXPECT_FALSE(writer.WriteBytes(nullptr, 4, written));
    ASSERT_TRUE(writer.WriteBytes(&byte, 1, written));
    EXPECT_FALSE(writer.WriteBytes(&byte, std::numeric_limits<int32_t>::max(), written)) << "the count would overflow";
    EXPECT_EQ(writer.Count(), 1);
}

TEST_F(WriteBytesMem, SetCountStaysInsideTheBuffer)
{
    ZK::WriteBytesMem writer;
    writer.SetMemPool(ZkMemID_Default);
    writer.SetCount(3000);
    EXPECT_EQ(writer.Count(), 3000);
    EXPECT_GE(writer.Capacity(), 3000) << "a count beyond the capacity reserves first";
    writer.SetCount(-4);
    EXPECT_EQ(writer.Count(), 3000);
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1);
        writer.SetCount(10000);
    }
    EXPECT_EQ(writer.Count(), 3000) << "a count that cannot be reserved is ignored";
}

TEST_F(WriteBytesMem, DetachHandsTheBufferOverAndSetMemPoolFreesIt)
{
    ZK::WriteBytesMem writer;
    writer.SetMemPool(ZkMemID_Default);
    const char text[] = "bank";
    int32_t written = 0;
    ASSERT_TRUE(writer.WriteBytes(text, 4, written));
    uint8_t* detached = writer.Detach();
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(std::memcmp(detached, "bank", 4), 0);
    EXPECT_EQ(writer.Bytes(), nullptr);
    EXPECT_EQ(writer.Count(), 0);
    EXPECT_EQ(writer.Capacity(), 0);
    ZK::MemoryMgr::Free(ZkMemID_Default, detached);

    ASSERT_TRUE(writer.WriteBytes(text, 4, written));
    writer.SetMemPool(ZkMemID_BankData);
    EXPECT_EQ(writer.Bytes(), nullptr) << "the old pool's buffer is freed, not kept";
    EXPECT_EQ(writer.Count(), 0);
    ASSERT_TRUE(writer.WriteBytes(text, 4, written));
    EXPECT_EQ(writer.MemPool(), ZkMemID_BankData);
}

TEST(WriteBytesBuffer, WritesAllOrNothing)
{
    uint8_t buffer[8] = {};
    ZK::WriteBytesBuffer writer(buffer, 8);
    const uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    int32_t written = -1;
    EXPECT_TRUE(writer.WriteBytes(data, 6, written));
    EXPECT_EQ(written, 6);
    EXPECT_FALSE(writer.WriteBytes(data, 3, written)) << "3 bytes do not fit in the 2 left";
    EXPECT_EQ(written, 0);
    EXPECT_EQ(writer.GetPos(), 6);
    EXPECT_EQ(buffer[6], 0) << "an overflowing write writes nothing";
    EXPECT_TRUE(writer.WriteBytes(data, 2, written));
    EXPECT_FALSE(writer.WriteBytes(data, -1, written));
    writer.Clear();
    EXPECT_EQ(writer.GetPos(), 0);
    ZK::WriteBytesBuffer none;
    EXPECT_FALSE(none.WriteBytes(data, 1, written));
    EXPECT_TRUE(none.WriteBytes(data, 0, written));
}

TEST(WriteBytesCount, CountsWithoutStoring)
{
    ZK::WriteBytesCount counter;
    int32_t written = -1;
    EXPECT_TRUE(counter.WriteBytes(nullptr, 12, written));
    EXPECT_EQ(written, 12);
    EXPECT_TRUE(counter.WriteBytes(nullptr, 30, written));
    EXPECT_EQ(counter.Count(), 42);
    EXPECT_EQ(counter.Bytes(), nullptr);
    EXPECT_EQ(counter.Detach(), nullptr);
    EXPECT_FALSE(counter.Reserve(10));
    EXPECT_FALSE(counter.WriteBytes(nullptr, -1, written));
    counter.Clear();
    EXPECT_EQ(counter.Count(), 0);
}
