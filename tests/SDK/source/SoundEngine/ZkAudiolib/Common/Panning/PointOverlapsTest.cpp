// Gains of overlapping points: coincident points share their power, points apart keep theirs, and
// points of width 0 give finite gains.
#include <ZkAudiolib/Common/Panning/ZkSpeakerPan.h>

#include <ZK/SoundEngine/Common/ZkPositionTypes.h>

#include <gtest/gtest.h>

#include <cmath>

namespace
{
struct OverlapCase
{
    const char* what;
    uint32_t count;
    ZkVector directions[3];
    float widths[3];
    float weights[3];
    float gains[3];
};

TEST(PointOverlaps, GainsOfCoincidentSeparateAndPartlyOverlappingPoints)
{
    const OverlapCase cases[] = {
        {"coincident, equal widths: halves", 2, {{0, 0, 1}, {0, 0, 1}}, {0.5f, 0.5f}, {1, 1}, {0.5f, 0.5f}},
        {"opposite, narrow: each keeps all", 2, {{0, 0, 1}, {0, 0, -1}}, {0.1f, 0.1f}, {1, 1}, {1.0f, 1.0f}},
        // overlap (0 + 0.6 + 0.6 - 1) / 1.2 = 1/6: 0.3 / (0.3 + 0.3 / 6)
        {"orthogonal, width 0.3", 2, {{1, 0, 0}, {0, 0, 1}}, {0.3f, 0.3f}, {1, 1}, {0.857142857f, 0.857142857f}},
        // weights enter squared: 4 x 0.5 / (4 x 0.5 + 0.5) and 0.5 / 2.5
        {"coincident, weights 2 and 1", 2, {{0, 1, 0}, {0, 1, 0}}, {0.5f, 0.5f}, {2, 1}, {0.8f, 0.2f}},
        // Width 0 makes the quotient's denominator 4 min(wi, wj) vanish: coincident points of
        // width 0 overlap fully, others not at all; a point whose sum is 0 gets 0.
        {"width 0, coincident", 3, {{0, 0, 1}, {0, 0, 1}, {1, 0, 0}}, {0.0f, 0.0f, 0.5f}, {1, 1, 1}, {0.0f, 0.0f, 1.0f}},
        {"every width 0", 2, {{0, 0, 1}, {0, 0, 1}}, {0.0f, 0.0f}, {1, 1}, {0.0f, 0.0f}},
        {"zero directions of width 0", 2, {{0, 0, 0}, {0, 0, 0}}, {0.0f, 0.2f}, {1, 1}, {0.0f, 1.0f}},
    };
    for (const OverlapCase& c : cases)
    {
        float gains[3] = {-1.0f, -1.0f, -1.0f};
        CZkSpeakerPan::NormalizePointOverlaps(c.count, c.directions, c.widths, c.weights, gains);
        for (uint32_t i = 0; i < c.count; ++i)
        {
            ASSERT_TRUE(std::isfinite(gains[i])) << c.what << ": point " << i;
            EXPECT_NEAR(gains[i], c.gains[i], 1e-6f) << c.what << ": point " << i;
        }
    }
}
} // namespace
