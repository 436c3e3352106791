// The voice command queue: voices asked for the instances of start commands, launch groups that
// start together, commands that wait for their voice, the node block and single nodes, the end of
// an instance stopped before it had a voice, and the start delays of the started list.
#include "PlaybackFixture.h"

namespace
{
using namespace ZkPlaybackTest;

using VoiceCommandQueue = PlaybackTest;

TEST_F(VoiceCommandQueue, ALaunchGroupStartsTogetherWhenItsLastVoiceIsReady)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* first = Make(sound);
    CZkPlayingInstance* second = Make(sound);
    Activate(first);
    Activate(second); // the same launch number: one group
    CZkPlayingInstance* later = Make(sound);
    ZkVoiceLists::IncrementLaunchCounter();
    Activate(later); // a group of its own
    EXPECT_TRUE(ZkVoiceLists::StartPending());

    m_render.voicesReady = true;
    ZkVoiceLists::ProcessActiveNodes(); // voices asked for, the pending flag cleared
    EXPECT_EQ(m_render.Of("request"), (std::vector<CZkPlayingInstance*>{first, second, later}));
    EXPECT_FALSE(ZkVoiceLists::StartPending());
    m_render.VoiceOf(second).ready = false;

    ZkVoiceLists::ProcessActive();
    EXPECT_EQ(m_render.Of("start"), std::vector<CZkPlayingInstance*>{later})
        << "the first group waits for its second voice; the next group goes on";
    m_render.VoiceOf(second).ready = true;
    ZkVoiceLists::ProcessActive();
    EXPECT_EQ(m_render.Of("start"), (std::vector<CZkPlayingInstance*>{later, first, second}));
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u);
    EXPECT_EQ(first->SourceState(), CZkPlayingInstance::kSourceStarted);
}

TEST_F(VoiceCommandQueue, APauseBehindAPlayWaitsForTheVoiceToStart)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    m_render.voicesReady = false;
    Activate(instance);
    instance->Pause(0, ZkCurveInterpolation_Linear);
    EXPECT_TRUE(instance->IsPaused()) << "no source yet: paused at once, the voice told by a command";
    Frames(2);
    EXPECT_TRUE(m_render.events.size() == 1 && m_render.events[0].what == "request")
        << "the voice is not ready";
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 2u);

    m_render.VoiceOf(instance).ready = true;
    Frame();
    ASSERT_EQ(m_render.events.size(), 3u);
    EXPECT_EQ(m_render.events[1].what, "start");
    EXPECT_EQ(m_render.events[2].what, "pause");
}

TEST_F(VoiceCommandQueue, RefusedAndFailedVoicesDropTheirCommands)
{
    CZkSoundNode* sound = LoadSound(200);
    // No voice can be had (the renderer's voices are not there): the start is dropped and the
    // instance plays nothing until it is stopped.
    m_render.voiceAnswer = ZK_NotImplemented;
    CZkPlayingInstance* silent = Make(sound);
    Activate(silent);
    Frame();
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u);
    EXPECT_EQ(silent->Voice(), nullptr);
    EXPECT_TRUE(IsActive(silent));

    // A voice whose preparation failed (2) loses its start command.
    m_render.voiceAnswer = ZK_Success;
    CZkPlayingInstance* failing = Make(sound);
    Activate(failing);
    ZkVoiceLists::ProcessActiveNodes();
    m_render.VoiceOf(failing).failed = true;
    ZkVoiceLists::ProcessActive();
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u);
    EXPECT_TRUE(m_render.Of("start").empty());

    // A command other than a start whose instance has no voice is dropped without effect.
    ASSERT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Resume, silent), ZK_Success);
    ZkVoiceLists::ProcessActive();
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u);
    EXPECT_TRUE(m_render.Of("resume").empty());

    // The instance without a voice ends when it is stopped (once, however often it is told).
    Frames(3);
    EXPECT_TRUE(IsActive(silent));
    silent->StopWithFade(0, ZkCurveInterpolation_Linear, true);
    RecordingRenderSide::EndVoice(silent);
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u);
    CZkActiveInstances::FlushCommands();
    EXPECT_FALSE(IsActive(silent));
}

TEST_F(VoiceCommandQueue, AnInstanceStoppedBeforeItsStartCommandRanEndsOnce)
{
    // The render pass's update finds it dead with its start command still queued.
    CZkPlayingInstance* instance = Make(LoadSound(200));
    PlayLaunchParams params = Launch();
    params.startDelaySamples = 100;
    CZkPlayingInstance* delayed = Make(LoadSound(200), params);
    Activate(instance);
    Activate(delayed);
    delayed->Kill(CZkPlayingInstance::kKillStop);
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 0u) << "its start command will end it";
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u);
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 1u) << "the other instance's start is left";
    Frame();
    EXPECT_FALSE(IsActive(delayed));
    EXPECT_TRUE(IsActive(instance));
}

