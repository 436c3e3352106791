// A play's position path at the node instance: the automation data copied from the positioning
// owner, the player joined at Initialize, every ray moved by the automation offset in its emitter's
// frame (or its listener's for listener-following positions) with its distance and angles computed
// again, parameters 66 to 68, detached instances, pause, resume and kill of the playing instance,
// consecutive plays continuing the node's playlist, and a full player array.
#include "PlaybackFixture.h"
#include "SharedItemArrayScope.h"

#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/GameObjects/ZkSortedIdArray.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"
#include "ZkAudiolib/Common/Positioning/ZkFastAngles.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <cmath>

namespace
{
using namespace ZkPlaybackTest;

constexpr ZkGameObjectID kListenerA = 10;
constexpr ZkGameObjectID kListenerB = 11;
// One path of one vertex: the offset goes to (3, 4, 12) at the start and stays.
const std::string kStill = R"("path": {"mode": 4, "vertices": [[3, 4, 12, 0]], "items": [[0, 1]]})";

class NodeInstancePath : public PlaybackTest
{
protected:
    void SetUp() override
    {
        PlaybackTest::SetUp();
        m_players.Begin();
    }
    void TearDown() override
    {
        // The array goes before the fixture checks that the memory was given back; the plays still
        // alive then leave no player (they find no array).
        m_players.End();
        PlaybackTest::TearDown();
    }
    // The emitter at (1, 0, 0), listener A at (0, 0, -20), listener B at (50, 0, 0), the emitter's
    // and listeners' fronts as given (tops up), both listeners heard by the fixture's object.
    void Scene(const ZkVector& emitterFront, const ZkVector& listenerFront)
    {
        const struct
        {
            ZkGameObjectID id;
            ZkTransform transform;
        } objects[3] = {{kObject, {emitterFront, {0, 1, 0}, {1, 0, 0}}},
                        {kListenerA, {listenerFront, {0, 1, 0}, {0, 0, -20}}},
                        {kListenerB, {listenerFront, {0, 1, 0}, {50, 0, 0}}}};
        ZkListenerSet listeners;
        for (const auto& object : objects)
        {
            if (g_pRegistryMgr->GetObj(object.id) == nullptr)
                Register(object.id);
            const ZkChannelEmitter record = {object.transform, kZkAllInputChannels};
            ASSERT_EQ(g_pRegistryMgr->SetPosition(object.id, &record, 1, 0), ZK_Success);
            if (object.id != kObject)
                listeners.Add(object.id);
        }
        ASSERT_EQ(g_pRegistryMgr->SetListeners(kObject, listeners, ZkListenerOperation_Set), ZK_Success);
        m_object->GetOrCreateGeometry()->Update();
    }
    // An instance of the sound, initialised as a play initialises it.
    CZkPlayingInstance* Play(CZkSoundNode* sound, const PlayLaunchParams& params)
    {
        CZkPlayingInstance* instance = Make(sound, params);
        uint32_t reason = 0;
        bool below = false;
        EXPECT_EQ(instance->Initialize(0.0f, true, reason, below), ZK_Success);
        Activate(instance);
        return instance;
    }
    CZkPlayingInstance* Play(CZkSoundNode* sound) { return Play(sound, Launch()); }
    SharedItemArrayScope m_players;
    CZkSharedItemArray& m_array = m_players.array;
};

TEST_F(NodeInstancePath, EveryRayMovesByTheOffsetInItsFrame)
{
    struct Row
    {
        const char* name;
        uint32_t positioning; // P: override, 3-D, the 3-D position mode in bits 5-6
        ZkVector emitterFront;
        ZkVector listenerFront;
        ZkVector expectedA; // where the sound is heard from, for listener A
    };
    const Row rows[] = {
        {"emitter frame: front z", 35, {0, 0, 1}, {0, 0, 1}, {4, 4, 12}},
        {"an emitter whose front is x turns the path (side = top x front = -z)", 35, {1, 0, 0}, {0, 0, 1}, {13, 4, -3}},
        {"listener-following positions turn it by the listener's frame", 67, {0, 0, 1}, {1, 0, 0}, {12, 4, -23}},
    };
    ZkUniqueID id = 200;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        CZkSoundNode* sound = LoadSound(++id, R"("positioning": )" + std::to_string(row.positioning) + ", " + kStill);
        Scene(row.emitterFront, row.listenerFront);
        CZkPlayingInstance* instance = Play(sound);
        ASSERT_NE(instance->PathPlayer(), nullptr);
        EXPECT_EQ(instance->PathID(), id);
        EXPECT_EQ(instance->AutomationOffset(0), 3.0f);
        ASSERT_EQ(instance->Update(), 2u);
        float nearest = 1e10f;
        for (uint32_t index = 0; index < 2; ++index)
        {
            const ZkRay& ray = instance->Ray(index);
            const ZkVector listener = ray.listenerID == kListenerA ? ZkVector{0, 0, -20} : ZkVector{50, 0, 0};
            if (ray.listenerID == kListenerA)
            {
                EXPECT_NEAR(ray.emitter.position.x, row.expectedA.x, 1e-4);
                EXPECT_NEAR(ray.emitter.position.y, row.expectedA.y, 1e-4);
                EXPECT_NEAR(ray.emitter.position.z, row.expectedA.z, 1e-4);
            }
            const ZkVector r = {ray.emitter.position.x - listener.x, ray.emitter.position.y - listener.y,
                                ray.emitter.position.z - listener.z};
            const float distance = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
            EXPECT_NEAR(ray.distance, distance, 1e-3) << "distance computed again";
            const float towardsEmitter = (r.x * row.listenerFront.x + r.y * row.listenerFront.y + r.z * row.listenerFront.z) / distance;
            EXPECT_NEAR(ray.listenerAngle, ZkFastAcos(towardsEmitter), 1e-5) << "angles too";
            nearest = std::min(nearest, distance);
        }
        EXPECT_NEAR(instance->NearestRayDistance(), nearest, 1e-3) << "the nearest ray of the moved ones";
        instance->Kill(CZkPlayingInstance::kKillStop);
        EXPECT_EQ(instance->PathPlayer(), nullptr) << "a killed play leaves its player";
        EXPECT_EQ(m_array.Count(), 0u);
    }
}

