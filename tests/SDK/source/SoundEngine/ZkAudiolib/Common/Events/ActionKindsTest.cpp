// What each kind of action does when it runs: plays (the launch record, the initial delay through a
// run-time play), stop, pause and resume on the target and on all objects (the command's fields,
// the pending actions they treat, the exceptions), the property setters on the nodes' modified
// records, game parameters, node flags, states, switches, triggers, the target notification, seek,
// break and posted events; StopAll's transient stop; and the messages on an event's actions.
#include "EventsFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"

#include "ZkAudiolib/Common/Events/CZkStopAction.h"
#include "ZkAudiolib/Common/FrontEnd/ZkExternalSourceArray.h"
#include "ZkAudiolib/Common/Hierarchy/CZkModifiedProps.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"

#include <ZK/SoundEngine/Common/ZkEventCalls.h>

namespace
{
using namespace ZkEventsTest;

class ActionKinds : public EventsTest
{
protected:
    void SetUp() override
    {
        EventsTest::SetUp();
        m_object = Register(7);
        m_node = AddPlayable(500);
    }

    // Loads the action items (JSON objects, comma-separated) in one bank.
    void LoadActions(const std::string& items) { ASSERT_EQ(Parse(BankOfItems(items)), ZK_Success); }
    static std::string Action(ZkUniqueID id, const std::string& keys)
    {
        return R"({"type": "action", "id": )" + std::to_string(id) + ", " + keys + "}";
    }
    // Runs the action at once for the object, with the playing id and its filter.
    ZKRESULT Run(ZkUniqueID actionID, CZkRegisteredObj* object, ZkPlayingID playingID = 1, ZkPlayingID filter = 0)
    {
        CZkEventAction* action = FindAction(actionID);
        EXPECT_NE(action, nullptr) << actionID;
        if (action == nullptr)
            return ZK_Fail;
        PendingAction pending(action, object);
        pending.playingID = playingID;
        pending.playingIDFilter = filter;
        return action->Execute(pending);
    }
    // A recording action aimed at the node, delayed by frames, posted for the object: a pending
    // action the walkers can see.
    void PendingOn(ZkUniqueID actionID, ZkUniqueID nodeID, uint16_t type = 0x0103)
    {
        RecordingAction* action = AddRecording(actionID, type);
        action->SetTarget(nodeID, false);
        action->SetIntProperty(ZkProp_ActionDelay, 4 * kFrame, 0, 0);
        AddEvent(actionID + 1000, {actionID});
        Post(actionID + 1000, m_object);
    }

