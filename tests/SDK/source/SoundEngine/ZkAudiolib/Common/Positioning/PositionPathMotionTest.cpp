// Position-path playback against a float32 model of its steps (position_path_model.py, with the
// engine's random generator in Python's unbounded integers): random playlists of 1 to 4 paths of 1
// to 6 vertices, durations of 0 to 500 ms, random ranges, sequential or random, continuous or not,
// looping or not, several plays of one node keeping their saved index and flags, a second user
// joining a running player with its own offset, and pauses of 50 frames.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;

constexpr float kTolerance = 1e-4f;

struct Scenario
{
    uint64_t seed = 0;
    uint32_t frameMs = 0, pathCount = 0, flags = 0, loop = 0, plays = 0, frames = 0;
    uint32_t joinPlay = 0, joinFrame = 0;
    int32_t pausePlay = -1;
    uint32_t pauseFrame = 0, pauseLength = 0, startFrame = 0;
    std::vector<std::vector<ZkPositionVertex>> vertices;
    std::vector<ZkPositionPathDef> paths;
};

bool ReadScenario(std::istream& in, Scenario& s)
{
    if (!(in >> s.seed >> s.frameMs >> s.pathCount >> s.flags >> s.loop >> s.plays >> s.frames >> s.joinPlay >>
          s.joinFrame >> s.pausePlay >> s.pauseFrame >> s.pauseLength >> s.startFrame))
        return false;
    s.vertices.resize(s.pathCount);
    s.paths.resize(s.pathCount);
    for (uint32_t k = 0; k < s.pathCount; ++k)
    {
        uint32_t count = 0;
        ZkPositionPathDef& path = s.paths[k];
        in >> count >> path.rangeX >> path.rangeZ >> path.rangeY;
        s.vertices[k].resize(count);
        for (ZkPositionVertex& v : s.vertices[k])
            in >> v.x >> v.y >> v.z >> v.durationMs;
        path.vertices = s.vertices[k].data();
        path.vertexCount = count;
    }
    return static_cast<bool>(in);
}

// The audio format whose frame lasts frameMs (48 kHz), restored to the default at the end.
class FrameLength
{
public:
    explicit FrameLength(uint32_t frameMs) { SetAudioFormatGlobals(48000, static_cast<uint16_t>(48 * frameMs)); }
    ~FrameLength() { SetAudioFormatGlobals(48000, 1024); }
};

class PositionPathMotion : public ZkEngineTest::EngineMemoryTest
{
};

TEST_F(PositionPathMotion, EveryFrameFollowsTheModel)
{
    std::istringstream model(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Positioning/position_path_model.py\" 2027 60"));
    uint32_t scenarios = 0;
    Scenario s;
    while (ReadScenario(model, s))
    {
        SCOPED_TRACE("scenario " + std::to_string(scenarios) + ": seed " + std::to_string(s.seed) + ", flags " +
                     std::to_string(s.flags) + ", loop " + std::to_string(s.loop));
        ASSERT_EQ(s.frameMs * 48 < 65536, true);
        FrameLength frameLength(s.frameMs);
        ZK::ZkLcg64::Engine().Seed(s.seed);
        CZkSharedItemArray array;
        array.Clear();
        ASSERT_EQ(array.Init(0), ZK_Success);
        array.ForEachActive(s.startFrame); // the current frame, no player yet
        ZkSavedPathState saved;
        for (uint32_t play = 0; play < s.plays; ++play)
        {
            CZkPositionPath* player = array.Create();
            ASSERT_NE(player, nullptr);
            ASSERT_EQ(array.Forward(player, s.paths.data(), s.pathCount, static_cast<uint8_t>(s.flags), s.loop != 0, &saved),
                      ZK_Success);
            float first[3] = {};
            float second[3] = {};
            ASSERT_EQ(array.AddUser(player, first), ZK_Success);
            ASSERT_EQ(array.Start(player, &saved), ZK_Success);
            for (uint32_t frame = 1; frame <= s.frames; ++frame)
            {
                if (play == s.joinPlay && frame == s.joinFrame)
                {
                    second[0] = 5.0f;
                    second[1] = -3.0f;
                    second[2] = 2.0f;
                    ASSERT_EQ(array.AddUser(player, second), ZK_Success);
                }
                if (static_cast<int32_t>(play) == s.pausePlay && frame == s.pauseFrame &&
                    array.Pause(player) == ZK_Success)
                {
                    for (uint32_t held = 0; held < s.pauseLength; ++held)
                        array.ForEachActive(array.CurrentFrame() + 1);
                    ASSERT_EQ(array.Resume(player), ZK_Success);
                }
                array.ForEachActive(array.CurrentFrame() + 1);
                float expected[6];
                for (float& value : expected)
                    ASSERT_TRUE(model >> value);
                const float got[6] = {first[0], first[1], first[2], second[0], second[1], second[2]};
                for (int axis = 0; axis < 6; ++axis)
                    ASSERT_NEAR(got[axis], expected[axis], kTolerance) << "play " << play << " frame " << frame << " value " << axis;
            }
            EXPECT_EQ(array.RemoveUser(player, first), ZK_Success);
            if (play == s.joinPlay)
            {
                EXPECT_EQ(array.RemoveUser(player, second), ZK_Success);
            }
            EXPECT_EQ(array.Count(), 0u) << "the player goes with its last user";
        }
        saved.Clear();
        array.Term();
        ++scenarios;
    }
    EXPECT_EQ(scenarios, 60u) << "the model did not answer";
}
} // namespace
