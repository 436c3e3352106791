// The modulator manager: instances attached through it and stepped in batches of one kind give what
// stepping each alone gives (1, 16, 17 and 40 per kind, control and audio rate); allocation
// failures while packing and for sample buffers leave the rest of the frame computed and the rest
// at their last values; values pushed to a node's parameter targets (not on the bits links serve,
// with the instance tree's override filter); instances stopped by their owner's end; subscriptions
// and target entries; the gain line of link entries.
#include "ModulatorFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/RecordingTarget.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Modulators/CZkModulatorLinks.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <cmath>
#include <memory>

namespace
{
using namespace ZkModulatorTest;
using ZkParamTest::RecordingTarget;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr uint64_t Bit(uint32_t bit) { return 1ull << bit; }

class ModulatorManager : public ModulatorTest
{
protected:
    void SetUp() override
    {
        ModulatorTest::SetUp();
        ASSERT_EQ(m_manager.Init(), ZK_Success);
        g_pModulatorMgr = &m_manager;
    }

    void TearDown() override
    {
        Fault::Disarm();
        for (auto& [modulator, subscription] : m_audioRateSubscribers)
            modulator->RemoveSubscriber(subscription.get());
        m_manager.TermInstances();
        m_manager.Term();
        ModulatorTest::TearDown();
        g_pModulatorMgr = nullptr;
    }

    // Makes the modulator's instances run at audio rate (a subscriber on the volume bit).
    void GiveAudioRateSubscriber(CZkModulator* modulator)
    {
        auto subscription = std::make_unique<ZkRTPCSubscription>();
        subscription->target = subscription.get();
        subscription->bit = 0;
        subscription->kind = ZkRTPCSubscriberKind_TargetList;
        ASSERT_EQ(modulator->AddSubscriber(subscription.get()), ZK_Success);
        m_audioRateSubscribers.emplace_back(modulator, std::move(subscription));
    }

    // The manager's instance for the trigger and a twin of it stepped alone by the test.
    struct Pair
    {
        CZkModulatorInstance* managed;
        std::unique_ptr<InstanceStepper> twin;
        CZkModulatorInstance* twinInstance;
    };
    Pair AttachWithTwin(CZkModulator* modulator, const ZkModulatorTrigger& trigger)
    {
        EXPECT_EQ(modulator->Attach(ZkModulatorTargetKey{}, trigger, m_manager, nullptr), ZK_Success);
        CZkModulatorInstance* managed =
            modulator->Instances().FindInstance(ReduceKeyToScope(trigger.Key(), modulator->Scope()));
        CZkModulatorInstance* twin = NewInstance(modulator, trigger, modulator->Scope());
        // Kept by the test too: a purged instance is then ended, not freed.
        managed->AddRef();
        m_kept.push_back(managed);
        return Pair{managed, std::make_unique<InstanceStepper>(*twin), twin};
    }

    CZkModulatorMgr m_manager;
    std::vector<std::pair<CZkModulator*, std::unique_ptr<ZkRTPCSubscription>>> m_audioRateSubscribers;
};

constexpr const char* kKinds = R"(
    {"type": "lfo", "id": 100, "props": {"scope": 2, "lfo_frequency": 2.0, "lfo_depth": 1.0}},
    {"type": "lfo", "id": 101, "props": {"scope": 2, "lfo_frequency": 20.0, "lfo_depth": 0.8, "lfo_waveform": 1}},
    {"type": "envelope", "id": 200, "props": {"scope": 2, "env_attack_time": 0.05, "env_decay_time": 0.1,
        "env_sustain_level": 50, "env_sustain_time": 0.3, "env_release_time": 0.2}},
    {"type": "envelope", "id": 201, "props": {"scope": 2, "env_attack_time": 0.01, "env_decay_time": 0.01,
        "env_sustain_level": 30, "env_sustain_time": 0.1, "env_release_time": 0.01}},
    {"type": "time_modulator", "id": 300, "props": {"scope": 2, "time_duration": 0.25, "time_loops": 2}})";