TEST_F(VoiceCommandQueue, AnInstanceStoppedBeforeItHadAVoiceEndsThroughTheQueue)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    Activate(instance);
    instance->StopWithFade(0, ZkCurveInterpolation_Linear, true);
    EXPECT_TRUE(instance->IsDead());
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 1u);
    ZkVoiceLists::ProcessActive();
    EXPECT_TRUE(m_render.events.empty()) << "no voice is asked for a dead instance";
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u) << "its end notification";
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusEnded) == 0);
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "ended and destroyed";
}

TEST_F(VoiceCommandQueue, TheBlockHolds512NodesAndThe513thIsAllocatedAndFreedAlone)
{
    CZkPlayingInstance* instance = Make(LoadSound(200));
    ZK::MemoryMgr::FaultInjection::CountOnly(ZkMemID_Processing);
    for (uint32_t command = 0; command < ZkVoiceLists::kBlockNodes; ++command)
        ASSERT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Pause, instance), ZK_Success);
    EXPECT_EQ(ZK::MemoryMgr::FaultInjection::CountedAllocations(), 0u);
    ASSERT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Pause, instance), ZK_Success);
    EXPECT_EQ(ZK::MemoryMgr::FaultInjection::CountedAllocations(), 1u) << "the 513th";
    ZkVoiceLists::RemoveInstance(instance);
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u);
    for (uint32_t command = 0; command <= ZkVoiceLists::kBlockNodes; ++command)
        ASSERT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Pause, instance), ZK_Success);
    EXPECT_EQ(ZK::MemoryMgr::FaultInjection::CountedAllocations(), 2u)
        << "the block's nodes came back; the single one was freed, not kept";
    ZK::MemoryMgr::FaultInjection::Disarm();
    ZkVoiceLists::RemoveInstance(instance);

    {
        ScopedAllocationFailure noMemory(ZkMemID_Processing, 1, ScopedAllocationFailure::Mode::FromNth);
        for (uint32_t command = 0; command < ZkVoiceLists::kBlockNodes; ++command)
            ASSERT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Pause, instance), ZK_Success);
        EXPECT_EQ(ZkVoiceLists::PostCommand(ZkVoiceCommand_Pause, instance), ZK_Fail)
            << "no node: nothing queued";
        EXPECT_EQ(instance->Play(0, ZkCurveInterpolation_Linear, false, false), ZK_Fail)
            << "a play returns it";
    }
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), ZkVoiceLists::kBlockNodes);
    ZkVoiceLists::RemoveInstance(instance);
}

TEST_F(VoiceCommandQueue, StartDelaysCountDownByThePitchUntilTheInstanceIsDead)
{
    CZkSoundNode* sound = LoadSound(200, R"("props": {"2": 1200})"); // an octave up: pitch ratio 2
    PlayLaunchParams params = Launch();
    params.startDelaySamples = 5000;
    CZkPlayingInstance* delayed = Make(sound, params);
    Activate(delayed);
    EXPECT_FLOAT_EQ(delayed->GetPitchRatio(), 2.0f);
    EXPECT_EQ(ZkVoiceLists::PlayingCount(), 1u);
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(delayed->StartDelay(), 5000 - 2048);
    delayed->PauseNow(false);
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(delayed->StartDelay(), 5000 - 2048) << "a paused instance's countdown is frozen";
    delayed->ResumeNow();
    ZkVoiceLists::UpdatePlaying(1024);
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(delayed->StartDelay(), 5000 - 3 * 2048) << "counted below 0 once, then no more";
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(delayed->StartDelay(), 5000 - 3 * 2048);

    delayed->Kill(CZkPlayingInstance::kKillStop);
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(ZkVoiceLists::PlayingCount(), 0u) << "a dead instance leaves the list";
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 0u) << "with its commands";
}

TEST_F(VoiceCommandQueue, EveryPlayJoinsTheStartedListAndAPlayThatCannotFailsWithoutItsCommand)
{
    CZkPlayingInstance* now = Make(LoadSound(200));
    Activate(now);
    EXPECT_EQ(ZkVoiceLists::PlayingCount(), 1u) << "without a delay too";
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(now->StartDelay(), -1024) << "its first block, rendered in this frame, starts without silence";
    ZkVoiceLists::UpdatePlaying(1024);
    EXPECT_EQ(now->StartDelay(), -1024);

    CZkPlayingInstance* refused = Make(LoadSound(200));
    const uint32_t queued = ZkVoiceLists::QueuedCount();
    {
        // The command comes from the queue's block; the started list's entry is the allocation.
        ScopedAllocationFailure noMemory(ZkMemID_Processing, 1, ScopedAllocationFailure::Mode::FromNth);
        EXPECT_EQ(refused->Play(0, ZkCurveInterpolation_Linear, false, false), ZK_InsufficientMemory);
    }
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), queued) << "its start command is taken back";
    EXPECT_EQ(ZkVoiceLists::PlayingCount(), 1u);
}
} // namespace
