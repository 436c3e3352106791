// The position-path player on small playlists: its refusals, vertex timing (0 ms lasts a frame),
// equal vertices, the end of sequential playlists with and without loop, pauses moving the end of
// the vertex, the played flags running out of memory, and the listener cache.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;

class PositionPath : public ZkEngineTest::EngineMemoryTest
{
protected:
    // A path over vertices[first, first + count) with the same range on every axis.
    ZkPositionPathDef Path(uint32_t first, uint32_t count, float range = 0.0f)
    {
        return {m_vertices.data() + first, count, range, range, range};
    }
    // player plays path (alone in its playlist) from frame with offset as its user.
    static void Play(CZkPositionPath& player, ZkPositionPathDef& path, float* offset, uint32_t frame)
    {
        ASSERT_EQ(player.Init(&path, 1, 0, false, nullptr), ZK_Success);
        ASSERT_EQ(player.AddUser(offset), ZK_Success);
        ASSERT_EQ(player.StartVertex(frame), ZK_Success);
    }
    std::vector<ZkPositionVertex> m_vertices;
};

TEST_F(PositionPath, RefusalsAndTheirResults)
{
    m_vertices = {{1, 2, 3, 100}};
    ZkPositionPathDef empty = Path(0, 0);
    CZkPositionPath player;
    EXPECT_EQ(player.StartVertex(0), ZK_Fail) << "no current path before Init";
    ASSERT_EQ(player.Init(&empty, 1, 0, false, nullptr), ZK_Success);
    EXPECT_EQ(player.StartVertex(0), ZK_NoVertex);
    EXPECT_TRUE(player.IsIdle());

    ZkPositionPathDef one = Path(0, 1);
    CZkPositionPath running;
    ASSERT_EQ(running.Init(&one, 1, 0, false, nullptr), ZK_Success);
    ASSERT_EQ(running.StartVertex(0), ZK_Success);
    EXPECT_EQ(running.Init(&one, 1, 0, false, nullptr), ZK_Fail) << "Init while running";

    float offset[3] = {};
    EXPECT_EQ(running.AddUser(offset), ZK_Success);
    EXPECT_EQ(running.AddUser(offset), ZK_AlreadyInList);
    EXPECT_EQ(running.RemoveUser(offset), ZK_Success);
    EXPECT_EQ(running.RemoveUser(offset), ZK_NotInList);
}

TEST_F(PositionPath, PlayedFlagsOutOfMemoryLeaveNoFlags)
{
    m_vertices = {{0, 0, 0, 0}};
    ZkPositionPathDef paths[2] = {Path(0, 1), Path(0, 1)};
    for (uint32_t nth : {1u, 2u}) // the record, then its bytes
    {
        SCOPED_TRACE(nth);
        CZkPositionPath player;
        {
            ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, nth);
            EXPECT_EQ(player.Init(paths, 2, 0, false, nullptr), ZK_Fail);
        }
        EXPECT_EQ(player.PlayedFlags(), nullptr);
    }
}

TEST_F(PositionPath, VertexTimingAndEqualVertices)
{
    struct Row
    {
        const char* name;
        std::vector<ZkPositionVertex> vertices;
        uint32_t framesOfFirst; // at 21 ms a frame
    };
    const Row rows[] = {
        {"0 ms lasts one frame", {{0, 0, 0, 0}, {10, 0, 0, 0}}, 1},
        {"21 ms is one frame", {{0, 0, 0, 21}, {10, 0, 0, 0}}, 1},
        {"22 ms is two", {{0, 0, 0, 22}, {10, 0, 0, 0}}, 2},
        {"1500 ms is 72", {{-1000, 0, 500, 1500}, {1000, 0, 500, 0}}, 72},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        m_vertices = row.vertices;
        ZkPositionPathDef path = Path(0, 2);
        CZkPositionPath player;
        float offset[3] = {};
        Play(player, path, offset, 100);
        EXPECT_EQ(player.VertexEndFrame(), 100 + row.framesOfFirst);
        EXPECT_EQ(offset[0], m_vertices[0].x);
        for (uint32_t frame = 101; frame <= 100 + row.framesOfFirst; ++frame)
            player.Step(frame);
        EXPECT_FLOAT_EQ(offset[0], m_vertices[1].x) << "at the target when the vertex ends";
        EXPECT_FLOAT_EQ(offset[2], m_vertices[1].z);
    }

    // Two equal vertices: one jittered point for the whole duration.
    m_vertices = {{3, 4, 5, 210}, {3, 4, 5, 0}};
    ZkPositionPathDef still = Path(0, 2, 10.0f);
    ZK::ZkLcg64::Engine().Seed(7);
    CZkPositionPath player;
    float offset[3] = {};
    Play(player, still, offset, 0);
    const float start[3] = {offset[0], offset[1], offset[2]};
    EXPECT_NE(start[0], 3.0f) << "jittered";
    for (uint32_t frame = 1; frame < 10; ++frame)
    {
        player.Step(frame);
        EXPECT_EQ(offset[0], start[0]);
        EXPECT_EQ(offset[1], start[1]);
        EXPECT_EQ(offset[2], start[2]);
    }
}

