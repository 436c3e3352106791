// The switch manager: values per object with a global fallback, subscriptions and deferral
// brackets, groups driven by a game parameter, the bank's switch-group section; and the group
// subscriber that switch containers use.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"

#include "ZkAudiolib/Common/Parameters/CZkRTPCMgr.h"

namespace
{
using namespace ZK::SoundEngine;
using ZkGameSyncTest::GameSyncTest;
using ZkGameSyncTest::RecordingSubscriber;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkUniqueID kGroup = 300;
constexpr ZkUniqueID kOtherGroup = 301;
constexpr ZkUniqueID kParameter = 4000;

using SwitchMgrTest = GameSyncTest;

TEST_F(SwitchMgrTest, ObjectValuesFallBackToTheGlobalValue)
{
    CZkRegisteredObj* seven = Register(7);
    CZkRegisteredObj* eight = Register(8);
    ZkUniqueID value = 1;
    EXPECT_FALSE(g_pSwitchMgr->QuerySwitch(kGroup, ZkRTPCKey::ForObject(seven), value));
    EXPECT_EQ(value, 0u);

    g_pSwitchMgr->SetSwitchMessage(7, kGroup, 21);
    g_pSwitchMgr->SetSwitchInBracket(kGroup, 20, nullptr);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(kGroup, ZkRTPCKey::ForObject(seven)), 21u);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(kGroup, ZkRTPCKey::ForObject(eight)), 20u);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(kGroup, ZkRTPCKey::Global()), 20u);
    g_pSwitchMgr->SetSwitchMessage(999, kGroup, 22); // unregistered: dropped
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(kGroup, ZkRTPCKey::Global()), 20u);

    // The object's destruction takes its values away.
    g_pRegistryMgr->UnregisterObject(7);
    EXPECT_EQ(g_pSwitchMgr->FindGroup(kGroup)->values.ObjectCount(), 0u);

    // A group created by a subscription and never set answers 0, found.
    RecordingSubscriber subscriber;
    ASSERT_EQ(g_pSwitchMgr->Subscribe(&subscriber, kOtherGroup), ZK_Success);
    EXPECT_TRUE(g_pSwitchMgr->QuerySwitch(kOtherGroup, ZkRTPCKey::ForObject(eight), value));
    EXPECT_EQ(value, 0u);
}

TEST_F(SwitchMgrTest, SubscribersAreToldOfTheirGroupOnly)
{
    Register(7);
    RecordingSubscriber a;
    RecordingSubscriber b;
    RecordingSubscriber other;
    ASSERT_EQ(a.Register(kGroup, ZkGroupType_Switch), ZK_Success);
    ASSERT_EQ(b.Register(kGroup, ZkGroupType_Switch), ZK_Success);
    ASSERT_EQ(other.Register(kOtherGroup, ZkGroupType_Switch), ZK_Success);
    g_pSwitchMgr->SetSwitchMessage(7, kGroup, 21);
    ASSERT_EQ(a.notices.size(), 1u);
    EXPECT_EQ(a.notices[0].value, 21u);
    EXPECT_EQ(a.notices[0].object, g_pRegistryMgr->GetObj(7));
    EXPECT_EQ(b.notices.size(), 1u);
    EXPECT_TRUE(other.notices.empty());
    a.Unregister();
    g_pSwitchMgr->SetSwitchInBracket(kGroup, 22, nullptr);
    EXPECT_EQ(a.notices.size(), 1u);
    ASSERT_EQ(b.notices.size(), 2u);
    EXPECT_EQ(b.notices[1].object, nullptr);
}

TEST_F(SwitchMgrTest, NullSubscriberIsAnInvalidParameter)
{
    EXPECT_EQ(g_pSwitchMgr->Subscribe(nullptr, kGroup), ZK_InvalidParameter);
    EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 0u);
    // Inside a bracket the call is queued, and the null fails without effect when it runs.
    g_pSwitchMgr->BeginDeferral();
    EXPECT_EQ(g_pSwitchMgr->Subscribe(nullptr, kGroup), ZK_Success);
    g_pSwitchMgr->EndDeferral();
    EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 0u);
}

