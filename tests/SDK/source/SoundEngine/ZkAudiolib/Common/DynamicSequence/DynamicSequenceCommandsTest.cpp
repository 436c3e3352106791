// What a dynamic sequence does with its commands on the engine thread, against nodes that record
// their launches and commands: items taken from the playlist, the launch each gets, pauses,
// stops, breaks, seeks, the all-objects actions, and the references that keep a sequence alive.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/DynamicSequence/DynamicSequenceFixture.h"

#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <limits>

namespace ZkDynamicSequenceTest
{
namespace
{
constexpr ZkUniqueID kNodeA = 0xA1;
constexpr ZkUniqueID kNodeB = 0xB2;
constexpr ZkUniqueID kNotLoaded = 0xDEAD;

int g_infoA, g_infoB, g_infoEmpty, g_infoMissing;

class SequenceCommands : public SequenceTest
{
protected:
    void SetUp() override
    {
        SequenceTest::SetUp();
        m_a = AddPlayable(kNodeA);
        m_b = AddPlayable(kNodeB);
    }
    ZkPlayingID OpenRead(ZkGameObjectID object = kObject)
    {
        const ZkPlayingID id = OpenRecorded(Sequence::DynamicSequenceType_NormalTransition, object);
        ReadMessages();
        return id;
    }
    static std::vector<ZkActionCode> Codes(const TestPlayableNode& node)
    {
        std::vector<ZkActionCode> codes;
        for (const ZkActionParams& action : node.actions)
            codes.push_back(action.code);
        return codes;
    }
    static ZkUniqueID PlayingNode(ZkPlayingID id)
    {
        ZkUniqueID node = 0;
        void* info = nullptr;
        EXPECT_EQ(Sequence::GetPlayingItem(id, node, info), ZK_Success);
        return node;
    }