TEST_F(PositionPath, SequentialContinuousPlaylistsEndOrLoop)
{
    m_vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}, {2, 0, 0, 0}};
    ZkPositionPathDef paths[3] = {Path(0, 1), Path(1, 1), Path(2, 1)};
    for (bool loop : {false, true})
    {
        SCOPED_TRACE(loop ? "loop" : "no loop");
        CZkPositionPath player;
        float offset[3] = {};
        ASSERT_EQ(player.Init(paths, 3, CZkPositionPath::kPlaylistContinuous, loop, nullptr), ZK_Success);
        ASSERT_EQ(player.AddUser(offset), ZK_Success);
        ASSERT_EQ(player.StartVertex(0), ZK_Success);
        // Each one-vertex path lasts one frame, then the next path's vertex is the target.
        std::vector<uint16_t> indices;
        for (uint32_t frame = 1; frame <= 6 && !player.IsIdle(); ++frame)
        {
            player.Step(frame);
            indices.push_back(player.CurrentIndex());
        }
        if (loop)
        {
            EXPECT_EQ(indices, (std::vector<uint16_t>{1, 2, 0, 1, 2, 0}));
            EXPECT_FALSE(player.IsIdle());
        }
        else
        {
            EXPECT_EQ(indices, (std::vector<uint16_t>{1, 2, 0}));
            EXPECT_TRUE(player.IsIdle()) << "the playlist ends after the third path";
            EXPECT_EQ(offset[0], 2.0f);
        }
    }
}

TEST_F(PositionPath, APauseMovesTheEndOfTheVertex)
{
    m_vertices = {{0, 0, 0, 210}, {100, 0, 0, 0}};
    ZkPositionPathDef path = Path(0, 2);
    CZkPositionPath player;
    float offset[3] = {};
    Play(player, path, offset, 0);
    for (uint32_t frame = 1; frame <= 4; ++frame)
        player.Step(frame);
    EXPECT_FLOAT_EQ(offset[0], 40.0f);
    player.Pause(4);
    EXPECT_EQ(player.GetState(), uint32_t{CZkPositionPath::State_Paused});
    player.Resume(54);
    EXPECT_EQ(player.VertexEndFrame(), 60u);
    player.Step(55);
    EXPECT_FLOAT_EQ(offset[0], 50.0f) << "it goes on from where it was held";
}

TEST_F(PositionPath, StartingFromASavedStateSharesItsFlags)
{
    m_vertices = {{0, 0, 0, 0}, {1, 0, 0, 0}};
    ZkPositionPathDef paths[2] = {Path(0, 1), Path(1, 1)};
    ZkSavedPathState saved;
    saved.flags = ZkPathPlayedFlags::Create(2);
    saved.index = 1;
    {
        CZkPositionPath player;
        ASSERT_EQ(player.Init(paths, 2, CZkPositionPath::kPlaylistRandom, false, &saved), ZK_Success);
        EXPECT_EQ(player.PlayedFlags(), saved.flags);
        EXPECT_EQ(saved.flags->refCount, 2u);
        EXPECT_EQ(player.CurrentIndex(), 1u);
        float offset[3] = {};
        ASSERT_EQ(player.AddUser(offset), ZK_Success);
        ASSERT_EQ(player.StartVertex(0), ZK_Success);
        EXPECT_EQ(offset[0], 1.0f);
    }
    EXPECT_EQ(saved.flags->refCount, 1u) << "the player's reference goes with it";
    saved.Clear();
}
} // namespace
