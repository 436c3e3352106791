// Variable-length numbers of bank bodies: known encodings both ways, and bounded reading of bad
// bytes.
#include "ZkAudiolib/Common/Containers/ZkVarUint.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Encoding
{
    uint32_t value;
    std::vector<uint8_t> bytes;
};

const Encoding kEncodings[] = {
    {0, {0x00}},
    {1, {0x01}},
    {127, {0x7F}},
    {128, {0x81, 0x00}},
    {300, {0x82, 0x2C}},
    {16383, {0xFF, 0x7F}},
    {16384, {0x81, 0x80, 0x00}},
    {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
    {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
};
} // namespace

TEST(VarUint, KnownEncodingsReadAndWrite)
{
    for (const Encoding& encoding : kEncodings)
    {
        uint8_t written[ZK::kVarUintMaxBytes] = {};
        const size_t length = ZK::WriteVarUint(encoding.value, written);
        EXPECT_EQ(std::vector<uint8_t>(written, written + length), encoding.bytes) << encoding.value;

        std::vector<uint8_t> stream = encoding.bytes;
        stream.push_back(0xEE); // the byte after the number stays unread
        const uint8_t* cursor = stream.data();
        uint32_t value = 0;
        ASSERT_TRUE(ZK::ReadVarUint(cursor, stream.data() + stream.size(), value)) << encoding.value;
        EXPECT_EQ(value, encoding.value);
        EXPECT_EQ(cursor, stream.data() + encoding.bytes.size());
    }
}

TEST(VarUint, RefusesTruncatedAndOversizedNumbersWithoutMoving)
{
    const std::vector<std::vector<uint8_t>> bad = {
        {},                                 // nothing to read
        {0x81},                             // continuation bit on the last byte available
        {0xFF, 0xFF, 0xFF},                 // cut short
        {0x90, 0x80, 0x80, 0x80, 0x00},     // needs 33 bits
        {0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, // more than five bytes
    };
    for (const auto& bytes : bad)
    {
        const uint8_t* cursor = bytes.data();
        uint32_t value = 1234;
        EXPECT_FALSE(ZK::ReadVarUint(cursor, bytes.data() + bytes.size(), value)) << bytes.size();
        EXPECT_EQ(cursor, bytes.data());
        EXPECT_EQ(value, 1234u);
    }
}
