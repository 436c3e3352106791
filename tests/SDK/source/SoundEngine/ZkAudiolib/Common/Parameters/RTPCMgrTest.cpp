// The game-parameter manager: scoped values, ramps and slew, offsets, resets, subscriptions and
// their notification through a node's target list, bank records and bad input.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/DetachedModulator.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/RecordingTarget.h"

#include "ZkAudiolib/Common/GameObjects/CZkGeometryParams.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetList.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <cmath>
#include <memory>

namespace
{
using namespace ZK::SoundEngine;
using ZkParamTest::ParametersTest;
using ZkParamTest::RecordingTarget;

constexpr ZkUniqueID kVolume = 1000;
constexpr uint32_t kBit = 3;
// Identity curve over 0..100.
const ZkCurvePoint kIdentity[] = {{0.0f, 0.0f, 4}, {100.0f, 100.0f, 4}};

class RTPCMgrTest : public ParametersTest
{
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        m_objectA = Register(10);
        m_objectB = Register(11);
        m_list = std::make_unique<CZkParamTargetList>(77, nullptr);
        m_globalTarget = std::make_unique<RecordingTarget>(ZkRTPCKey::Global(), 1ull << kBit);
        m_targetA = std::make_unique<RecordingTarget>(ZkRTPCKey::ForObject(m_objectA), 1ull << kBit);
        m_targetB = std::make_unique<RecordingTarget>(ZkRTPCKey::ForObject(m_objectB), 1ull << kBit);
        for (RecordingTarget* target : {m_globalTarget.get(), m_targetA.get(), m_targetB.get()})
            ASSERT_EQ(m_list->AddTarget(target, 1ull << kBit), ZK_Success);
        ASSERT_EQ(m_list->SubscribeRTPC(kVolume, 0, 0, kBit, 1, ZkCurveScaling_None, kIdentity, 2), ZK_Success);
    }
    void TearDown() override
    {
        m_list.reset();
        m_globalTarget.reset();
        m_targetA.reset();
        m_targetB.reset();
        ParametersTest::TearDown();
    }

    ZKRESULT Set(float value, const ZkRTPCKey& key, ZkTimeMs ms = 0, ZkValueMeaning meaning = ZkValueMeaning_Absolute)
    {
        TransParamsBase transition{ms, 4, false};
        return g_pRTPCMgr->SetRTPCInternal(kVolume, value, key, transition, meaning, false);
    }
    float ValueFor(const ZkRTPCKey& key)
    {
        ZkRTPCKey scope = key;
        float value = 0.0f;
        g_pRTPCMgr->GetRTPCValue(kVolume, scope, value);
        return value;
    }
    bool HasOwnValue(const ZkRTPCKey& key)
    {
        ZkRTPCKey scope = key;
        float value = 0.0f;
        return g_pRTPCMgr->GetRTPCValue(kVolume, scope, value) && scope == key;
    }

    CZkRegisteredObj* m_objectA = nullptr;
    CZkRegisteredObj* m_objectB = nullptr;
    std::unique_ptr<CZkParamTargetList> m_list;
    std::unique_ptr<RecordingTarget> m_globalTarget, m_targetA, m_targetB;
};

TEST_F(RTPCMgrTest, PitchBendEntryExistsFromInit)
{
    bool found = false;
    EXPECT_EQ(g_pRTPCMgr->GetDefaultValue(kRTPCPitchBendID, found), 64.0f);
    EXPECT_TRUE(found);
    EXPECT_EQ(g_pRTPCMgr->GetDefaultValue(4242, found), 0.0f);
    EXPECT_FALSE(found);
}

