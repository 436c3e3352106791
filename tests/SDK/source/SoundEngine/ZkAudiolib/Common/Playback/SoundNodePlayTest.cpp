// The play of a sound node: a play from its start to its end through its voice and its playing id,
// its refusals (the node's limit, the volume threshold, the engine-wide limit for a play that may not
// start virtual), the engine-wide voice limit over three plays, a play without a playing id,
// allocation failures at every step, and the entries for callers that prepare an instance
// themselves.
#include "PlaybackFixture.h"

namespace
{
using namespace ZkPlaybackTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

class SoundNodePlay : public PlaybackTest
{
protected:
    ZKRESULT Play(CZkSoundNode* sound, ZkPlayingID playingID = 1)
    {
        PlayLaunchParams params = Launch(playingID);
        return CZkPlayingInstance::PlaySoundNode(sound, sound->Media(), params);
    }
    // Nothing of a play that did not start is left behind.
    void ExpectNothingLeft(CZkSoundNode* sound, uint32_t activeBefore, const char* what)
    {
        EXPECT_EQ(CZkActiveInstances::ActiveCount(), activeBefore) << what;
        if (activeBefore == 0)
        {
            EXPECT_EQ(sound->LiveInstances(), nullptr) << what;
            EXPECT_EQ(sound->Activity(), nullptr) << what << ": its play was counted down";
            EXPECT_EQ(CZkActiveInstances::LimiterCount(), 0u) << what;
            EXPECT_EQ(m_object->RefCount(), 1u) << what;
        }
    }
};

TEST_F(SoundNodePlay, APlayStartsWithItsVoiceAndEndsWithIt)
{
    CZkSoundNode* sound = LoadSound(200);
    uint32_t ends = 0;
    const ZkPlayingID playingID = Post(ends, 31);
    ASSERT_EQ(Play(sound, playingID), ZK_Success);
    ASSERT_EQ(CZkActiveInstances::ActiveCount(), 1u);
    CZkPlayingInstance* instance = CZkActiveInstances::First();
    EXPECT_TRUE(instance->IsInPlayingID());
    const ZkPlayingInstanceList* listed = g_pPlayingMgr->FindPlayingID(playingID);
    ASSERT_NE(listed, nullptr);
    ASSERT_EQ(listed->Length(), 1u);
    EXPECT_EQ((*listed)[0], instance) << "the playing id knows its instance";
    EXPECT_TRUE((instance->Status() & CZkPlayingInstance::kStatusPrepared) != 0);
    EXPECT_EQ(ZkVoiceLists::QueuedCount(), 1u) << "voice command 0";
    EXPECT_TRUE(m_render.events.empty());

    Frame();
    ASSERT_EQ(m_render.events.size(), 2u);
    EXPECT_EQ(m_render.events[0], (RecordingRenderSide::Event{"request", instance}));
    EXPECT_EQ(m_render.events[1], (RecordingRenderSide::Event{"start", instance})) << "at the next frame";
    Posted(playingID);
    Frames(3);
    EXPECT_EQ(ends, 0u) << "the event plays on";

    // The game's Audio component asks before it posts the same event again: first the count of the
    // object's playing ids, then the ids, then each id's event. While the sound plays its playing
    // id names the event, so the component posts nothing.
    uint32_t count = 0;
    ASSERT_EQ(g_pPlayingMgr->GetPlayingIDsFromGameObject(kObject, count, nullptr), ZK_Success);
    ASSERT_EQ(count, 1u);
    ZkPlayingID ids[50] = {};
    ASSERT_EQ(g_pPlayingMgr->GetPlayingIDsFromGameObject(kObject, count, ids), ZK_Success);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(ids[0], playingID);
    EXPECT_EQ(g_pPlayingMgr->GetEventIDFromPlayingID(ids[0]), kEventID) << "still playing: not posted again";

    RecordingRenderSide::EndVoice(instance);
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 1u) << "the voice's end is deferred";
    EXPECT_EQ(ends, 0u);
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 0u);
    EXPECT_EQ(ends, 1u) << "the end of the event, once";
    Frames(2);
    EXPECT_EQ(ends, 1u);
    EXPECT_EQ(sound->Activity(), nullptr);
    count = 1;
    ASSERT_EQ(g_pPlayingMgr->GetPlayingIDsFromGameObject(kObject, count, ids), ZK_Success);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(g_pPlayingMgr->GetEventIDFromPlayingID(ids[0]), 0u) << "ended: the component may post it again";
}

