// Playing instances over time: fade-in, the stop fade and the kill at its end, stops without a
// fade, pause fades and pause levels, resumes, starts that are paused or stopped at once, fades
// without a transition, seeks and the actions that reach an instance.
#include "PlaybackFixture.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <bit>
#include <cmath>

namespace
{
using namespace ZkPlaybackTest;

class PlayingInstanceFades : public PlaybackTest
{
protected:
    // A started instance whose voice runs (one frame later).
    CZkPlayingInstance* Playing(ZkTimeMs fadeInMs = 0)
    {
        CZkPlayingInstance* instance = Make(LoadSound(200));
        Activate(instance, fadeInMs);
        Frame();
        EXPECT_EQ(instance->SourceState(), CZkPlayingInstance::kSourceStarted);
        return instance;
    }
    // The commands applied to voices since the start, by kind.
    size_t Count(const std::string& what) const { return m_render.Of(what).size(); }
};

TEST_F(PlayingInstanceFades, AFiveHundredMillisecondStopFadeLastsTwentyFourFramesThenKills)
{
    CZkPlayingInstance* instance = Playing();
    EXPECT_EQ(instance->FadeVolume(), 1.0f);
    instance->StopWithFade(500, ZkCurveInterpolation_Linear, true);
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusStopping) != 0);
    const uint32_t frames = (500 + 20) / 21; // ceil(500 / 21)
    ASSERT_EQ(frames, 24u);
    float previous = instance->FadeVolume();
    for (uint32_t frame = 1; frame < frames; ++frame)
    {
        Frame();
        EXPECT_LT(instance->FadeVolume(), previous) << "frame " << frame;
        EXPECT_NEAR(instance->FadeVolume(), 1.0f - static_cast<float>(frame) / frames, 1e-5f);
        EXPECT_FALSE(instance->IsKilled()) << "frame " << frame;
        previous = instance->FadeVolume();
    }
    Frame();
    EXPECT_EQ(instance->FadeVolume(), 0.0f);
    EXPECT_TRUE(instance->IsKilled());
    EXPECT_TRUE(instance->IsDead()) << "its voice ends it";
    EXPECT_EQ(instance->FadeTransition(), nullptr);
    EXPECT_TRUE(instance->GainDirty());
    instance->RecomputeGain();
    EXPECT_EQ(instance->LinearGain(), 0.0f);

    RecordingRenderSide::EndVoice(instance);
    EXPECT_TRUE(IsActive(instance)) << "destroyed at the next flush";
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
}

TEST_F(PlayingInstanceFades, AFadeInRisesToFullVolume)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    Activate(instance, 100);
    EXPECT_EQ(instance->FadeVolume(), 0.0f);
    EXPECT_TRUE((instance->LimitByte() & CZkPlayingInstance::kLimitFadingIn) != 0);
    Frames(5); // ceil(100 / 21)
    EXPECT_EQ(instance->FadeVolume(), 1.0f);
    EXPECT_TRUE((instance->LimitByte() & CZkPlayingInstance::kLimitFadingIn) == 0);
}

