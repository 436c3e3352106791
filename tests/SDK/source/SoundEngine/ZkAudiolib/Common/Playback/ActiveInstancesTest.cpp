// The active instances: the decisions at the engine-wide voice limit and at a node's limit, the
// per-frame enforcement, the array of active limiters, the deferred-command queue's block, the
// radius queries, the stop passes, and the priority of a new play.
#include "PlaybackFixture.h"
#include "ZkAudiolib/Common/Hierarchy/CZkInstanceLimiter.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Playback/CZkEnvCurves.h"

#include <cmath>

namespace
{
using namespace ZkPlaybackTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

class ActiveInstances : public PlaybackTest
{
protected:
    // A started instance of priority on a sound whose behaviour below the threshold is behaviour.
    CZkPlayingInstance* Playing(float priority, uint8_t behaviour)
    {
        const ZkUniqueID id = 500 + behaviour;
        CZkSoundNode* sound = LoadSound(id, FindSound(id) != nullptr ? "" : BelowThreshold(behaviour));
        CZkPlayingInstance* instance = Make(sound, priority);
        Activate(instance);
        return instance;
    }
    static std::string BelowThreshold(uint8_t behaviour)
    {
        return R"("below_threshold": )" + std::to_string(behaviour);
    }
    static ZKRESULT Check(float priority)
    {
        uint32_t reason = 0;
        const ZKRESULT result = CZkActiveInstances::CheckInstanceLimit(priority, reason);
        EXPECT_EQ(reason, kReasonInstanceLimit);
        return result;
    }
    static uint8_t StopReason(const CZkPlayingInstance* instance)
    {
        return (instance->StopByte() & CZkPlayingInstance::kStopReasonMask) >>
               CZkPlayingInstance::kStopReasonShift;
    }
};

TEST_F(ActiveInstances, WithoutACandidateBelowTheNewPriorityThePlayStartsVirtual)
{
    CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
    CZkPlayingInstance* first = Playing(80.0f, 1);
    CZkPlayingInstance* second = Playing(80.0f, 1);
    // Every counted instance ranks above the new play: nobody can make room and no instance that
    // keeps playing opens a window.
    EXPECT_EQ(Check(50.0f), ZK_InstanceLimitReached);
    EXPECT_EQ(first->LimitStanding(), ZkLimitStanding::HoldsPlace) << "nobody was stopped";
    EXPECT_EQ(second->LimitStanding(), ZkLimitStanding::HoldsPlace);
}

TEST_F(ActiveInstances, AtTheEngineLimitAPlayOfEqualPriorityGetsNoRoom)
{
    CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
    EXPECT_EQ(Check(50.0f), ZK_Success) << "room left";
    CZkPlayingInstance* first = Playing(50.0f, 1);
    EXPECT_EQ(Check(50.0f), ZK_Success);
    CZkPlayingInstance* second = Playing(50.0f, 1);
    EXPECT_EQ(Check(50.0f), ZK_InstanceLimitReached) << "equal priority displaces nobody";
    EXPECT_FALSE(first->IsKilled());
    EXPECT_FALSE(second->IsKilled());

    // An instance that keeps playing below the threshold, within the maximum, opens the window.
    CZkActiveInstances::GlobalLimiter().SetMaxCount(3);
    Playing(40.0f, 0);
    EXPECT_EQ(Check(45.0f), ZK_Success) << "the window";
}

TEST_F(ActiveInstances, AHigherPriorityStopsTheLowestStoppableInstance)
{
    CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
    CZkPlayingInstance* high = Playing(90.0f, 1);
    CZkPlayingInstance* low = Playing(30.0f, 1);
    EXPECT_EQ(Check(70.0f), ZK_Success);
    EXPECT_TRUE(low->IsKilled()) << "stopped to make room";
    EXPECT_TRUE((low->StopByte() & CZkPlayingInstance::kStopRequested) != 0);
    EXPECT_EQ(StopReason(low), kEngineLimitReason);
    EXPECT_FALSE(high->IsKilled());
}

TEST_F(ActiveInstances, ACandidateThatGoesVirtualIsLeftToTheEnforcement)
{
    CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
    Playing(90.0f, 2);
    CZkPlayingInstance* low = Playing(30.0f, 2);
    EXPECT_EQ(Check(70.0f), ZK_Success);
    EXPECT_FALSE(low->IsKilled());
    Playing(70.0f, 2);
    CZkActiveInstances::FrameUpdate();
    EXPECT_TRUE((low->SecondFlags() & CZkNodeInstanceBase::kFlagMadeVirtual) != 0)
        << "the engine-wide limiter hands the lowest instance to its virtual behaviour";
    EXPECT_EQ(low->LimitStanding(), ZkLimitStanding::Virtual);
}

TEST_F(ActiveInstances, VirtualAndExemptInstancesDoNotCount)
{
    CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
    CZkSoundNode* sound = LoadSound(200);
    PlayLaunchParams exempt = Launch();
    exempt.sequenceNumber = 9;
    Activate(Make(sound, exempt));
    CZkPlayingInstance* goingVirtual = Make(sound);
    Activate(goingVirtual);
    goingVirtual->EnterVirtual();
    Activate(Make(sound));
    EXPECT_EQ(CZkActiveInstances::ActiveCount(), 3u);
    EXPECT_EQ(CZkActiveInstances::ExcludedCount(), 1u);
    EXPECT_EQ(Check(10.0f), ZK_Success) << "one instance counts";
}

TEST_F(ActiveInstances, TheEnforcementSendsOffTheInstancesBeyondEachMaximum)
{
    // The engine-wide limiter: instances that stop below the threshold are stopped (reason 2).
    CZkActiveInstances::GlobalLimiter().SetMaxCount(2);
    CZkPlayingInstance* a = Playing(60.0f, 1);
    CZkPlayingInstance* b = Playing(50.0f, 1);
    CZkPlayingInstance* c = Playing(40.0f, 1);
    c->SetStartsVirtual(true);
    EXPECT_EQ(CZkActiveInstances::LimiterCount(), 1u) << "the engine-wide limiter holds instances";
    CZkActiveInstances::FrameUpdate();
    EXPECT_FALSE(c->StartsVirtual()) << "the frame clears the starts-virtual marks";
    EXPECT_TRUE(c->IsKilled());
    EXPECT_EQ(StopReason(c), kEngineLimitReason);
    EXPECT_FALSE(a->IsKilled());
    EXPECT_FALSE(b->IsKilled());

    // A node's own limit (max instances 1, counted for all objects, no virtual on limit): stopped
    // with reason 1.
    CZkActiveInstances::GlobalLimiter().SetMaxCount(CZkActiveInstances::kDefaultMaxVoices);
    CZkSoundNode* limited = LoadSound(600, R"("max_instances": 1, "limit_flags": 4)");
    CZkPlayingInstance* kept = Make(limited, 70.0f);
    CZkPlayingInstance* over = Make(limited, 20.0f);
    Activate(kept);
    Activate(over);
    ASSERT_EQ(over->Limiters().Length(), 2u) << "the node's limiter and the engine's";
    EXPECT_EQ(CZkActiveInstances::LimiterCount(), 2u);
    EXPECT_LT(CZkActiveInstances::LimiterAt(0)->OrderKey(), CZkActiveInstances::LimiterAt(1)->OrderKey());
    CZkActiveInstances::FrameUpdate();
    EXPECT_TRUE(over->IsKilled());
    EXPECT_EQ(StopReason(over), kNodeLimitReason);
    EXPECT_FALSE(kept->IsKilled());

    // Every instance that ends leaves its limiters; the array empties with the last.
    for (CZkPlayingInstance* instance : {a, b, c, kept, over})
        RecordingRenderSide::EndVoice(instance);
    CZkActiveInstances::FlushCommands();
    EXPECT_EQ(CZkActiveInstances::LimiterCount(), 0u);
    EXPECT_EQ(limited->Activity(), nullptr) << "the node's play counts went with them";
}

TEST_F(ActiveInstances, InstancesWithoutLimitersCollectThemWhenTheHierarchyChanged)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* unlimited = Make(sound);
    ASSERT_EQ(unlimited->Play(0, ZkCurveInterpolation_Linear, false, false), ZK_Success);
    m_loose.erase(std::find(m_loose.begin(), m_loose.end(), unlimited));
    CZkActiveInstances::Add(unlimited);
    CZkActiveInstances::FrameUpdate();
    CZkActiveInstances::RequestLimiterRebuild();
    CZkActiveInstances::SetLimiterRebuildBlocked(true); // the latest bus assignment was no bus
    CZkActiveInstances::FrameUpdate();
    EXPECT_TRUE(unlimited->Limiters().IsEmpty());
    // A node takes a bus: the rebuild runs at the next frame.
    CZkSoundNode* other = LoadSound(201, R"("bus": 0)");
    ASSERT_EQ(Parse(BankOfItems(Bus("Effects"))), ZK_Success);
    other->SetOutputBus(FindBus("Effects"));
    CZkActiveInstances::FrameUpdate();
    ASSERT_EQ(unlimited->Limiters().Length(), 1u) << "the engine-wide limiter";
    EXPECT_EQ(CZkActiveInstances::GlobalLimiter().HeldCount(), 1u);
    EXPECT_EQ(sound->PlayCount(), 0) << "collected, not counted again";
}