    CZkRegisteredObj* m_object = nullptr;
    TestPlayableNode* m_node = nullptr;
};

TEST_F(ActionKinds, PlayLaunchesTheTargetWithThePostsRecord)
{
    LoadActions(Action(1, R"("action": "play", "target": 500, "curve": 2, "props": {"fade_time": 300})") + ", " +
                Action(2, R"("action": "play", "target": 999)"));
    ZkExternalSourceInfo source;
    source.fileName = L"voice.oxm";
    ZkExternalSourceArray* sources = ZkExternalSourceArray::Create(&source, 1);
    ASSERT_NE(sources, nullptr);
    {
        PendingAction pending(FindAction(1), m_object);
        pending.playingID = 33;
        pending.sampleOffset = 17;
        ZkPlayRecord play;
        play.externalSources = sources;
        play.midiEvent.type = ZkMidiEvent::kNoteOff;
        play.midiValue = 5;
        pending.SetPlayRecord(play);
        const uint32_t started = CZkPlayableNode::StartedInstanceCount();
        EXPECT_EQ(FindAction(1)->Execute(pending), ZK_Success);
        EXPECT_EQ(CZkPlayableNode::StartedInstanceCount(), started + 1);
        EXPECT_EQ(sources->RefCount(), 2) << "the launch gave its reference back";
    }
    ASSERT_EQ(m_node->launches.size(), 1u);
    const PlayLaunchParams& launch = m_node->launches[0];
    EXPECT_EQ(launch.gameObject, m_object);
    EXPECT_EQ(launch.playingID, 33u);
    EXPECT_EQ(launch.sampleOffset, 17u);
    EXPECT_EQ(launch.fadeInTime, 300);
    EXPECT_EQ(launch.fadeInCurve, 2u);
    EXPECT_EQ(launch.externalSources, sources);
    EXPECT_EQ(launch.midiEvent.type, ZkMidiEvent::kNoteOff);
    EXPECT_EQ(launch.midiValue, 5u);
    EXPECT_NE(launch.launchFlags & PlayLaunchParams::kFlagFirstItem, 0);
    EXPECT_EQ(launch.launchFlags & PlayLaunchParams::kFlagRunTimeAction, 0);
    sources->Release();

    EXPECT_EQ(Run(2, m_object), ZK_InvalidID) << "a target that is not loaded";
    // A note-on goes through the node's MIDI filter first: channel 3 outside the mask.
    ASSERT_EQ(m_node->SetIntProperty(ZkProp_MidiChannelMask, 1), ZK_Success);
    PendingAction pending(FindAction(1), m_object);
    ZkPlayRecord play;
    play.midiEvent = ZkMidiEvent{ZkMidiEvent::kNoteOn, 3, 60, 100};
    pending.SetPlayRecord(play);
    EXPECT_EQ(FindAction(1)->Execute(pending), ZK_MidiEventFiltered);
    EXPECT_EQ(m_node->launches.size(), 1u);
}

TEST_F(ActionKinds, AnInitialDelayQueuesARunTimePlayThatPlaysOnce)
{
    ASSERT_EQ(m_node->SetFloatProperty(ZkProp_InitialDelay, 0.5f), ZK_Success);
    LoadActions(Action(1, R"("action": "play", "target": 500)"));
    AddEvent(1000, {1});
    Post(1000, m_object, 21);
    EXPECT_TRUE(m_node->launches.empty()) << "deferred";
    EXPECT_EQ(m_events.ActivePendingCount(), 1u) << "as a run-time play";
    // 0.5 s is 24,000 samples: 23 frames and 448 samples; the look-ahead keeps one frame in the offset.
    Ticks(21);
    EXPECT_TRUE(m_node->launches.empty());
    Tick();
    ASSERT_EQ(m_node->launches.size(), 1u);
    EXPECT_EQ(m_node->launches[0].sampleOffset, kFrame + 448u);
    EXPECT_EQ(m_node->launches[0].playingID, 21u);
    EXPECT_EQ(m_node->launches[0].gameObject, m_object);
    EXPECT_FALSE(m_node->launches[0].skipDelayOnce) << "its own delay was skipped once";
    Ticks(40);
    EXPECT_EQ(m_node->launches.size(), 1u) << "and not queued again";
}

TEST_F(ActionKinds, StopPauseAndResumeOnTheTarget)
{
    LoadActions(Action(1, R"("action": "stop", "target": 500, "options": 6, "curve": 1, "props": {"fade_time": 200})") + ", " +
                Action(2, R"("action": "pause", "target": 500, "options": 5)") + ", " +
                Action(3, R"("action": "resume", "target": 500, "options": 3)") + ", " +
                Action(4, R"("action": "stop", "target": 999)"));
    PendingOn(10, 500);
    PendingOn(11, 501);
    EXPECT_EQ(Run(4, m_object), ZK_Success) << "a target that is not loaded: nothing at all";
    EXPECT_EQ(m_events.ActivePendingCount(), 2u);

    EXPECT_EQ(Run(2, m_object, 1, 9), ZK_Success);
    ASSERT_EQ(m_node->actions.size(), 1u);
    const ZkActionParams pause = m_node->actions[0];
    EXPECT_EQ(pause.code, ZkActionCode_Pause);
    EXPECT_EQ(pause.gameObject, m_object);
    EXPECT_FALSE(pause.isGlobal);
    EXPECT_EQ(pause.playingID, 9u) << "the post's filter";
    EXPECT_FALSE(pause.pausesStateTransitions) << "option 1 of 5";
    EXPECT_TRUE(pause.resumesStateTransitions) << "option 2 of 5";
    EXPECT_EQ(m_events.PausedPendingCount(), 0u) << "only the pending actions of playing id 9";
    EXPECT_EQ(Run(2, m_object), ZK_Success);
    EXPECT_EQ(m_events.PausedPendingCount(), 1u) << "the target's pending action";

    EXPECT_EQ(Run(3, nullptr), ZK_Success);
    const ZkActionParams resume = m_node->actions.back();
    EXPECT_EQ(resume.code, ZkActionCode_Resume);
    EXPECT_TRUE(resume.isGlobal);
    EXPECT_TRUE(resume.resumeAllPauses) << "option 0";
    EXPECT_TRUE(resume.pausesStateTransitions);
    EXPECT_FALSE(resume.resumesStateTransitions);
    EXPECT_EQ(m_events.PausedPendingCount(), 0u);

    EXPECT_EQ(Run(1, m_object), ZK_Success);
    const ZkActionParams stop = m_node->actions.back();
    EXPECT_EQ(stop.code, ZkActionCode_Stop);
    EXPECT_EQ(stop.transitionTime, 200);
    EXPECT_EQ(stop.curve, 1u);
    EXPECT_TRUE(stop.pausesStateTransitions && stop.resumesStateTransitions);
    EXPECT_EQ(m_events.ActivePendingCount(), 1u) << "the stop removed the target's pending action";
}

TEST_F(ActionKinds, AllObjectsCommandsLeaveTheExceptionsOut)
{
    Load(Bus("Master") + ", " + Bus("Quiet", R"("parent": "Master")"));
    TestPlayableNode* kept = AddPlayable(501);
    TestPlayableNode* excepted = AddPlayable(502);
    TestPlayableNode* child = AddPlayable(503);
    TestPlayableNode* behindBus = AddPlayable(504);
    child->SetParent(excepted);
    for (TestPlayableNode* node : {kept, excepted})
        ASSERT_EQ(FindBus("Master")->AddChild(node), ZK_Success);
    ASSERT_EQ(FindBus("Quiet")->AddChild(behindBus), ZK_Success);
    for (CZkHierarchyNode* node : std::initializer_list<CZkHierarchyNode*>{kept, child, behindBus})
        Play(node); // buses pass commands to what plays
    LoadActions(Action(1, R"("action": "pause", "scope": 4, "exceptions": [502, [)" +
                          std::to_string(Id("Quiet")) + R"(, 1]])") + ", " +
                Action(2, R"("action": "seek", "scope": 4, "relative": 1, "value": 0.5, "exceptions": [502])"));
    PendingOn(10, 501);
    PendingOn(11, 502);
    EXPECT_EQ(Run(1, nullptr), ZK_Success);
    ASSERT_EQ(kept->actions.size(), 1u);
    EXPECT_EQ(kept->actions[0].code, ZkActionCode_Pause);
    EXPECT_EQ(kept->actions[0].exceptionCount, 2u);
    EXPECT_TRUE(child->actions.empty()) << "below an excepted node";
    EXPECT_TRUE(behindBus->actions.empty()) << "behind an excepted bus";
    EXPECT_EQ(m_events.PausedPendingCount(), 1u) << "the excepted node's pending action runs on";
    EXPECT_EQ(Run(2, m_object), ZK_Success);
    ASSERT_EQ(kept->actions.size(), 2u);
    EXPECT_EQ(kept->actions[1].code, ZkActionCode_Seek);
    EXPECT_TRUE(kept->actions[1].seekIsRelative);
    EXPECT_EQ(kept->actions[1].seekValue, 0.5f);
    for (CZkHierarchyNode* node : std::initializer_list<CZkHierarchyNode*>{kept, child, behindBus})
        Stop(node);
}

TEST_F(ActionKinds, StopAllRemovesThePendingActionsOfTheObjectOrOfAll)
{
    CZkRegisteredObj* other = Register(8);
    PendingOn(10, 500);
    RecordingAction* action = AddRecording(11, 0x0103);
    action->SetIntProperty(ZkProp_ActionDelay, kFrame, 0, 0);
    AddEvent(2000, {11});
    Post(2000, other);
    EXPECT_EQ(m_events.ActivePendingCount(), 2u);
    EXPECT_EQ(CZkStopAction::ExecuteTransient(CZkStopAction::kStopOneObject, other), ZK_Success);
    EXPECT_EQ(m_events.ActivePendingCount(), 1u);
    EXPECT_EQ(CZkStopAction::ExecuteTransient(CZkStopAction::kStopAllObjects, nullptr), ZK_Success);
    EXPECT_EQ(m_events.ActivePendingCount(), 0u);
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Actions).Length(), 2u) << "the transient stops left no trace";
}

