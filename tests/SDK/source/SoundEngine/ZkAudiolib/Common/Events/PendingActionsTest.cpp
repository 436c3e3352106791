// The event manager's pending actions: the delay rule (at once under one frame, else the tick of
// the due frame), the order of equal frames, pauses and resumes that freeze and keep the remaining
// delay, the walkers' filters, the duck-recovery type that every walker leaves alone, the look-ahead
// of run-time plays, and the records dropped when no list node can be had.
#include "EventsFixture.h"

#include "ZkAudiolib/Common/Events/CZkDuckRecoveryAction.h"
#include "ZkAudiolib/Common/Events/CZkDynamicPlayAction.h"
#include "ZkAudiolib/Common/FrontEnd/ProcessedItemCounter.h"
#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <functional>

namespace
{
using namespace ZkEventsTest;

class PendingActions : public EventsTest
{
protected:
    // A recording action of the type (a stop on the target for the posting object, by default) with
    // a delay of delaySamples, in an event of its own id + 1000.
    RecordingAction* Delayed(ZkUniqueID id, int32_t delaySamples, uint16_t type = 0x0103)
    {
        RecordingAction* action = AddRecording(id, type);
        EXPECT_EQ(action->SetIntProperty(ZkProp_ActionDelay, delaySamples, 0, 0), ZK_Success);
        AddEvent(id + 1000, {id});
        return action;
    }
    void PostOwn(ZkUniqueID id, ZkPlayingID playingID = 1) { Post(id + 1000, m_object, playingID); }

    void SetUp() override
    {
        EventsTest::SetUp();
        m_object = Register(7);
    }

    CZkRegisteredObj* m_object = nullptr;
};

TEST_F(PendingActions, TheDelayRule)
{
    struct Case
    {
        const char* label;
        int32_t delaySamples;
        uint32_t ticksBeforeRun; // 0: runs while the post is handled
        uint32_t sampleOffset;
    };
    const Case cases[] = {
        {"no delay", 0, 0, 0},
        {"under one frame runs at once", kFrame - 1, 0, kFrame - 1},
        {"exactly one frame waits one tick", kFrame, 1, 0},
        {"one frame and a bit", kFrame + 100, 1, 100},
        {"five frames", 5 * kFrame, 5, 0},
    };
    ZkUniqueID id = 1;
    for (const Case& c : cases)
    {
        m_runs.clear();
        Delayed(id, c.delaySamples);
        PostOwn(id);
        for (uint32_t tick = 0; tick < c.ticksBeforeRun; ++tick)
        {
            EXPECT_TRUE(m_runs.empty()) << c.label << ": ran after " << tick << " ticks";
            Tick();
        }
        ASSERT_EQ(m_runs.size(), 1u) << c.label;
        EXPECT_EQ(m_runs[0].sampleOffset, c.sampleOffset) << c.label;
        EXPECT_EQ(m_events.ActivePendingCount(), 0u) << c.label;
        ++id;
    }
}

TEST_F(PendingActions, EqualFramesRunInEnqueueOrderAndDueFramesInOrder)
{
    Delayed(1, 3 * kFrame);
    Delayed(2, 2 * kFrame + 5);
    Delayed(3, 3 * kFrame + 7);
    Delayed(4, 2 * kFrame);
    for (ZkUniqueID id : {1u, 2u, 3u, 4u})
        PostOwn(id);
    const uint32_t processed = g_ProcessedItemCount;
    Ticks(3);
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{2, 4, 1, 3}));
    EXPECT_EQ(g_ProcessedItemCount, processed + 4) << "each executed pending action counts";

    // An event's actions go in list order: two of the same frame run in that order.
    m_runs.clear();
    AddRecording(11)->SetIntProperty(ZkProp_ActionDelay, kFrame, 0, 0);
    AddRecording(12)->SetIntProperty(ZkProp_ActionDelay, kFrame, 0, 0);
    AddEvent(10, {12, 11});
    Post(10, m_object);
    Tick();
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{12, 11}));
}