TEST_F(RTPCMgrTest, SubscribingPushesTheCurrentValueAndObjectChangesReachOnlyTheirObject)
{
    ASSERT_EQ(m_targetA->notifications.size(), 1u) << "the new subscription asks the targets to re-read";
    ASSERT_EQ(Set(30.0f, ZkRTPCKey::ForObject(m_objectA)), ZK_Success);
    ASSERT_EQ(m_targetA->changes.size(), 1u);
    EXPECT_EQ(m_targetA->changes[0].value, 30.0f);
    EXPECT_EQ(m_targetA->changes[0].delta, 30.0f);
    EXPECT_EQ(m_targetA->changes[0].ownerID, 77u);
    EXPECT_TRUE(m_targetB->changes.empty());
    EXPECT_TRUE(m_globalTarget->changes.empty());
    EXPECT_TRUE(m_objectA->ParamScope().HasParameter(kVolume));
}

TEST_F(RTPCMgrTest, GlobalChangeSkipsObjectsWithTheirOwnValue)
{
    Set(30.0f, ZkRTPCKey::ForObject(m_objectA));
    Set(60.0f, ZkRTPCKey::Global());
    EXPECT_EQ(m_targetA->LastValue(), 30.0f) << "the override filter keeps the object's value";
    EXPECT_EQ(m_targetB->LastValue(), 60.0f);
    EXPECT_EQ(m_globalTarget->LastValue(), 60.0f);
    EXPECT_EQ(ValueFor(ZkRTPCKey::ForObject(m_objectA)), 30.0f);
    EXPECT_EQ(ValueFor(ZkRTPCKey::ForObject(m_objectB)), 60.0f);
}

TEST_F(RTPCMgrTest, SameValueTwiceDoesNotNotifyAndCancelsARamp)
{
    Set(30.0f, ZkRTPCKey::ForObject(m_objectA));
    const size_t before = m_targetA->changes.size();
    Set(30.0f, ZkRTPCKey::ForObject(m_objectA));
    EXPECT_EQ(m_targetA->changes.size(), before);

    Set(90.0f, ZkRTPCKey::ForObject(m_objectA), 1000);
    RunFrames(1, 2);
    const float midway = ValueFor(ZkRTPCKey::ForObject(m_objectA));
    EXPECT_GT(midway, 30.0f);
    Set(midway, ZkRTPCKey::ForObject(m_objectA));
    RunFrames(3, 60);
    EXPECT_EQ(ValueFor(ZkRTPCKey::ForObject(m_objectA)), midway) << "the ramp was cancelled";
    EXPECT_EQ(g_pRTPCMgr->FindEntry(kVolume)->links, nullptr);
}

TEST_F(RTPCMgrTest, RampDeliversEveryFrameAndEndsAtTheTarget)
{
    Set(100.0f, ZkRTPCKey::ForObject(m_objectA), 210); // 10 frames
    EXPECT_FALSE(HasOwnValue(ZkRTPCKey::ForObject(m_objectA))) << "nothing stored before the first frame";
    RunFrames(1, 10);
    ASSERT_EQ(m_targetA->changes.size(), 10u);
    EXPECT_FLOAT_EQ(m_targetA->changes[4].value, 50.0f);
    EXPECT_EQ(m_targetA->changes[9].value, 100.0f);
    EXPECT_EQ(g_pRTPCMgr->FindEntry(kVolume)->links, nullptr);
}

TEST_F(RTPCMgrTest, OffsetDuringARampRetargetsIt)
{
    // 0 -> 10 over 1000 ms, then +10 one frame in: the ramp now aims at 20, for an object's value
    // and for the global value alike.
    uint32_t frame = 0;
    for (const ZkRTPCKey& key : {ZkRTPCKey::ForObject(m_objectA), ZkRTPCKey::Global()})
    {
        SCOPED_TRACE(key.gameObject != nullptr ? "object" : "global");
        Set(10.0f, key, 1000);
        RunFrames(frame + 1, frame + 1);
        Set(10.0f, key, 1000, ZkValueMeaning_Offset);
        const ZkRTPCTransitionLink* link = g_pRTPCMgr->FindEntry(kVolume)->FindLink(key);
        ASSERT_NE(link, nullptr);
        EXPECT_EQ(link->transition->TargetValue(), 20.0f);
        RunFrames(frame + 2, frame + 60);
        frame += 60;
        EXPECT_EQ(ValueFor(key), 20.0f);
    }

    // Without a ramp, an offset adds to the exact value, else to the parent (the global 20), else
    // to the default.
    Set(5.0f, ZkRTPCKey::ForObject(m_objectA), 0, ZkValueMeaning_Offset);
    EXPECT_EQ(ValueFor(ZkRTPCKey::ForObject(m_objectA)), 25.0f);
    Set(7.0f, ZkRTPCKey::ForObject(m_objectB), 0, ZkValueMeaning_Offset);
    EXPECT_EQ(ValueFor(ZkRTPCKey::ForObject(m_objectB)), 27.0f);
    TransParamsBase immediate{0, 4, false};
    g_pRTPCMgr->SetRTPCInternal(kVolume + 1, 4.0f, ZkRTPCKey::Global(), immediate, ZkValueMeaning_Offset, false);
    ZkRTPCKey global = ZkRTPCKey::Global();
    float fresh = 0.0f;
    ASSERT_TRUE(g_pRTPCMgr->GetRTPCValue(kVolume + 1, global, fresh));
    EXPECT_EQ(fresh, 4.0f) << "a new parameter's default is 0";
}

