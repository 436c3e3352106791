// StopAll during a segment played by itself: the play stops, its root goes with its last
// reference (held by its segment's item once the creator let go), and the playing id ends with
// one end-of-event callback; later frames start nothing again.
#include "MusicChainFixture.h"

#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace
{
using namespace ZkMusicChainTest;
using ZK::SoundEngine::g_pPlayingMgr;

constexpr ZkPlayingID kPlayingID = 811;

int g_endOfEvents = 0;
void CountEndOfEvent(ZkCallbackType type, ZkCallbackInfo*)
{
    if (type == ZkCallbackType_EndOfEvent)
        ++g_endOfEvents;
}

class MusicStopAllPlayTest : public MusicChainTest
{
protected:
    void SetUp() override
    {
        MusicChainTest::SetUp();
        g_endOfEvents = 0;
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRenderingFrameTime(1024.0f / 48000.0f), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    }
};

TEST_F(MusicStopAllPlayTest, StopAllEndsASegmentsPlayAndItsPlayingIdOnce)
{
    ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(kPlayingID, 0, &CountEndOfEvent, nullptr, ZkCallbackType_EndOfEvent, 0x99),
              ZK_Success);
    const uint32_t contextsBefore = ZK::SoundEngine::CZkActiveInstances::PlayContextCount();
    CZkMusicSegmentSequenceContext* root = PlayingRoot(kPlayingID);
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID); // the post's own reference, as a post drops it
    for (int frame = 0; frame < 10; ++frame)
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    root->Release(); // the creator lets go: the segment's item keeps the play
    ASSERT_EQ(MusicEngineState::Get().FirstPlaying(), root) << "still playing";
    ASSERT_EQ(g_endOfEvents, 0);

    ZK::SoundEngine::StopAll();
    for (int frame = 0; frame < 10; ++frame)
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    EXPECT_EQ(MusicEngineState::Get().FirstPlaying(), nullptr) << "the play has ended";
    EXPECT_EQ(g_pPlayingMgr->FindPlayingID(kPlayingID), nullptr);
    EXPECT_EQ(g_endOfEvents, 1);
    EXPECT_EQ(ZK::SoundEngine::CZkActiveInstances::PlayContextCount(), contextsBefore);
}
} // namespace
