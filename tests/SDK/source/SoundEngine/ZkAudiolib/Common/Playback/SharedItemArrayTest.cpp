// The shared position-path players: the array's maximum (the 256th player of an array initialised
// with 0), results of every operation on absent players and users, players living while they have
// a user or an extra reference, pause and resume at the current frame, the start of a play with
// the node's saved state (one path per play), and the listener cache kept from the registry.
#include "PlaybackFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

namespace
{
using namespace ZK::SoundEngine;

// t = frame x (1 / frames) - start / frames in float32 loses a few units in the last place at
// frame 1000.
constexpr float kNear = 1e-3f;

class SharedItemArray : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        ZkEngineTest::EngineMemoryTest::SetUp();
        m_array.Clear();
        ASSERT_EQ(m_array.Init(0), ZK_Success);
    }
    void TearDown() override
    {
        m_array.Term();
        ZkEngineTest::EngineMemoryTest::TearDown();
    }
    // A two-vertex path from x = 0 to x = 100 in 10 frames of 21 ms, as a playlist of count paths.
    CZkPositionPath* Player(uint8_t playlist = 0, uint32_t count = 1, ZkSavedPathState* saved = nullptr)
    {
        CZkPositionPath* player = m_array.Create();
        EXPECT_NE(player, nullptr);
        if (player != nullptr)
        {
            EXPECT_EQ(m_array.Forward(player, m_paths, count, playlist, false, saved), ZK_Success);
        }
        return player;
    }
    CZkSharedItemArray m_array;
    ZkPositionVertex m_vertices[2] = {{0, 0, 0, 210}, {100, 0, 0, 0}};
    ZkPositionPathDef m_paths[3] = {{m_vertices, 2, 0, 0, 0}, {m_vertices, 2, 0, 0, 0}, {m_vertices, 2, 0, 0, 0}};
};

TEST_F(SharedItemArray, The256thPlayerOfADefaultArrayIsRefused)
{
    EXPECT_EQ(m_array.MaxPlayers(), 255u);
    for (uint32_t n = 0; n < 255; ++n)
        ASSERT_NE(m_array.Create(), nullptr) << n;
    EXPECT_EQ(m_array.Create(), nullptr);
    EXPECT_EQ(m_array.Count(), 255u);
    m_array.Term(); // frees every player
    ASSERT_EQ(m_array.Init(2), ZK_Success);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(CZkPositionPath::kPool, 1);
        EXPECT_EQ(m_array.Create(), nullptr) << "out of memory";
    }
    EXPECT_EQ(m_array.Count(), 0u);
}

TEST_F(SharedItemArray, ResultsOfAbsentPlayersAndUsers)
{
    CZkPositionPath* player = Player();
    CZkPositionPath stranger;
    float a[3] = {};
    float b[3] = {};
    EXPECT_EQ(m_array.Destroy(&stranger), ZK_ItemNotFound);
    EXPECT_EQ(m_array.AddUser(&stranger, a), ZK_Fail);
    EXPECT_EQ(m_array.RemoveUser(&stranger, a), ZK_Success) << "1 for a player not in the array";
    EXPECT_EQ(m_array.AddRef(&stranger), ZK_Fail);
    EXPECT_EQ(m_array.Forward(&stranger, m_paths, 1, 0, false, nullptr), ZK_Fail);
    EXPECT_EQ(m_array.Pause(player), ZK_NotPlaying);
    EXPECT_EQ(m_array.Resume(player), ZK_NotPaused);
    ASSERT_EQ(m_array.AddUser(player, a), ZK_Success);
    EXPECT_EQ(m_array.AddUser(player, a), ZK_AlreadyInList);
    EXPECT_EQ(m_array.RemoveUser(player, b), ZK_NotInList);
    EXPECT_EQ(m_array.Count(), 1u);
}

TEST_F(SharedItemArray, APlayerLivesWhileItHasAUserOrAnExtraReference)
{
    float a[3] = {};
    float b[3] = {};
    CZkPositionPath* player = Player();
    ASSERT_EQ(m_array.AddUser(player, a), ZK_Success);
    ASSERT_EQ(m_array.AddUser(player, b), ZK_Success);
    ASSERT_EQ(m_array.AddRef(player), ZK_Success);
    EXPECT_EQ(m_array.RemoveUser(player, a), ZK_Success);
    EXPECT_EQ(m_array.RemoveUser(player, b), ZK_Success);
    EXPECT_EQ(m_array.Count(), 1u) << "the extra reference holds it past its last user";
    EXPECT_EQ(m_array.Release(player), ZK_Success);
    EXPECT_EQ(m_array.Count(), 0u);

    CZkPositionPath* held = Player();
    ASSERT_EQ(m_array.AddRef(held), ZK_Success);
    ASSERT_EQ(m_array.AddUser(held, a), ZK_Success);
    EXPECT_EQ(m_array.Release(held), ZK_Success);
    EXPECT_EQ(m_array.Count(), 1u) << "a user is left";
    EXPECT_EQ(m_array.RemoveUser(held, a), ZK_Success);
    EXPECT_EQ(m_array.Count(), 0u);
}