TEST_F(ActiveInstances, NodeLimitDecisions)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkRegisteredObj* other = Register(8);
    CZkNodeLimiter limiter(ZkRTPCKey::Global(), 2, false, false, LimiterKey(200, 0, false));
    CZkPlayingInstance* first = Make(sound, 60.0f);
    CZkPlayingInstance* second = Make(sound, 40.0f);
    ASSERT_EQ(limiter.Insert(first), ZK_Success);
    ASSERT_EQ(limiter.Insert(second), ZK_Success);
    CZkHierarchyNode* stopped = nullptr;
    struct Row
    {
        const char* what;
        CZkInstanceLimiter* limiter;
        uint16_t maxCount;
        float priority;
        CZkGameObject* object;
        bool equalFlag;
        bool useBehaviour;
        ZKRESULT result;
    };
    const Row rows[] = {
        {"no limiter", nullptr, 1, 50.0f, nullptr, false, false, ZK_Success},
        {"room left", &limiter, 3, 50.0f, nullptr, false, false, ZK_Success},
        {"another object's instances do not count", &limiter, 1, 50.0f, other, false, false, ZK_Success},
        {"nothing at or below the priority: refused", &limiter, 2, 30.0f, nullptr, false, false, ZK_Fail},
        {"the same with the behaviours: virtual", &limiter, 2, 30.0f, nullptr, false, true,
         ZK_InstanceLimitReached},
        {"behaviour 0 within the maximum opens the window", &limiter, 2, 50.0f, nullptr, false, true,
         ZK_Success},
        {"equal priority with the flag set displaces nobody", &limiter, 2, 40.0f, nullptr, true, false,
         ZK_Fail},
    };
    for (const Row& row : rows)
    {
        EXPECT_EQ(CZkActiveInstances::CheckNodeLimit(row.limiter, row.maxCount, row.priority, row.object,
                                                     row.equalFlag, row.useBehaviour, stopped,
                                                     kNodeLimitReason),
                  row.result)
            << row.what;
        EXPECT_FALSE(second->IsKilled()) << row.what;
    }
    EXPECT_EQ(CZkActiveInstances::CheckNodeLimit(&limiter, 2, 40.0f, nullptr, false, false, stopped,
                                                 kNodeLimitReason),
              ZK_Success)
        << "equal priority without the flag displaces the lower instance";
    EXPECT_TRUE(second->IsKilled());
    EXPECT_EQ(StopReason(second), kNodeLimitReason);
    EXPECT_EQ(stopped, sound);
    limiter.Remove(first);
    limiter.Remove(second);
}

