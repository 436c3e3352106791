// The engine side of the playback messages, from the interface call to what the engine does with
// it at its next read: a posted event's actions become pending actions in list order, each due at
// its frame, with the post's playing id, value and external sources, and the playing id ends
// after the last; the actions on playing ids and events, StopAll and seeks reach the pending
// actions and the nodes with the values posted; the settings messages reach the buses and nodes.
#include "PostedPlaybackFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineMessageBodies.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"

using namespace ZkPostedPlaybackTest;

namespace
{
class PlaybackDispatch : public PlaybackTest
{
protected:
    // The actions of the runs that came with this playing id, in run order.
    std::vector<ZkUniqueID> RunsOf(ZkPlayingID playingID) const
    {
        std::vector<ZkUniqueID> ids;
        for (const ZkRunRecord& run : m_runs)
        {
            if (run.playingID == playingID)
                ids.push_back(run.actionID);
        }
        return ids;
    }
};

// Top-level bus "Master" with the child bus "Music"; the playable node 500 routed to "Master" and
// counted as playing, so that what the top-level buses pass down reaches it.
class BusDispatch : public PlaybackDispatch
{
protected:
    void SetUp() override
    {
        PlaybackDispatch::SetUp();
        Load(Bus("Master") + ", " + Bus("Music", R"("parent": "Master")"));
        // The bank read queued the main output's replacement for its top-level bus: not these
        // tests' subject (it would open an output device).
        m_events.Term();
        ASSERT_EQ(m_events.Init(kRingBytes), ZK_Success);
        m_master = FindBus("Master");
        m_music = FindBus("Music");
        ASSERT_NE(m_master, nullptr);
        ASSERT_NE(m_music, nullptr);
        m_node = AddPlayable(500);
        ASSERT_EQ(m_master->AddChild(m_node), ZK_Success);
        Play(m_node);
    }
    void TearDown() override
    {
        if (m_node != nullptr && m_node->IsPlaying())
            Stop(m_node);
        PlaybackDispatch::TearDown();
    }

    template <typename Body>
    void PostRaw(uint16_t type, const Body& body)
    {
        ASSERT_TRUE(m_events.Ring().Post(type, body));
    }

    CZkBus* m_master = nullptr;
    CZkBus* m_music = nullptr;
    TestPlayableNode* m_node = nullptr;
};
} // namespace

TEST_F(PlaybackDispatch, SuccessivePostsReturnOneTwoThree)
{
    AddEvent(100, {});
    for (ZkPlayingID expected = 1; expected <= 3; ++expected)
        EXPECT_EQ(PostEvent(100u, kObject), expected);
    EXPECT_EQ(PostEvent(101u, kObject), ZK_INVALID_PLAYING_ID) << "not loaded";
    EXPECT_EQ(PostEvent(100u, kObject), 4u) << "a post that found no event took no playing id";
}

TEST_F(PlaybackDispatch, APostedEventsActionsBecomePendingActionsInListOrderEachDueAtItsFrame)
{
    AddRecording(1);
    AddDelayed(2, 2, 10);
    AddRecording(3);
    AddDelayed(4, 1);
    AddDelayed(5, 1);
    AddEvent(100, {1, 2, 3, 4, 5});
    const ZkPlayingID playingID = PostLogged(100);
    ASSERT_EQ(playingID, 1u);
    EXPECT_TRUE(m_runs.empty()) << "nothing runs before the engine reads the message";
    EXPECT_TRUE(IsPlaying(playingID));

    ReadMessages();
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{1, 3})) << "the undelayed ones at once, in list order";
    EXPECT_EQ(m_events.ActivePendingCount(), 3u);
    EXPECT_EQ(Ends(), 0u) << "the pending actions hold the playing id";
    Tick();
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{1, 3, 4, 5})) << "equal due frames keep list order";
    EXPECT_EQ(Ends(), 0u);
    Tick();
    ASSERT_EQ(m_runs.size(), 5u);
    EXPECT_EQ(m_runs[4].actionID, 2u);
    EXPECT_EQ(m_runs[4].frame, 2u);
    EXPECT_EQ(m_runs[4].sampleOffset, 10u) << "the samples past the frame go with the action";
    for (const ZkRunRecord& run : m_runs)
        EXPECT_EQ(run.playingID, playingID);
    EXPECT_EQ(Ends(), 1u) << "after the last action";
    EXPECT_FALSE(IsPlaying(playingID));
    EXPECT_EQ(FindEvent(100)->RefCount(), 1u) << "the message's event reference was given back";
}