TEST_F(PendingActions, PausesNestAndTheRemainingDelayIsKept)
{
    TestPlayableNode* node = AddPlayable(500);
    RecordingAction* action = Delayed(1, 4 * kFrame);
    action->SetTarget(500, false);
    PostOwn(1);
    Ticks(1); // three frames left
    m_events.PausePendingActions(node, nullptr, false, 0);
    m_events.PausePendingActions(node, nullptr, false, 0);
    EXPECT_EQ(m_events.PausedPendingCount(), 1u);
    Ticks(10);
    m_events.ResumePendingActions(node, nullptr, false, 0);
    EXPECT_EQ(m_events.PausedPendingCount(), 1u) << "two pauses and one resume: still paused";
    Ticks(10);
    EXPECT_TRUE(m_runs.empty());
    m_events.ResumePendingActions(node, nullptr, false, 0);
    EXPECT_EQ(m_events.PausedPendingCount(), 0u);
    Ticks(2);
    EXPECT_TRUE(m_runs.empty()) << "three frames were left when it was paused";
    Tick();
    ASSERT_EQ(m_runs.size(), 1u);

    // Resume-all ends every pause level at once.
    m_runs.clear();
    PostOwn(1);
    for (int pause = 0; pause < 3; ++pause)
        m_events.PausePendingActionsOfPlayingID(1);
    m_events.ResumePendingActions(nullptr, nullptr, true, 0);
    EXPECT_EQ(m_events.ActivePendingCount(), 1u);
}

TEST_F(PendingActions, WalkersMatchTheNodeBelowOrThroughItTheGameObjectAndThePlayingID)
{
    Load(Bus("Bus"));
    TestPlayableNode* parent = AddPlayable(600);
    TestPlayableNode* child = AddPlayable(601);
    ASSERT_EQ(FindBus("Bus")->AddChild(parent), ZK_Success);
    child->SetParent(parent);
    TestPlayableNode* other = AddPlayable(602);
    CZkRegisteredObj* second = Register(8);
    // Actions aimed at the child, at the other node, and one without a loaded target.
    Delayed(1, kFrame)->SetTarget(601, false);
    Delayed(2, kFrame)->SetTarget(602, false);
    Delayed(3, kFrame)->SetTarget(999, false);
    const auto postAll = [&]() {
        for (ZkUniqueID id : {1u, 2u, 3u})
        {
            Post(id + 1000, m_object, 1);
            Post(id + 1000, second, 2);
        }
    };
    struct Case
    {
        const char* label;
        std::function<void()> stop;
        uint32_t left;
    };
    const Case cases[] = {
        {"the parent: the child's actions", [&] { m_events.StopPendingActions(parent, nullptr, 0); }, 4},
        {"the bus the parent routes to", [&] { m_events.StopPendingActions(FindBus("Bus"), nullptr, 0); }, 4},
        {"the child for one object", [&] { m_events.StopPendingActions(child, second, 0); }, 5},
        {"the child for one playing id", [&] { m_events.StopPendingActions(child, nullptr, 1); }, 5},
        {"any node: everything", [&] { m_events.StopPendingActions(nullptr, nullptr, 0); }, 0},
        {"a node that targets nothing", [&] { m_events.StopPendingActions(other, m_object, 0); }, 5},
        {"the playing id", [&] { m_events.RemovePendingActionsOfPlayingID(2); }, 3},
        {"the action's id", [&] { m_events.RemovePendingActionsOfKey(3, 0); }, 4},
        {"the action's id and playing id", [&] { m_events.RemovePendingActionsOfKey(3, 2); }, 5},
        {"all but the other node", [&] {
             ZK::ZkArray<ZkNodeKey> exceptions;
             exceptions.AddLast(ZkNodeKey{602, 0});
             m_events.StopPendingActionsAllExcept(nullptr, exceptions, 0);
         }, 2},
        {"only plays: none of these is one", [&] { m_events.StopPendingPlayActions(nullptr, nullptr, 0); }, 6},
    };
    for (const Case& c : cases)
    {
        postAll();
        ASSERT_EQ(m_events.ActivePendingCount(), 6u) << c.label;
        c.stop();
        EXPECT_EQ(m_events.ActivePendingCount(), c.left) << c.label;
        m_events.StopPendingActions(nullptr, nullptr, 0);
    }
    EXPECT_TRUE(m_runs.empty()) << "stopped actions never run";
}

