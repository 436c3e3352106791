// The byte readers: whole reads, short reads at the end, skipping, and refused requests.
#include <ZK/SoundEngine/Common/ZkBytes.h>

#include <gtest/gtest.h>

#include <array>
#include <vector>

TEST(ReadBytesMem, ReadsThenReportsAShortReadAndThenNothing)
{
    const std::array<uint8_t, 10> data = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ZK::ReadBytesMem reader(data.data(), static_cast<int32_t>(data.size()));
    std::array<uint8_t, 8> out{};
    int32_t read = -1;
    EXPECT_TRUE(reader.ReadBytes(out.data(), 6, read));
    EXPECT_EQ(read, 6);
    EXPECT_EQ(out[5], 5);
    EXPECT_FALSE(reader.ReadBytes(out.data(), 8, read)) << "only 4 bytes remain";
    EXPECT_EQ(read, 4);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 4), (std::vector<uint8_t>{6, 7, 8, 9}));
    EXPECT_EQ(reader.Count(), 10);
    EXPECT_FALSE(reader.ReadBytes(out.data(), 1, read));
    EXPECT_EQ(read, 0) << "the position never passes the end";
    EXPECT_TRUE(reader.ReadBytes(out.data(), 0, read)) << "nothing asked, nothing missing";
}

TEST(ReadBytesMem, RefusesWithoutDataAndForNegativeRequests)
{
    ZK::ReadBytesMem empty;
    uint8_t out[4] = {};
    int32_t read = -1;
    EXPECT_FALSE(empty.ReadBytes(out, 4, read));
    EXPECT_EQ(read, 0);

    const uint8_t data[4] = {1, 2, 3, 4};
    ZK::ReadBytesMem reader(data, 4);
    EXPECT_FALSE(reader.ReadBytes(out, -2, read));
    EXPECT_EQ(read, 0);
    EXPECT_EQ(reader.Count(), 0) << "a negative request moves nothing";

    ZK::ReadBytesMem negativeSize(data, -5);
    EXPECT_FALSE(negativeSize.ReadBytes(out, 1, read));
    EXPECT_EQ(read, 0);

    reader.Attach(data + 2, 2);
    EXPECT_TRUE(reader.ReadBytes(out, 2, read));
    EXPECT_EQ(out[0], 3) << "Attach starts over at the new data";
}

TEST(ReadBytesSkip, MovesLikeTheReaderWithoutCopying)
{
    const uint8_t data[5] = {1, 2, 3, 4, 5};
    ZK::ReadBytesSkip skipper(data, 5);
    int32_t read = -1;
    EXPECT_TRUE(skipper.ReadBytes(nullptr, 3, read));
    EXPECT_EQ(read, 3);
    EXPECT_FALSE(skipper.ReadBytes(nullptr, 3, read));
    EXPECT_EQ(read, 2);
    EXPECT_EQ(skipper.Count(), 5);
    ZK::ReadBytesSkip empty;
    EXPECT_FALSE(empty.ReadBytes(nullptr, 1, read));
}