TEST_F(ModulatorManager, BatchesOfEveryKindGiveWhatEachInstanceGivesAlone)
{
    LoadItems(kKinds);
    GiveAudioRateSubscriber(Modulator(101));
    GiveAudioRateSubscriber(Modulator(201));
    const ZkUniqueID kinds[] = {100, 101, 200, 201, 300};
    ZkGameObjectID nextObject = 1;
    for (const uint32_t count : {1u, 16u, 17u, 40u})
    {
        SCOPED_TRACE(testing::Message() << count << " instances of each");
        std::vector<Pair> pairs;
        for (const ZkUniqueID id : kinds)
        {
            for (uint32_t index = 0; index < count; ++index)
                pairs.push_back(AttachWithTwin(Modulator(id), PlayTrigger(Register(nextObject++))));
        }
        ASSERT_EQ(m_manager.InstanceCount(), pairs.size());
        EXPECT_NE(pairs[count].managed->Header().audioRateFrames, 0u) << "the 20 Hz LFO runs at audio rate";
        for (int frame = 0; frame < 40; ++frame)
        {
            m_manager.Update();
            ASSERT_EQ(m_manager.LastStepResult(), ZK_Success);
            for (size_t index = 0; index < pairs.size(); ++index)
            {
                const FrameResult alone = pairs[index].twin->Step();
                CZkModulatorInstance* managed = pairs[index].managed;
                if (managed->Modulator() == nullptr)
                {
                    ASSERT_EQ(pairs[index].twinInstance->State(), ZkModulatorState_Stopped)
                        << "purged only once finished: " << index;
                    continue;
                }
                ASSERT_EQ(managed->Value(), alone.value) << "instance " << index << " frame " << frame;
                ASSERT_EQ(managed->PendingOutput()->peak, alone.peak) << "instance " << index << " frame " << frame;
                if (!alone.samples.empty())
                {
                    ASSERT_NE(managed->PendingOutput()->samples, nullptr);
                    for (uint32_t k = 0; k < kFrames; ++k)
                        ASSERT_EQ(managed->PendingOutput()->samples[k], alone.samples[k])
                            << "instance " << index << " frame " << frame << " sample " << k;
                }
            }
        }
        EXPECT_EQ(m_manager.BatchCount(ZkModulatorKind_Lfo), (2 * count + 15) / 16) << "both LFOs in one list";
        // The time modulators (2 x 0.25 s) and the envelopes (at most 0.65 s) end; the LFOs run on.
        EXPECT_EQ(m_manager.InstanceCount(), 2 * count);
        m_manager.TermInstances();
        ASSERT_EQ(m_manager.Init(), ZK_Success);
    }
}

TEST_F(ModulatorManager, OutOfMemoryWhilePackingComputesThePackedAndHoldsTheRest)
{
    LoadItems(kKinds);
    GiveAudioRateSubscriber(Modulator(101));
    struct Case
    {
        const char* what;
        ZkUniqueID modulator;
        uint32_t failingAllocation; // of pool 0, counted from the frame's start
        ZKRESULT result;
        uint32_t computed; // the first ones of the list
    };
    const Case cases[] = {
        {"the second batch", 100, 2, ZK_InsufficientMemory, 16},
        {"the first batch", 100, 1, ZK_InsufficientMemory, 0},
        {"the first sample buffer", 101, 4, ZK_Fail, 0},
        {"the second sample buffer", 101, 5, ZK_Fail, 16},
    };
    ZkGameObjectID nextObject = 1;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::vector<Pair> pairs;
        for (uint32_t index = 0; index < 40; ++index)
            pairs.push_back(AttachWithTwin(Modulator(c.modulator), PlayTrigger(Register(nextObject++))));
        std::vector<float> before;
        for (const Pair& pair : pairs)
            before.push_back(pair.managed->Value());

        Fault::FailNth(CZkModulatorMgr::kEnginePool, c.failingAllocation);
        m_manager.Update();
        Fault::Disarm();
        EXPECT_EQ(m_manager.LastStepResult(), c.result);
        for (uint32_t index = 0; index < pairs.size(); ++index)
        {
            const FrameResult alone = pairs[index].twin->Step();
            if (index < c.computed)
                ASSERT_EQ(pairs[index].managed->Value(), alone.value) << "packed and computed: " << index;
            else
                ASSERT_EQ(pairs[index].managed->Value(), before[index]) << "keeps its last value: " << index;
        }
        m_manager.Update();
        EXPECT_EQ(m_manager.LastStepResult(), ZK_Success) << "the next frame packs and computes everything";
        m_manager.TermInstances();
        ASSERT_EQ(m_manager.Init(), ZK_Success);
    }
}

