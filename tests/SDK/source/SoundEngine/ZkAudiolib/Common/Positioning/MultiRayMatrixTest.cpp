// The matrix of a voice heard along several rays: the even spread of a listener without
// spatialization (k and k / L), the LFE, the listener's volume offsets by speaker rank (a mask with
// more speakers than offsets stored), and the combination of the rays (one ray, the sum of mode 1,
// the loudest coefficient otherwise).
#include "ZkAudiolib/Common/Panning/SpeakerMasks.h"
#include "ZkAudiolib/Common/Panning/ZkSpeakerPan.h"
#include "ZkAudiolib/Common/Parameters/ZkFastMath.h"
#include "ZkAudiolib/Common/Positioning/CZkPositioningMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr ZkChannelConfig kMono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
constexpr ZkChannelConfig kStereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
constexpr ZkChannelConfig k51 = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);

struct MultiRayRun
{
    std::vector<float> matrix;
    ZKRESULT result;
};

MultiRayRun ComputeMatrix(const ZkMultiRayRequest& request, ZkChannelConfig output, const float* previous = nullptr)
{
    MultiRayRun run;
    run.matrix.assign(size_t{request.input.NumChannels()} * ZkSpeakerMasks::RowStride(output.NumChannels()), -7.0f);
    std::vector<float> scratch(CZkPositioningMath::MultiRayScratchFloats(request.rayCount, request.input, output), -9.0f);
    ZkMixMatrixTarget target;
    target.output = output;
    target.matrix = run.matrix.data();
    target.previous = previous;
    run.result = CZkPositioningMath::ComputeMultiRayMixMatrix(request, target, scratch.data());
    return run;
}

float At(const std::vector<float>& matrix, ZkChannelConfig output, uint32_t row, uint32_t column)
{
    return matrix[row * ZkSpeakerMasks::RowStride(output.NumChannels()) + column];
}

TEST(MultiRayMatrix, AListenerWithoutSpatializationHearsEveryChannelEvenly)
{
    const float gain[1] = {0.8f};
    const struct
    {
        ZkChannelConfig input;
        ZkChannelConfig output;
        float perSpeaker; // k / L
        uint32_t speakers;
    } cases[] = {
        {kMono, kStereo, 0.5f, 2},                           // k = 1, L = 2
        {kStereo, k51, 1.0f / std::sqrt(2.0f) / 5.0f, 5},    // the LFE aside
        {k51, kStereo, 1.0f / std::sqrt(6.0f) / 2.0f, 2},
        {k51, k51, 1.0f / std::sqrt(6.0f) / 5.0f, 5},
    };
    for (const auto& c : cases)
    {
        ZkMultiRayRequest request;
        request.input = c.input;
        request.gains = gain;
        request.rayCount = 1;
        request.listener.spatialized = false;
        const MultiRayRun run = ComputeMatrix(request, c.output);
        ASSERT_EQ(run.result, ZK_Success);
        for (uint32_t row = 0; row < c.input.NumChannels(); ++row)
        {
            for (uint32_t column = 0; column < c.output.NumChannels(); ++column)
            {
                float expected = column < c.speakers ? c.perSpeaker * 0.8f : 0.0f;
                if (c.input.HasLfe() && c.output.HasLfe() && row + 1 == c.input.NumChannels() &&
                    column + 1 == c.output.NumChannels())
                    expected = 0.8f; // the LFE reaches the LFE whole
                EXPECT_NEAR(At(run.matrix, c.output, row, column), expected, 1e-6f)
                    << c.input.NumChannels() << " onto " << c.output.NumChannels() << ", row " << row << ", column "
                    << column;
            }
        }
    }
    // An output that is not a speaker layout: every channel feeds its first output with k.
    ZkMultiRayRequest request;
    request.input = kStereo;
    request.gains = gain;
    request.rayCount = 1;
    request.listener.spatialized = false;
    const ZkChannelConfig ambisonic(4u | (ZkChannelConfigType_Ambisonic << 8));
    const MultiRayRun run = ComputeMatrix(request, ambisonic);
    EXPECT_NEAR(At(run.matrix, ambisonic, 1, 0), 0.8f / std::sqrt(2.0f), 1e-6f);
    EXPECT_EQ(At(run.matrix, ambisonic, 1, 1), 0.0f);
}

