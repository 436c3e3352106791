// The markers of consumed input frames move to a stage's output: the window on the voice's marker
// array shrinks, the output's count grows, and a moved marker lies at the start of the output.
#include <ZkAudiolib/Common/Voice/ZkMarkerList.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

struct RemoveRangeCase
{
    const char* name;
    std::vector<uint32_t> positions;
    ZkMarkerWindow window;
    uint32_t start;
    uint32_t frames;
    uint32_t moved;
    std::vector<uint32_t> after;
};

TEST(MarkerList, RemoveRangeMovesTheMarkersOfTheConsumedFrames)
{
    const RemoveRangeCase cases[] = {
        {"a marker at s moves with position 0, one at s + n stays", {100, 164}, {0, 2}, 100, 64, 1, {0, 164}},
        {"markers before the range stay", {10, 120}, {0, 2}, 100, 64, 1, {10, 0}},
        {"only the window is looked at", {120, 130, 140}, {1, 1}, 100, 64, 1, {120, 0, 140}},
        {"an empty window changes nothing", {120}, {0, 0}, 100, 64, 0, {120}},
        {"s + n wraps in 32 bits: nothing is inside", {0xFFFFFFF0u}, {0, 1}, 0xFFFFFF00u, 0x200u, 0, {0xFFFFFFF0u}},
        {"every marker of a whole block", {0, 5, 1023}, {0, 3}, 0, 1024, 3, {0, 0, 0}},
    };
    for (const RemoveRangeCase& c : cases)
    {
        std::vector<ZkPipelineMarker> markers;
        for (uint32_t position : c.positions)
            markers.push_back(ZkPipelineMarker{position, nullptr, 0, 0, 0, 0});
        ZkMarkerWindow window = c.window;
        uint32_t outputCount = 7;
        ZkMarkerList::RemoveRange(markers.data(), window, outputCount, c.start, c.frames);
        EXPECT_EQ(window.first, c.window.first + c.moved) << c.name;
        EXPECT_EQ(window.count, c.window.count - c.moved) << c.name;
        EXPECT_EQ(outputCount, 7 + c.moved) << c.name;
        for (size_t i = 0; i < markers.size(); ++i)
            EXPECT_EQ(markers[i].position, c.after[i]) << c.name << " marker " << i;
    }
}
} // namespace