TEST_F(PlayingInstanceFades, AStopWithoutFade)
{
    // No source yet: killed at once, even without the flag.
    CZkPlayingInstance* waiting = Make(LoadSound(200));
    Activate(waiting);
    waiting->StopWithFade(0, ZkCurveInterpolation_Linear, false);
    EXPECT_TRUE(waiting->IsDead());

    // Its source started while a fade-in runs: the fade becomes a 0 ms stop fade, the kill comes at
    // its end.
    CZkPlayingInstance* fading = Playing(1000);
    fading->StopWithFade(0, ZkCurveInterpolation_Linear, true);
    EXPECT_FALSE(fading->IsKilled());
    ASSERT_NE(fading->FadeTransition(), nullptr);
    EXPECT_EQ(fading->FadeTransition()->Kind(), CZkPlayingInstance::kFadeStop);
    Frame();
    EXPECT_TRUE(fading->IsDead());
    EXPECT_EQ(fading->FadeVolume(), 0.0f);

    // Its source started and nothing fades: with the flag, silenced and killed with a plain stop.
    CZkPlayingInstance* plain = Playing();
    plain->StopWithFade(0, ZkCurveInterpolation_Linear, true);
    EXPECT_TRUE(plain->IsDead());
    EXPECT_EQ(plain->FadeVolume(), 0.0f);
    EXPECT_EQ(plain->StopByte() & (CZkPlayingInstance::kStopRequested | CZkPlayingInstance::kStopReasonMask),
              CZkPlayingInstance::kStopRequested)
        << "stop requested with end reason 0";

    // Without the flag its voice stops it (at its stop point).
    CZkPlayingInstance* kept = Playing();
    kept->StopWithFade(0, ZkCurveInterpolation_Linear, false);
    EXPECT_FALSE(kept->IsKilled());
    EXPECT_TRUE((kept->Status() & CZkPlayingInstance::kStatusStopping) != 0);

    // A paused instance stops at once, fade or not.
    CZkPlayingInstance* paused = Playing();
    paused->Pause(0, ZkCurveInterpolation_Linear);
    paused->StopWithFade(2000, ZkCurveInterpolation_Linear, false);
    EXPECT_TRUE(paused->IsDead());
}

TEST_F(PlayingInstanceFades, APauseFadeThatCompletesPausesWithoutASecondVoiceCommand)
{
    CZkPlayingInstance* instance = Playing();
    instance->Pause(100, ZkCurveInterpolation_Linear);
    EXPECT_FALSE(instance->IsPaused()) << "paused at the end of the fade";
    EXPECT_EQ(instance->PauseCount(), 1u);
    Frames(4);
    EXPECT_GT(instance->PauseVolume(), 0.0f);
    Frame();
    EXPECT_TRUE(instance->IsPaused());
    EXPECT_EQ(instance->PauseVolume(), 0.0f);
    EXPECT_EQ(instance->PauseTransition(), nullptr);
    Frames(2);
    EXPECT_EQ(Count("pause"), 0u) << "the voice follows the instance's pause; no command is queued";
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u);

    instance->Resume(100, ZkCurveInterpolation_Linear, false);
    EXPECT_FALSE(instance->IsPaused());
    Frame();
    EXPECT_EQ(Count("resume"), 1u);
    Frames(5);
    EXPECT_EQ(instance->PauseVolume(), 1.0f);
}

TEST_F(PlayingInstanceFades, TwoPausesNeedTwoResumesUnlessTheResumeAsksForAllLevels)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    m_render.voicesReady = false;
    Activate(instance);
    Frame(); // a voice is pending: the pauses are commands
    instance->Pause(0, ZkCurveInterpolation_Linear);
    instance->Pause(0, ZkCurveInterpolation_Linear);
    EXPECT_EQ(instance->PauseCount(), 2u);
    EXPECT_TRUE(instance->IsPaused());
    instance->Resume(0, ZkCurveInterpolation_Linear, false);
    EXPECT_TRUE(instance->IsPaused()) << "one level left";
    EXPECT_EQ(instance->PauseCount(), 1u);
    instance->Resume(0, ZkCurveInterpolation_Linear, false);
    EXPECT_FALSE(instance->IsPaused());
    EXPECT_EQ(instance->PauseVolume(), 1.0f);

    instance->Pause(0, ZkCurveInterpolation_Linear);
    instance->Pause(0, ZkCurveInterpolation_Linear);
    instance->Pause(0, ZkCurveInterpolation_Linear);
    instance->Resume(0, ZkCurveInterpolation_Linear, true);
    EXPECT_FALSE(instance->IsPaused()) << "every level at once";
    EXPECT_EQ(instance->PauseCount(), 0u);

    m_render.VoiceOf(instance).ready = true;
    Frame();
    EXPECT_EQ(m_render.Of("start").size(), 1u);
    EXPECT_EQ(Count("pause"), 2u) << "one pause command per pause that took effect";
    EXPECT_EQ(Count("resume"), 2u);
}