// A sound whose pitch (bit 2) and volume (bit 0) follow LFO 100 through curves.
constexpr const char* kModulatedSound = R"(
    {"type": "lfo", "id": 100, "props": {"scope": 2, "lfo_frequency": 2.0, "lfo_depth": 1.0}},
    {"type": "sound", "id": 500, "media_size": 4, "rtpc": [
        {"parameter": 100, "parameter_type": 2, "target": 2, "curve": 1, "points": [[-1, -100], [1, 100]]},
        {"parameter": 100, "parameter_type": 2, "target": 0, "curve": 2, "points": [[0, -96], [1, 0]]}]})";

TEST_F(ModulatorManager, ValuesReachTheNodesTargetsExceptOnTheBitsLinksServe)
{
    LoadItems(kModulatedSound);
    auto* sound = static_cast<CZkHierarchyNode*>(m_index.Table(ZkIndexKind::Nodes).Table().Find(500));
    ASSERT_NE(sound, nullptr);
    const ZkModulatorTargetEntry* entry = m_manager.FindEntry(&sound->ParamTargets());
    ASSERT_NE(entry, nullptr) << "the node's entries of type 2 attach the LFO to its target list";
    ASSERT_EQ(entry->modulators.Length(), 1u);
    EXPECT_TRUE(Modulator(100)->HasAudioRateSubscriber()) << "the volume bit is linkable";

    CZkRegisteredObj* object = Register(7);
    RecordingTarget target(ZkRTPCKey::ForObject(object), Bit(0) | Bit(2));
    ASSERT_EQ(sound->ParamTargets().SetTarget(&target, Bit(0) | Bit(2)), ZK_Success);
    const ZkModulatorTargetKey key{&sound->ParamTargets(), sound, ZkRTPCSubscriberKind_TargetList, 0};
    ASSERT_EQ(m_manager.ProcessForKey(key, PlayTrigger(object), nullptr), ZK_Success);
    CZkModulatorInstance* instance = Modulator(100)->Instances().FindInstance(ZkRTPCKey::ForObject(object));
    ASSERT_NE(instance, nullptr);

    for (int frame = 0; frame < 10; ++frame)
    {
        m_manager.Update();
        ASSERT_EQ(target.changes.size(), size_t(frame + 1)) << "bit 2 every frame, bit 0 never";
        EXPECT_EQ(target.changes.back().bit, 2u);
        EXPECT_NEAR(target.changes.back().value, 100.0f * instance->Value(), 1e-3f);
    }
    ASSERT_EQ(sound->ParamTargets().SetTarget(&target, 0), ZK_Success);
    m_manager.Update();
    EXPECT_EQ(target.changes.size(), 10u) << "a target list without targets is not told";
}

TEST_F(ModulatorManager, AGlobalInstanceSkipsTargetsWhoseObjectHasAnInstanceOfItsOwn)
{
    LoadItems(kModulatedSound);
    auto* sound = static_cast<CZkHierarchyNode*>(m_index.Table(ZkIndexKind::Nodes).Table().Find(500));
    ASSERT_NE(sound, nullptr);
    CZkRegisteredObj* own = Register(7);
    CZkRegisteredObj* other = Register(8);
    RecordingTarget ownTarget(ZkRTPCKey::ForObject(own), Bit(2));
    RecordingTarget otherTarget(ZkRTPCKey::ForObject(other), Bit(2));
    ASSERT_EQ(sound->ParamTargets().SetTarget(&ownTarget, Bit(2)), ZK_Success);
    ASSERT_EQ(sound->ParamTargets().SetTarget(&otherTarget, Bit(2)), ZK_Success);
    const ZkModulatorTargetKey key{&sound->ParamTargets(), sound, ZkRTPCSubscriberKind_TargetList, 0};

    // A play without a game object starts the global instance; three frames later the object's own.
    ASSERT_EQ(m_manager.ProcessForKey(key, PlayTrigger(nullptr), nullptr), ZK_Success);
    for (int frame = 0; frame < 3; ++frame)
        m_manager.Update();
    ASSERT_EQ(m_manager.ProcessForKey(key, PlayTrigger(own), nullptr), ZK_Success);
    CZkModulatorInstance* global = Modulator(100)->Instances().FindInstance(ZkRTPCKey::Global());
    CZkModulatorInstance* owned = Modulator(100)->Instances().FindInstance(ZkRTPCKey::ForObject(own));
    ASSERT_NE(global, nullptr);
    ASSERT_NE(owned, nullptr);
    ownTarget.changes.clear();
    otherTarget.changes.clear();
    for (int frame = 0; frame < 5; ++frame)
    {
        m_manager.Update();
        ASSERT_EQ(ownTarget.changes.size(), size_t(frame + 1)) << "only its own instance's value";
        EXPECT_NEAR(ownTarget.changes.back().value, 100.0f * owned->Value(), 1e-3f);
        ASSERT_EQ(otherTarget.changes.size(), size_t(frame + 1));
        EXPECT_NEAR(otherTarget.changes.back().value, 100.0f * global->Value(), 1e-3f);
    }
    EXPECT_NE(owned->Value(), global->Value());
    ASSERT_EQ(sound->ParamTargets().SetTarget(&ownTarget, 0), ZK_Success);
    ASSERT_EQ(sound->ParamTargets().SetTarget(&otherTarget, 0), ZK_Success);
}