TEST_F(ActiveInstances, TheCommandQueueHolds64NodesAndThe65thComesFromThePool)
{
    {
        ScopedAllocationFailure noBlock(ZkMemID_Default, 1);
        EXPECT_EQ(CZkActiveInstances::Init(), ZK_InsufficientMemory);
    }
    // The block is made; the platform's start follows (the renderer needs the stream manager, which
    // this test does not make).
    EXPECT_EQ(CZkActiveInstances::Init(), ZK_Fail);
    PlatformAudio::DestroyDefaultObject();
    ASSERT_NE(g_pEnvCurves, nullptr) << "the environment curves exist with the active instances";

    CZkPlayingInstance* instance = Make(LoadSound(200));
    Fault::CountOnly(ZkMemID_Default);
    for (uint32_t command = 0; command < CZkActiveInstances::kBlockCommands; ++command)
        RecordingRenderSide::KnowDuration(instance, 1.0f);
    EXPECT_EQ(Fault::CountedAllocations(), 0u);
    RecordingRenderSide::KnowDuration(instance, 1.0f);
    EXPECT_EQ(Fault::CountedAllocations(), 1u) << "the 65th";
    EXPECT_EQ(CZkActiveInstances::QueuedCommands(), 65u);
    CZkActiveInstances::FlushCommands();
    for (uint32_t command = 0; command <= CZkActiveInstances::kBlockCommands; ++command)
        RecordingRenderSide::KnowDuration(instance, 1.0f);
    EXPECT_EQ(Fault::CountedAllocations(), 2u) << "the single node went back to the pool";
    Fault::Disarm();
    CZkActiveInstances::FlushCommands();
    CZkActiveInstances::Term();
    EXPECT_EQ(g_pEnvCurves, nullptr);
}

