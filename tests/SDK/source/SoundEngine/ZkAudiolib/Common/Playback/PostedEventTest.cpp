// A posted event through its actions to its sound's playing instance and back: the play action
// reaches the play of the sound, the instance learns its playing id, its voice command runs at the
// next frame, its voice's end is deferred to the flush, which destroys it, and the end of the event
// reaches the game once; the object's playing ids answer the game's "is it still playing" while it
// plays; a stop action of another event reaches the instance through its node.
#include "PlaybackFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

namespace
{
using namespace ZkPlaybackTest;

class PostedEvent : public PlaybackTest
{
protected:
    void SetUp() override
    {
        PlaybackTest::SetUp();
        ASSERT_EQ(m_events.Init(CZkMessageRing::kMinimumCapacityBytes), ZK_Success);
        g_pEventMgr = &m_events;
        ASSERT_EQ(Parse(ZkSoundFixtures::WriteBank(R"({"name": "Posts.bnk",
            "media": [{"id": 100, "wave": {"rate": 48000, "seconds": 0.05, "parts": [{"tone": 440, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 200, "media": 100},
                {"type": "action", "id": 300, "action": "play", "target": 200},
                {"type": "action", "id": 301, "action": "stop", "target": 200},
                {"type": "event", "id": "Play_Cue", "actions": [300]},
                {"type": "event", "id": "Stop_Cue", "actions": [301]}]}]})")),
                  ZK_Success);
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_events.Term(); // the pending actions give their playing ids back first
        PlaybackTest::TearDown();
    }

    // What posting does: the playing id registered with the post's reference, the event's actions
    // scheduled (those without a delay run at once), the post's reference dropped.
    void PostEvent(const char* name, ZkPlayingID playingID, uint32_t& ends)
    {
        const ZkUniqueID eventID = GetIDFromString(name);
        ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(playingID, kObject, &CountEnd, &ends,
                                                       ZkCallbackType_EndOfEvent, eventID),
                  ZK_Success);
        CZkIndexedObject* event = g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::Events, eventID);
        ASSERT_NE(event, nullptr);
        EXPECT_EQ(
            m_events.EnqueueEventActions(event, m_object, kObject, playingID, 0, ZkPlayRecord{}, 0, false),
            ZK_Success);
        event->Release();
        Posted(playingID);
    }
    // The game's Audio component: would it post the event again on the object?
    static bool StillPlaying(const char* name)
    {
        uint32_t count = 0;
        EXPECT_EQ(g_pPlayingMgr->GetPlayingIDsFromGameObject(kObject, count, nullptr), ZK_Success);
        ZkPlayingID ids[50] = {};
        EXPECT_EQ(g_pPlayingMgr->GetPlayingIDsFromGameObject(kObject, count, ids), ZK_Success);
        for (uint32_t index = 0; index < count; ++index)
        {
            if (g_pPlayingMgr->GetEventIDFromPlayingID(ids[index]) == GetIDFromString(name))
                return true;
        }
        return false;
    }

    EventManager m_events;
};

TEST_F(PostedEvent, APlayActionStartsItsSoundAndTheEventEndsWithItsVoice)
{
    uint32_t ends = 0;
    const uint32_t launches = ZkVoiceLists::LaunchCounter();
    PostEvent("Play_Cue", 41, ends);
    ASSERT_EQ(CZkActiveInstances::ActiveCount(), 1u) << "the play action reached the play of the sound";
    CZkPlayingInstance* instance = CZkActiveInstances::First();
    EXPECT_EQ(instance->Node(), FindSound(200));
    EXPECT_EQ(instance->PlayingID(), 41u);
    EXPECT_TRUE(instance->IsInPlayingID());
    EXPECT_NE(instance->MediaData(), nullptr);
    EXPECT_EQ(ZkVoiceLists::LaunchCounter(), launches + 1) << "the action's launch is a group of its own";
    EXPECT_EQ(ends, 0u);
    EXPECT_TRUE(StillPlaying("Play_Cue"));

    Frame();
    ASSERT_EQ(m_render.events.size(), 2u);
    EXPECT_EQ(m_render.events[1], (RecordingRenderSide::Event{"start", instance})) << "voice command 0";
    Frames(5);
    EXPECT_TRUE(StillPlaying("Play_Cue")) << "the game posts it no second time";

    RecordingRenderSide::EndVoice(instance);
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u) << "deferred command 4";
    EXPECT_EQ(ends, 0u);
    Frame();
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u) << "destroyed by the flush";
    EXPECT_EQ(ends, 1u) << "the end of the event, once";
    Frames(3);
    EXPECT_EQ(ends, 1u);
    EXPECT_FALSE(StillPlaying("Play_Cue")) << "the game may post it again";

    // Posted again, it plays again.
    PostEvent("Play_Cue", 42, ends);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 1u);
}

TEST_F(PostedEvent, AStopActionReachesThePlayingInstance)
{
    uint32_t playEnds = 0;
    uint32_t stopEnds = 0;
    PostEvent("Play_Cue", 51, playEnds);
    Frame();
    CZkPlayingInstance* instance = CZkActiveInstances::First();
    ASSERT_NE(instance, nullptr);
    PostEvent("Stop_Cue", 52, stopEnds);
    EXPECT_EQ(stopEnds, 1u) << "the stop's own event has ended";
    EXPECT_TRUE(instance->IsDead()) << "stopped at once: no fade";
    EXPECT_EQ(playEnds, 0u) << "until its voice ends";
    RecordingRenderSide::EndVoice(instance);
    Frame();
    EXPECT_EQ(playEnds, 1u);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
}
} // namespace
