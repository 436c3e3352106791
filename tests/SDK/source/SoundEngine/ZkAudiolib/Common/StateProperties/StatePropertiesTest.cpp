// State-driven properties: state objects from bank bodies, the state chunk of node bodies, links and
// their states, the property list, sync types.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/GameSyncs/GameSyncFixture.h"

#include "ZkAudiolib/Common/Containers/ZkVarUint.h"

namespace
{
using namespace ZK::SoundEngine;
using ZkGameSyncTest::GameSyncTest;
using ZkGameSyncTest::TestStateOwner;
namespace Fault = ZK::MemoryMgr::FaultInjection;

// Little-endian bytes of a bank body, written field by field (varints too).
struct Bytes
{
    std::vector<uint8_t> data;
    template <typename T>
    Bytes& operator<<(T value)
    {
        const auto* raw = reinterpret_cast<const uint8_t*>(&value);
        data.insert(data.end(), raw, raw + sizeof(T));
        return *this;
    }
    Bytes& Var(uint32_t value)
    {
        uint8_t encoded[ZK::kVarUintMaxBytes];
        data.insert(data.end(), encoded, encoded + ZK::WriteVarUint(value, encoded));
        return *this;
    }
};

constexpr ZkUniqueID kGroup = 500;
constexpr ZkUniqueID kOtherGroup = 501;

using StatePropertiesTest = GameSyncTest;

TEST_F(StatePropertiesTest, StateObjectBodiesAreReadWithinTheirSize)
{
    Bytes body;
    body << uint32_t{900} << uint16_t{2} << uint16_t{5} << uint16_t{300} << 1.5f << -3.0f;
    CZkState* state = CZkState::Create(900);
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(g_pObjectIndex->Table(ZkIndexKind::States).Contains(900));
    for (uint32_t cut = 0; cut < body.data.size(); ++cut)
        EXPECT_EQ(CZkState::ReadFromBank(state, body.data.data(), cut), ZK_InvalidFile) << cut;
    EXPECT_EQ(state->Values().Length(), 0u);
    ASSERT_EQ(CZkState::ReadFromBank(state, body.data.data(), static_cast<uint32_t>(body.data.size())), ZK_Success);
    ASSERT_EQ(state->Values().Length(), 2u);
    EXPECT_EQ(*state->Values().Find(300), -3.0f);
    EXPECT_EQ(state->Values().Find(6), nullptr);
    // A count of 0 leaves no bundle; out of memory keeps the old one.
    Bytes empty;
    empty << uint32_t{900} << uint16_t{0};
    {
        Fault::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        Bytes one;
        one << uint32_t{900} << uint16_t{1} << uint16_t{8} << 2.0f;
        EXPECT_EQ(CZkState::ReadFromBank(state, one.data.data(), static_cast<uint32_t>(one.data.size())),
                  ZK_InsufficientMemory);
        EXPECT_EQ(state->Values().Length(), 2u);
    }
    EXPECT_EQ(CZkState::ReadFromBank(state, empty.data.data(), static_cast<uint32_t>(empty.data.size())), ZK_Success);
    EXPECT_EQ(state->Values().Length(), 0u);
    state->Release();
    EXPECT_FALSE(g_pObjectIndex->Table(ZkIndexKind::States).Contains(900));
}

// A chunk with two properties and kGroup's states 11 -> 1001 and 12 -> 1002.
Bytes TwoStateChunk()
{
    Bytes chunk;
    chunk.Var(2).Var(5) << uint8_t{0} << uint8_t{1};
    chunk.Var(300) << uint8_t{3} << uint8_t{0};
    chunk.Var(1) << uint32_t{kGroup} << uint8_t{2};
    chunk.Var(2) << uint32_t{11} << uint32_t{1001} << uint32_t{12} << uint32_t{1002};
    return chunk;
}

TEST_F(StatePropertiesTest, StateChunkLinksTheOwnerToItsGroups)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, 12, true, false);
    MakeState(1001, {{5, -6.0f}});
    MakeState(1002, {{5, -12.0f}, {300, 0.5f}});
    TestStateOwner owner;
    const Bytes chunk = TwoStateChunk();
    ZK::ZkByteCursor cursor(chunk.data.data(), chunk.data.size());
    ASSERT_EQ(owner.ReadStateChunk(cursor), ZK_Success);
    EXPECT_EQ(cursor.Remaining(), 0u);
    ASSERT_EQ(owner.StatePropertyList()->Length(), 2u);
    EXPECT_EQ((*owner.StatePropertyList())[0].flags, kStatePropertyFlagDecibels);
    EXPECT_EQ((*owner.StatePropertyList())[1].propertyID, 300u);
    const CZkStateGroupLink* link = owner.FindLink(kGroup);
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->syncType, 2u);
    EXPECT_EQ(link->currentState, 12u);
    EXPECT_EQ(link->States().Length(), 2u);
    // The group's current state was applied when the link was made.
    EXPECT_EQ(owner.LinkValue(kGroup, 5), -12.0f);
    EXPECT_EQ(owner.LinkValue(kGroup, 300), 0.5f);
    EXPECT_TRUE(owner.IsStateDriven(300));
    EXPECT_FALSE(owner.IsStateDriven(6));
    EXPECT_EQ(owner.IsStateUseEnabled(), true);
    EXPECT_GE(owner.stateUseChanges, 1);
    // The states are held: their reference counts went up and they know their owner.
    EXPECT_EQ(link->FindState(11)->RefCount(), 2u);
    EXPECT_EQ(link->FindState(11)->owner, &owner);
}