// A parameter bound to a built-in row, read for a game object: the object brings its built-in values
// up to date first. Its geometry comes with positioning and answers 4 for now; asking for it tries
// to create the component, which the count of game-object allocations shows.
TEST_F(RTPCMgrTest, ABuiltInParameterReadForAnObjectAsksTheObjectFirst)
{
    constexpr ZkUniqueID kDistance = 2000;
    ASSERT_EQ(g_pRTPCMgr->BindBuiltInParam(1, kDistance), ZK_Success);
    ASSERT_NE(m_objectA->Emitter(), nullptr) << "registered objects have an emitter";

    ZkModulatorTest::DetachedModulator modulator;
    for (ZkUniqueID id : {kDistance, kVolume})
        ASSERT_EQ(g_pRTPCMgr->SubscribeRTPC(&modulator, id, 0, 0, id == kDistance ? 1 : 2, 1, ZkCurveScaling_None,
                                            kIdentity, 2, ZkRTPCKey::ForObject(m_objectA),
                                            ZkRTPCSubscriberKind_Modulator, true),
                  ZK_Success);
    g_pRTPCMgr->SetRTPCImmediate(kDistance, 30.0f, ZkRTPCKey::ForObject(m_objectA));
    g_pRTPCMgr->SetRTPCImmediate(kVolume, 40.0f, ZkRTPCKey::ForObject(m_objectA));
    // An ordinary parameter does not ask the object; a built-in one has the object's geometry
    // take the type in use (the object hears no listener, so the value read stays the one set).
    CZkGeometryParams* geometry = m_objectA->Geometry();
    ASSERT_NE(geometry, nullptr) << "the subscription's first value already asked";
    geometry->ClearBuiltInMask();
    struct Case
    {
        uint32_t bit;
        float value;
        uint16_t mask;
    };
    for (const Case& c : {Case{2, 40.0f, 0}, Case{1, 30.0f, 1}})
    {
        ZkRTPCSubscription* subscription = g_pRTPCMgr->FindSubscription(&modulator, c.bit);
        ASSERT_NE(subscription, nullptr);
        EXPECT_EQ(g_pRTPCMgr->EvaluateSubscription(subscription), c.value);
        EXPECT_EQ(geometry->BuiltInMask(), c.mask) << "bit " << c.bit;
    }
    g_pRTPCMgr->UnsubscribeRTPC(&modulator, 1);
    g_pRTPCMgr->UnsubscribeRTPC(&modulator, 2);
}