    TestPlayableNode* m_a = nullptr;
    TestPlayableNode* m_b = nullptr;
};

TEST_F(SequenceCommands, AnEmptyItemIsReportedAndTheNextOneIsLaunchedForTheSequence)
{
    const ZkPlayingID id = OpenRead();
    Append(id, {{0, 0, &g_infoEmpty}, {kNodeA, 20, &g_infoA}, {kNodeB, 0, &g_infoB}});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_reports, (std::vector<SequenceReport>{{0, &g_infoEmpty, false}}));
    ASSERT_EQ(m_a->launches.size(), 1u);
    const PlayLaunchParams& launch = m_a->launches[0];
    EXPECT_EQ(launch.playTargetKind, PlayLaunchParams::kPlayTargetDynamicSequence);
    EXPECT_EQ(launch.playTarget, SequenceOf(id));
    EXPECT_EQ(launch.playingID, id);
    EXPECT_EQ(launch.gameObject, m_object);
    EXPECT_EQ(launch.startDelaySamples, 960u) << "20 ms at 48 kHz";
    EXPECT_NE(launch.launchFlags & PlayLaunchParams::kFlagFirstItem, 0u);
    EXPECT_TRUE(m_b->launches.empty()) << "the next item waits for the first one's end";
    EXPECT_EQ(SequenceOf(id)->GetState(), CZkDynamicSequence::kPlaying);
    ZkUniqueID node = 0;
    void* info = nullptr;
    ASSERT_EQ(Sequence::GetPlayingItem(id, node, info), ZK_Success);
    EXPECT_EQ(node, kNodeA);
    EXPECT_EQ(info, &g_infoA);
    EXPECT_EQ(PlaylistLength(id), 1u);
}

TEST_F(SequenceCommands, ItemDelaysBecomeSamplesWithoutWrappingAndAreClampedAtTheLargestCount)
{
    ASSERT_EQ(ZkAudioSettings::SampleRate(), 48000u);
    const struct
    {
        uint32_t delayMs;
        uint32_t samples;
    } cases[] = {
        {0, 0},
        {1, 48},
        {89'479, 4'294'992},         // the first delay whose 32-bit product (ms x rate) would wrap
        {100'000, 4'800'000},
        {89'478'485, 4'294'967'280}, // the last one below the largest count
        {100'000'000, std::numeric_limits<uint32_t>::max()},
    };
    for (const auto& item : cases)
    {
        SCOPED_TRACE(item.delayMs);
        const ZkPlayingID id = OpenRead();
        Append(id, {{kNodeA, item.delayMs}});
        ASSERT_EQ(Sequence::Play(id), ZK_Success);
        ReadMessages();
        ASSERT_FALSE(m_a->launches.empty());
        EXPECT_EQ(m_a->launches.back().startDelaySamples, item.samples);
    }
}

TEST_F(SequenceCommands, AnUnlockRestartsAWaitingSequenceAndPostsNothingWhileItPlays)
{
    const ZkPlayingID id = OpenRead();
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(SequenceOf(id)->GetState(), CZkDynamicSequence::kWaiting) << "nothing to play";

    Append(id, {{kNodeA}});
    EXPECT_EQ(m_events.Ring().UsedBytes(), 24u) << "command 6";
    ReadMessages();
    EXPECT_EQ(m_a->launches.size(), 1u);
    EXPECT_EQ(SequenceOf(id)->GetState(), CZkDynamicSequence::kPlaying);

    Append(id, {{kNodeB}});
    EXPECT_TRUE(m_events.Ring().IsEmpty());
    EXPECT_EQ(SequenceOf(id)->RefCount(), 1u) << "the locks gave their references back";
}

TEST_F(SequenceCommands, PausesAreCountedAndTheSecondResumeAddsThePausedTimeOnce)
{
    const ZkPlayingID id = OpenRead();
    Append(id, {{kNodeA}});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    CZkDynamicSequence* sequence = SequenceOf(id);
    uint32_t start = 0, paused = 0;

    m_events.frameCounter = 100;
    ASSERT_EQ(Sequence::Pause(id, 10, ZkCurveInterpolation_Sine), ZK_Success);
    ASSERT_EQ(Sequence::Pause(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(sequence->PauseCount(), 2u);
    ASSERT_EQ(Codes(*m_a), std::vector<ZkActionCode>{ZkActionCode_Pause}) << "only the first pause is sent";
    EXPECT_EQ(m_a->actions[0].gameObject, m_object);
    EXPECT_EQ(m_a->actions[0].playingID, id);
    EXPECT_EQ(m_a->actions[0].transitionTime, 10);
    ASSERT_EQ(Sequence::GetPauseTimes(id, start, paused), ZK_Success);
    EXPECT_EQ(start, 100u);
    EXPECT_EQ(paused, 0u);

    m_events.frameCounter = 130;
    ASSERT_EQ(Sequence::Resume(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(sequence->PauseCount(), 1u);
    EXPECT_EQ(m_a->actions.size(), 1u) << "still paused";

    m_events.frameCounter = 150;
    ASSERT_EQ(Sequence::Resume(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(Codes(*m_a), (std::vector<ZkActionCode>{ZkActionCode_Pause, ZkActionCode_Resume}));
    EXPECT_EQ(m_a->launches.size(), 1u) << "a playing sequence is not played again";
    ASSERT_EQ(Sequence::GetPauseTimes(id, start, paused), ZK_Success);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(paused, 50u);
    ASSERT_EQ(Sequence::GetPauseTimes(id, start, paused), ZK_Success);
    EXPECT_EQ(paused, 0u) << "handed out once";

    ASSERT_EQ(Sequence::Resume(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_a->actions.size(), 2u) << "a resume without a pause does nothing";
}

TEST_F(SequenceCommands, StopClearsThePlayingItemAndBreakLetsItPlayOut)
{
    const struct
    {
        const char* name;
        ZKRESULT (*command)(ZkPlayingID);
        std::vector<ZkActionCode> toItem;
        ZkUniqueID playingAfter;
    } cases[] = {
        {"Stop", [](ZkPlayingID id) { return Sequence::Stop(id, 40, ZkCurveInterpolation_Exp3); },
         {ZkActionCode_Stop}, 0},
        {"Break", [](ZkPlayingID id) { return Sequence::Break(id); }, {}, kNodeA},
    };
    for (const auto& item : cases)
    {
        SCOPED_TRACE(item.name);
        m_a->actions.clear();
        const ZkPlayingID id = OpenRead();
        Append(id, {{kNodeA}, {kNodeB}});
        ASSERT_EQ(Sequence::Play(id), ZK_Success);
        ReadMessages();
        ASSERT_EQ(item.command(id), ZK_Success);
        ReadMessages();
        EXPECT_EQ(SequenceOf(id)->GetState(), CZkDynamicSequence::kStopped);
        EXPECT_EQ(Codes(*m_a), item.toItem);
        EXPECT_EQ(PlayingNode(id), item.playingAfter);
        EXPECT_EQ(PlaylistLength(id), 1u) << "the playlist stays";
        if (!m_a->actions.empty())
        {
            EXPECT_EQ(m_a->actions[0].transitionTime, 40);
            EXPECT_EQ(m_a->actions[0].curve, uint32_t{ZkCurveInterpolation_Exp3});
        }
    }
}

TEST_F(SequenceCommands, SeekReachesThePreviousItemElseTheLatestOne)
{
    const ZkPlayingID id = OpenRead();
    CZkDynamicSequence* sequence = SequenceOf(id);
    ASSERT_EQ(Sequence::Seek(id, ZkTimeMs{500}), ZK_Success);
    ReadMessages();
    EXPECT_TRUE(m_a->actions.empty()) << "a stopped sequence ignores seeks";

    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(sequence->Seek(0.0f, 0, false, false), ZK_InvalidID) << "no item to seek";

    Append(id, {{kNodeA}, {kNodeB}});
    ReadMessages(); // command 6: A plays
    ASSERT_EQ(Sequence::Seek(id, ZkTimeMs{500}, true), ZK_Success);
    ReadMessages();
    ASSERT_EQ(Codes(*m_a), std::vector<ZkActionCode>{ZkActionCode_Seek});
    EXPECT_FALSE(m_a->actions[0].seekIsRelative);
    EXPECT_EQ(m_a->actions[0].seekMilliseconds, 500);
    EXPECT_TRUE(m_a->actions[0].snapToNearestMarker);
    EXPECT_EQ(m_a->actions[0].playingID, id);

    // A's play context moves on to B: A is the previous item, which a seek reaches first.
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        uint32_t delay = 0;
        void* info = nullptr;
        ZkExternalSourceArray* sources = nullptr;
        ASSERT_EQ(sequence->AdvanceItem(delay, info, sources), kNodeB);
    }
    ASSERT_EQ(Sequence::Seek(id, 0.75f), ZK_Success);
    ReadMessages();
    ASSERT_EQ(m_a->actions.size(), 2u);
    EXPECT_TRUE(m_a->actions[1].seekIsRelative);
    EXPECT_EQ(m_a->actions[1].seekValue, 0.75f);
    EXPECT_TRUE(m_b->actions.empty());
}

TEST_F(SequenceCommands, ASequenceOfAnUnregisteredObjectDoesNothing)
{
    const ZkPlayingID id = OpenRead(kUnregistered);
    Append(id, {{kNodeA}});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_TRUE(m_a->launches.empty());
    EXPECT_EQ(PlaylistLength(id), 1u) << "nothing was popped";
    EXPECT_EQ(SequenceOf(id)->Seek(0.5f, 0, true, false), ZK_Fail);
}

TEST_F(SequenceCommands, AnItemThatIsNotLoadedIsReportedWithItsInfoAndTheNextOneIsTried)
{
    const ZkPlayingID id = OpenRead();
    Append(id, {{kNotLoaded, 0, &g_infoMissing}, {kNodeA, 0, &g_infoA}});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_reports, (std::vector<SequenceReport>{{kNotLoaded, &g_infoMissing, false}}));
    EXPECT_EQ(m_a->launches.size(), 1u);
    EXPECT_EQ(PlayingNode(id), kNodeA);
}

TEST_F(SequenceCommands, AllObjectsActionsStopThePlayingItemAndPauseTheSequence)
{
    const ZkPlayingID id = OpenRead();
    CZkDynamicSequence* sequence = SequenceOf(id);
    Append(id, {{kNodeA}, {kNodeB}, {kNodeA}});
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();

    StopAll(kObject); // an all-objects stop of the sequence's object
    ReadMessages();
    EXPECT_EQ(sequence->GetState(), CZkDynamicSequence::kStopped);
    EXPECT_EQ(PlayingNode(id), 0u);
    EXPECT_EQ(PlaylistLength(id), 2u) << "the playlist stays";

    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_b->launches.size(), 1u);
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        sequence->OnActionCommand(ZkActionCode_Pause, m_otherObject);
        EXPECT_EQ(sequence->ActionPauseCount(), 0u) << "another object's action";
        sequence->OnActionCommand(ZkActionCode_Pause, nullptr);
        EXPECT_EQ(sequence->ActionPauseCount(), 1u);
    }
    ASSERT_EQ(Sequence::Stop(id), ZK_Success);
    ASSERT_EQ(Sequence::Play(id), ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_a->launches.size(), 1u) << "paused by an action: Play does nothing";
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        m_events.frameCounter += 20;
        sequence->OnActionCommand(ZkActionCode_Resume, m_object);
    }
    EXPECT_EQ(sequence->ActionPauseCount(), 0u);
    EXPECT_EQ(m_a->launches.size(), 2u) << "the resume plays the stopped sequence";
    uint32_t start = 0, paused = 0;
    ASSERT_EQ(Sequence::GetPauseTimes(id, start, paused), ZK_Success);
    EXPECT_EQ(paused, 20u);
}

TEST_F(SequenceCommands, ClosedSequencesGoOnceNothingHoldsThemAndTheRestGoAtTermination)
{
    const uint32_t playingIDs = g_pPlayingMgr->PlayingIDCount();
    const uint32_t objectRefs = m_object->RefCount();
    for (int index = 0; index < 100; ++index)
    {
        const ZkPlayingID id = OpenRecorded();
        Append(id, {{kNodeA}});
        ASSERT_EQ(Sequence::Play(id), ZK_Success);
        ASSERT_EQ(Sequence::Close(id), ZK_Success);
        ReadMessages();
    }
    EXPECT_EQ(SequenceCount(), 0u) << "Close gave back the table's reference";
    EXPECT_EQ(g_pPlayingMgr->PlayingIDCount(), playingIDs);
    EXPECT_EQ(m_object->RefCount(), objectRefs) << "the game object is no longer held";
    EXPECT_EQ(m_reports.size(), 100u);
    EXPECT_TRUE(m_reports.back().ended);

    // A sequence closed while the game holds its playlist lives until the unlock.
    const ZkPlayingID held = OpenRead();
    const ZkPlayingID open = OpenRead();
    ASSERT_NE(Sequence::LockPlaylist(held), nullptr);
    ASSERT_EQ(Sequence::Close(held), ZK_Success);
    ReadMessages();
    ASSERT_EQ(SequenceCount(), 2u);
    {
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        g_pObjectIndex->ReleaseDynamicSequences();
    }
    EXPECT_EQ(SequenceOf(open), nullptr) << "an open sequence goes at termination";
    ASSERT_NE(SequenceOf(held), nullptr) << "a closed one gave its references already";
    EXPECT_EQ(SequenceOf(held)->RefCount(), 1u);
    EXPECT_EQ(Sequence::UnlockPlaylist(held), ZK_Success);
    EXPECT_EQ(SequenceCount(), 0u);
    EXPECT_EQ(g_pPlayingMgr->PlayingIDCount(), playingIDs);
}
} // namespace
} // namespace ZkDynamicSequenceTest