TEST_F(StatePropertiesTest, StateChunkRunningPastItsBodyChangesNothing)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    MakeState(1001, {{5, -6.0f}});
    MakeState(1002, {{5, -12.0f}});
    const Bytes chunk = TwoStateChunk();
    for (size_t cut = 0; cut < chunk.data.size(); ++cut)
    {
        TestStateOwner owner;
        ZK::ZkByteCursor cursor(chunk.data.data(), cut);
        EXPECT_EQ(owner.ReadStateChunk(cursor), ZK_InvalidFile) << cut;
        EXPECT_EQ(owner.FindLink(kGroup), nullptr) << cut;
        EXPECT_TRUE(owner.StatePropertyList() == nullptr || owner.StatePropertyList()->IsEmpty()) << cut;
    }
    // A state count one too large, and a varint that never ends.
    Bytes tooMany;
    tooMany.Var(0).Var(1) << uint32_t{kGroup} << uint8_t{0};
    tooMany.Var(2) << uint32_t{11} << uint32_t{1001};
    Bytes endless;
    endless.Var(0) << uint8_t{0x80} << uint8_t{0x80};
    for (const Bytes* bad : {&tooMany, &endless})
    {
        TestStateOwner owner;
        ZK::ZkByteCursor cursor(bad->data.data(), bad->data.size());
        EXPECT_EQ(owner.ReadStateChunk(cursor), ZK_InvalidFile);
        EXPECT_EQ(owner.FindLink(kGroup), nullptr);
    }
    EXPECT_EQ(g_pStateMgr->FindGroup(kGroup)->links, nullptr);
}

