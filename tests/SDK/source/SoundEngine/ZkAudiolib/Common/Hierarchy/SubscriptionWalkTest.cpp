// The game-parameter subscription walks of keyed targets over three-level trees of nodes and a
// two-level bus chain: which level's target lists hold the target, for which parameters; and the
// clear walk that removes it again.
#include "HierarchyFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/RecordingTarget.h"

#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"

namespace
{
using namespace ZkHierarchyTest;
using ZkParamTest::RecordingTarget;

constexpr uint64_t Bit(uint32_t bit) { return 1ull << bit; }

// The target's mask in the list, 0 when the list does not hold it.
uint64_t MaskIn(const CZkParamTargetList& list, const CZkKeyedParamTarget& target)
{
    const ZkParamTargetSet* record = list.Record();
    for (uint32_t index = 0; record != nullptr && index < record->targets.Length(); ++index)
    {
        if (record->targets[index].target == &target)
            return record->targets[index].mask;
    }
    return 0;
}

struct WalkCase
{
    const char* name;
    uint64_t overrides[3]; // leaf, mid, root (override mask bits: parameter k + 17)
    uint64_t mask;
    bool includeBus;
    bool processingBus; // the leaf's output bus processes its mix
    uint64_t expected[5]; // leaf, mid, root, bus, parent bus
};

class SubscriptionWalk : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        m_levels[0] = AddNode(1, ZkNodeCategory_Sound);
        m_levels[1] = AddNode(2, ZkNodeCategory_Playlist);
        m_levels[2] = AddNode(3, ZkNodeCategory_Group);
        m_levels[3] = AddNode(4, ZkNodeCategory_Bus, true);
        m_levels[4] = AddNode(5, ZkNodeCategory_Bus, true);
        m_levels[0]->SetParent(m_levels[1]);
        m_levels[1]->SetParent(m_levels[2]);
        m_levels[0]->SetOutputBus(m_levels[3]);
        m_levels[3]->SetParent(m_levels[4]);
        const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {1.0f, 1.0f, 4}};
        for (TestNode* level : m_levels)
        {
            for (uint32_t bit : {2u, 5u, 17u, 18u, 34u, 40u})
                ASSERT_EQ(level->SubscribeRTPC(7000 + bit, 0, 0, bit, 1, 0, line, 2), ZK_Success);
        }
    }
    void TearDown() override
    {
        m_levels[0]->SetParent(nullptr);
        m_levels[0]->SetOutputBus(nullptr);
        m_levels[1]->SetParent(nullptr);
        m_levels[3]->SetParent(nullptr);
        HierarchyTest::TearDown();
    }
    TestNode* m_levels[5] = {};
};

TEST_F(SubscriptionWalk, ClaimsAndOffersDecideWhereTheTargetSubscribes)
{
    const uint64_t priority = Bit(0);    // override bit of parameter 17
    const uint64_t positioning = Bit(1); // override bit of parameter 18
    const std::vector<WalkCase> cases = {
        {"always-set parameters reach the root", {0, 0, 0}, Bit(2), false, false, {Bit(2), Bit(2), Bit(2), 0, 0}},
        {"a root-set parameter nobody overrides lands at the root", {0, 0, 0}, Bit(17), false, false, {0, 0, Bit(17), 0, 0}},
        {"a child's override claims its parameter", {priority, 0, 0}, Bit(2) | Bit(17), false, false,
         {Bit(2) | Bit(17), Bit(2), Bit(2), 0, 0}},
        {"a claimed parameter ends the walk when nothing else is asked", {priority, 0, 0}, Bit(17), false, false,
         {Bit(17), 0, 0, 0, 0}},
        {"the middle level's override", {0, priority, 0}, Bit(2) | Bit(17), false, false, {Bit(2), Bit(2) | Bit(17), Bit(2), 0, 0}},
        {"each override claims its own parameter", {positioning, 0, priority}, Bit(2) | Bit(17) | Bit(18), false, false,
         {Bit(2) | Bit(18), Bit(2), Bit(2) | Bit(17), 0, 0}},
        {"without the bus side no bus subscribes", {0, 0, 0}, Bit(2) | Bit(5), false, false, {Bit(2), Bit(2), Bit(2), 0, 0}},
        {"bus parameters go up the bus chain", {0, 0, 0}, Bit(2) | Bit(5) | Bit(34), true, false,
         {Bit(2), Bit(2), Bit(2), Bit(2) | Bit(5) | Bit(34), Bit(2) | Bit(5) | Bit(34)}}, // 34 is not in the root set
        {"a processing bus keeps parameter 5 to itself", {0, 0, 0}, Bit(2) | Bit(5), true, true,
         {Bit(2), Bit(2), Bit(2), Bit(2) | Bit(5), Bit(2)}},
        {"root-set parameters claimed on the node side stay off the buses", {0, 0, 0}, Bit(17) | Bit(18) | Bit(40), true, false,
         {0, 0, Bit(17) | Bit(18) | Bit(40), 0, 0}},
    };
    uint32_t idleCounts[5];
    for (int level = 0; level < 5; ++level)
        idleCounts[level] = m_levels[level]->RefCount();
    for (const WalkCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        for (int level = 0; level < 3; ++level)
            m_levels[level]->SetOverrides(test.overrides[level]);
        m_levels[3]->needsProcessing = test.processingBus;
        RecordingTarget target(ZkRTPCKey::Global(), test.mask);
        ASSERT_EQ(m_levels[0]->GetInheritedProperties(&target, test.mask, test.includeBus), ZK_Success);
        for (int level = 0; level < 5; ++level)
            EXPECT_EQ(MaskIn(m_levels[level]->ParamTargets(), target), test.expected[level]) << "level " << level;
        ASSERT_EQ(m_levels[0]->ClearInheritedSubscriptions(&target, test.mask, test.includeBus), ZK_Success);
        for (int level = 0; level < 5; ++level)
        {
            EXPECT_EQ(m_levels[level]->ParamTargets().TargetCount(), 0u);
            EXPECT_EQ(m_levels[level]->RefCount(), idleCounts[level]) << "no active subscription holds the node any more";
        }
    }
}