TEST_F(SwitchMgrTest, ResubscribingInsideOneBracketLeavesOneActiveSubscription)
{
    RecordingSubscriber subscriber;
    ASSERT_EQ(g_pSwitchMgr->Subscribe(&subscriber, kGroup), ZK_Success);
    g_pSwitchMgr->BeginDeferral();
    g_pSwitchMgr->BeginDeferral(); // brackets nest
    g_pSwitchMgr->Unsubscribe(&subscriber);
    ASSERT_NE(g_pSwitchMgr->FindSubscription(&subscriber), nullptr);
    EXPECT_EQ(g_pSwitchMgr->FindSubscription(&subscriber)->active, 0);
    EXPECT_EQ(g_pSwitchMgr->Subscribe(&subscriber, kOtherGroup), ZK_Success);
    EXPECT_EQ(g_pSwitchMgr->Subscribe(&subscriber, kGroup), ZK_Success);
    g_pSwitchMgr->EndDeferral();
    EXPECT_EQ(g_pSwitchMgr->FindSubscription(&subscriber)->active, 0); // still one bracket open
    g_pSwitchMgr->EndDeferral();
    EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 1u);
    const ZkSwitchSubscription* record = g_pSwitchMgr->FindSubscription(&subscriber);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->active, 1);
    EXPECT_EQ(record->groupID, kGroup);
    EXPECT_EQ(g_pSwitchMgr->FindGroup(kGroup)->subscriptions.Length(), 1u);
    EXPECT_EQ(g_pSwitchMgr->FindGroup(kOtherGroup)->subscriptions.Length(), 0u);
}

TEST_F(SwitchMgrTest, SubscriberMayResubscribeFromItsNotification)
{
    RecordingSubscriber mover;
    mover.onNotice = [](RecordingSubscriber& self) { g_pSwitchMgr->Subscribe(&self, kOtherGroup); };
    RecordingSubscriber stays;
    ASSERT_EQ(g_pSwitchMgr->Subscribe(&mover, kGroup), ZK_Success);
    ASSERT_EQ(g_pSwitchMgr->Subscribe(&stays, kGroup), ZK_Success);
    g_pSwitchMgr->SetSwitchInBracket(kGroup, 5, nullptr);
    EXPECT_EQ(mover.notices.size(), 1u);
    EXPECT_EQ(stays.notices.size(), 1u);
    EXPECT_EQ(g_pSwitchMgr->FindSubscription(&mover)->groupID, kOtherGroup);
    g_pSwitchMgr->SetSwitchInBracket(kGroup, 6, nullptr);
    EXPECT_EQ(mover.notices.size(), 1u);
    EXPECT_EQ(stays.notices.size(), 2u);
}

TEST_F(SwitchMgrTest, SubscriptionOutOfMemoryLeavesNothing)
{
    // Record, table growth, group record, group table growth, subscription array: each refused.
    Fault::CountOnly(ZK::MemoryMgr::FaultInjection::kAnyPool);
    RecordingSubscriber probe;
    ASSERT_EQ(g_pSwitchMgr->Subscribe(&probe, kGroup), ZK_Success);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    probe.Unregister();
    ASSERT_GT(allocations, 1u);
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        RecordingSubscriber subscriber;
        Fault::FailNth(ZK::MemoryMgr::FaultInjection::kAnyPool, nth);
        const ZKRESULT result = g_pSwitchMgr->Subscribe(&subscriber, kGroup + nth);
        Fault::Disarm();
        if (result != ZK_Success)
        {
            EXPECT_EQ(result, ZK_InsufficientMemory) << nth;
            EXPECT_EQ(g_pSwitchMgr->FindSubscription(&subscriber), nullptr) << nth;
        }
        subscriber.Unregister();
        EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 0u) << nth;
    }
}