TEST_F(StatePropertiesTest, StateChunkFailuresOfTheParts)
{
    MakeState(1001, {{5, -6.0f}});
    Bytes chunk;
    chunk.Var(0).Var(1) << uint32_t{kGroup} << uint8_t{0};
    chunk.Var(1) << uint32_t{11} << uint32_t{1001};
    {
        // Unknown group: 2.
        TestStateOwner owner;
        ZK::ZkByteCursor cursor(chunk.data.data(), chunk.data.size());
        EXPECT_EQ(owner.ReadStateChunk(cursor), ZK_Fail);
    }
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    {
        // Missing state object: 16.
        Bytes missing;
        missing.Var(0).Var(1) << uint32_t{kGroup} << uint8_t{0};
        missing.Var(1) << uint32_t{11} << uint32_t{7777};
        TestStateOwner owner;
        ZK::ZkByteCursor cursor(missing.data.data(), missing.data.size());
        EXPECT_EQ(owner.ReadStateChunk(cursor), ZK_StateObjectNotLoaded);
    }
    {
        // No storage: 52.
        TestStateOwner owner;
        owner.refuseStorage = true;
        ZK::ZkByteCursor cursor(chunk.data.data(), chunk.data.size());
        EXPECT_EQ(owner.ReadStateChunk(cursor), ZK_InsufficientMemory);
    }
    {
        // Zero state properties keep a list set earlier.
        TestStateOwner owner;
        const ZkStatePropertyInput properties[] = {{5, 0, 0}, {9, 3, 1}};
        owner.SetStateProperties(2, properties, false);
        ZK::ZkByteCursor cursor(chunk.data.data(), chunk.data.size());
        ASSERT_EQ(owner.ReadStateChunk(cursor), ZK_Success);
        ASSERT_EQ(owner.StatePropertyList()->Length(), 2u);
        EXPECT_EQ((*owner.StatePropertyList())[1].propertyID, 9u);
    }
}

TEST_F(StatePropertiesTest, SetStatePropertiesChangesOnlyForNewIdsOrKinds)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    TestStateOwner owner;
    const ZkStatePropertyInput properties[] = {{5, 0, 0}, {9, 0x103, 0}};
    owner.SetStateProperties(2, properties, true);
    EXPECT_EQ((*owner.StatePropertyList())[1].kind, 3u); // the low byte of the kind
    const int applied = owner.statesApplied;
    // Same ids and kinds, another decibel flag: nothing changes.
    const ZkStatePropertyInput otherFlags[] = {{5, 0, 1}, {9, 3, 1}};
    owner.SetStateProperties(2, otherFlags, true);
    EXPECT_EQ((*owner.StatePropertyList())[0].flags, 0u);
    EXPECT_EQ(owner.statesApplied, applied);
    const ZkStatePropertyInput otherKind[] = {{5, 1, 1}, {9, 3, 1}};
    owner.SetStateProperties(2, otherKind, true);
    EXPECT_EQ((*owner.StatePropertyList())[0].flags, kStatePropertyFlagDecibels);
    EXPECT_EQ(owner.statesApplied, applied + 1);
}

TEST_F(StatePropertiesTest, SetStateGroupsFollowsTheRecords)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kOtherGroup), ZK_Success);
    CZkState* first = MakeState(1001, {{5, 1.0f}});
    MakeState(1002, {{5, 2.0f}});
    MakeState(1003, {{5, 3.0f}});
    TestStateOwner owner;
    const ZkStateGroupInput groups[] = {{kGroup, 2, 0}, {kOtherGroup, 1, 4}};
    const ZkStateInput states[] = {{1001, 11}, {1002, 12}, {1003, 13}};
    ASSERT_EQ(owner.SetStateGroups(2, groups, states), ZK_Success);
    ASSERT_NE(owner.FindLink(kOtherGroup), nullptr);
    EXPECT_EQ(owner.FindLink(kOtherGroup)->syncType, 4u);
    EXPECT_EQ(first->RefCount(), 2u);

    // Drop kOtherGroup and state 11, keep 12, add a missing object (16, the call goes on).
    const ZkStateGroupInput fewer[] = {{kGroup, 2, 0}};
    const ZkStateInput fewerStates[] = {{1002, 12}, {4444, 14}};
    EXPECT_EQ(owner.SetStateGroups(1, fewer, fewerStates), ZK_StateObjectNotLoaded);
    EXPECT_EQ(owner.FindLink(kOtherGroup), nullptr);
    EXPECT_EQ(g_pStateMgr->FindGroup(kOtherGroup)->links, nullptr);
    ASSERT_NE(owner.FindLink(kGroup), nullptr);
    EXPECT_EQ(owner.FindLink(kGroup)->States().Length(), 1u);
    EXPECT_EQ(first->RefCount(), 1u);
    EXPECT_EQ(first->owner, nullptr);

    // Unknown group: 52, the call ends.
    const ZkStateGroupInput unknown[] = {{999, 0, 0}};
    EXPECT_EQ(owner.SetStateGroups(1, unknown, nullptr), ZK_InsufficientMemory);
}

