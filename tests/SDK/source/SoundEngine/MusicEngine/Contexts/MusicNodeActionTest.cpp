// A music node's actions reach its plays: stop, pause and resume each play of the node that the
// action's game object and playing id select, with the action's transition; a seek makes the plays
// seek (a segment keeps a fraction within 0..1) and each seek is notified to its playing id.
#include "MusicContextFixture.h"

#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

namespace ZkMusicContextTest
{
namespace
{
using ZK::SoundEngine::g_pPlayingMgr;
using ZK::SoundEngine::ZkActionCode;
using ZK::SoundEngine::ZkActionParams;

int g_playbackNotices = 0;
void CountPlaybackNotices(ZkCallbackType type, ZkCallbackInfo*)
{
    if (type == ZkCallbackType_MusicPlaybackEvent)
        ++g_playbackNotices;
}

class MusicNodeActionTest : public MusicContextTest
{
protected:
    static constexpr ZkPlayingID kFirst = 501;
    static constexpr ZkPlayingID kSecond = 502;

    void SetUp() override
    {
        MusicContextTest::SetUp();
        g_playbackNotices = 0;
        for (ZkPlayingID id : {kFirst, kSecond})
        {
            ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(id, kObject, &CountPlaybackNotices, nullptr,
                                                            ZkCallbackType_MusicPlaybackEvent, 0x99),
                      ZK_Success);
            auto* root = NewContext<RecordingTimeline>(nullptr, m_segment, nullptr);
            root->AddRef();
            ASSERT_EQ(root->Attach(m_object, ZkMusicPlayInfo{nullptr, id}, 0), ZK_Success);
            root->OnPlay();
            m_roots.push_back(root);
        }
        g_playbackNotices = 0; // the notices of the starts
    }
    void TearDown() override
    {
        for (RecordingTimeline* root : m_roots)
            root->Release();
        for (ZkPlayingID id : {kFirst, kSecond})
            g_pPlayingMgr->RemovePlayingIDRef(id);
        MusicContextTest::TearDown();
    }

    std::vector<RecordingTimeline*> m_roots;
};

TEST_F(MusicNodeActionTest, StopPauseAndResumeReachThePlaysTheActionSelects)
{
    ZK::SoundEngine::CZkRegisteredObj other(kObject + 1);
    struct ActionCase
    {
        const char* label;
        ZkActionCode code;
        ZK::SoundEngine::CZkGameObject* object;
        ZkPlayingID playingID;
        std::vector<bool> reached; // per play: stopped (stop) or paused (pause, resume)
    };
    const std::vector<ActionCase> cases = {
        {"pause one playing id", ZK::SoundEngine::ZkActionCode_Pause, nullptr, kFirst, {true, false}},
        {"resume every play", ZK::SoundEngine::ZkActionCode_Resume, nullptr, 0, {false, false}},
        {"pause another object's plays", ZK::SoundEngine::ZkActionCode_Pause, &other, 0, {false, false}},
        {"pause the object's plays", ZK::SoundEngine::ZkActionCode_Pause, m_object, 0, {true, true}},
        {"resume the second", ZK::SoundEngine::ZkActionCode_Resume, m_object, kSecond, {true, false}},
        {"stop the second", ZK::SoundEngine::ZkActionCode_Stop, nullptr, kSecond, {false, true}},
    };
    for (const ActionCase& c : cases)
    {
        ZkActionParams params;
        params.code = c.code;
        params.gameObject = c.object;
        params.playingID = c.playingID;
        m_segment->ExecuteAction(params);
        ZK::SoundEngine::g_pTransitionMgr->ProcessTransitions(ZK::SoundEngine::g_pTransitionMgr->CurrentFrame() + 1);
        for (size_t play = 0; play < m_roots.size(); ++play)
        {
            const bool reached = c.code == ZK::SoundEngine::ZkActionCode_Stop
                                     ? m_roots[play]->PlayState() == CZkMusicContext::kStopped
                                     : m_roots[play]->IsPaused();
            EXPECT_EQ(reached, c.reached[play]) << c.label << ", play " << play;
        }
    }
}

TEST_F(MusicNodeActionTest, ASeekReachesThePlaysAndIsNotifiedOncePerPlay)
{
    struct SeekCase
    {
        const char* label;
        bool relative;
        float value;
        int32_t ms;
        bool snap;
        float seen;
    };
    const std::vector<SeekCase> cases = {
        {"by ms", false, 0.0f, 1500, false, 1500.0f},
        {"by fraction with snap", true, 0.25f, 0, true, 0.25f},
        {"a fraction past the end", true, 1.5f, 0, false, 1.0f},
        {"a negative fraction", true, -0.5f, 0, false, 0.0f},
    };
    for (const SeekCase& c : cases)
    {
        g_playbackNotices = 0;
        ZkActionParams params;
        params.code = ZK::SoundEngine::ZkActionCode_Seek;
        params.seekIsRelative = c.relative;
        params.seekValue = c.value;
        params.seekMilliseconds = c.ms;
        params.snapToNearestMarker = c.snap;
        m_segment->ExecuteAction(params);
        for (RecordingTimeline* root : m_roots)
        {
            ASSERT_FALSE(root->seeks.empty()) << c.label;
            EXPECT_EQ(root->seeks.back(), std::make_pair(c.seen, c.snap)) << c.label;
        }
        EXPECT_EQ(g_playbackNotices, 2) << c.label;
    }
}
} // namespace
} // namespace ZkMusicContextTest