TEST_F(ActionKinds, PropertySettersChangeTheNodesModifiedRecords)
{
    CZkRegisteredObj* other = Register(8);
    TestPlayableNode* second = AddPlayable(501);
    LoadActions(Action(1, R"("action": "set_property_0a", "target": 500, "value": -6.0)") + ", " +
                Action(2, R"("action": "set_property_0a", "target": 500, "meaning": 2, "value": -3.0)") + ", " +
                Action(3, R"("action": "set_property_0b", "target": 500)") + ", " +
                Action(4, R"("action": "set_gain", "scope": 2, "target": 500, "props": {"11": 0.25})") + ", " +
                Action(5, R"("action": "set_property_0b", "scope": 4)") + ", " +
                Action(6, R"("action": "set_property_0b", "scope": 5)") + ", " +
                Action(7, R"("action": "set_property_0a", "scope": 4, "value": 1.0)") + ", " +
                Action(8, R"("action": "set_property_0a", "target": 501, "value": -2.0)"));
    const auto value = [](CZkHierarchyNode* node, CZkGameObject* object, uint8_t id) {
        CZkModifiedProps* record = node->FindModifiedProps(object);
        return record != nullptr ? record->Value(id) : CZkModifiedProps::NeutralValue(id);
    };
    EXPECT_EQ(Run(1, m_object), ZK_Success);
    EXPECT_EQ(value(m_node, m_object, 0), -6.0f) << "kind 0x0A sets property 0";
    EXPECT_EQ(Run(2, m_object), ZK_Success);
    EXPECT_EQ(value(m_node, m_object, 0), -9.0f) << "an offset adds to the current value";
    EXPECT_EQ(Run(3, m_object), ZK_Success);
    EXPECT_EQ(value(m_node, m_object, 0), 0.0f) << "the reset";
    EXPECT_EQ(Run(4, nullptr), ZK_Success);
    EXPECT_EQ(value(m_node, nullptr, ZkProp_Gain), 0.25f) << "the gain form takes the action's property 11";

    EXPECT_EQ(Run(1, m_object), ZK_Success);
    EXPECT_EQ(Run(1, other), ZK_Success);
    EXPECT_EQ(Run(8, m_object), ZK_Success);
    EXPECT_EQ(Run(6, m_object), ZK_Success);
    EXPECT_EQ(value(m_node, m_object, 0), 0.0f) << "scope 5: the nodes of the object";
    EXPECT_EQ(value(second, m_object, 0), 0.0f);
    EXPECT_EQ(value(m_node, other, 0), -6.0f) << "not another object's";
    EXPECT_EQ(Run(5, nullptr), ZK_Success);
    EXPECT_EQ(value(m_node, other, 0), 0.0f) << "scope 4: every node of every object";
    EXPECT_EQ(Run(7, nullptr), ZK_Success) << "a set has no scope 4";
    EXPECT_EQ(value(m_node, nullptr, 0), 0.0f);
}