TEST_F(StatePropertiesTest, CollectSyncTypeWithAnImmediateGroupLeavesZero)
{
    for (ZkUniqueID group : {kGroup, kOtherGroup, ZkUniqueID{502}})
        ASSERT_EQ(g_pStateMgr->AddStateGroup(group), ZK_Success);
    TestStateOwner owner;
    const ZkStateGroupInput groups[] = {{kGroup, 0, 3}, {kOtherGroup, 0, 0}, {502, 0, 5}};
    ASSERT_EQ(owner.SetStateGroups(3, groups, nullptr), ZK_Success);
    ZK::ZkArray<uint32_t> types;
    owner.CollectSyncType(kGroup, types);
    owner.CollectSyncType(kGroup, types);
    owner.CollectSyncType(502, types);
    ASSERT_EQ(types.Length(), 2u);
    owner.CollectSyncType(kOtherGroup, types);
    ASSERT_EQ(types.Length(), 1u);
    EXPECT_EQ(types[0], 0u);
    owner.CollectSyncType(999, types);
    EXPECT_EQ(types.Length(), 1u);
}

TEST_F(StatePropertiesTest, StateUseFlagSilencesTheOwner)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    MakeState(1001, {{5, 4.0f}});
    TestStateOwner owner;
    const ZkStatePropertyInput property = {5, 0, 0};
    owner.SetStateProperties(1, &property, false);
    const ZkStateGroupInput group = {kGroup, 1, 0};
    const ZkStateInput state = {1001, 11};
    ASSERT_EQ(owner.SetStateGroups(1, &group, &state), ZK_Success);
    owner.SetStateEnabled(false);
    g_pStateMgr->SetStateInternal(kGroup, 11, true, false);
    EXPECT_TRUE(owner.changes.empty());
    EXPECT_EQ(owner.LinkValue(kGroup, 5), 4.0f); // the link still follows
    owner.SetStateEnabled(true);
    g_pStateMgr->SetStateInternal(kGroup, 12, true, false);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].newValue, 0.0f);
}

TEST_F(StatePropertiesTest, PausedStateTransitionsHoldTheirValue)
{
    ASSERT_EQ(g_pStateMgr->AddStateGroup(kGroup), ZK_Success);
    ASSERT_EQ(g_pStateMgr->SetDefaultTransitionTime(kGroup, 210), ZK_Success);
    MakeState(1002, {{5, 10.0f}});
    TestStateOwner owner;
    const ZkStatePropertyInput property = {5, 0, 0};
    owner.SetStateProperties(1, &property, false);
    const ZkStateGroupInput group = {kGroup, 1, 0};
    const ZkStateInput state = {1002, 12};
    ASSERT_EQ(owner.SetStateGroups(1, &group, &state), ZK_Success);
    g_pStateMgr->SetStateInternal(kGroup, 12, false, false); // 10 frames
    g_pTransitionMgr->ProcessTransitions(1);
    owner.PauseTransitions(true);
    const size_t seen = owner.changes.size();
    for (uint32_t frame = 2; frame <= 5; ++frame)
        g_pTransitionMgr->ProcessTransitions(frame);
    EXPECT_EQ(owner.changes.size(), seen);
    owner.PauseTransitions(false);
    g_pTransitionMgr->ProcessTransitions(6);
    EXPECT_GT(owner.changes.size(), seen);
    owner.ClearTransitions();
    EXPECT_EQ(owner.transitionsEnded, 1);
}
} // namespace
