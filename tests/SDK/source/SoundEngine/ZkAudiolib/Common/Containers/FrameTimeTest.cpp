#include "ZkAudiolib/Common/Containers/ZkFrameTime.h"

#include <gtest/gtest.h>

TEST(MillisecondsToFrames, RoundsUpToWholeFrames)
{
    struct Case
    {
        int64_t ms;
        uint32_t frameLengthMs;
        uint32_t frames;
    };
    const Case cases[] = {
        {0, 21, 0}, {-50, 21, 0}, {1, 21, 1}, {21, 21, 1}, {22, 21, 2}, {1000, 21, 48},
        {1000, 10, 100}, {5, 0, 5}, // a frame shorter than 1 ms counts as 1 ms
        {int64_t{1} << 40, 1, 0xFFFFFFFFu},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZK::MillisecondsToFrames(c.ms, c.frameLengthMs), c.frames) << c.ms << " ms / " << c.frameLengthMs;
    EXPECT_EQ(ZK::MillisecondsToFrames(42), 2u) << "the default frame is 21 ms";
}