TEST_F(NodeInstancePath, ParametersOfTheAutomationAndDetachedInstances)
{
    CZkSoundNode* sound = LoadSound(200, R"("positioning": 35, )" + kStill);
    CZkPlayingInstance* instance = Play(sound);
    ASSERT_NE(instance->Automation(), nullptr);
    EXPECT_NE(instance->Automation(), sound->PathData()) << "the play's own copy";
    EXPECT_FALSE(instance->Automation()->IsListenerRelative());
    instance->SetParameterValue(66, 1.0f, 1.0f);
    EXPECT_TRUE(instance->Automation()->IsListenerRelative());
    instance->SetParameterValue(67, 250.0f, 0.0f);
    EXPECT_EQ(instance->Automation()->vertices[0].durationMs, 250u);
    instance->SetParameterValue(68, 3.0f, 0.0f);
    EXPECT_EQ(instance->Automation()->mode, 3u);
    EXPECT_EQ(sound->PathData()->mode, 4u) << "the node's own data is left alone";

    PlayLaunchParams params = Launch(2);
    params.launchFlags |= PlayLaunchParams::kFlagRunTimeAction;
    CZkPlayingInstance* detached = Play(sound, params);
    for (uint32_t parameter : {20u, 21u, 22u, 66u, 67u, 68u})
        detached->SetParameterValue(parameter, 1.0f, 1.0f);
    EXPECT_EQ(detached->Automation(), nullptr);
    EXPECT_EQ(detached->PathPlayer(), nullptr) << "a detached play has no path";
    for (uint32_t axis = 0; axis < 3; ++axis)
        EXPECT_EQ(detached->AutomationOffset(axis), 0.0f) << "nor automation offsets";
}

TEST_F(NodeInstancePath, PauseResumeAndKillFollowThePlay)
{
    CZkSoundNode* sound = LoadSound(200, R"("positioning": 35, "path": {"mode": 4, "vertices": [[0, 0, 0, 2100], [100, 0, 0, 0]], "items": [[0, 2]]})");
    m_array.ForEachActive(500);
    CZkPlayingInstance* instance = Play(sound);
    CZkPositionPath* player = instance->PathPlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->VertexEndFrame(), 600u);
    m_array.ForEachActive(510);
    EXPECT_NEAR(instance->AutomationOffset(0), 10.0f, 1e-3);
    instance->PauseNow(false);
    EXPECT_EQ(player->GetState(), uint32_t{CZkPositionPath::State_Paused});
    m_array.ForEachActive(560);
    EXPECT_NEAR(instance->AutomationOffset(0), 10.0f, 1e-3) << "held";
    instance->ResumeNow();
    EXPECT_EQ(player->GetState(), uint32_t{CZkPositionPath::State_Running});
    EXPECT_EQ(player->VertexEndFrame(), 650u) << "50 frames later";
    m_array.ForEachActive(561);
    EXPECT_NEAR(instance->AutomationOffset(0), 11.0f, 1e-3);
    instance->Kill(CZkPlayingInstance::kKillLimit);
    EXPECT_EQ(m_array.Count(), 0u);

    // A play that starts paused holds its player from the start.
    CZkPlayingInstance* paused = Make(sound, Launch(3));
    uint32_t reason = 0;
    bool below = false;
    ASSERT_EQ(paused->Initialize(0.0f, true, reason, below), ZK_Success);
    Activate(paused, 0, true);
    ASSERT_NE(paused->PathPlayer(), nullptr);
    EXPECT_EQ(paused->PathPlayer()->GetState(), uint32_t{CZkPositionPath::State_Paused});
}