TEST_F(SoundNodePlay, AVoiceMaximumOfTwoAndThreePlaysOfEqualPriority)
{
    struct Row
    {
        const char* what;
        const char* keys;
        ZKRESULT third;
        uint32_t active;
    };
    const Row rows[] = {
        {"a sound that goes virtual below the threshold: the third starts virtual", R"("below_threshold": 2)",
         ZK_Success, 3},
        {"a sound that stops below the threshold: the third is refused", R"("below_threshold": 1)",
         ZK_PartialSuccess, 2},
    };
    ZkUniqueID id = 800;
    uint32_t ends = 0;
    for (const Row& row : rows)
    {
        CZkActiveInstances::Term();
        CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
        CZkSoundNode* sound = LoadSound(++id, row.keys);
        const ZkPlayingID playingID = Post(ends, id);
        EXPECT_EQ(Play(sound, playingID), ZK_Success) << row.what;
        EXPECT_EQ(Play(sound, playingID), ZK_Success) << row.what;
        EXPECT_EQ(Play(sound, playingID), row.third) << row.what;
        EXPECT_EQ(CZkActiveInstances::ActiveCount(), row.active) << row.what;
        uint32_t virtualStarts = 0;
        for (CZkPlayingInstance* at = CZkActiveInstances::First(); at != nullptr; at = at->pNextActive)
            virtualStarts += at->StartsVirtual() ? 1u : 0u;
        EXPECT_EQ(virtualStarts, row.active - 2) << row.what;
        Posted(playingID);
    }

    // A play of higher priority stops the lowest instance that stops below the threshold.
    CZkActiveInstances::Term();
    CZkSoundNode* low = LoadSound(810, R"("below_threshold": 1, "props": {"priority": 20})");
    CZkSoundNode* high = LoadSound(811, R"("props": {"priority": 90})");
    const ZkPlayingID playingID = Post(ends, 810);
    ASSERT_EQ(Play(low, playingID), ZK_Success);
    ASSERT_EQ(Play(high, playingID), ZK_Success);
    ASSERT_EQ(Play(high, playingID), ZK_Success);
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 3u);
    CZkPlayingInstance* stopped = CZkActiveInstances::First();
    EXPECT_EQ(stopped->Node(), low);
    EXPECT_TRUE(stopped->IsDead());
    EXPECT_EQ((stopped->StopByte() & CZkPlayingInstance::kStopReasonMask) >>
                  CZkPlayingInstance::kStopReasonShift,
              kEngineLimitReason);
    Frame();
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 2u) << "ended before it had a voice";
    Posted(playingID);
}

TEST_F(SoundNodePlay, APlayWithoutAPlayingIDFailsInItsStart)
{
    CZkSoundNode* sound = LoadSound(200);
    EXPECT_EQ(Play(sound, 0), ZK_Fail);
    ExpectNothingLeft(sound, 0, "no playing id");
    EXPECT_TRUE(m_render.events.empty());
}

TEST_F(SoundNodePlay, RefusalsBeforeTheStart)
{
    // The node's own limit: one instance for all objects, and the one that plays ranks higher.
    CZkSoundNode* limited = LoadSound(300, R"("max_instances": 1, "limit_flags": 4)");
    CZkPlayingInstance* higher = Make(limited, 80.0f);
    Activate(higher);
    EXPECT_EQ(Play(limited), ZK_PartialSuccess) << "the node refuses";
    ExpectNothingLeft(limited, 1, "the node's limit");
    EXPECT_EQ(limited->PlayCount(), 1) << "only the playing instance is counted";
    EXPECT_FALSE(higher->IsKilled());

    // Below the volume threshold, with a behaviour that stops: it may not start virtual.
    CZkSoundNode* quiet = LoadSound(301, R"("props": {"0": -120}, "below_threshold": 1)");
    EXPECT_EQ(Play(quiet), ZK_PartialSuccess);
    ExpectNothingLeft(quiet, 1, "below the threshold");
    CZkSoundNode* quietVirtual = LoadSound(302, R"("props": {"0": -120}, "below_threshold": 2)");
    EXPECT_EQ(Play(quietVirtual, 0), ZK_Fail) << "one that may start virtual goes on to its start";

    // The engine-wide limit reached: a play that stops below the threshold may not start virtual.
    CZkActiveInstances::GlobalLimiter().SetMaxCount(1);
    CZkSoundNode* stopping = LoadSound(303, R"("below_threshold": 1)");
    EXPECT_EQ(Play(stopping), ZK_PartialSuccess);
    ExpectNothingLeft(stopping, 1, "the engine-wide limit");
    CZkSoundNode* continuing = LoadSound(304, R"("below_threshold": 0)");
    EXPECT_EQ(Play(continuing, 0), ZK_Fail) << "one that may start virtual goes on";
}