TEST_F(PlaybackDispatch, ThePostsValueAndExternalSourcesReachItsActions)
{
    TestPlayableNode* played = AddPlayable(500);
    TestPlayableNode* stopped = AddPlayable(501);
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "action", "id": 1, "action": "play", "target": 500, "props": {"delay": 50}},
                                   {"type": "action", "id": 2, "action": "stop", "target": 501})")),
              ZK_Success);
    AddDelayed(3, 10); // keeps the playing id, and so its external sources, while the test looks
    AddEvent(100, {1, 2, 3});
    const wchar_t name[] = L"line_017.oxm";
    ZkExternalSourceInfo sources[2];
    sources[0].cookie = 3;
    sources[0].fileName = name;
    sources[1].cookie = 4;
    const ZkPlayingID playingID = PostEvent(100u, kObject, 0, nullptr, nullptr, 2, sources, 44);
    ASSERT_NE(playingID, ZK_INVALID_PLAYING_ID);
    ReadMessages();

    ASSERT_EQ(stopped->actions.size(), 1u);
    EXPECT_EQ(stopped->actions[0].code, ZkActionCode_Stop);
    EXPECT_EQ(stopped->actions[0].playingID, 44u) << "the post's last argument is the actions' playing-id filter";
    EXPECT_EQ(stopped->actions[0].gameObject, m_object);
    EXPECT_TRUE(played->launches.empty()) << "50 ms is two frames away";
    Ticks(3);
    ASSERT_EQ(played->launches.size(), 1u);
    const PlayLaunchParams& launch = played->launches[0];
    EXPECT_EQ(launch.playingID, playingID);
    EXPECT_EQ(launch.gameObject, m_object);
    ASSERT_NE(launch.externalSources, nullptr);
    ASSERT_EQ(launch.externalSources->Count(), 2u);
    EXPECT_STREQ(launch.externalSources->Record(0).fileName, name);
    EXPECT_NE(launch.externalSources->Record(0).fileName, name) << "the post's own copy";
    EXPECT_EQ(launch.externalSources->Record(1).fileName, nullptr);
    EXPECT_EQ(launch.externalSources->Record(1).cookie, 4u);
    Ticks(8);
    EXPECT_FALSE(IsPlaying(playingID)) << "the copy went with the playing id (the leak checker watches)";
}

TEST_F(PlaybackDispatch, ActionsForThePostingObjectNeedARegisteredObject)
{
    AddRecording(1);                  // acts for the posting object
    AddRecording(2, 0x0104);          // acts for every object
    AddEvent(100, {1, 2});
    const ZkPlayingID playingID = PostLogged(100, kUnregistered);
    ASSERT_NE(playingID, ZK_INVALID_PLAYING_ID) << "the post itself does not look at the object";
    ReadMessages();
    EXPECT_EQ(RunIDs(), std::vector<ZkUniqueID>{2});
    EXPECT_EQ(Ends(), 1u);
}

TEST_F(PlaybackDispatch, StopAllRemovesThePendingActionsOfTheObjectOrOfEveryObject)
{
    AddDelayed(1, 5);
    AddEvent(100, {1});
    PostLogged(100, kObject);
    PostLogged(100, kOtherObject);
    ReadMessages();
    ASSERT_EQ(m_events.ActivePendingCount(), 2u);
    StopAll(kUnregistered);
    ReadMessages();
    EXPECT_EQ(m_events.ActivePendingCount(), 2u) << "an unregistered object is dropped";
    StopAll(kObject);
    ReadMessages();
    EXPECT_EQ(m_events.ActivePendingCount(), 1u);
    EXPECT_EQ(Ends(), 1u);
    StopAll();
    ReadMessages();
    EXPECT_EQ(m_events.ActivePendingCount(), 0u);
    EXPECT_EQ(Ends(), 2u);
    EXPECT_TRUE(m_runs.empty());
}