TEST_F(NodeInstancePath, ConsecutivePlaysContinueTheNodesPlaylist)
{
    CZkSoundNode* sound = LoadSound(200, R"("positioning": 35, "path": {"mode": 4, "vertices": [[1, 0, 0, 0], [2, 0, 0, 0], [3, 0, 0, 0]], "items": [[0, 1], [1, 1], [2, 1]]})");
    for (float expected : {1.0f, 2.0f, 3.0f, 1.0f})
    {
        CZkPlayingInstance* instance = Play(sound, Launch(7));
        EXPECT_EQ(instance->AutomationOffset(0), expected);
        instance->Kill(CZkPlayingInstance::kKillStop);
    }
    ASSERT_NE(sound->PathData()->saved.flags, nullptr);
    EXPECT_EQ(sound->PathData()->saved.flags->refCount, 1u) << "the node's own reference alone";
}

TEST_F(NodeInstancePath, AFullArrayPlaysWithoutPathMovement)
{
    m_array.Term();
    ASSERT_EQ(m_array.Init(1), ZK_Success);
    CZkPositionPath* other = m_array.Create();
    ASSERT_NE(other, nullptr);
    CZkPlayingInstance* instance = Play(LoadSound(200, R"("positioning": 35, )" + kStill));
    EXPECT_EQ(instance->PathPlayer(), nullptr);
    EXPECT_EQ(instance->AutomationOffset(0), 0.0f);
    EXPECT_EQ(m_array.Destroy(other), ZK_Success);
}
TEST_F(NodeInstancePath, APlayerThatCannotStartIsDestroyedAgain)
{
    CZkSoundNode* sound = LoadSound(200, R"("positioning": 35, )" + kStill);
    CZkPlayingInstance* instance = Make(sound, Launch());
    uint32_t reason = 0;
    bool below = false;
    {
        // The player is made (pool 0), then its played flags cannot be.
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 2);
        ASSERT_EQ(instance->Initialize(0.0f, true, reason, below), ZK_Success) << "the play goes on";
    }
    EXPECT_EQ(instance->PathPlayer(), nullptr);
    EXPECT_EQ(instance->PathID(), 0u);
    EXPECT_EQ(instance->AutomationOffset(0), 0.0f) << "without path movement";
    EXPECT_EQ(m_array.Count(), 0u) << "destroyed again";
}
TEST_F(NodeInstancePath, AListenerRelativePathFollowsItsListenersAndAResetRestartsIt)
{
    // Mode 2 with the listener-relative bit (Q bit 6).
    CZkSoundNode* sound = LoadSound(200, R"("positioning": 67, "positioning_3d": 64, )" + kStill);
    Scene({0, 0, 1}, {0, 0, 1});
    CZkPlayingInstance* instance = Play(sound);
    CZkPositionPath* player = instance->PathPlayer();
    ASSERT_NE(player, nullptr);
    EXPECT_TRUE(player->IsListenerRelative());
    ASSERT_NE(player->GetListenerSnapshot(kListenerA), nullptr) << "cached at the start";

    // The listener turns: the next frame's snapshot and rays follow it, without a restart.
    const ZkChannelEmitter turned = {{{1, 0, 0}, {0, 1, 0}, {0, 0, -20}}, kZkAllInputChannels};
    ASSERT_EQ(g_pRegistryMgr->SetPosition(kListenerA, &turned, 1, 0), ZK_Success);
    ASSERT_EQ(instance->Update(), 2u);
    EXPECT_EQ(instance->PathPlayer(), player);
    EXPECT_EQ(player->GetListenerSnapshot(kListenerA)->front.x, 1.0f);
    const ZkRay& ray = instance->Ray(0).listenerID == kListenerA ? instance->Ray(0) : instance->Ray(1);
    EXPECT_NEAR(ray.emitter.position.x, 12.0f, 1e-4) << "(3, 4, 12) turned by the listener's new frame";
    EXPECT_NEAR(ray.emitter.position.z, -23.0f, 1e-4);

    // A positioning reset gives the automation back; the next frame takes it again and restarts.
    instance->SetParameterValue(70, 0.0f, 0.0f);
    EXPECT_EQ(instance->PathPlayer(), nullptr);
    EXPECT_EQ(m_array.Count(), 0u);
    EXPECT_EQ(instance->AutomationOffset(2), 0.0f) << "the path's part went with it";
    instance->Update();
    ASSERT_NE(instance->PathPlayer(), nullptr);
    EXPECT_EQ(instance->AutomationOffset(2), 12.0f) << "the restarted path from its start";
}
} // namespace