TEST_F(ModulatorManager, InstancesStopWhenTheOwnerOfTheirScopeGoes)
{
    LoadItems(R"({"type": "lfo", "id": 100, "props": {"scope": 2, "lfo_frequency": 2.0}},
                 {"type": "lfo", "id": 101, "props": {"scope": 1, "lfo_frequency": 2.0}})");
    CZkPlayingMgr playing;
    ASSERT_EQ(playing.CreateCallbackEvent(), ZK_Success);
    g_pPlayingMgr = &playing;
    CZkRegisteredObj* object = Register(7);
    constexpr ZkPlayingID kPlayingID = 77;
    ASSERT_EQ(playing.AddPlayingIDNoMessage(kPlayingID, 7, nullptr, nullptr, 0, 0), ZK_Success);

    ZkModulatorLinksHandle links;
    links.Init();
    ASSERT_EQ(Modulator(100)->Attach(ZkModulatorTargetKey{}, PlayTrigger(object), m_manager, &links), ZK_Success);
    ASSERT_EQ(Modulator(101)->Attach(ZkModulatorTargetKey{}, PlayTrigger(object, kPlayingID), m_manager, &links),
              ZK_Success);
    m_manager.Update();
    ASSERT_EQ(m_manager.InstanceCount(), 2u);
    ASSERT_EQ(links.links->LinkCount(), 2u);

    playing.RemovePlayingIDRef(kPlayingID); // the playing id ends: its scope is cleared
    EXPECT_TRUE(Modulator(101)->Instances().IsEmpty());
    m_manager.Update();
    EXPECT_EQ(m_manager.InstanceCount(), 1u) << "the stopped instance is purged at the next frame";

    ASSERT_EQ(m_registry.UnregisterObject(7), ZK_Success); // the game object goes
    EXPECT_TRUE(Modulator(100)->Instances().IsEmpty());
    m_manager.Update();
    EXPECT_EQ(m_manager.InstanceCount(), 0u);
    links.Release(); // the links held the last references
    EXPECT_EQ(links.links, nullptr);

    // An owner that is already gone refuses the scope: the new instance is not kept.
    ASSERT_EQ(Modulator(101)->Attach(ZkModulatorTargetKey{}, PlayTrigger(Register(8), 999), m_manager, nullptr),
              ZK_Success);
    EXPECT_EQ(m_manager.InstanceCount(), 0u);
    EXPECT_TRUE(Modulator(101)->Instances().IsEmpty());
    g_pPlayingMgr = nullptr;
    playing.TermPlayingIDs();
    playing.Term();
}