TEST_F(ActiveInstances, MaximumRadii)
{
    EXPECT_EQ(CZkActiveInstances::GetMaxRadius(kObject), -1.0f)
        << "a registered object with no playing sound";
    EXPECT_EQ(CZkActiveInstances::GetMaxRadius(12345), -1.0f) << "an unknown object";
    CZkRegisteredObj* other = Register(8);
    CZkSoundNode* sound = LoadSound(200);
    uint32_t reason = 0;
    bool below = false;
    const float radii[] = {10.0f, 25.0f};
    for (float radius : radii)
    {
        CZkPlayingInstance* instance = Make(sound);
        instance->Initialize(radius, true, reason, below);
        Activate(instance);
    }
    PlayLaunchParams params = Launch();
    params.gameObject = other;
    CZkPlayingInstance* elsewhere = Make(sound, params);
    elsewhere->Initialize(5.0f, true, reason, below);
    Activate(elsewhere);
    EXPECT_EQ(CZkActiveInstances::GetMaxRadius(kObject), 25.0f);

    uint32_t count = 0;
    EXPECT_EQ(CZkActiveInstances::GetMaxRadiusAll(nullptr, count), ZK_Success);
    EXPECT_EQ(count, 2u) << "one entry per object";
    ZkRadiusInfo entries[2] = {};
    count = 2;
    EXPECT_EQ(CZkActiveInstances::GetMaxRadiusAll(entries, count), ZK_Success);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(entries[0].gameObject, kObject);
    EXPECT_EQ(entries[0].radius, 25.0f);
    EXPECT_EQ(entries[1].gameObject, 8u);
    EXPECT_EQ(entries[1].radius, 5.0f);
    count = 1;
    EXPECT_EQ(CZkActiveInstances::GetMaxRadiusAll(entries, count), ZK_Success);
    EXPECT_EQ(count, 1u);
    {
        ScopedAllocationFailure noMemory(ZkMemID_Default, 1);
        EXPECT_EQ(CZkActiveInstances::GetMaxRadiusAll(entries, count), ZK_InsufficientMemory);
    }
}

TEST_F(ActiveInstances, MediaAndBanksThatGoStopTheirUsers)
{
    CZkSoundNode* sound = LoadSound(200);
    CZkPlayingInstance* user = Make(sound);
    CZkPlayingInstance* bystander = Make(sound);
    Activate(user);
    Activate(bystander);
    Frame();
    const int media = 0;
    m_render.VoiceOf(user).usesObject = &media;
    EXPECT_EQ(CZkActiveInstances::StopUsingMedia(&media), ZK_Success) << "the buses' refresh answers";
    EXPECT_EQ(user->PendingStopOffset(), 0) << "stopped at once, where its voice stands";
    EXPECT_TRUE((user->Status() & CZkPlayingInstance::kStatusStopping) != 0);
    EXPECT_FALSE(user->IsKilled()) << "its voice stops it";
    EXPECT_EQ(bystander->PendingStopOffset(), -1);
    EXPECT_EQ(m_render.refreshedObjects, std::vector<const void*>{&media});

    LoadedBank bank;
    m_render.VoiceOf(bystander).usesBank = &bank;
    EXPECT_EQ(CZkActiveInstances::StopForBankMessage(&bank), ZK_Success) << "the buses' refresh answers";
    EXPECT_TRUE(bystander->IsDead()) << "stopped at once";
    EXPECT_FALSE(user->IsKilled());
    EXPECT_EQ(m_render.refreshedBanks, std::vector<const LoadedBank*>{&bank});
}

TEST_F(ActiveInstances, ThePriorityOfANewPlay)
{
    struct Row
    {
        const char* what;
        const char* keys;
        float priority;
        float base;
    };
    const Row rows[] = {
        {"the default", "", 50.0f, 50.0f},
        {"the node's", R"("props": {"priority": 80})", 80.0f, 80.0f},
        {"clamped to 100", R"("props": {"priority": 150})", 100.0f, 150.0f},
        {"clamped to 0", R"("props": {"priority": -5})", 0.0f, -5.0f},
    };
    ZkUniqueID id = 700;
    for (const Row& row : rows)
    {
        CZkSoundNode* sound = LoadSound(++id, row.keys);
        ZkPriorityRecord record;
        float radius = -1.0f;
        CZkHierarchyNode::ComputePlayPriority(record, sound, m_object, radius);
        EXPECT_EQ(record.priority, row.priority) << row.what;
        EXPECT_EQ(record.basePriority, row.base) << row.what;
        EXPECT_EQ(radius, 0.0f) << row.what << ": no attenuation, no radius";
    }
}
} // namespace