TEST_F(SharedItemArray, PlaysPauseAndJoinAtTheArraysFrame)
{
    m_array.ForEachActive(1000);
    CZkPositionPath* player = Player();
    float a[3] = {};
    ASSERT_EQ(m_array.AddUser(player, a), ZK_Success);
    ASSERT_EQ(m_array.Start(player, nullptr), ZK_Success);
    EXPECT_EQ(player->VertexStartFrame(), 1000u);
    EXPECT_EQ(m_array.Start(player, nullptr), ZK_Fail) << "not idle";
    m_array.ForEachActive(1003);
    EXPECT_NEAR(a[0], 30.0f, kNear);
    ASSERT_EQ(m_array.Pause(player), ZK_Success);
    for (uint32_t frame = 1004; frame < 1054; ++frame)
        m_array.ForEachActive(frame);
    EXPECT_NEAR(a[0], 30.0f, kNear) << "a paused player is not stepped";
    m_array.ForEachActive(1053);
    ASSERT_EQ(m_array.Resume(player), ZK_Success);
    EXPECT_EQ(player->VertexEndFrame(), 1060u) << "50 frames later";

    // A user joining a running player takes its position on top of its own offset, stepped to the
    // next frame.
    float b[3] = {1.0f, 2.0f, 3.0f};
    ASSERT_EQ(m_array.AddUser(player, b), ZK_Success);
    EXPECT_NEAR(a[0], 40.0f, kNear);
    EXPECT_NEAR(b[0], 41.0f, kNear);
    EXPECT_FLOAT_EQ(b[1], 2.0f);
    m_array.ForEachActive(1060);
    EXPECT_NEAR(a[0], 100.0f, kNear);
    EXPECT_NEAR(b[0], 101.0f, kNear);
    EXPECT_TRUE(player->IsIdle()) << "one path per play";

    // A started player given a new play moves its users to its start again.
    EXPECT_EQ(m_array.Start(player, nullptr), ZK_Fail);
    EXPECT_NEAR(a[0], 200.0f, kNear) << "+ its start position, the last vertex reached";
}

TEST_F(SharedItemArray, ConsecutivePlaysOfANodeTakeConsecutivePaths)
{
    struct Row
    {
        const char* name;
        uint8_t playlist;
        std::vector<uint16_t> pathsPlayed;
    };
    const Row rows[] = {
        {"sequential", 0, {0, 1, 2, 0, 1}},
        {"continuous: each play starts at the first", CZkPositionPath::kPlaylistContinuous, {0, 0, 0}},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        ZkSavedPathState saved;
        for (uint16_t expected : row.pathsPlayed)
        {
            CZkPositionPath* player = Player(row.playlist, 3, &saved);
            float a[3] = {};
            ASSERT_EQ(m_array.AddUser(player, a), ZK_Success);
            EXPECT_EQ(player->CurrentIndex(), expected);
            ASSERT_EQ(m_array.Start(player, &saved), ZK_Success);
            ASSERT_EQ(m_array.RemoveUser(player, a), ZK_Success);
        }
        if (row.playlist == 0)
        {
            ASSERT_NE(saved.flags, nullptr);
            EXPECT_EQ(saved.flags->refCount, 1u) << "the players' references went with them";
        }
        saved.Clear();
    }
}

class SharedItemListeners : public ZkPlaybackTest::PlaybackTest
{
};

TEST_F(SharedItemListeners, TheCacheFollowsTheRegisteredListeners)
{
    for (ZkGameObjectID id : {ZkGameObjectID{10}, ZkGameObjectID{11}})
    {
        ASSERT_NE(Register(id), nullptr);
        const ZkChannelEmitter record = {{{0, 0, 1}, {0, 1, 0}, {static_cast<float>(id), 0, 0}}, kZkAllInputChannels};
        ASSERT_EQ(g_pRegistryMgr->SetPosition(id, &record, 1, 0), ZK_Success);
    }
    ZkListenerSet set;
    set.Add(10);
    set.Add(11);
    ASSERT_EQ(g_pRegistryMgr->SetListeners(ZkPlaybackTest::kObject, set, ZkListenerOperation_Set), ZK_Success);
    CZkPositionPath player;
    const ZkGameObjectID ids[3] = {10, 11, 12};
    player.UpdateListenerCache(ids, 3);
    ASSERT_NE(player.GetListenerSnapshot(11), nullptr);
    EXPECT_EQ(player.GetListenerSnapshot(11)->position.x, 11.0f);
    EXPECT_EQ(player.GetListenerSnapshot(12), nullptr) << "12 is no registered listener";

    const ZkChannelEmitter moved = {{{0, 0, 1}, {0, 1, 0}, {-5, 0, 0}}, kZkAllInputChannels};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(10, &moved, 1, 0), ZK_Success);
    ASSERT_EQ(g_pRegistryMgr->UnregisterObject(11), ZK_Success);
    player.UpdateListenerCache(ids, 2);
    ASSERT_NE(player.GetListenerSnapshot(10), nullptr);
    EXPECT_EQ(player.GetListenerSnapshot(10)->position.x, -5.0f);
    EXPECT_EQ(player.GetListenerSnapshot(11), nullptr) << "no longer registered: its entry goes";
}
} // namespace