TEST(MultiRayMatrix, RaysCombineBySumOrByTheLoudestCoefficient)
{
    const float gains[3] = {0.2f, 0.9f, 0.5f};
    ZkMultiRayRequest request;
    request.input = kMono;
    request.gains = gains;
    request.rayCount = 3;
    request.listener.spatialized = false;
    EXPECT_NEAR(At(ComputeMatrix(request, kStereo).matrix, kStereo, 0, 1), 0.5f * 0.9f, 1e-6f) << "the loudest ray";
    request.multiPositionMode = 1;
    EXPECT_NEAR(At(ComputeMatrix(request, kStereo).matrix, kStereo, 0, 1), 0.5f * 1.6f, 1e-6f) << "mode 1 adds";
    request.rayCount = 0;
    EXPECT_EQ(ComputeMatrix(request, kStereo).result, ZK_InvalidParameter);

    // Spatialized and planar: several rays take the 2-D matrix; one ray keeps the previous one.
    request.listener.spatialized = true;
    request.multiPositionMode = 0;
    request.rayCount = 2;
    request.pan.panX = 0.3f;
    std::vector<float> planar(size_t{ZkSpeakerMasks::RowStride(6)}, 0.0f);
    CZkSpeakerPan::ComputeSpeakerVolumes(0.3f, 0.0f, 0.0f, 0.0f, 0, kMono, k51, planar.data(), nullptr);
    const MultiRayRun two = ComputeMatrix(request, k51);
    for (uint32_t column = 0; column < 6; ++column)
        EXPECT_NEAR(two.matrix[column], planar[column] * 0.9f, 1e-6f) << column;
    request.rayCount = 1;
    const std::vector<float> previous = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.0f, 0.0f};
    const MultiRayRun kept = ComputeMatrix(request, k51, previous.data());
    for (uint32_t column = 0; column < 6; ++column)
        EXPECT_NEAR(kept.matrix[column], previous[column] * 0.2f, 1e-6f) << column;
}

// The listener's offsets are indexed by a speaker's rank among its configuration's speakers, but
// only as many offsets as the configuration counts channels are stored: a count of 2 with a 5.1
// mask stores two, and every speaker ranked beyond them is at 0 dB. The offsets live in a heap
// block of exactly two floats, so a read past them is caught by the address sanitizer.
TEST(MultiRayMatrix, ListenerOffsetsBeyondTheStoredCountAreZeroDecibels)
{
    const std::vector<float> offsets = {ZkFastPow10(-6.0f * kDecibelsToPow10), ZkFastPow10(0.0f)};
    ZkListenerView listener;
    listener.config = ZkChannelConfig((k51.word & ~0xFFu) | 2u);
    listener.offsetGains = offsets.data();
    float gains[8] = {};
    CZkPositioningMath::ListenerOffsetGains(listener, k51, gains);
    const float expected[6] = {offsets[0], offsets[1], 1.0f, 1.0f, 1.0f, 1.0f};
    for (uint32_t column = 0; column < 6; ++column)
        EXPECT_EQ(gains[column], expected[column]) << column;

    // A stereo listener with offsets {-6, 0} dB onto a 5.1 output: FL and FR take theirs.
    listener.config = kStereo;
    CZkPositioningMath::ListenerOffsetGains(listener, k51, gains);
    EXPECT_EQ(gains[0], offsets[0]);
    EXPECT_NEAR(gains[1], 0.99904f, 1e-5f) << "ZkFastPow10(0)";
    EXPECT_EQ(gains[2], 1.0f) << "FC: not the listener's";

    // In the matrix (three-dimensional, no device: only the LFE is panned), the offsets multiply
    // every row; the LFE is ranked beyond the two stored offsets and stays whole.
    const float rayGain[1] = {1.0f};
    ZkMultiRayRequest request;
    request.input = k51;
    request.gains = rayGain;
    request.rayCount = 1;
    request.pan.pan3D = true;
    request.listener = listener;
    request.listener.config = ZkChannelConfig((k51.word & ~0xFFu) | 2u);
    const MultiRayRun run = ComputeMatrix(request, k51);
    EXPECT_EQ(At(run.matrix, k51, 5, 5), 1.0f);
    EXPECT_EQ(At(run.matrix, k51, 0, 0), 0.0f);
}
} // namespace

