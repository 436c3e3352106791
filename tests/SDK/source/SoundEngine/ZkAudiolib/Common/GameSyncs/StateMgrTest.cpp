// The state manager: groups and their transition times, state changes with their notifications,
// hook and transitions, triggers, the bank's state-group section, prepared game syncs.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include <atomic>
#include <thread>

namespace
{
using namespace ZK::SoundEngine;
using ZkGameSyncTest::GameSyncTest;
using ZkGameSyncTest::RecordingReceiver;
using ZkGameSyncTest::RecordingSubscriber;
using ZkGameSyncTest::TestStateOwner;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkUniqueID kGroup = 100;
constexpr ZkUniqueID kStateA = 11;
constexpr ZkUniqueID kStateB = 12;
constexpr uint16_t kVolume = 5;

class StateMgrTest : public GameSyncTest
{
protected:
    // An owner following kGroup through property kVolume (kind 0), with state objects for A (2.0)
    // and B (12.0).
    void Follow(TestStateOwner& owner, uint8_t kind = 0, uint8_t decibels = 0)
    {
        ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
        MakeState(1001, {{kVolume, 2.0f}});
        MakeState(1002, {{kVolume, 12.0f}});
        const ZkStatePropertyInput property = {kVolume, kind, decibels};
        owner.SetStateProperties(1, &property, false);
        const ZkStateGroupInput group = {kGroup, 2, 1};
        const ZkStateInput states[] = {{1001, kStateA}, {1002, kStateB}};
        ASSERT_EQ(owner.SetStateGroups(1, &group, states), ZK_Success);
    }
};

TEST_F(StateMgrTest, QueriesOfUnknownAndNeverSetGroups)
{
    ZkUniqueID state = 0;
    EXPECT_FALSE(g_pStateMgr->QueryState(kGroup, state));
    EXPECT_EQ(state, kZkStateNone);
    EXPECT_EQ(g_pStateMgr->GetState(kGroup), 0u);
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    EXPECT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    EXPECT_EQ(g_pStateMgr->GroupCount(), 1u);
    EXPECT_TRUE(g_pStateMgr->QueryState(kGroup, state));
    EXPECT_EQ(state, kZkStateNone);
    // Unknown groups: ignored by a state change, 20 from the bank setters.
    g_pStateMgr->SetStateInternal(999, kStateA, false, false);
    EXPECT_EQ(g_pStateMgr->SetDefaultTransitionTime(999, 10), ZK_UnknownStateGroup);
    EXPECT_EQ(g_pStateMgr->AddStateTransition(999, 1, 2, 10, true), ZK_UnknownStateGroup);
}

TEST_F(StateMgrTest, AddStateGroupOutOfMemoryKeepsNothing)
{
    for (ZkMemoryId pool : {ZkMemID_BankObjects, ZkMemID_Default})
    {
        Fault::ScopedAllocationFailure failure(pool, 1);
        EXPECT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Fail) << pool;
        EXPECT_EQ(g_pStateMgr->GroupCount(), 0u);
        EXPECT_EQ(g_pStateMgr->FindGroup(kGroup), nullptr);
    }
}

TEST_F(StateMgrTest, SameStateAgainNotifiesNobodyAndReappliesOnlyWhenImmediate)
{
    TestStateOwner owner;
    Follow(owner);
    RecordingSubscriber subscriber;
    ASSERT_EQ(subscriber.Register(kGroup, ZkGroupType_State), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, kStateA, true, false);
    ASSERT_EQ(subscriber.notices.size(), 1u);
    EXPECT_EQ(owner.LinkValue(kGroup, kVolume), 2.0f);

    // Not immediate: nothing at all.
    owner.changes.clear();
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    EXPECT_EQ(subscriber.notices.size(), 1u);
    EXPECT_TRUE(owner.changes.empty());

    // Immediate: nobody notified, but the link re-applies the state's values at once.
    owner.storage.links->Values().Find(kVolume)->value = 7.0f;
    g_pStateMgr->SetStateInternal(kGroup, kStateA, true, false);
    EXPECT_EQ(subscriber.notices.size(), 1u);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].oldValue, 7.0f);
    EXPECT_EQ(owner.changes[0].newValue, 2.0f);
    EXPECT_EQ(g_pTransitionMgr->Count(CZkTransitionMgr::kStateList), 0u);
}