TEST_F(ActionKinds, GameParametersStatesSwitchesTriggersAndNodeFlags)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(40), ZK_Success);
    ZkGameSyncTest::RecordingReceiver receiver;
    ASSERT_EQ(g_pStateMgr->RegisterTriggerTarget(&receiver, m_object), ZK_Success);
    LoadActions(Action(1, R"("action": "set_game_parameter", "target": 900, "value": 30.0)") + ", " +
                Action(2, R"("action": "set_game_parameter", "scope": 2, "target": 900, "value": 10.0)") + ", " +
                Action(3, R"("action": "reset_game_parameter", "target": 900)") + ", " +
                Action(4, R"("action": "set_state", "group": 40, "state": 41)") + ", " +
                Action(5, R"("action": "set_switch", "group": 50, "switch": 51)") + ", " +
                Action(6, R"("action": "trigger", "scope": 1, "target": 60)") + ", " +
                Action(7, R"("action": "clear_node_flag", "target": 500)") + ", " +
                Action(8, R"("action": "set_node_flag", "target": 500)"));
    const auto parameter = [](CZkRegisteredObj* object) {
        ZkRTPCKey key = ZkRTPCKey::ForObject(object);
        float value = -1.0f;
        g_pRTPCMgr->GetRTPCValue(900, key, value);
        return value;
    };
    EXPECT_EQ(Run(1, m_object), ZK_Success);
    EXPECT_EQ(Run(2, nullptr), ZK_Success);
    EXPECT_EQ(parameter(m_object), 30.0f);
    EXPECT_EQ(parameter(nullptr), 10.0f) << "scope 2 sets the global value";
    EXPECT_EQ(Run(3, m_object), ZK_Success);
    EXPECT_EQ(parameter(m_object), 10.0f) << "the object's value reset: the global one shows";

    EXPECT_EQ(Run(4, nullptr), ZK_Success);
    EXPECT_EQ(g_pStateMgr->GetState(40), 41u);
    EXPECT_EQ(Run(5, m_object), ZK_Success);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(50, ZkRTPCKey::ForObject(m_object)), 51u);
    EXPECT_EQ(Run(6, m_object), ZK_Success);
    EXPECT_EQ(receiver.triggers, std::vector<ZkUniqueID>{60});
    EXPECT_EQ(Run(7, nullptr), ZK_Success);
    EXPECT_FALSE(m_node->IsStateUseEnabled());
    EXPECT_EQ(Run(8, nullptr), ZK_Success);
    EXPECT_TRUE(m_node->IsStateUseEnabled()) << "only type 0x1002 enables";
    g_pStateMgr->UnregisterTriggerTarget(&receiver);
}