TEST_F(SubscriptionWalk, FirstTargetActivatesTheListAndStateAndModifiedListsTakeTheirShare)
{
    TestNode& leaf = *m_levels[0];
    TestNode& root = *m_levels[2];
    const ZkStatePropertyInput stateDriven[] = {{3, 0, 0}, {67, 0, 0}};
    root.SetStateProperties(2, stateDriven, false);
    EXPECT_EQ(root.StateDrivenMask(), Bit(3));
    ASSERT_EQ(m_levels[1]->ModifiedParamTargets().AddParamBit(4), ZK_Success);

    const uint32_t idle = leaf.RefCount();
    RecordingTarget target(ZkRTPCKey::Global(), Bit(2) | Bit(3) | Bit(4));
    target.RegisterWithNode(&leaf, Bit(2) | Bit(3) | Bit(4), false);
    EXPECT_EQ(leaf.RefCount(), idle + 6) << "the list's first target activates its six subscriptions";
    EXPECT_EQ(MaskIn(m_levels[1]->ModifiedParamTargets(), target), Bit(4));
    ASSERT_NE(root.NodeStateStorage(), nullptr);
    ASSERT_EQ(root.NodeStateStorage()->subscribers.Length(), 1u);
    EXPECT_EQ(root.NodeStateStorage()->subscribers[0].mask, Bit(3));

    // A state value change of parameter 3 reaches the subscriber with the delta.
    root.OnStateValueChanged(3, 0, 0, 1.0f, 4.0f, false);
    ASSERT_EQ(target.changes.size(), 1u);
    EXPECT_EQ(target.changes[0].ownerID, 3u);
    EXPECT_EQ(target.changes[0].delta, 3.0f);

    // A value of the game parameter reaches it through the leaf's list.
    g_pRTPCMgr->SetRTPCImmediate(7002, 0.25f, ZkRTPCKey::Global());
    EXPECT_EQ(target.LastValue(), 0.25f);

    target.Unregister(kAllParamBits, true);
    EXPECT_EQ(leaf.RefCount(), idle);
    EXPECT_EQ(root.NodeStateStorage()->subscribers.Length(), 0u);
    EXPECT_EQ(m_levels[1]->ModifiedParamTargets().TargetCount(), 0u);
}

TEST_F(SubscriptionWalk, ADestroyedNodeLeavesNoTargetRegisteredUnderIt)
{
    CZkSoundNode* sound = CZkSoundNode::Create(42);
    ASSERT_NE(sound, nullptr);
    const ZkCurvePoint line[] = {{0.0f, 0.0f, 4}, {1.0f, 1.0f, 4}};
    ASSERT_EQ(sound->SubscribeRTPC(7100, 0, 0, 6, 1, 0, line, 2), ZK_Success);
    RecordingTarget gathered(ZkRTPCKey::Global(), Bit(6));
    RecordingTarget recorded(ZkRTPCKey::Global(), Bit(6));
    gathered.RegisterWithNode(sound, Bit(6), false);
    recorded.Register(sound);
    EXPECT_EQ(CZkParamTargetRegistry::Instance().TargetCount(sound), 2u);
    EXPECT_EQ(sound->RefCount(), 2u) << "the active subscription holds the node";

    // The bank lets go: the node lives on through its active subscription until the gathered
    // target leaves; then it goes, and takes the other target's registration with it.
    sound->Release();
    ASSERT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(42), sound);
    gathered.Unregister(kAllParamBits, true);
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(42), nullptr);
    EXPECT_EQ(recorded.RegisteredNode(), nullptr);
    EXPECT_EQ(CZkParamTargetRegistry::Instance().EntryCount(), 0u);
}
} // namespace