TEST_F(PlaybackDispatch, ActionsOnAPlayingIdTreatItsPendingActionsOnly)
{
    AddDelayed(1, 3);
    AddEvent(100, {1});
    const ZkPlayingID first = PostLogged(100);
    const ZkPlayingID second = PostLogged(100);
    ReadMessages();

    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, first);
    ReadMessages();
    EXPECT_EQ(m_events.PausedPendingCount(), 1u);
    Ticks(5);
    EXPECT_EQ(RunsOf(second), std::vector<ZkUniqueID>{1});
    EXPECT_TRUE(RunsOf(first).empty()) << "paused";
    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, first);
    ExecuteActionOnPlayingID(ZkActionOnEventType_Resume, first);
    ReadMessages();
    EXPECT_EQ(m_events.PausedPendingCount(), 1u) << "two pauses need two resumes";
    ExecuteActionOnPlayingID(ZkActionOnEventType_Resume, first);
    ReadMessages();
    EXPECT_EQ(m_events.ActivePendingCount(), 1u);
    Ticks(2);
    EXPECT_TRUE(RunsOf(first).empty()) << "the remaining delay is kept: three frames in all";
    Tick();
    EXPECT_EQ(RunsOf(first), std::vector<ZkUniqueID>{1});

    for (const auto stop : {0, 1})
    {
        const ZkPlayingID playingID = PostLogged(100);
        ReadMessages();
        if (stop == 0)
            StopPlayingID(playingID);
        else
            ExecuteActionOnPlayingID(ZkActionOnEventType_ReleaseEnvelope, playingID);
        ReadMessages();
        EXPECT_EQ(m_events.ActivePendingCount(), 0u);
        EXPECT_FALSE(IsPlaying(playingID)) << "its pending actions were removed";
    }
    EXPECT_EQ(Ends(), 4u);
}

TEST_F(BusDispatch, ActionsOnAPlayingIdReachTheNodesThroughTheTopLevelBuses)
{
    StopPlayingID(12, 300, ZkCurveInterpolation_SCurve);
    ExecuteActionOnPlayingID(ZkActionOnEventType_Pause, 13, 40, ZkCurveInterpolation_Sine);
    ExecuteActionOnPlayingID(ZkActionOnEventType_Break, 14);
    ReadMessages();
    ASSERT_EQ(m_node->actions.size(), 3u);
    const ZkActionParams& stop = m_node->actions[0];
    EXPECT_EQ(stop.code, ZkActionCode_Stop);
    EXPECT_EQ(stop.playingID, 12u);
    EXPECT_EQ(stop.transitionTime, 300);
    EXPECT_EQ(stop.curve, uint32_t{ZkCurveInterpolation_SCurve});
    EXPECT_TRUE(stop.throughBuses);
    EXPECT_EQ(m_node->actions[1].code, ZkActionCode_Pause);
    EXPECT_EQ(m_node->actions[1].playingID, 13u);
    EXPECT_EQ(m_node->actions[1].transitionTime, 40);
    EXPECT_EQ(m_node->actions[2].code, ZkActionCode_Break) << "action 4 is code 5";
}

TEST_F(BusDispatch, ActionsOnAnEventReachItsTargetsAndTheirPendingActions)
{
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "action", "id": 1, "action": "play", "target": 500, "props": {"delay": 100}})")),
              ZK_Success);
    AddEvent(100, {1});
    const ZkPlayingID playingID = PostLogged(100);
    ReadMessages();
    ASSERT_EQ(m_events.ActivePendingCount(), 1u);

    EXPECT_EQ(ExecuteActionOnEvent(100u, ZkActionOnEventType_Pause, kUnregistered), ZK_Success);
    ReadMessages();
    EXPECT_TRUE(m_node->actions.empty()) << "an unregistered object: the engine does nothing";
    EXPECT_EQ(m_events.PausedPendingCount(), 0u);

    EXPECT_EQ(ExecuteActionOnEvent(100u, ZkActionOnEventType_Pause, kObject, 75, ZkCurveInterpolation_Log1, playingID),
              ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_events.PausedPendingCount(), 1u) << "the play of the target waits paused";
    ASSERT_EQ(m_node->actions.size(), 1u);
    EXPECT_EQ(m_node->actions[0].code, ZkActionCode_Pause);
    EXPECT_EQ(m_node->actions[0].gameObject, m_object);
    EXPECT_EQ(m_node->actions[0].playingID, playingID);
    EXPECT_EQ(m_node->actions[0].transitionTime, 75);
    EXPECT_EQ(m_node->actions[0].curve, uint32_t{ZkCurveInterpolation_Log1});

    EXPECT_EQ(SeekOnEvent(100u, kObject, 1500, true, playingID), ZK_Success);
    EXPECT_EQ(SeekOnEvent(100u, ZK_ALL_GAME_OBJECTS, 0.25f), ZK_Success);
    ReadMessages();
    ASSERT_EQ(m_node->actions.size(), 3u);
    const ZkActionParams& inMs = m_node->actions[1];
    EXPECT_EQ(inMs.code, ZkActionCode_Seek);
    EXPECT_EQ(inMs.seekMilliseconds, 1500);
    EXPECT_FALSE(inMs.seekIsRelative);
    EXPECT_TRUE(inMs.snapToNearestMarker);
    EXPECT_EQ(inMs.playingID, playingID);
    const ZkActionParams& fraction = m_node->actions[2];
    EXPECT_TRUE(fraction.seekIsRelative);
    EXPECT_EQ(fraction.seekValue, 0.25f);
    EXPECT_EQ(fraction.gameObject, nullptr) << "every object";

    EXPECT_EQ(ExecuteActionOnEvent(100u, ZkActionOnEventType_Stop, kObject), ZK_Success);
    ReadMessages();
    EXPECT_EQ(m_events.PausedPendingCount(), 0u);
    EXPECT_EQ(Ends(), 1u);
    EXPECT_TRUE(m_node->launches.empty());
    EXPECT_EQ(FindEvent(100)->RefCount(), 1u) << "every message gave its event reference back";
}