TEST_F(PlayingInstanceFades, PlaysThatStartPausedOrStopAtOnce)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* paused = Make(sound);
    Activate(paused, 200, true);
    EXPECT_TRUE(paused->IsPaused());
    EXPECT_EQ(paused->PauseCount(), 1u);
    ASSERT_NE(paused->FadeTransition(), nullptr);
    EXPECT_EQ(paused->FadeTransition()->m_pauseState, ZkTransitionPause::PauseRequested)
        << "its fade-in waits";
    Frame();
    EXPECT_EQ(m_render.Of("start"), std::vector<CZkPlayingInstance*>{paused});
    EXPECT_EQ(m_render.Of("pause"), std::vector<CZkPlayingInstance*>{paused})
        << "play paused: start, then pause";
    EXPECT_EQ(paused->FadeVolume(), 0.0f);

    CZkPlayingInstance* stopped = Make(sound);
    stopped->SetRequestedStartState(CZkPlayingInstance::kStartAndStop);
    Activate(stopped);
    EXPECT_TRUE(stopped->IsDead()) << "stopped right after its start";
}

TEST_F(PlayingInstanceFades, AFadeWithoutATransitionTakesItsEndValueAtOnce)
{
    CZkPlayingInstance* instance = Playing();
    {
        ScopedAllocationFailure noTransition(ZkMemID_Default, 1, ScopedAllocationFailure::Mode::FromNth);
        instance->StopWithFade(500, ZkCurveInterpolation_Linear, false);
    }
    EXPECT_EQ(instance->FadeVolume(), 0.0f);
    EXPECT_TRUE(instance->IsDead());
}

TEST_F(PlayingInstanceFades, SeeksAndLoopingStops)
{
    CZkPlayingInstance* instance = Playing();
    instance->SeekToTime(500.0f, true);
    EXPECT_EQ(instance->SeekPosition(), ZkAudioSettings::SampleRate() / 2);
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, CZkPlayingInstance::kSeekBySamples);
    EXPECT_TRUE((instance->LimitByte() & CZkPlayingInstance::kLimitSeekOption) != 0);
    instance->SeekToSamples(1234);
    EXPECT_EQ(instance->SeekPosition(), 1234u);
    EXPECT_TRUE((instance->LimitByte() & CZkPlayingInstance::kLimitSeekOption) == 0);
    instance->SeekToPercent(0.25f, true);
    EXPECT_EQ(std::bit_cast<float>(instance->SeekPosition()), 0.25f);
    EXPECT_EQ(instance->StopByte() & CZkPlayingInstance::kSeekMask, CZkPlayingInstance::kSeekByPercent);
    instance->StopLooping();
    EXPECT_EQ(instance->LoopCount(), 1u);
    Frame();
    EXPECT_EQ(Count("reevaluate"), 3u);
    EXPECT_EQ(Count("stop source"), 1u);
}

TEST_F(PlayingInstanceFades, ActionsReachTheInstancesTheyName)
{
    CZkPlayingInstance* instance = Playing();
    CZkRegisteredObj* other = Register(99);
    ZkActionParams params;
    params.code = ZkActionCode_Pause;
    params.gameObject = other;
    EXPECT_EQ(instance->ExecuteAction(params), ZK_Success);
    EXPECT_FALSE(instance->IsPaused()) << "another game object";
    params.gameObject = nullptr;
    params.playingID = 2;
    instance->ExecuteAction(params);
    EXPECT_FALSE(instance->IsPaused()) << "another playing id";
    params.playingID = 0;
    CZkActiveInstances::BroadcastAction(params);
    CZkActiveInstances::BroadcastAction(params);
    EXPECT_TRUE(instance->IsPaused());
    EXPECT_EQ(instance->PauseCount(), 2u);
    params.code = ZkActionCode_Resume;
    params.resumeAllPauses = true;
    instance->ExecuteAction(params);
    EXPECT_FALSE(instance->IsPaused());
    params.code = ZkActionCode_TargetNotification;
    instance->ExecuteAction(params);
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 2u) << "resume, then stop the source (looping ends)";
    params.code = ZkActionCode_Stop;
    params.gameObject = m_object;
    instance->ExecuteAction(params);
    EXPECT_TRUE(instance->IsDead());
}
} // namespace
