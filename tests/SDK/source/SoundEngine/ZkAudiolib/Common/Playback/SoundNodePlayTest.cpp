// The play of a sound node: its refusals (the node's limit, the volume threshold, the engine-wide
// limit for a play that may not start virtual), a play without a playing id, allocation failures at
// every step, and the entries for callers that prepare an instance themselves.
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
    CZkSoundNode* sound = LoadSound(200, R"("max_instances": 2, "limit_flags": 4)");
    Fault::CountOnly(Fault::kAnyPool);
    EXPECT_EQ(Play(sound, 0), ZK_Fail);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_GT(allocations, 2u);
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        ZKRESULT result = ZK_Success;
        {
            ScopedAllocationFailure failure(Fault::kAnyPool, nth);
            result = Play(sound, 0);
        }
        EXPECT_TRUE(result == ZK_InsufficientMemory || result == ZK_Fail || result == ZK_PartialSuccess)
            << "allocation " << nth << " gave " << result;
        ExpectNothingLeft(sound, 0, ("allocation " + std::to_string(nth)).c_str());
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
              ZK_Fail)
        << "one that may start virtual goes on to its start (no playing id)";
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
