// Pending actions and the end of their playing id (with the engine's playing manager): each
// pending action holds a reference on its playing id, so the end-of-event callback waits for the
// delayed ones and comes once the last one ran or was removed, or was dropped for want of a list
// node; an event that posts itself, and an action whose delay was drawn below zero, end too.
#include "EventsFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Playback/PlayingMgrFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

namespace
{
using namespace ZkEventsTest;
using ZkPlayingTest::CallbackLog;

class PlayingIDEnd : public EventsTest
{
protected:
    static constexpr ZkPlayingID kPlayingID = 77;

    void SetUp() override
    {
        EventsTest::SetUp();
        ZkPlayingTest::CreatePlayingManager();
        m_object = Register(7);
    }
    void TearDown() override
    {
        m_events.Term(); // the pending actions give their references back first
        ZkPlayingTest::DestroyPlayingManager();
        EventsTest::TearDown();
    }

    // What posting does: the playing id registered with the post's reference, the event's actions
    // queued, then the post's reference dropped.
    void PostRegistered(ZkUniqueID eventID)
    {
        ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(kPlayingID, m_object->ID(), &ZkPlayingTest::RecordCallback, &m_log,
                                                       ZkCallbackType_EndOfEvent, eventID),
                  ZK_Success);
        Post(eventID, m_object, kPlayingID);
        g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    }
    uint32_t Ends() const { return m_log.Count(ZkCallbackType_EndOfEvent); }

    CZkRegisteredObj* m_object = nullptr;
    CallbackLog m_log;
};

TEST_F(PlayingIDEnd, TheEndWaitsForTheLastDelayedAction)
{
    AddRecording(1, 0x0103);
    AddRecording(2, 0x0103)->SetIntProperty(ZkProp_ActionDelay, 2 * kFrame, 0, 0);
    AddEvent(100, {1, 2});
    PostRegistered(100);
    EXPECT_EQ(m_runs.size(), 1u);
    EXPECT_EQ(Ends(), 0u) << "an action still waits";
    Tick();
    EXPECT_EQ(Ends(), 0u);
    Tick();
    EXPECT_EQ(m_runs.size(), 2u);
    EXPECT_EQ(Ends(), 1u) << "the last action ran";
    EXPECT_EQ(g_pPlayingMgr->GetEventIDFromPlayingID(kPlayingID), 0u) << "the record is gone";
}

TEST_F(PlayingIDEnd, RemovedPausedAndDroppedActionsEndItToo)
{
    AddRecording(1, 0x0103)->SetIntProperty(ZkProp_ActionDelay, 5 * kFrame, 0, 0);
    AddEvent(100, {1});
    PostRegistered(100);
    m_events.PausePendingActionsOfPlayingID(kPlayingID);
    Ticks(10);
    EXPECT_EQ(Ends(), 0u) << "a paused action holds the playing id";
    m_events.RemovePendingActionsOfPlayingID(kPlayingID);
    EXPECT_EQ(Ends(), 1u) << "removed: the playing id ends";
    EXPECT_TRUE(m_runs.empty());

    // The 33rd record finds no list node (the block holds 32): dropped unrun, its reference given back.
    m_log.calls.clear();
    ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(kPlayingID, m_object->ID(), &ZkPlayingTest::RecordCallback, &m_log,
                                                   ZkCallbackType_EndOfEvent, 100),
              ZK_Success);
    for (int post = 0; post < 32; ++post)
        Post(100, m_object, kPlayingID);
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 2); // the record, then its node
    Post(100, m_object, kPlayingID);
    ZK::MemoryMgr::FaultInjection::Disarm();
    g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    EXPECT_EQ(m_events.ActivePendingCount(), 32u);
    Ticks(5);
    EXPECT_EQ(m_runs.size(), 32u);
    EXPECT_EQ(Ends(), 1u) << "the dropped record did not keep the playing id alive";
}

TEST_F(PlayingIDEnd, AnEventThatPostsItselfEnds)
{
    AddRecording(20, 0x0103);
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "action", "id": 1, "action": "post_event", "target": 100})")), ZK_Success);
    AddEvent(100, {20, 1});
    PostRegistered(100);
    EXPECT_EQ(m_runs.size(), EventManager::kMaxNestedPosts + 1);
    EXPECT_EQ(Ends(), 1u) << "the playing id of the cycle ends, once";
}

TEST_F(PlayingIDEnd, ADelayDrawnBelowZeroEndsAtOnce)
{
    AddRecording(1, 0x0103)->SetIntProperty(ZkProp_ActionDelay, 0, -4800, 4800);
    AddEvent(100, {1});
    ZK::ZkLcg64::Engine().Seed(1); // the first draw is -1,488 samples
    PostRegistered(100);
    EXPECT_EQ(m_runs.size(), 1u);
    EXPECT_EQ(Ends(), 1u) << "no day-long wait: the end-of-event callback comes now";
}
} // namespace