namespace
{
// Overlapping positions of one emitter share their power: each item's direction (its position made
// unit, zero at the listener), its spread as width and its gain as weight, both at least 0.1, go to
// the point-overlap normalisation, and each matrix is scaled by its point's share.
TEST(ListenerVoiceGains, OverlappingPositionsShareTheirPower)
{
    struct Item
    {
        ZkVector position;
        float spread;
        float gain;
    };
    struct Case
    {
        const char* what;
        Item items[2];
        float shares[2];
    } cases[] = {
        {"one direction at two distances: halves", {{{0, 0, 5}, 0.5f, 1.0f}, {{0, 0, 2}, 0.5f, 1.0f}}, {0.5f, 0.5f}},
        {"opposite, spreads 0 taken as 0.1: each keeps all", {{{0, 0, 3}, 0.0f, 1.0f}, {{0, 0, -1}, 0.0f, 1.0f}},
         {1.0f, 1.0f}},
        // weights 0.1 (from 0.05) and 2: 0.01 x 0.5 / (0.01 x 0.5 + 4 x 0.5) and 2 / 2.005
        {"a faint gain taken as 0.1", {{{1, 0, 0}, 0.5f, 0.05f}, {{2, 0, 0}, 0.5f, 2.0f}},
         {0.005f / 2.005f, 2.0f / 2.005f}},
        // at the listener the direction is zero: overlap (0 + 1 + 1 - 1) / 2 with the other point,
        // each point covering itself whole: 0.5 / (0.5 + 0.5 x 0.5) for both
        {"one at the listener", {{{0, 0, 0}, 0.5f, 1.0f}, {{0, 0, 4}, 0.5f, 1.0f}}, {0.5f / 0.75f, 0.5f / 0.75f}},
    };
    for (const Case& c : cases)
    {
        ZkPositioningRay items[2];
        float gains[2];
        std::vector<float> first(8, 2.0f);
        std::vector<float> second(8, 3.0f);
        float* matrices[2] = {first.data(), second.data()};
        for (uint32_t i = 0; i < 2; ++i)
        {
            items[i].position = c.items[i].position;
            items[i].spread = c.items[i].spread;
            gains[i] = c.items[i].gain;
        }
        CZkPositioningMath::ApplyListenerVoiceGains(2, items, gains, matrices, 8);
        for (uint32_t k = 0; k < 8; ++k)
        {
            EXPECT_NEAR(first[k], 2.0f * c.shares[0], 1e-5f) << c.what;
            EXPECT_NEAR(second[k], 3.0f * c.shares[1], 1e-5f) << c.what;
        }
    }
    // A position without a matrix (its entry could not be made) is left out of the scaling only.
    ZkPositioningRay items[2];
    items[0].position = {0, 0, 1};
    items[1].position = {0, 0, 1};
    items[0].spread = items[1].spread = 0.5f;
    const float gains[2] = {1.0f, 1.0f};
    std::vector<float> only(4, 1.0f);
    float* matrices[2] = {nullptr, only.data()};
    CZkPositioningMath::ApplyListenerVoiceGains(2, items, gains, matrices, 4);
    EXPECT_NEAR(only[0], 0.5f, 1e-6f) << "the other position still takes its half";
}
} // namespace

namespace
{
// One ray handed to a destination that positions its objects itself: the input's channels go
// straight through, scaled by the ray's gain, and the ray's place, spread and focus are stored for
// the destination.
TEST(AmbisonicMatrixScaled, DirectAssignmentTimesTheGainAndTheRaysPlacement)
{
    ZkPositioningRay item;
    item.position = {1.0f, 2.0f, 3.0f};
    item.spread = 0.25f;
    item.focus = 0.75f;
    const ZkChannelConfig objects(2u | (ZkChannelConfigType_Objects << 8));
    std::vector<float> matrix(2 * ZkSpeakerMasks::RowStride(2), -7.0f);
    ZkObjectPlacement placement;
    CZkPositioningMath::ComputeAmbisonicMatrixScaled(0.5f, item, kStereo, objects, matrix.data(), &placement);
    const float expected[2][4] = {{0.5f, 0.0f, 0.0f, 0.0f}, {0.0f, 0.5f, 0.0f, 0.0f}};
    for (uint32_t row = 0; row < 2; ++row)
        for (uint32_t column = 0; column < 4; ++column)
            EXPECT_EQ(matrix[row * 4 + column], expected[row][column]) << row << ", " << column;
    EXPECT_EQ(placement.position.y, 2.0f);
    EXPECT_EQ(placement.spread, 0.25f);
    EXPECT_EQ(placement.focus, 0.75f);
}
} // namespace
