// One request through the whole running engine, with its own thread and the game's banks: the game
// turns offline rendering on (its frames then tick on the game's thread), posts a shipped event,
// and the event's play action makes a playing instance of its sound; StopPlayingID ends it, and the
// end-of-event callback arrives once.
#include "EngineWithBanksFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"

#include "Platform/PlatformEvent.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <atomic>

namespace
{
using namespace ZkEngineLifeTest;

// The dying airship's cue: one sound of 1.2 s, far longer than the frames rendered before the stop.
constexpr ZkUniqueID kAirshipDying = 914471075;
constexpr ZkGameObjectID kPlayer = 100;
constexpr uint32_t kGenerousWaitMs = 10000;
// One and a half frames of 1024 samples at 48 kHz: every render renders one frame or two.
constexpr float kFrameTimeSeconds = 1.5f * 1024.0f / 48000.0f;

std::atomic<uint32_t> g_endsOfEvent{0};
void CountEnd(ZkCallbackType type, ZkCallbackInfo*)
{
    if (type == ZkCallbackType_EndOfEvent)
        ++g_endsOfEvent;
}

void SignalTick(ZK::IZkGlobalPluginContext*, ZK::ZkGlobalCallbackLocation, void* cookie)
{
    static_cast<ZK::Platform::ZkEvent*>(cookie)->Set();
}

uint32_t ActiveInstances()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    return CZkActiveInstances::ActiveCount();
}

class ThreadedEnginePlayback : public EngineWithBanks
{
protected:
    void SetUp() override
    {
        EngineWithBanks::SetUp();
        settings.engineThread = 1;
        g_endsOfEvent = 0;
        ASSERT_TRUE(m_tickEnded.Init(ZK::Platform::EventReset::Auto));
    }
    void TearDown() override
    {
        EngineWithBanks::TearDown();
        m_tickEnded.Term();
    }

    // Offline rendering from the engine thread's next tick on: from then, RenderAudio ticks here.
    void RenderOfflineFromNowOn()
    {
        ASSERT_EQ(GlobalCallbacks::Register(&SignalTick, ZK::ZkGlobalCallbackLocation_End, &m_tickEnded, 0),
                  ZK_Success);
        ASSERT_EQ(SetOfflineRenderingFrameTime(kFrameTimeSeconds), ZK_Success);
        ASSERT_EQ(SetOfflineRendering(true), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        while (!IsOfflineRendering())
            ASSERT_TRUE(m_tickEnded.Wait(kGenerousWaitMs)) << "the engine thread ticks";
        ASSERT_EQ(GlobalCallbacks::Unregister(&SignalTick, ZK::ZkGlobalCallbackLocation_End), ZK_Success);
    }

    ZK::Platform::ZkEvent m_tickEnded;
};

TEST_F(ThreadedEnginePlayback, APostedEventPlaysItsSoundUntilStoppedAndCallsBackOnce)
{
    ASSERT_NO_FATAL_FAILURE(StartLikeTheGame());
    ASSERT_NO_FATAL_FAILURE(RenderOfflineFromNowOn());
    ASSERT_EQ(RegisterGameObj(kPlayer, "Player"), ZK_Success);
    const ZkPlayingID playing = PostEvent(kAirshipDying, kPlayer, ZkCallbackType_EndOfEvent, &CountEnd);
    ASSERT_NE(playing, 0u);
    const uint32_t frame = GetBufferTick();
    ASSERT_EQ(RenderAudio(true), ZK_Success);
    EXPECT_GE(GetBufferTick(), frame + 1) << "offline frames, rendered on this thread";
    EXPECT_EQ(ActiveInstances(), 1u) << "the play action made a playing instance of the sound";
    for (int frames = 0; frames < 4; ++frames)
        RenderAudio(true);
    EXPECT_EQ(ActiveInstances(), 1u) << "the sound plays on";
    EXPECT_EQ(g_endsOfEvent, 0u);

    StopPlayingID(playing);
    for (int frames = 0; frames < 8; ++frames)
        RenderAudio(true);
    EXPECT_EQ(ActiveInstances(), 0u);
    EXPECT_EQ(g_endsOfEvent, 1u);
}
} // namespace