TEST_F(StateMgrTest, CustomTransitionIsFollowedFrameByFrameOneWayOnly)
{
    TestStateOwner owner;
    Follow(owner);
    ASSERT_EQ(g_pStateMgr->SetDefaultTransitionTime(kGroup, 0), ZK_Success);
    ASSERT_EQ(g_pStateMgr->AddStateTransition(kGroup, kStateA, kStateB, 500, false), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, kStateA, true, false);

    // A to B: 500 ms take ceil(500 / 21) = 24 frames on the linear curve.
    owner.changes.clear();
    g_pStateMgr->SetStateInternal(kGroup, kStateB, false, false);
    EXPECT_EQ(g_pStateMgr->GetState(kGroup), kStateB);
    EXPECT_EQ(owner.transitionsStarted, 1);
    EXPECT_TRUE(owner.changes.empty());
    for (uint32_t frame = 1; frame <= 24; ++frame)
    {
        g_pTransitionMgr->ProcessTransitions(frame);
        ASSERT_EQ(owner.changes.size(), frame);
        EXPECT_NEAR(owner.changes.back().newValue, 2.0f + 10.0f * static_cast<float>(frame) / 24.0f, 1e-4f) << frame;
        EXPECT_EQ(owner.changes.back().ended, frame == 24) << frame;
    }
    EXPECT_EQ(owner.transitionsEnded, 1);
    EXPECT_EQ(owner.LinkValue(kGroup, kVolume), 12.0f);
    EXPECT_EQ(g_pTransitionMgr->Count(CZkTransitionMgr::kStateList), 0u);

    // B to A has no custom time (one direction only) and the default is 0: a jump.
    owner.changes.clear();
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].newValue, 2.0f);

    // With both directions set, B to A transitions too.
    ASSERT_EQ(g_pStateMgr->AddStateTransition(kGroup, kStateA, kStateB, 100, true), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, kStateB, false, false);
    g_pTransitionMgr->ProcessTransitions(100);
    owner.changes.clear();
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    EXPECT_TRUE(owner.changes.empty());
    EXPECT_EQ(g_pTransitionMgr->Count(CZkTransitionMgr::kStateList), 1u);
}

TEST_F(StateMgrTest, KindFourAlwaysJumpsAndARefusedTransitionJumps)
{
    struct Case
    {
        uint8_t kind;
        bool takes;
        bool jumps;
    };
    for (const Case c : {Case{4, true, true}, Case{0, false, true}, Case{0, true, false}})
    {
        TestStateOwner owner;
        owner.takesTransitions = c.takes;
        Follow(owner, c.kind);
        ASSERT_EQ(g_pStateMgr->SetDefaultTransitionTime(kGroup, 1000), ZK_Success);
        g_pStateMgr->SetStateInternal(kGroup, kStateA, true, false);
        owner.changes.clear();
        g_pStateMgr->SetStateInternal(kGroup, kStateB, false, false);
        if (c.jumps)
        {
            ASSERT_EQ(owner.changes.size(), 1u) << int(c.kind);
            EXPECT_EQ(owner.changes[0].newValue, 12.0f);
            EXPECT_EQ(g_pTransitionMgr->Count(CZkTransitionMgr::kStateList), c.kind == 4 ? 0u : 1u);
        }
        else
        {
            EXPECT_TRUE(owner.changes.empty());
        }
        g_pTransitionMgr->ProcessTransitions(g_pTransitionMgr->CurrentFrame() + 100);
        EXPECT_EQ(g_pTransitionMgr->Count(CZkTransitionMgr::kStateList), 0u);
        EXPECT_EQ(owner.LinkValue(kGroup, kVolume), 12.0f);
    }
}

TEST_F(StateMgrTest, MissingValueMovesToNeutralAndMissingStateObjectKeepsValues)
{
    TestStateOwner owner;
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    MakeState(1001, {{kVolume, 2.0f}, {7, 3.0f}});
    MakeState(1002, {{kVolume, 12.0f}});
    const ZkStatePropertyInput properties[] = {{kVolume, 0, 0}, {7, 3, 0}};
    owner.SetStateProperties(2, properties, false);
    const ZkStateGroupInput group = {kGroup, 2, 1};
    const ZkStateInput states[] = {{1001, kStateA}, {1002, kStateB}};
    ASSERT_EQ(owner.SetStateGroups(1, &group, states), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, kStateA, true, false);
    EXPECT_EQ(owner.LinkValue(kGroup, 7), 3.0f);
    // B has no value for property 7 (kind 3): it moves to the neutral 1.0.
    g_pStateMgr->SetStateInternal(kGroup, kStateB, true, false);
    EXPECT_EQ(owner.LinkValue(kGroup, 7), 1.0f);
    EXPECT_EQ(owner.LinkValue(kGroup, kVolume), 12.0f);
    // A state without state object: the change moves every property to neutral, but applying the
    // current states later leaves the values as they are.
    g_pStateMgr->SetStateInternal(kGroup, 13, true, false);
    EXPECT_EQ(owner.LinkValue(kGroup, kVolume), 0.0f);
    owner.storage.links->Values().Find(kVolume)->value = 9.0f;
    owner.ApplyCurrentStates();
    EXPECT_EQ(owner.LinkValue(kGroup, kVolume), 9.0f);
}