TEST_F(SwitchMgrTest, ParameterDrivenGroupFollowsItsCurve)
{
    CZkRegisteredObj* object = Register(7);
    // Parameter 0..3 maps linearly onto indexes 0..3 of four states.
    const ZkSwitchGroupPoint points[] = {{0.0f, 50, 4}, {1.0f, 51, 4}, {2.0f, 52, 4}, {3.0f, 53, 4}};
    ASSERT_EQ(g_pSwitchMgr->SetSwitchGroupRTPC(kGroup, kParameter, 0, points, 4), ZK_Success);
    RecordingSubscriber subscriber;
    ASSERT_EQ(subscriber.Register(kGroup, ZkGroupType_Switch), ZK_Success);
    TransParamsBase immediate;
    const struct
    {
        float parameter;
        ZkUniqueID state;
    } cases[] = {{2.7f, 52}, {0.2f, 50}, {3.0f, 53}, {3.5f, 53}, {-1.0f, 50}};
    for (const auto& c : cases)
    {
        ASSERT_EQ(g_pRTPCMgr->SetRTPCInternal(kParameter, c.parameter, ZkRTPCKey::ForObject(object), immediate,
                                              ZkValueMeaning_Absolute, false),
                  ZK_Success);
        EXPECT_EQ(g_pSwitchMgr->GetSwitch(kGroup, ZkRTPCKey::ForObject(object)), c.state) << c.parameter;
    }
    // Changes of the curve's integer output reach the subscribers, with the object of the change.
    ASSERT_FALSE(subscriber.notices.empty());
    EXPECT_EQ(subscriber.notices.front().value, 52u);
    EXPECT_EQ(subscriber.notices.front().object, object);

    // SetSwitch stores but tells nobody; the curve keeps answering.
    const size_t told = subscriber.notices.size();
    g_pSwitchMgr->SetSwitchMessage(7, kGroup, 99);
    EXPECT_EQ(subscriber.notices.size(), told);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(kGroup, ZkRTPCKey::ForObject(object)), 50u);

    // A curve output at or beyond the state count selects nothing.
    const ZkSwitchGroupPoint wide[] = {{0.0f, 60, 4}, {1.0f, 61, 4}};
    ASSERT_EQ(g_pSwitchMgr->SetSwitchGroupRTPC(kOtherGroup, kParameter, 0, wide, 2), ZK_Success);
    ASSERT_EQ(g_pRTPCMgr->SetRTPCInternal(kParameter, 0.5f, ZkRTPCKey::ForObject(object), immediate,
                                          ZkValueMeaning_Absolute, false),
              ZK_Success);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(kOtherGroup, ZkRTPCKey::ForObject(object)), 60u);
    CZkSwitchGroup* group = g_pSwitchMgr->FindGroup(kOtherGroup);
    EXPECT_EQ(group->StateAtCurveOutput(2.0f), 0u);
    EXPECT_EQ(group->StateAtCurveOutput(NAN), 0u);

    // Points a bank could hold that make the curve's output NaN or huge select nothing (the
    // output is never converted to an integer it does not fit).
    const ZkSwitchGroupPoint odd[] = {{NAN, 80, 4}, {INFINITY, 81, 4}};
    ASSERT_EQ(g_pSwitchMgr->SetSwitchGroupRTPC(302, kParameter, 0, odd, 2), ZK_Success);
    EXPECT_EQ(g_pSwitchMgr->GetSwitch(302, ZkRTPCKey::ForObject(object)), 0u);
    ASSERT_EQ(g_pRTPCMgr->SetRTPCInternal(kParameter, 1.0f, ZkRTPCKey::ForObject(object), immediate,
                                          ZkValueMeaning_Absolute, false),
              ZK_Success);
    EXPECT_EQ(CZkSwitchGroup::CurveIndex(3.0e9f), -1);
    EXPECT_EQ(CZkSwitchGroup::CurveIndex(-0.5f), 0);

    // No points: the group is set directly again and the manager forgets the subscription.
    ASSERT_EQ(g_pSwitchMgr->SetSwitchGroupRTPC(kOtherGroup, kParameter, 0, nullptr, 0), ZK_Success);
    EXPECT_FALSE(group->IsParameterDriven());
    EXPECT_EQ(g_pRTPCMgr->FindSubscription(group, kRTPCCrossfadeBit), nullptr);
}


TEST_F(SwitchMgrTest, GroupSubscriberRegistration)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    RecordingSubscriber subscriber;
    // Group 0: registered nowhere, success.
    EXPECT_EQ(subscriber.Register(0, ZkGroupType_Switch), ZK_Success);
    EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 0u);
    EXPECT_EQ(g_pStateMgr->StateAwareCount(), 0u);
    // From a switch group to a state group: no switch subscription left.
    ASSERT_EQ(subscriber.Register(kGroup, ZkGroupType_Switch), ZK_Success);
    ASSERT_EQ(subscriber.Register(kGroup, ZkGroupType_State), ZK_Success);
    EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 0u);
    EXPECT_EQ(g_pStateMgr->StateAwareCount(), 1u);
    // Another kind: 31, after the old registrations are gone.
    EXPECT_EQ(subscriber.Register(kGroup, 2), ZK_InvalidParameter);
    EXPECT_EQ(g_pStateMgr->StateAwareCount(), 0u);

    // The group's value as a subscriber reads it.
    Register(7);
    g_pSwitchMgr->SetSwitchMessage(7, kOtherGroup, 33);
    g_pStateMgr->SetStateInternal(kGroup, 44, true, false);
    EXPECT_EQ(CZkGroupSubscriber::GetGroupValue(g_pRegistryMgr->GetObj(7), kOtherGroup, ZkGroupType_Switch), 33u);
    EXPECT_EQ(CZkGroupSubscriber::GetGroupValue(nullptr, kGroup, ZkGroupType_State), 44u);

    // A subscriber that goes away leaves no manager pointing at it.
    {
        RecordingSubscriber shortLived;
        ASSERT_EQ(shortLived.Register(kOtherGroup, ZkGroupType_Switch), ZK_Success);
    }
    EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), 0u);
    g_pSwitchMgr->SetSwitchMessage(7, kOtherGroup, 34);
}
} // namespace