TEST_F(ModulatorManager, SubscriptionsMakeAndUnmakeTargetEntries)
{
    LoadItems(R"({"type": "lfo", "id": 100}, {"type": "envelope", "id": 200}, {"type": "time_modulator", "id": 300})");
    CZkParamTargetList targetA(0, nullptr);
    const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {1.0f, 1.0f, 4}};
    auto subscribe = [&](void* target, ZkUniqueID id, uint32_t bit, uint32_t curve) {
        return g_pRTPCMgr->SubscribeRTPC(target, id, kRTPCParamTypeModulator, 0, bit, curve, 0, line, 2,
                                         ZkRTPCKey::Global(), ZkRTPCSubscriberKind_TargetList, true);
    };
    EXPECT_EQ(subscribe(&targetA, 999, 3, 1), ZK_Fail) << "an unknown modulator";
    EXPECT_EQ(m_manager.TargetCount(), 0u);
    ASSERT_EQ(subscribe(&targetA, 100, 3, 1), ZK_Success);
    ASSERT_EQ(subscribe(&targetA, 200, 3, 2), ZK_Success);
    ASSERT_EQ(subscribe(&targetA, 100, 4, 3), ZK_Success);
    const ZkModulatorTargetEntry* entry = m_manager.FindEntry(&targetA);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->modulators.Length(), 2u) << "one modulator once per target";
    EXPECT_EQ(Modulator(100)->Subscribers().Length(), 2u);

    // Bit 3 loses its LFO curve: the LFO stays (bit 4 uses it); then bit 4 goes with its LFO.
    bool still = false;
    g_pRTPCMgr->UnsubscribeRTPCCurve(&targetA, 3, 1, still);
    EXPECT_TRUE(still);
    EXPECT_EQ(m_manager.FindEntry(&targetA)->modulators.Length(), 2u);
    g_pRTPCMgr->UnsubscribeRTPC(&targetA, 4);
    EXPECT_EQ(m_manager.FindEntry(&targetA)->modulators.Length(), 1u);
    EXPECT_EQ(Modulator(100)->Subscribers().Length(), 0u)
        << "a subscription removed with its curves leaves its modulator (it was kept, dangling)";
    // Removing the last subscription (curves still naming the envelope) frees the entry.
    g_pRTPCMgr->UnsubscribeRTPC(&targetA, 3);
    EXPECT_EQ(m_manager.FindEntry(&targetA), nullptr);
    EXPECT_EQ(Modulator(200)->Subscribers().Length(), 0u);
}

TEST_F(ModulatorManager, ModulatorsDrivingAModulatorStartWithIt)
{
    // LFO 101 drives LFO 100's frequency (parameter 4); the node's target list names only LFO 100.
    LoadItems(R"({"type": "lfo", "id": 101, "props": {"scope": 2}},
                 {"type": "lfo", "id": 100, "props": {"scope": 2}, "rtpc": [
                    {"parameter": 101, "parameter_type": 2, "target": 4, "points": [[-1, 1], [1, 3]]}]},
                 {"type": "lfo", "id": 102, "props": {"scope": 2}},
                 {"type": "lfo", "id": 103, "props": {"scope": 2}, "rtpc": [
                    {"parameter": 102, "parameter_type": 2, "target": 4, "points": [[-1, 1], [1, 3]]}]})");
    CZkParamTargetList target(0, nullptr);
    const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {1.0f, 1.0f, 4}};
    ASSERT_EQ(g_pRTPCMgr->SubscribeRTPC(&target, 100, kRTPCParamTypeModulator, 0, 3, 1, 0, line, 2,
                                        ZkRTPCKey::Global(), ZkRTPCSubscriberKind_TargetList, true),
              ZK_Success);
    // 102 drives 103 and 103 drives 102.
    ASSERT_EQ(g_pRTPCMgr->SubscribeRTPC(Modulator(102), 103, kRTPCParamTypeModulator, 0, 4, 1, 0, line, 2,
                                        ZkRTPCKey::Global(), ZkRTPCSubscriberKind_Modulator, false),
              ZK_Success);
    CZkRegisteredObj* object = Register(7);
    ASSERT_EQ(m_manager.ProcessForKey(ZkModulatorTargetKey{&target, nullptr, 0, 0}, PlayTrigger(object), nullptr),
              ZK_Success);
    EXPECT_NE(Modulator(100)->Instances().FindInstance(ZkRTPCKey::ForObject(object)), nullptr);
    EXPECT_NE(Modulator(101)->Instances().FindInstance(ZkRTPCKey::ForObject(object)), nullptr);
    EXPECT_EQ(m_manager.InstanceCount(), 2u);

    // Two modulators driving each other start once each, and the start ends.
    CZkParamTargetList cyclic(0, nullptr);
    ASSERT_EQ(g_pRTPCMgr->SubscribeRTPC(&cyclic, 102, kRTPCParamTypeModulator, 0, 3, 1, 0, line, 2,
                                        ZkRTPCKey::Global(), ZkRTPCSubscriberKind_TargetList, true),
              ZK_Success);
    ASSERT_EQ(m_manager.ProcessForKey(ZkModulatorTargetKey{&cyclic, nullptr, 0, 0}, PlayTrigger(object), nullptr),
              ZK_Success);
    EXPECT_EQ(m_manager.InstanceCount(), 4u);
    g_pRTPCMgr->UnsubscribeRTPC(&target, 3);
    g_pRTPCMgr->UnsubscribeRTPC(&cyclic, 3);
    g_pRTPCMgr->UnsubscribeRTPC(Modulator(102), 4);
}