bool g_hookAnswer = false;
int g_hookCalls = 0;
bool TestHook(ZkUniqueID, ZkUniqueID)
{
    ++g_hookCalls;
    return g_hookAnswer;
}

TEST_F(StateMgrTest, HookThatTakesTheChangeKeepsTheState)
{
    TestStateOwner owner;
    Follow(owner);
    RecordingSubscriber subscriber;
    ASSERT_EQ(subscriber.Register(kGroup, ZkGroupType_State), ZK_Success);
    EngineHooks::SetStateChangeHandler(&TestHook);
    g_hookCalls = 0;
    g_hookAnswer = true;
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(subscriber.notices.size(), 1u); // subscribers are told first
    EXPECT_EQ(g_pStateMgr->GetState(kGroup), kZkStateNone);
    EXPECT_TRUE(owner.changes.empty());
    // Immediate changes and skipped notifications do not ask the hook.
    g_pStateMgr->SetStateInternal(kGroup, kStateA, true, false);
    g_pStateMgr->SetStateInternal(kGroup, kStateB, false, true);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(g_pStateMgr->GetState(kGroup), kStateB);
    g_hookAnswer = false;
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    EXPECT_EQ(g_hookCalls, 2);
    EXPECT_EQ(g_pStateMgr->GetState(kGroup), kStateA);
}

TEST_F(StateMgrTest, SubscriberMayUnregisterWhileNotified)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    RecordingSubscriber first;
    RecordingSubscriber leaving;
    RecordingSubscriber last;
    leaving.onNotice = [](RecordingSubscriber& self) { self.Unregister(); };
    ASSERT_EQ(first.Register(kGroup, ZkGroupType_State), ZK_Success);
    ASSERT_EQ(leaving.Register(kGroup, ZkGroupType_State), ZK_Success);
    ASSERT_EQ(last.Register(kGroup, ZkGroupType_State), ZK_Success);
    ASSERT_EQ(g_pStateMgr->StateAwareCount(), 3u);
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    EXPECT_EQ(first.notices.size(), 1u);
    EXPECT_EQ(leaving.notices.size(), 1u);
    EXPECT_EQ(last.notices.size(), 1u);
    EXPECT_EQ(g_pStateMgr->StateAwareCount(), 2u); // purged after the walk
    g_pStateMgr->SetStateInternal(kGroup, kStateB, false, false);
    EXPECT_EQ(leaving.notices.size(), 1u);
    EXPECT_EQ(last.notices.size(), 2u);
    EXPECT_EQ(g_pStateMgr->RegisterStateObject(nullptr, kGroup), ZK_InvalidParameter);

    // A subscriber that registers again from its notification is told once per change.
    RecordingSubscriber again;
    again.onNotice = [](RecordingSubscriber& self) { self.Register(kGroup, ZkGroupType_State); };
    ASSERT_EQ(again.Register(kGroup, ZkGroupType_State), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, kStateA, false, false);
    EXPECT_EQ(again.notices.size(), 1u);
    EXPECT_EQ(g_pStateMgr->StateAwareCount(), 3u);
}