TEST_F(RTPCMgrTest, SlewRateRamps)
{
    ASSERT_EQ(g_pRTPCMgr->SetParamSettings(kVolume, ZkRTPCRampMode_SlewRate, 10.0f, 0.0f), ZK_Success);
    TransParamsBase up{0, 4, false};
    g_pRTPCMgr->SetRTPCInternal(kVolume, 5.0f, ZkRTPCKey::Global(), up, ZkValueMeaning_Absolute, false);
    EXPECT_EQ(up.timeMs, 500);
    RunFrames(1, 24);
    EXPECT_EQ(ValueFor(ZkRTPCKey::Global()), 5.0f);
    TransParamsBase down{0, 4, false};
    g_pRTPCMgr->SetRTPCInternal(kVolume, 1.0f, ZkRTPCKey::Global(), down, ZkValueMeaning_Absolute, false);
    EXPECT_EQ(down.timeMs, 0);
    EXPECT_EQ(ValueFor(ZkRTPCKey::Global()), 1.0f) << "a rate of 0 is immediate";
    TransParamsBase bypass{0, 4, true};
    g_pRTPCMgr->SetRTPCInternal(kVolume, 9.0f, ZkRTPCKey::Global(), bypass, ZkValueMeaning_Absolute, false);
    EXPECT_EQ(ValueFor(ZkRTPCKey::Global()), 9.0f);
}

TEST_F(RTPCMgrTest, FilterOverTimeUsesItsOwnTime)
{
    ASSERT_EQ(g_pRTPCMgr->SetParamSettings(kVolume, ZkRTPCRampMode_FilterOverTime, 0.5f, 2.0f), ZK_Success);
    Set(50.0f, ZkRTPCKey::Global());
    const ZkRTPCTransitionLink* link = g_pRTPCMgr->FindEntry(kVolume)->links;
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->transition->TimeInFrames(), 24u); // 500 ms
    EXPECT_NE(link->transition->FilterCoefficient(), 0.0f);
}

TEST_F(RTPCMgrTest, ResetRampsBackAndRemovesTheObjectValue)
{
    Set(40.0f, ZkRTPCKey::Global());
    Set(80.0f, ZkRTPCKey::ForObject(m_objectA));
    TransParamsBase ramp{1000, 4, false};
    g_pRTPCMgr->ResetRTPCValueForObject(kVolume, m_objectA, 0, ramp);
    RunFrames(1, 24);
    EXPECT_TRUE(HasOwnValue(ZkRTPCKey::ForObject(m_objectA)));
    RunFrames(25, 48);
    EXPECT_FALSE(HasOwnValue(ZkRTPCKey::ForObject(m_objectA)));
    EXPECT_EQ(ValueFor(ZkRTPCKey::ForObject(m_objectA)), 40.0f);
    EXPECT_EQ(m_targetA->LastValue(), 40.0f);

    // Immediate reset, and reset of a value that equals its fallback, drop the value at once.
    Set(70.0f, ZkRTPCKey::ForObject(m_objectB));
    TransParamsBase now{0, 4, false};
    g_pRTPCMgr->ResetRTPCValueForObject(kVolume, m_objectB, 0, now);
    EXPECT_FALSE(HasOwnValue(ZkRTPCKey::ForObject(m_objectB)));
    EXPECT_EQ(m_targetB->LastValue(), 40.0f);
    Set(40.0f, ZkRTPCKey::ForObject(m_objectB));
    g_pRTPCMgr->ResetRTPCValueForObject(kVolume, m_objectB, 0, now);
    Set(45.0f, ZkRTPCKey::Global());
    EXPECT_EQ(m_targetB->LastValue(), 45.0f) << "a reset object follows the global value again";
}

TEST_F(RTPCMgrTest, ValuesForPlayingIdsThatNoLongerPlayAreNotStored)
{
    ASSERT_EQ(Set(12.0f, ZkRTPCKey::ForObject(m_objectA, 4711)), ZK_Success);
    EXPECT_FALSE(HasOwnValue(ZkRTPCKey::ForObject(m_objectA, 4711)));
    EXPECT_TRUE(g_pRTPCMgr->FindEntry(kVolume)->tree.IsEmpty());
    EXPECT_TRUE(m_targetA->changes.empty());
}