TEST_F(SoundNodePlay, AllocationFailuresAtEveryStepLeaveNothingBehind)
{
    // A play through the node's limiter (two instances for all objects) and the engine's, of a
    // posted playing id: every allocation of it, made to fail in turn.
    CZkSoundNode* sound = LoadSound(200, R"("max_instances": 2, "limit_flags": 4)");
    uint32_t ends = 0;
    ZkPlayingID playingID = Post(ends, 1);
    Fault::CountOnly(Fault::kAnyPool);
    ASSERT_EQ(Play(sound, playingID), ZK_Success);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_GT(allocations, 3u);
    CZkActiveInstances::Term();
    Posted(playingID);
    ASSERT_EQ(ends, 1u);

    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        const std::string what = "allocation " + std::to_string(nth);
        ends = 0;
        playingID = Post(ends, 1 + nth);
        ZKRESULT result = ZK_Success;
        {
            ScopedAllocationFailure failure(Fault::kAnyPool, nth);
            result = Play(sound, playingID);
        }
        Posted(playingID);
        if (result == ZK_Success)
        {
            // A failure the play could do without (a gain entry, the media's look-up).
            EXPECT_EQ(ends, 0u) << what;
            CZkActiveInstances::Term();
        }
        else
        {
            EXPECT_TRUE(result == ZK_InsufficientMemory || result == ZK_Fail || result == ZK_PartialSuccess)
                << what << " gave " << result;
        }
        EXPECT_EQ(ends, 1u) << what << ": the playing id ends once, whatever became of its instance";
        ExpectNothingLeft(sound, 0, what.c_str());
    }
}

TEST_F(SoundNodePlay, WhetherANodeIsPlayable)
{
    struct Row
    {
        const char* keys;
        uint8_t status;
        bool playable;
    };
    const Row rows[] = {
        {R"("below_threshold": 0)", 0, true},
        {R"("below_threshold": 1)", 1, false},
        {R"("below_threshold": 2)", 2, true},
        {R"("below_threshold": 3)", 2, true},
    };
    ZkUniqueID id = 400;
    for (const Row& row : rows)
    {
        uint8_t status = 9;
        EXPECT_EQ(CZkHierarchyNode::CheckPlayable(LoadSound(++id, row.keys), m_object, status), row.playable)
            << row.keys;
        EXPECT_EQ(status, row.status) << row.keys;
    }
}

TEST_F(SoundNodePlay, PreparedInstances)
{
    CZkSoundNode* limited = LoadSound(300, R"("max_instances": 1, "limit_flags": 4)");
    Activate(Make(limited, 80.0f));
    uint32_t reason = 0;
    CZkPlayingInstance* refused = Make(limited, 50.0f);
    EXPECT_EQ(CZkHierarchyNode::PlayWithInstance(limited, m_object, 50.0f, ZK_Success, true, reason, refused,
                                                 false),
              ZK_PartialSuccess);
    EXPECT_EQ(reason, 32u);
    m_loose.erase(std::find(m_loose.begin(), m_loose.end(), refused));
    CZkHierarchyNode::DiscardPendingInstance(limited, refused, false, m_object);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(limited->PlayCount(), 1) << "its counted play went with it";

    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* prepared = Make(sound);
    reason = 0;
    EXPECT_EQ(CZkHierarchyNode::PlayWithInstance(sound, m_object, 50.0f, ZK_InstanceLimitReached, false,
                                                 reason, prepared, false),
              ZK_PartialSuccess)
        << "an instance that may not start virtual";
    EXPECT_EQ(reason, 32u);
    EXPECT_TRUE(prepared->StartsVirtual());
    m_loose.erase(std::find(m_loose.begin(), m_loose.end(), prepared));
    CZkHierarchyNode::DiscardPendingInstance(sound, prepared, false, m_object);
    EXPECT_EQ(sound->Activity(), nullptr);

    CZkPlayingInstance* mayGoVirtual = Make(sound);
    EXPECT_EQ(CZkHierarchyNode::PlayWithInstance(sound, m_object, 50.0f, ZK_InstanceLimitReached, true,
                                                 reason, mayGoVirtual, false),
              ZK_Success)
        << "one that may start virtual starts";
    EXPECT_TRUE(mayGoVirtual->StartsVirtual());
    EXPECT_EQ(sound->LiveInstances(), mayGoVirtual) << "started on its node";
    m_loose.erase(std::find(m_loose.begin(), m_loose.end(), mayGoVirtual));
    CZkHierarchyNode::DiscardPendingInstance(sound, mayGoVirtual, true, m_object);
    EXPECT_EQ(sound->Activity(), nullptr);

    // Without an instance, a started discard counts the node's play down.
    ZkPlayCount play;
    play.gameObject = m_object;
    ASSERT_EQ(sound->PlayCountUp(play), ZK_Success);
    CZkPlayingInstance* none = nullptr;
    CZkHierarchyNode::DiscardPendingInstance(sound, none, false, m_object);
    EXPECT_EQ(sound->PlayCount(), 1) << "not started: nothing to count down";
    CZkHierarchyNode::DiscardPendingInstance(sound, none, true, m_object);
    EXPECT_EQ(sound->Activity(), nullptr);
}
} // namespace