TEST_F(StateMgrTest, TriggersReachTheirReceivers)
{
    CZkRegisteredObj* object = Register(7);
    Register(8);
    RecordingReceiver everyObject;
    RecordingReceiver ofSeven;
    ASSERT_EQ(g_pStateMgr->RegisterTriggerTarget(&everyObject, nullptr), ZK_Success);
    ASSERT_EQ(g_pStateMgr->RegisterTriggerTarget(&ofSeven, object), ZK_Success);
    g_pStateMgr->PostTriggerMessage(ZK_ALL_GAME_OBJECTS, 55);
    EXPECT_EQ(everyObject.triggers, std::vector<ZkUniqueID>{55});
    EXPECT_EQ(ofSeven.triggers, std::vector<ZkUniqueID>{55});
    g_pStateMgr->PostTriggerMessage(7, 56);
    EXPECT_EQ(everyObject.triggers.size(), 1u);
    EXPECT_EQ(ofSeven.triggers.back(), 56u);
    g_pStateMgr->PostTriggerMessage(8, 57);   // no receiver of object 8
    g_pStateMgr->PostTriggerMessage(999, 58); // unregistered: dropped
    EXPECT_EQ(ofSeven.triggers.size(), 2u);
    EXPECT_EQ(g_pStateMgr->UnregisterTriggerTarget(&ofSeven), ZK_Success);
    EXPECT_EQ(g_pStateMgr->TriggerTargetCount(), 1u);

    // Beyond the block of 8 nodes, and out of memory.
    std::vector<RecordingReceiver> many(12);
    for (RecordingReceiver& receiver : many)
        ASSERT_EQ(g_pStateMgr->RegisterTriggerTarget(&receiver, nullptr), ZK_Success);
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        RecordingReceiver refused;
        EXPECT_EQ(g_pStateMgr->RegisterTriggerTarget(&refused, nullptr), ZK_Fail);
    }
    g_pStateMgr->Trigger(60, nullptr);
    for (const RecordingReceiver& receiver : many)
        EXPECT_EQ(receiver.triggers.size(), 1u);
    for (RecordingReceiver& receiver : many)
        g_pStateMgr->UnregisterTriggerTarget(&receiver);
    EXPECT_EQ(g_pStateMgr->TriggerTargetCount(), 1u);
}


TEST_F(StateMgrTest, PurgeKeepsGroupsStillLinked)
{
    TestStateOwner owner;
    Follow(owner);
    ASSERT_EQ(g_pStateMgr->AddStateGroup(200), ZK_Success);
    StateMgr::PurgeUnusedGroupsLocked();
    EXPECT_NE(g_pStateMgr->FindGroup(kGroup), nullptr);
    EXPECT_EQ(g_pStateMgr->FindGroup(200), nullptr);
}

class TestGroupNode : public IZkPreparedGroupNode
{
public:
    ZKRESULT OnPreparedValue(ZkUniqueID value, bool prepare) override
    {
        calls.push_back({value, prepare});
        return prepare && value == failOn ? ZK_InsufficientMemory : ZK_Success;
    }
    std::vector<std::pair<ZkUniqueID, bool>> calls;
    ZkUniqueID failOn = 0;
};

void Link(ZkPreparedGroup& record, IZkPreparedGroupNode& node)
{
    node.nextGroupNode = record.head;
    record.head = &node;
    if (record.tail == nullptr)
        record.tail = &node;
}

TEST_F(StateMgrTest, PrepareGameSyncTellsNodesAndUndoesAFailure)
{
    ZkPreparedGroup* record = g_pStateMgr->GetPreparedGroup(kGroup, ZkGroupType_Switch);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(g_pStateMgr->GetPreparedGroup(kGroup, ZkGroupType_Switch), record);
    EXPECT_NE(g_pStateMgr->GetPreparedGroup(kGroup, ZkGroupType_State), record);
    TestGroupNode second;
    TestGroupNode first;
    Link(*record, second);
    Link(*record, first);

    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 5, true), ZK_Success);
    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 5, true), ZK_Success); // once
    ASSERT_EQ(record->values.Length(), 1u);
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(second.calls.size(), 1u);

    // The second node fails: the first is told to unprepare, the value is not kept.
    second.failOn = 6;
    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 6, true), ZK_InsufficientMemory);
    EXPECT_EQ(record->values.Length(), 1u);
    ASSERT_EQ(first.calls.size(), 3u);
    EXPECT_EQ(first.calls[2], (std::pair<ZkUniqueID, bool>{6, false}));

    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 5, false), ZK_Success);
    EXPECT_EQ(record->values.Length(), 0u);
    EXPECT_EQ(first.calls.back(), (std::pair<ZkUniqueID, bool>{5, false}));
    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 5, false), ZK_Success);

    // No record can be made: 52 when preparing, 1 when unpreparing.
    Fault::ScopedAllocationFailure failure(ZkMemID_BankObjects, 1);
    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_State, 77, 1, true), ZK_InsufficientMemory);
    Fault::FailNth(ZkMemID_BankObjects, 1);
    EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_State, 78, 1, false), ZK_Success);
}

using ThreadedStateMgr = StateMgrTest;