TEST_F(ActionKinds, NotificationSeekBreakSlotsAndPlaylists)
{
    LoadActions(Action(1, R"("action": "notify", "target": 500, "props": {"fade_time": 500})") + ", " +
                Action(2, R"("action": "seek", "target": 500, "relative": 1, "value": 1.5, "snap": 1)") + ", " +
                Action(3, R"("action": "seek", "target": 500, "relative": 0, "value": 2500)") + ", " +
                Action(4, R"("action": "break", "target": 500)") + ", " +
                Action(5, R"("action": "break", "scope": 4, "target": 500)") + ", " +
                Action(6, R"("action": "break", "target": 999)") + ", " +
                Action(7, R"("action": "notify", "target": 999)") + ", " +
                Action(8, R"("action": "seek", "target": 999, "relative": 1)") + ", " +
                Action(9, R"("action": "node_slot", "target": 500)") + ", " +
                Action(10, R"("action": "reset_playlist", "target": 500)"));
    PendingOn(20, 500);          // a stop: not a play
    PendingOn(21, 500, 0x0403);  // a play
    EXPECT_EQ(Run(1, m_object), ZK_Success);
    ASSERT_EQ(m_node->actions.size(), 1u);
    EXPECT_EQ(m_node->actions[0].code, ZkActionCode_TargetNotification);
    EXPECT_EQ(m_node->actions[0].target, m_node);
    EXPECT_EQ(m_node->actions[0].transitionTime, 0) << "no fade";
    EXPECT_EQ(m_node->actions[0].curve, 4u);
    EXPECT_EQ(m_events.ActivePendingCount(), 1u) << "the pending play was removed, not the stop";

    EXPECT_EQ(Run(2, m_object), ZK_Success);
    const ZkActionParams relative = m_node->actions.back();
    EXPECT_EQ(relative.code, ZkActionCode_Seek);
    EXPECT_TRUE(relative.seekIsRelative);
    EXPECT_EQ(relative.seekValue, 1.5f) << "the instance clamps it to the end";
    EXPECT_TRUE(relative.snapToNearestMarker);
    EXPECT_EQ(Run(3, m_object), ZK_Success);
    EXPECT_FALSE(m_node->actions.back().seekIsRelative);
    EXPECT_EQ(m_node->actions.back().seekMilliseconds, 2500);

    EXPECT_EQ(Run(4, m_object), ZK_Success);
    EXPECT_EQ(m_node->actions.back().code, ZkActionCode_Break);
    const size_t commands = m_node->actions.size();
    EXPECT_EQ(Run(5, m_object), ZK_Fail) << "break acts on its target only";
    EXPECT_EQ(m_node->actions.size(), commands) << "and does nothing else";
    EXPECT_EQ(Run(6, m_object), ZK_Fail) << "a break without target";
    EXPECT_EQ(Run(7, m_object), ZK_InvalidID);
    EXPECT_EQ(Run(8, m_object), ZK_InvalidID);
    EXPECT_EQ(Run(9, m_object), ZK_Success) << "a slot command (its cases follow)";
    EXPECT_EQ(Run(10, m_object), ZK_Success) << "not a playlist container: nothing to reset";
}