TEST_F(RTPCMgrTest, UnregisteringAnObjectClearsItsValues)
{
    Set(30.0f, ZkRTPCKey::ForObject(m_objectA));
    Set(40.0f, ZkRTPCKey::ForObject(m_objectA), 1000);
    ASSERT_NE(g_pRTPCMgr->FindEntry(kVolume)->links, nullptr);
    ASSERT_TRUE(m_list->RemoveTarget(m_targetA.get()));
    m_targetA.reset();
    ASSERT_EQ(g_pRegistryMgr->UnregisterObject(10), ZK_Success);
    EXPECT_TRUE(g_pRTPCMgr->FindEntry(kVolume)->tree.IsEmpty());
    EXPECT_EQ(g_pRTPCMgr->FindEntry(kVolume)->links, nullptr);
    RunFrames(1, 60);
}

TEST_F(RTPCMgrTest, NonFiniteValuesAndSettingsAreRefused)
{
    EXPECT_EQ(Set(NAN, ZkRTPCKey::Global()), ZK_NotFinite);
    EXPECT_EQ(Set(INFINITY, ZkRTPCKey::Global()), ZK_NotFinite);
    EXPECT_EQ(g_pRTPCMgr->SetDefaultValue(5, NAN), ZK_NotFinite);
    EXPECT_EQ(g_pRTPCMgr->SetParamSettings(5, 1, INFINITY, 0.0f), ZK_NotFinite);
    EXPECT_EQ(g_pRTPCMgr->FindEntry(5), nullptr);
    EXPECT_TRUE(m_globalTarget->changes.empty());
}

TEST_F(RTPCMgrTest, BankRecordsAndBuiltInRows)
{
    const ZkRTPCParamRecord records[] = {{500, 3.0f, 1, 2.0f, 4.0f, 2}, {501, -1.0f, 0, 0.0f, 0.0f, 0}, {502, 0.0f, 2, 1.0f, 1.0f, 2}};
    for (const ZkRTPCParamRecord& record : records)
        ASSERT_EQ(g_pRTPCMgr->AddParamFromBank(record), ZK_Success);
    bool found = false;
    EXPECT_EQ(g_pRTPCMgr->GetDefaultValue(501, found), -1.0f);
    EXPECT_EQ(g_pRTPCMgr->FindEntry(500)->rampDown, 4.0f);
    EXPECT_EQ(g_pRTPCMgr->BuiltInRow(2).Length(), 2u);
    ASSERT_EQ(g_pRTPCMgr->BindBuiltInParam(5, 500), ZK_Success);
    EXPECT_EQ(g_pRTPCMgr->BuiltInRow(2).Length(), 1u);
    EXPECT_EQ(g_pRTPCMgr->BuiltInRow(5).Length(), 1u);
    EXPECT_EQ(g_pRTPCMgr->BindBuiltInParam(10, 500), ZK_InvalidParameter);

    // A built-in value lands at once, even for a parameter with a ramp.
    g_pRTPCMgr->SetBuiltInValue(5, ZkRTPCKey::ForObject(m_objectA), 33.0f);
    ZkRTPCKey key = ZkRTPCKey::ForObject(m_objectA);
    float value = 0.0f;
    EXPECT_TRUE(g_pRTPCMgr->GetRTPCValue(500, key, value));
    EXPECT_EQ(value, 33.0f);
}

TEST_F(RTPCMgrTest, SubscriptionCurvesAreReplacedAndRemoved)
{
    const ZkCurvePoint doubled[] = {{0.0f, 0.0f, 4}, {100.0f, 200.0f, 4}};
    ASSERT_EQ(m_list->SubscribeRTPC(kVolume, 0, 0, kBit, 1, ZkCurveScaling_None, doubled, 2), ZK_Success);
    ZkRTPCSubscription* subscription = g_pRTPCMgr->FindSubscription(m_list.get(), kBit);
    ASSERT_NE(subscription, nullptr);
    EXPECT_EQ(subscription->curves.Length(), 1u) << "the same curve id replaces the curve";
    Set(10.0f, ZkRTPCKey::Global());
    EXPECT_EQ(m_globalTarget->LastValue(), 20.0f);

    ASSERT_EQ(m_list->SubscribeRTPC(kVolume + 1, 0, 0, kBit, 2, ZkCurveScaling_None, kIdentity, 2), ZK_Success);
    EXPECT_EQ(subscription->curves.Length(), 2u);
    m_list->RemoveParamBit(kBit, 1);
    EXPECT_NE(g_pRTPCMgr->FindSubscription(m_list.get(), kBit), nullptr);
    EXPECT_NE(m_list->Record()->usedBits & (1ull << kBit), 0u) << "the bit stays while another curve remains";
    EXPECT_TRUE(g_pRTPCMgr->FindEntry(kVolume)->active.IsEmpty());
    m_list->RemoveParamBit(kBit, 2);
    EXPECT_EQ(g_pRTPCMgr->FindSubscription(m_list.get(), kBit), nullptr);
    EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 0u);
}