TEST_F(ModulatorManager, LinkEntriesAreTheLineThroughTheCurvesFirstTwoPoints)
{
    LoadItems(R"({"type": "lfo", "id": 100}, {"type": "time_modulator", "id": 300})");
    struct Case
    {
        const char* what;
        ZkUniqueID modulator;
        uint32_t bit;
        uint32_t kind;
        std::vector<ZkCurvePoint> points;
        bool found;
        float offset;
        float scale;
    };
    const float low = std::pow(10.0f, -4.8f);
    const Case cases[] = {
        {"-96 dB to 0 dB", 100, 0, ZkRTPCSubscriberKind_TargetList, {{0, -96, 4}, {1, 0, 4}}, true, low, 1 - low},
        {"bit 7 too", 100, 7, ZkRTPCSubscriberKind_TargetList, {{0, -96, 4}, {1, 0, 4}}, true, low, 1 - low},
        // Points sharing an x: the gain is the first point's, without a slope (it was infinite).
        {"a step", 100, 0, ZkRTPCSubscriberKind_TargetList, {{0.5f, -6, 4}, {0.5f, 0, 4}}, true,
         std::pow(10.0f, -0.3f), 0.0f},
        {"not a linked bit", 100, 2, ZkRTPCSubscriberKind_TargetList, {{0, -96, 4}, {1, 0, 4}}, false, 0, 0},
        {"a time modulator does not link", 300, 0, ZkRTPCSubscriberKind_TargetList, {{0, -96, 4}, {1, 0, 4}},
         false, 0, 0},
        {"one point only", 100, 0, ZkRTPCSubscriberKind_TargetList, {{0, -6, 4}}, false, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkParamTargetList target(0, nullptr);
        ASSERT_EQ(g_pRTPCMgr->SubscribeRTPC(&target, c.modulator, kRTPCParamTypeModulator, 0, c.bit, 1, 0,
                                            c.points.data(), static_cast<uint32_t>(c.points.size()),
                                            ZkRTPCKey::Global(), c.kind, true),
                  ZK_Success);
        ZkModulatorLinkEntry entry{-1.0f, -1.0f, 99};
        ASSERT_EQ(m_manager.GetLinkEntry(&target, c.bit, c.modulator, entry), c.found);
        if (c.found)
        {
            EXPECT_NEAR(entry.offset, c.offset, c.offset * 0.005f);
            EXPECT_NEAR(entry.scale, c.scale, 0.005f);
            EXPECT_TRUE(std::isfinite(entry.offset) && std::isfinite(entry.scale));
            EXPECT_EQ(entry.bit, c.bit);
        }
        g_pRTPCMgr->UnsubscribeRTPC(&target, c.bit);
    }
}
} // namespace

namespace
{
TEST_F(ModulatorManager, ANodeNamingAModulatorNotReadYetFailsItsRead)
{
    // Written in this order on purpose (the writer otherwise puts modulators first).
    const Bytes bank = ZkBankTest::WriteBank(ZkBankTest::Bank(
        R"({"tag": "BKHD"}, {"tag": "HIRC", "order": "as_written", "items": [
            {"type": "sound", "id": 500, "media_size": 4, "rtpc": [
                {"parameter": 100, "parameter_type": 2, "target": 2, "points": [[0, -100], [1, 100]]}]},
            {"type": "lfo", "id": 100}]})"));
    EXPECT_EQ(ParseMemory(bank, 9), ZK_Fail);
    EXPECT_EQ(m_manager.TargetCount(), 0u);
}

TEST_F(ModulatorManager, AnInstanceWhoseUsersAreAllPausedIsNotComputed)
{
    LoadItems(kKinds);
    CZkRegisteredObj* object = Register(1);
    Pair pair = AttachWithTwin(Modulator(100), PlayTrigger(object));
    pair.managed->AddUser();
    m_manager.Update();
    const float held = pair.managed->Value();
    pair.managed->AddPausedUser();
    for (int frame = 0; frame < 3; ++frame)
    {
        m_manager.Update();
        EXPECT_EQ(pair.managed->Value(), held);
        EXPECT_EQ(pair.managed->PendingOutput(), nullptr) << "its output record went to other instances";
    }
    EXPECT_EQ(m_manager.BatchCount(ZkModulatorKind_Lfo), 0u);
    pair.managed->RemovePausedUser();
    m_manager.Update();
    EXPECT_NE(pair.managed->Value(), held) << "it runs on";
    pair.managed->RemoveUser();
}
} // namespace