// Slot commands: the slot byte is a mask; 0x1A bypasses (flag set) or lets through the slots for
// the posting object (scope 3) or for every object (scope 2); 0x1B gives them the bank's bits
// again, on the target or on every node the objects changed (scopes 4 and 5, exceptions skipped).
TEST_F(ActionKinds, NodeSlotCommandsBypassAndResetSlotsPerGameObject)
{
    CZkRegisteredObj* other = Register(8);
    LoadActions(Action(1, R"("action": "node_slot", "target": 500, "flag": 1, "slot": 1)") + ", " +
                Action(2, R"("action": "node_slot", "target": 500, "scope": 2, "flag": 1, "slot": 2)") + ", " +
                Action(3, R"("action": "node_slot", "target": 500, "scope": 2, "flag": 0, "slot": 2)") + ", " +
                Action(4, R"("action": "node_slot_reset", "target": 500, "slot": 1)") + ", " +
                Action(5, R"("action": "node_slot_reset", "scope": 5, "slot": 31)") + ", " +
                Action(6, R"("action": "node_slot_reset", "scope": 4, "slot": 31, "exceptions": [500])") + ", " +
                Action(7, R"("action": "node_slot_reset", "scope": 4, "slot": 31)"));
    const struct
    {
        ZkUniqueID action;
        bool slot0Posting;
        bool slot0Other;
        bool slot1Posting;
        bool slot1Other;
    } steps[] = {
        {1, true, false, false, false},  // slot 0 for the posting object only
        {2, true, false, true, true},    // slot 1 for every object
        {3, true, false, false, false},  // and through again
        {4, false, false, false, false}, // slot 0 back to the bank's bits for the posting object
        {1, true, false, false, false},
        {5, false, false, false, false}, // every node the posting object changed
        {1, true, false, false, false},
        {6, true, false, false, false},  // the target is an exception
        {7, false, false, false, false}, // every node of every object
    };
    for (const auto& step : steps)
    {
        SCOPED_TRACE(testing::Message() << "action " << step.action);
        EXPECT_EQ(Run(step.action, m_object), ZK_Success);
        EXPECT_EQ(m_node->IsEffectBypassed(0, m_object), step.slot0Posting);
        EXPECT_EQ(m_node->IsEffectBypassed(0, other), step.slot0Other);
        EXPECT_EQ(m_node->IsEffectBypassed(1, m_object), step.slot1Posting);
        EXPECT_EQ(m_node->IsEffectBypassed(1, other), step.slot1Other);
    }
}