TEST_F(PendingActions, PauseWalkersSkipResumeKindsUnlessAskedAndResumesReachThemAll)
{
    Delayed(1, kFrame, 0x0303); // a resume action
    Delayed(2, kFrame, 0x0203); // a pause action
    PostOwn(1);
    PostOwn(2);
    m_events.PausePendingActions(nullptr, nullptr, false, 0);
    EXPECT_EQ(m_events.ActivePendingCount(), 1u) << "the resume action is left running";
    m_events.PausePendingActions(nullptr, nullptr, true, 0);
    EXPECT_EQ(m_events.PausedPendingCount(), 2u);
    m_events.ResumePendingActionsOfPlayingID(1);
    EXPECT_EQ(m_events.PausedPendingCount(), 1u) << "the pause action was paused twice";
    m_events.PausePendingActionsOfActionObj(FindAction(1));
    m_events.ResumePendingActionsOfActionObj(FindAction(2));
    m_events.ResumePendingActionsOfActionObj(FindAction(1));
    EXPECT_EQ(m_events.PausedPendingCount(), 0u);
    Tick();
    EXPECT_EQ(m_runs.size(), 2u);
}

TEST_F(PendingActions, DuckRecoverySurvivesEveryWalker)
{
    Load(Bus("Ducking"));
    ASSERT_EQ(CZkDuckRecoveryAction::Queue(FindBus("Ducking")->ID(), 2 * kFrame), ZK_Success);
    ASSERT_EQ(m_events.ActivePendingCount(), 1u);
    Delayed(1, 2 * kFrame);
    PostOwn(1, 0);
    ZK::ZkArray<ZkNodeKey> none;
    const std::function<void()> walkers[] = {
        [&] { m_events.StopPendingActions(nullptr, nullptr, 0); },
        [&] { m_events.StopPendingActions(FindBus("Ducking"), nullptr, 0); },
        [&] { m_events.StopPendingActionsAllExcept(nullptr, none, 0); },
        [&] { m_events.StopActivePendingActionsOfNode(nullptr); },
        [&] { m_events.RemovePendingActionsOfPlayingID(0); },
        [&] { m_events.RemovePendingActionsOfKey(0, 0); },
        [&] { m_events.PausePendingActions(nullptr, nullptr, true, 0); },
        [&] { m_events.PausePendingActionsAllExcept(nullptr, none, true, 0); },
        [&] { m_events.PausePendingActionsOfPlayingID(0); },
        [&] { m_events.PausePendingActionsOfKey(0, 0); },
    };
    for (const auto& walk : walkers)
    {
        walk();
        EXPECT_EQ(m_events.ActivePendingCount(), 1u) << "the recovery stays where it was";
    }
    EXPECT_EQ(m_events.PausedPendingCount(), 0u) << "the other action was stopped";
}

