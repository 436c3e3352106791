// Actions for every play (StopAll of one object or of all, and any stop, pause or resume broadcast
// to the engine's play contexts) reach the music plays through their play records on that list,
// filtered by game object and playing id, as the container plays are; a play leaves the list with
// its root.
#include "MusicContextFixture.h"

#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace ZkMusicContextTest
{
namespace
{
using ZK::SoundEngine::CZkActiveInstances;
using ZK::SoundEngine::g_pPlayingMgr;
using ZK::SoundEngine::ZkActionParams;

class MusicEveryPlayActionTest : public MusicContextTest
{
protected:
    static constexpr ZkGameObjectID kOtherObject = kObject + 1;
    static constexpr ZkPlayingID kFirst = 601;
    static constexpr ZkPlayingID kSecond = 602;

    void SetUp() override
    {
        MusicContextTest::SetUp();
        ASSERT_EQ(ZK::SoundEngine::g_pRegistryMgr->RegisterObject(kOtherObject), ZK_Success);
        m_other = ZK::SoundEngine::g_pRegistryMgr->GetObj(kOtherObject);
        m_contextsBefore = CZkActiveInstances::PlayContextCount();
        // The first play on the fixture's object, the second on the other one.
        for (auto [id, object] : {std::pair{kFirst, m_object}, std::pair{kSecond, m_other}})
        {
            ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(id, object->ID(), nullptr, nullptr, 0, 0x99), ZK_Success);
            auto* root = NewContext<RecordingTimeline>(nullptr, m_segment, nullptr);
            root->AddRef();
            ASSERT_EQ(root->Attach(object, ZkMusicPlayInfo{nullptr, id}, 0), ZK_Success);
            root->OnPlay();
            m_roots.push_back(root);
        }
    }
    void TearDown() override
    {
        for (RecordingTimeline* root : m_roots)
            root->Release();
        EXPECT_EQ(CZkActiveInstances::PlayContextCount(), m_contextsBefore) << "the plays left the list";
        for (ZkPlayingID id : {kFirst, kSecond})
            g_pPlayingMgr->RemovePlayingIDRef(id);
        MusicContextTest::TearDown();
    }
    std::vector<bool> Stopped() const
    {
        std::vector<bool> stopped;
        for (const RecordingTimeline* root : m_roots)
            stopped.push_back(root->PlayState() == CZkMusicContext::kStopped);
        return stopped;
    }
    std::vector<bool> Paused() const
    {
        std::vector<bool> paused;
        for (const RecordingTimeline* root : m_roots)
            paused.push_back(root->IsPaused());
        return paused;
    }

    CZkRegisteredObj* m_other = nullptr;
    std::vector<RecordingTimeline*> m_roots;
    uint32_t m_contextsBefore = 0;
};

TEST_F(MusicEveryPlayActionTest, APlayIsOnThePlayContextListUntilItsRootGoes)
{
    EXPECT_EQ(CZkActiveInstances::PlayContextCount(), m_contextsBefore + 2);
}

struct StopAllCase
{
    const char* name;
    const char* label;
    ZkGameObjectID target;
    std::vector<bool> stopped;
};
void PrintTo(const StopAllCase& c, std::ostream* out)
{
    *out << c.label;
}

class MusicStopAllTest : public MusicEveryPlayActionTest, public ::testing::WithParamInterface<StopAllCase>
{
};

TEST_P(MusicStopAllTest, StopAllStopsTheMusicOfTheObjectsItNames)
{
    ZK::SoundEngine::StopAll(GetParam().target);
    ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    EXPECT_EQ(Stopped(), GetParam().stopped);
}

INSTANTIATE_TEST_SUITE_P(Targets, MusicStopAllTest,
                         ::testing::Values(StopAllCase{"EveryObject", "every object", ZK_ALL_GAME_OBJECTS, {true, true}},
                                           StopAllCase{"OneObject", "the first play's object", 77, {true, false}},
                                           StopAllCase{"NoMusic", "an object without music", 999, {false, false}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MusicEveryPlayActionTest, ABroadcastPauseOrResumeFollowsTheObjectAndPlayingIdFilters)
{
    struct Case
    {
        const char* label;
        ZK::SoundEngine::ZkActionCode code;
        CZkRegisteredObj* object;
        ZkPlayingID playingID;
        std::vector<bool> paused;
    };
    const std::vector<Case> cases = {
        {"pause every play", ZK::SoundEngine::ZkActionCode_Pause, nullptr, 0, {true, true}},
        {"resume the other object's", ZK::SoundEngine::ZkActionCode_Resume, m_other, 0, {true, false}},
        {"resume a playing id of another object: nothing", ZK::SoundEngine::ZkActionCode_Resume, m_other, kFirst, {true, false}},
        {"resume the first playing id", ZK::SoundEngine::ZkActionCode_Resume, nullptr, kFirst, {false, false}},
    };
    for (const Case& c : cases)
    {
        ZkActionParams params;
        params.code = c.code;
        params.gameObject = c.object;
        params.playingID = c.playingID;
        params.isGlobal = c.object == nullptr;
        CZkActiveInstances::BroadcastAction(params);
        TickTransitions();
        EXPECT_EQ(Paused(), c.paused) << c.label;
    }
}
} // namespace
} // namespace ZkMusicContextTest