TEST_F(ActionKinds, PostEventsShareThePlayingIDAndAMissingEventIsSkipped)
{
    RecordingAction* inner = AddRecording(20, 0x0103);
    inner->SetTarget(500, false);
    AddEvent(200, {20});
    LoadActions(Action(1, R"("action": "post_event", "target": 200)") + ", " +
                Action(2, R"("action": "post_event", "target": 777)"));
    AddRecording(21, 0x0103);
    AddEvent(100, {2, 1, 21});
    Post(100, m_object, 44);
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{20, 21})) << "the missing event is skipped, the outer goes on";
    EXPECT_EQ(m_runs[0].playingID, 44u) << "the nested event shares the playing id";
    EXPECT_EQ(Run(2, m_object), ZK_InvalidID);
}

// An event that posts itself ran its posts inside one another without end; the nesting now stops.
TEST_F(ActionKinds, AnEventThatPostsItselfEnds)
{
    AddRecording(20, 0x0103);
    LoadActions(Action(1, R"("action": "post_event", "target": 100)"));
    AddEvent(100, {20, 1});
    Post(100, m_object, 5);
    EXPECT_EQ(m_runs.size(), EventManager::kMaxNestedPosts + 1) << "the outer post and every nested one";
    EXPECT_EQ(m_events.NestedPostDepth(), 0u);
    EXPECT_EQ(m_events.ActivePendingCount(), 0u) << "nothing is left waiting";
    EXPECT_EQ(FindAction(1)->RefCount(), 2u) << "the bank's and the event's: every pending reference given back";
    EXPECT_EQ(FindEvent(100)->RefCount(), 1u);
}

TEST_F(ActionKinds, ActionsOnAnEventsActionsAndSeeksOfItsPlays)
{
    TestPlayableNode* other = AddPlayable(501);
    LoadActions(Action(1, R"("action": "play", "target": 500, "props": {"delay": 1000})") + ", " +
                Action(2, R"("action": "stop", "target": 501, "props": {"delay": 1000})") + ", " +
                Action(3, R"("action": "post_event", "target": 200, "props": {"delay": 1000})") + ", " +
                Action(4, R"("action": "play", "target": 501)"));
    AddEvent(200, {4});
    AddEvent(100, {1, 2, 3});
    Post(100, m_object, 6);
    EXPECT_EQ(m_events.ActivePendingCount(), 3u);
    ZkActionOnEventMessage request{};
    request.actionType = ZkActionOnEventType_Pause;
    request.transitionMs = 50;
    request.curve = 2;
    EXPECT_EQ(m_events.ExecuteActionOnEventActions(FindEvent(100), m_object, request), ZK_Success);
    EXPECT_EQ(m_events.PausedPendingCount(), 3u) << "the play's target's actions and each action's own";
    ASSERT_EQ(m_node->actions.size(), 1u);
    EXPECT_EQ(m_node->actions[0].code, ZkActionCode_Pause);
    EXPECT_EQ(m_node->actions[0].transitionTime, 50);
    ASSERT_EQ(other->actions.size(), 1u) << "the posted event's play was followed";
    request.actionType = ZkActionOnEventType_Stop;
    EXPECT_EQ(m_events.ExecuteActionOnEventActions(FindEvent(100), nullptr, request), ZK_Success);
    EXPECT_EQ(m_events.PausedPendingCount(), 0u);

    ZkSeekOnEventMessage seek{};
    seek.position.fraction = 0.75f;
    seek.isFraction = 1;
    seek.playingID = 6;
    EXPECT_EQ(m_events.SeekOnEventActions(FindEvent(100), m_object, seek), ZK_Success);
    ASSERT_EQ(m_node->actions.size(), 3u);
    EXPECT_EQ(m_node->actions[2].code, ZkActionCode_Seek);
    EXPECT_EQ(m_node->actions[2].seekValue, 0.75f);
    EXPECT_EQ(m_node->actions[2].playingID, 6u);
    EXPECT_EQ(other->actions.size(), 2u) << "only the event's own plays seek";
}
} // namespace