TEST_F(PendingActions, RunTimePlaysKeepTheLookAheadInTheirSampleOffset)
{
    TestPlayableNode* node = AddPlayable(500);
    CZkDynamicPlayAction* play = CZkDynamicPlayAction::Create(500);
    ASSERT_NE(play, nullptr);
    ASSERT_EQ(play->SetIntProperty(ZkProp_ActionDelay, 3 * kFrame + 10, 0, 0), ZK_Success);
    auto* pending = ZK::ZkNew<PendingAction>(PendingAction::kPool, play, m_object);
    ASSERT_NE(pending, nullptr);
    ASSERT_EQ(m_events.EnqueuePendingAction(pending, 0, false), ZK_Success);
    play->Release();
    Ticks(1);
    EXPECT_TRUE(node->launches.empty());
    Tick();
    ASSERT_EQ(node->launches.size(), 1u) << "one frame of look-ahead: due a frame early";
    EXPECT_EQ(node->launches[0].sampleOffset, kFrame + 10u) << "the frame kept in the offset";
    EXPECT_EQ(node->launches[0].gameObject, m_object);

    // Under the look-ahead plus one frame it runs at once.
    play = CZkDynamicPlayAction::Create(500);
    ASSERT_EQ(play->SetIntProperty(ZkProp_ActionDelay, kFrame + 1, 0, 0), ZK_Success);
    ASSERT_EQ(m_events.EnqueuePendingAction(ZK::ZkNew<PendingAction>(PendingAction::kPool, play, m_object), 0, false),
              ZK_Success);
    play->Release();
    EXPECT_EQ(node->launches.size(), 2u);
}

TEST_F(PendingActions, ANodeThatCannotBeHadDropsTheActionUnrun)
{
    Delayed(1, kFrame);
    // The block's 32 nodes are taken first; then one node at a time from pool 0.
    for (int post = 0; post < 32; ++post)
        PostOwn(1);
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 2); // the record, then its node
    PostOwn(1);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_EQ(m_events.ActivePendingCount(), 32u) << "the 33rd could not be listed";
    Tick();
    EXPECT_EQ(m_runs.size(), 32u) << "and never runs";
    EXPECT_EQ(FindAction(1)->RefCount(), 2u) << "its reference was given back";
}

TEST_F(PendingActions, TermDropsEveryPendingActionUnrun)
{
    RecordingAction* action = Delayed(1, 2 * kFrame);
    PostOwn(1);
    PostOwn(1);
    m_events.PausePendingActionsOfPlayingID(1);
    PostOwn(1);
    EXPECT_EQ(action->RefCount(), 5u);
    m_events.Term();
    EXPECT_EQ(action->RefCount(), 2u) << "the event's and the fixture's";
    EXPECT_EQ(m_events.ActivePendingCount() + m_events.PausedPendingCount(), 0u);
    EXPECT_TRUE(m_runs.empty());
}

TEST_F(PendingActions, ActionsForThePostingObjectNeedARegisteredOne)
{
    AddRecording(1, 0x0103);     // for the posting object
    AddRecording(2, 0x0102);     // for every object
    AddEvent(1000, {1, 2});
    Post(1000, nullptr);
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{2}));
    m_runs.clear();
    CZkRegisteredObj* gone = Register(9);
    gone->AddRef();
    ASSERT_EQ(g_pRegistryMgr->UnregisterObject(9), ZK_Success);
    Post(1000, gone);
    EXPECT_EQ(RunIDs(), (std::vector<ZkUniqueID>{2})) << "an unregistered object is no posting object";
    gone->Release();
}

// A negative delay drawn from a range ran at once: never wrapped into a day-long wait.
TEST_F(PendingActions, ADelayDrawnBelowZeroRunsAtOnce)
{
    RecordingAction* action = AddRecording(1, 0x0103);
    // No stored delay, range {-4800, 4800} samples: about half the draws are negative.
    ASSERT_EQ(action->SetIntProperty(ZkProp_ActionDelay, 0, -4800, 4800), ZK_Success);
    AddEvent(1000, {1});
    // Seed 1's first draw: -4800 + trunc(r x 9600 + 0.5) = -1488.
    ZK::ZkLcg64 probe(1);
    const int32_t draw = probe.RandomIntInRange(-4800, 4800);
    ASSERT_LT(draw, 0);
    ZK::ZkLcg64::Engine().Seed(1);
    EXPECT_EQ(action->GetDelay(), 0u);
    ZK::ZkLcg64::Engine().Seed(1);
    Post(1000, m_object);
    EXPECT_EQ(m_runs.size(), 1u) << "a negative delay is no delay";
    EXPECT_EQ(m_events.ActivePendingCount(), 0u);
}
} // namespace