TEST_F(RTPCMgrTest, SubscriptionsWithoutCurvesAreRefused)
{
    int dummy = 0;
    EXPECT_EQ(g_pRTPCMgr->SubscribeRTPC(nullptr, kVolume, 0, 0, 1, 1, 0, kIdentity, 2, ZkRTPCKey::Global(), 2, true),
              ZK_InvalidParameter);
    EXPECT_EQ(g_pRTPCMgr->SubscribeRTPC(&dummy, kVolume, 0, 0, 1, 1, 0, nullptr, 0, ZkRTPCKey::Global(), 3, true),
              ZK_InvalidParameter);
    EXPECT_EQ(g_pRTPCMgr->FindSubscription(&dummy, 1), nullptr);
    // Modulator-driven subscriptions need the modulator manager.
    EXPECT_EQ(g_pRTPCMgr->SubscribeRTPC(&dummy, 9, kRTPCParamTypeModulator, 0, 1, 1, 0, kIdentity, 2,
                                        ZkRTPCKey::Global(), 3, true),
              ZK_NotImplemented);
    EXPECT_EQ(g_pRTPCMgr->FindSubscription(&dummy, 1), nullptr);
}

TEST_F(RTPCMgrTest, DestroyingTheTargetListUnsubscribesEveryBit)
{
    ASSERT_EQ(m_list->SubscribeRTPC(kVolume, 0, 0, 9, 4, ZkCurveScaling_None, kIdentity, 2), ZK_Success);
    EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 2u);
    m_list.reset();
    EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 0u);
    EXPECT_TRUE(g_pRTPCMgr->FindEntry(kVolume)->active.IsEmpty());
}

TEST_F(RTPCMgrTest, SettingAValueSurvivesEveryAllocationFailure)
{
    const ZkRTPCKey keyA = ZkRTPCKey::ForObject(m_objectA);
    ZK::MemoryMgr::FaultInjection::CountOnly(ZK::MemoryMgr::FaultInjection::kAnyPool);
    Set(5.0f, keyA);
    g_pRTPCMgr->SetRTPCImmediate(4242, 1.0f, keyA);
    const uint32_t allocations = ZK::MemoryMgr::FaultInjection::CountedAllocations();
    ZK::MemoryMgr::FaultInjection::Disarm();
    ASSERT_GT(allocations, 0u);
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        TransParamsBase immediate;
        g_pRTPCMgr->ResetRTPCValueForKey(kVolume, keyA, immediate);
        ZK::MemoryMgr::FaultInjection::FailNth(ZK::MemoryMgr::FaultInjection::kAnyPool, nth);
        const ZKRESULT set = Set(6.0f, keyA);
        const ZKRESULT other = g_pRTPCMgr->SetRTPCImmediate(4300 + nth, 1.0f, keyA);
        ZK::MemoryMgr::FaultInjection::Disarm();
        EXPECT_EQ(set, ZK_Success);
        EXPECT_TRUE(other == ZK_Success || other == ZK_Fail);
        // Either the value is stored and announced, or nothing is.
        EXPECT_EQ(HasOwnValue(keyA), m_targetA->LastValue() == 6.0f) << nth;
        if (other == ZK_Fail)
        {
            EXPECT_EQ(g_pRTPCMgr->FindEntry(4300 + nth), nullptr);
        }
    }
}
} // namespace