TEST_F(BusDispatch, BusSettingsReachTheBusOfTheirId)
{
    PostRaw(ZkMessage_SetBusDevice, ZkSetBusDeviceMessage{Id("Master"), 0x0DE7});
    PostRaw(ZkMessage_SetBusDevice, ZkSetBusDeviceMessage{0xBADu, 0x0BAD});
    PostRaw(ZkMessage_SetBusConfig, ZkSetBusConfigMessage{Id("Music"), ZkChannelConfig::kStereoWord});
    PostRaw(ZkMessage_SetBusConfig, ZkSetBusConfigMessage{Id("Master"), ZkChannelConfig::kStereoWord});
    PostRaw(ZkMessage_SetMixer, ZkSetMixerMessage{Id("Music"), 0, 0x313u, 1});
    PostRaw(ZkMessage_SetMixer, ZkSetMixerMessage{500, 0, 0x313u, 0}); // a node that is no bus
    const uint32_t masterConfig = m_master->ChannelConfig();
    ReadMessages();
    EXPECT_EQ(m_master->DeviceID(), 0x0DE7u);
    EXPECT_EQ(m_music->DeviceID(), 0x0DE7u) << "passed to the child buses";
    EXPECT_EQ(m_music->ChannelConfig(), ZkChannelConfig::kStereoWord);
    EXPECT_EQ(m_master->ChannelConfig(), masterConfig) << "a top-level bus keeps its device's";
    ASSERT_NE(m_music->MixerPlugin(), nullptr);
    EXPECT_EQ(m_music->MixerPlugin()->effectID, 0x313u);
    EXPECT_EQ(m_music->MixerPlugin()->isShareSet, 1u);
    ASSERT_EQ(m_music->SetMixerPlugin(0x414u, true, 0), ZK_Success);
    EXPECT_EQ(m_music->MixerPlugin()->effectID, 0x313u) << "a bank's setting does not undo the game's";

    PostRaw(ZkMessage_MuteBackgroundMusic, ZkMuteBackgroundMusicMessage{1});
    ReadMessages();
    EXPECT_TRUE(CZkBus::IsBackgroundMusicMuted());
    PostRaw(ZkMessage_MuteBackgroundMusic, ZkMuteBackgroundMusicMessage{0});
    ReadMessages();
    EXPECT_FALSE(CZkBus::IsBackgroundMusicMuted());
}

TEST_F(BusDispatch, EffectSettingsReachTheSlotOfTheBusOrNode)
{
    PostRaw(ZkMessage_SetNodeEffect, ZkNodeEffectMessage{Id("Music"), 2, 0xE2u, 1});
    PostRaw(ZkMessage_SetNodeEffect, ZkNodeEffectMessage{500, 1, 0xE1u, 0});
    PostRaw(ZkMessage_SetNodeEffect, ZkNodeEffectMessage{500, 4, 0xE4u, 0}); // no slot 4
    PostRaw(ZkMessage_SetNodeEffect, ZkNodeEffectMessage{500, 0, 0xE0u, 1}); // not in the bus table
    ReadMessages();
    EXPECT_EQ(m_music->EffectSlotID(2), 0xE2u);
    EXPECT_EQ(m_node->EffectSlotID(1), 0xE1u);
    EXPECT_EQ(m_node->EffectSlotID(0), 0u);
    EXPECT_EQ(m_node->EffectSlotID(3), 0u);
    ASSERT_EQ(m_node->Effects().SetSlotValue(1, 0xB1u, true, 0), ZK_Success);
    EXPECT_EQ(m_node->EffectSlotID(1), 0xE1u) << "a bank's setting does not undo the game's";
}
