// The two ADPCM block decoders on hand-computed vectors: the step table's extremes and its index
// limits, the predictive table's first and last states, clipping at both ends, state saturation,
// out-of-range header values, and a block of one sample.
#include "ZkAudiolib/Common/Sources/ZkAdpcmBlocks.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

// A channel block: the header bytes, then codes packed low nibble first.
std::array<uint8_t, 36> Block(std::vector<uint8_t> header, const std::vector<uint8_t>& codes)
{
    std::array<uint8_t, 36> block{};
    const size_t codesAt = header.size();
    for (size_t i = 0; i < header.size(); ++i)
        block[i] = header[i];
    for (size_t n = 0; n < codes.size(); ++n)
        block[codesAt + n / 2] |= static_cast<uint8_t>(codes[n] << (4 * (n & 1)));
    return block;
}

std::vector<uint8_t> Sample(int16_t value)
{
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF)};
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(AdpcmBlocks, StepTableCodesMoveThePredictorAndTheIndex)
{
    struct Case
    {
        const char* name;
        int16_t first;
        uint8_t index;
        std::vector<uint8_t> codes;
        std::vector<int16_t> expected; // the first samples of the block
    } cases[] = {
        // step 7: 15 x 7 / 8 = 13; index 8 (step 16): -(1 x 16 / 8); index 7 (step 14): 15 x 14 / 8 = 26.
        {"up, down, up", 0, 0, {7, 8, 7}, {0, 13, 11, 37}},
        // An index above 88 is taken as 88 (step 32767): clipped at both ends.
        {"index 200, clipped", 0, 200, {7, 15}, {0, 32767, 32767 - 61438}},
        {"clipped below", -32000, 88, {15}, {-32000, -32768}},
        // Code 0 at index 0: + 7 / 8 = 0, and the index stays at 0.
        {"the smallest step", 5, 0, {0, 0, 4}, {5, 5, 5, 5 + 9 * 7 / 8}},
    };
    for (const Case& c : cases)
    {
        const auto block = Block(Concat(Sample(c.first), {c.index, 0}), c.codes);
        std::array<int16_t, 64> out{};
        ZkAdpcmBlocks::DecodeStepTable(block.data(), out.data(), 1);
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(out[i], c.expected[i]) << c.name << " sample " << i;
    }
}

TEST(AdpcmBlocks, PredictiveCodesFollowTheStateTable)
{
    struct Case
    {
        const char* name;
        int16_t first, second;
        uint8_t state;
        std::vector<uint8_t> codes;
        std::vector<int16_t> expected;
    } cases[] = {
        {"state 0, code 0", 0, 0, 0, {0}, {0, 0, -14}},
        {"state 0, codes 7 and 8 add nothing", 100, 200, 0, {7, 8}, {100, 200, 300, 400}},
        // 15 at state 0: +14, state 2; 15 at 2: +56, state 4; 0 at 4: -224, state 6.
        {"state 0 climbing", 0, 0, 0, {15, 15, 0}, {0, 0, 14, 84, -70}},
        // State 11 stays 11 after code 0: -28672 twice, clipped.
        {"state 11 saturates and clips below", 0, 0, 11, {0, 0}, {0, 0, -28672, -32768}},
        {"state 11 clips above", 0, 10000, 11, {15}, {0, 10000, 32767}},
        // Code 7 at state 11: -1024, state 10; code 8 at state 10: +512.
        {"state 11, codes 7 and 8", 0, 0, 11, {7, 8}, {0, 0, -1024, -2048 + 512}},
        {"a state above 11 is taken as 11", 0, 0, 200, {15}, {0, 0, 28672}},
    };
    for (const Case& c : cases)
    {
        const auto block = Block(Concat(Concat(Sample(c.first), Sample(c.second)), {c.state}), c.codes);
        std::array<int16_t, 64> out{};
        ZkAdpcmBlocks::DecodePredictive(block.data(), out.data(), 1);
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_EQ(out[i], c.expected[i]) << c.name << " sample " << i;
    }
}

TEST(AdpcmBlocks, BlocksOf64AndOfOneSampleFillOnlyTheirPlaces)
{
    const auto block = Block(Concat(Concat(Sample(-7), Sample(9)), {3}), std::vector<uint8_t>(62, 9));
    std::array<int16_t, 130> out{};
    out.fill(0x5555);
    ZkAdpcmBlocks::DecodePredictive(block.data(), out.data(), 1, 1);
    EXPECT_EQ(out[0], -7);
    EXPECT_EQ(out[1], 0x5555) << "a block of one sample writes one";
    // Interleaved in two channels: every other place, 64 of them, nothing past.
    out.fill(0x5555);
    ZkAdpcmBlocks::DecodeStepTable(block.data(), out.data() + 1, 2);
    ZkAdpcmBlocks::DecodePredictive(block.data(), out.data(), 2);
    EXPECT_EQ(out[0], -7);
    EXPECT_EQ(out[1], -7);
    EXPECT_EQ(out[2], 9);
    EXPECT_NE(out[127], 0x5555);
    EXPECT_EQ(out[128], 0x5555);
}
} // namespace