TEST_F(ThreadedStateMgr, BankThreadPreparesWhileTheAudioThreadFindsRecords)
{
    std::atomic<bool> start{false};
    std::thread bank([&] {
        while (!start.load())
        {
        }
        ZK::MemoryMgr::InitForThread();
        for (ZkUniqueID group = 1; group <= 200; ++group)
            EXPECT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, group, 9, true), ZK_Success);
        ZK::MemoryMgr::TermForThread();
    });
    start = true;
    for (ZkUniqueID group = 1000; group <= 1200; ++group)
        EXPECT_NE(g_pStateMgr->GetPreparedGroup(group, ZkGroupType_Switch), nullptr);
    bank.join();
    for (ZkUniqueID group = 1; group <= 200; ++group)
        EXPECT_EQ(g_pStateMgr->GetPreparedGroup(group, ZkGroupType_Switch)->values.Length(), 1u);
}
} // namespace

namespace
{
TEST_F(StateMgrTest, GroupNodeListsLiveOnPreparedGroupsOnly)
{
    TestGroupNode first;
    TestGroupNode second;
    EXPECT_EQ(g_pStateMgr->GetGroupNodes(ZkGroupType_Switch, kGroup), nullptr) << "not prepared";
    EXPECT_EQ(g_pStateMgr->AddGroupNode(&first, ZkGroupType_Switch, kGroup), ZK_Fail);
    EXPECT_EQ(g_pStateMgr->GetGroupNodes(ZkGroupType_Switch, kGroup), nullptr) << "nothing was created";

    ASSERT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 5, true), ZK_Success);
    ZkPreparedGroup* record = g_pStateMgr->GetGroupNodes(ZkGroupType_Switch, kGroup);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(g_pStateMgr->GetGroupNodes(ZkGroupType_State, kGroup), nullptr) << "the state list is another";
    EXPECT_EQ(g_pStateMgr->AddGroupNode(&first, ZkGroupType_Switch, kGroup), ZK_Success);
    EXPECT_EQ(record->head, &first);
    EXPECT_EQ(record->tail, &first) << "the tail is set on an empty list";
    EXPECT_EQ(g_pStateMgr->AddGroupNode(&second, ZkGroupType_Switch, kGroup), ZK_Success);
    EXPECT_EQ(record->head, &second);
    EXPECT_EQ(record->tail, &first);

    // The nodes hear of the group's values.
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 6, true), ZK_Success);
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(second.calls.size(), 1u);

    g_pStateMgr->RemoveGroupNode(&first, ZkGroupType_Switch, kGroup);
    EXPECT_EQ(record->head, &second);
    EXPECT_EQ(record->tail, &second) << "the tail follows the unlinked last node";
    g_pStateMgr->RemoveGroupNode(&first, ZkGroupType_Switch, kGroup); // not in the list: nothing
    g_pStateMgr->RemoveGroupNode(&second, ZkGroupType_Switch, kGroup);
    EXPECT_EQ(record->head, nullptr);
    EXPECT_EQ(record->tail, nullptr);
    g_pStateMgr->RemoveGroupNode(&second, ZkGroupType_State, 999); // group not prepared: nothing
}
} // namespace

namespace
{
TEST_F(StateMgrTest, PreparedValuesCreateTheRecordNodesJoin)
{
    // Out of memory: null, and no record is left for a node to join.
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_BankObjects, 1);
        EXPECT_EQ(g_pStateMgr->GetPreparedValues(kGroup, ZkGroupType_Switch), nullptr);
    }
    EXPECT_EQ(g_pStateMgr->GetGroupNodes(ZkGroupType_Switch, kGroup), nullptr);

    ZK::ZkArray<ZkUniqueID>* values = g_pStateMgr->GetPreparedValues(kGroup, ZkGroupType_Switch);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->Length(), 0u) << "a fresh group has nothing prepared";
    EXPECT_EQ(g_pStateMgr->GetPreparedValues(kGroup, ZkGroupType_Switch), values) << "found, not made again";
    TestGroupNode node;
    EXPECT_EQ(g_pStateMgr->AddGroupNode(&node, ZkGroupType_Switch, kGroup), ZK_Success)
        << "the record exists once the values were asked for";

    ASSERT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_Switch, kGroup, 5, true), ZK_Success);
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(ZkGroupType_State, kGroup, 6, true), ZK_Success);
    ASSERT_EQ(values->Length(), 1u);
    EXPECT_EQ((*values)[0], 5u) << "the state group of the same id keeps its own values";
    ZK::ZkArray<ZkUniqueID>* states = g_pStateMgr->GetPreparedValues(kGroup, ZkGroupType_State);
    ASSERT_NE(states, nullptr);
    ASSERT_EQ(states->Length(), 1u);
    EXPECT_EQ((*states)[0], 6u);
    g_pStateMgr->RemoveGroupNode(&node, ZkGroupType_Switch, kGroup);
}
} // namespace
