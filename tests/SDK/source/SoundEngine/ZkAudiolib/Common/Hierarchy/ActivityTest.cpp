// Activity records: plays counted through the output bus and the parents (the bus-path counters
// where the bus was still to be counted), records freed when idle, the counts that move with an
// output bus, the slabs of 128, the limit tests and the limiters they collect, and the source
// node's walks over its live instances.
#include "HierarchyFixture.h"
#include "HierarchyTestInstances.h"

#include "ZkAudiolib/Common/Hierarchy/CZkSoundNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkActivitySlabs.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

namespace
{
using namespace ZkHierarchyTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;

struct Counts
{
    int32_t plays;
    int32_t busPathPlays;
    int32_t virtuals;
    int32_t busPathVirtuals;
    bool operator==(const Counts&) const = default;
};

Counts CountsOf(const CZkHierarchyNode& node)
{
    const ZkActivityRecord* record = node.Activity();
    if (record == nullptr)
        return Counts{0, 0, 0, 0};
    return Counts{record->playCount, record->busPathPlayCount, record->virtualCount, record->busPathVirtualCount};
}

std::ostream& operator<<(std::ostream& out, const Counts& counts)
{
    return out << "{" << counts.plays << ", " << counts.busPathPlays << ", " << counts.virtuals << ", "
               << counts.busPathVirtuals << "}";
}

// A sound under a container, a container under a root, and two buses (one under the other).
class Activity : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        m_leaf = AddNode(1, ZkNodeCategory_Sound);
        m_middle = AddNode(2, ZkNodeCategory_Playlist);
        m_root = AddNode(3, ZkNodeCategory_Group);
        m_bus = AddNode(10, ZkNodeCategory_Bus, true);
        m_master = AddNode(11, ZkNodeCategory_Bus, true);
        m_other = AddNode(12, ZkNodeCategory_Bus, true);
        m_leaf->SetParent(m_middle);
        m_middle->SetParent(m_root);
        m_bus->SetParent(m_master);
    }
    void TearDown() override
    {
        for (TestNode* node : {m_leaf, m_middle, m_root, m_bus})
        {
            node->SetParent(nullptr);
            node->SetOutputBus(nullptr);
        }
        EXPECT_EQ(ZkActivitySlabs::RecordsInUse(), 0u) << "every record went back";
        EXPECT_EQ(ZkActivitySlabs::SlabCount(), 0u);
        HierarchyTest::TearDown();
    }

public:
    TestNode* m_leaf = nullptr;
    TestNode* m_middle = nullptr;
    TestNode* m_root = nullptr;
    TestNode* m_bus = nullptr;
    TestNode* m_master = nullptr;
    TestNode* m_other = nullptr;
};

TEST_F(Activity, APlayIsCountedAtEachLevelAndItsBusOnce)
{
    struct Case
    {
        const char* name;
        TestNode* Activity::*busOwner; // the level that routes to m_bus
        Counts leaf, middle, root, bus, master;
    };
    const std::vector<Case> cases = {
        {"the sound routes to the bus", &Activity::m_leaf, {1, 1, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}},
        {"the container routes to the bus", &Activity::m_middle, {1, 1, 0, 0}, {1, 1, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}},
        {"the root routes to the bus", &Activity::m_root, {1, 1, 0, 0}, {1, 1, 0, 0}, {1, 1, 0, 0}, {1, 0, 0, 0}, {1, 0, 0, 0}},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        TestNode* owner = this->*test.busOwner;
        owner->SetOutputBus(m_bus);
        ZkPlayCount play;
        ASSERT_EQ(m_leaf->PlayCountUp(play), ZK_Success);
        EXPECT_FALSE(play.toBus) << "the bus was counted";
        EXPECT_EQ(CountsOf(*m_leaf), test.leaf);
        EXPECT_EQ(CountsOf(*m_middle), test.middle);
        EXPECT_EQ(CountsOf(*m_root), test.root);
        EXPECT_EQ(CountsOf(*m_bus), test.bus);
        EXPECT_EQ(CountsOf(*m_master), test.master);
        EXPECT_EQ(m_leaf->VirtualCountUp(true), ZK_Success);
        EXPECT_EQ(CountsOf(*m_bus), (Counts{1, 0, 1, 0}));
        EXPECT_EQ(CountsOf(*m_leaf).busPathVirtuals, 1);

        m_leaf->VirtualCountDown(true);
        m_leaf->PlayCountDown(nullptr, true);
        for (TestNode* node : {m_leaf, m_middle, m_root, m_bus, m_master})
            EXPECT_EQ(node->Activity(), nullptr) << node->ID() << ": the last decrement freed the record";
        owner->SetOutputBus(nullptr);
    }
}

TEST_F(Activity, CountsMoveWithTheOutputBus)
{
    m_root->SetOutputBus(m_bus);
    ZkPlayCount first;
    ZkPlayCount second;
    ASSERT_EQ(m_leaf->PlayCountUp(first), ZK_Success);
    ASSERT_EQ(m_leaf->PlayCountUp(second), ZK_Success);
    ASSERT_EQ(m_leaf->VirtualCountUp(true), ZK_Success);
    TestInstance instance(50.0f, 1);
    ASSERT_EQ(m_leaf->AddLiveInstance(&instance), ZK_Success);

    // The sound takes a bus of its own: its plays leave the root's bus and the way up to it.
    m_leaf->SetOutputBus(m_other);
    EXPECT_EQ(instance.refreshes, 1u) << "the instances are refreshed first";
    EXPECT_EQ(CountsOf(*m_other), (Counts{2, 0, 1, 0}));
    EXPECT_EQ(CountsOf(*m_middle), (Counts{2, 0, 1, 0}));
    EXPECT_EQ(CountsOf(*m_root), (Counts{2, 0, 1, 0}));
    EXPECT_EQ(m_bus->Activity(), nullptr) << "the old bus went idle";
    EXPECT_EQ(m_master->Activity(), nullptr);
    EXPECT_EQ(CountsOf(*m_leaf), (Counts{2, 2, 1, 1})) << "the sound's own counters stay";

    // Without a bus of its own, the plays go back to the root's bus through the ancestors.
    m_leaf->SetOutputBus(nullptr);
    EXPECT_EQ(CountsOf(*m_bus), (Counts{2, 0, 1, 0}));
    EXPECT_EQ(CountsOf(*m_master), (Counts{2, 0, 1, 0}));
    EXPECT_EQ(CountsOf(*m_middle), (Counts{2, 2, 1, 1}));
    EXPECT_EQ(CountsOf(*m_root), (Counts{2, 2, 1, 1}));
    EXPECT_EQ(m_other->Activity(), nullptr);

    // A new bus whose records cannot be made takes nothing: the node keeps no bus. (A play of the
    // old bus keeps its records, and the slab is filled, so that the new bus's record needs a new
    // slab.)
    ZkPlayCount busPlay;
    busPlay.toBus = false;
    ASSERT_EQ(m_bus->PlayCountUp(busPlay), ZK_Success);
    std::vector<ZkActivityRecord*> filler;
    while (ZkActivitySlabs::RecordsInUse() % ZkActivitySlabs::kRecordsPerSlab != 0)
        filler.push_back(ZkActivitySlabs::Take(0, false, false, 0, true));
    {
        ScopedAllocationFailure failure(ZkMemID_Default, 1);
        m_leaf->SetOutputBus(m_other);
    }
    for (ZkActivityRecord* record : filler)
        ZkActivitySlabs::Give(record);
    EXPECT_EQ(m_leaf->OutputBus(), nullptr);
    EXPECT_EQ(m_other->Activity(), nullptr);
    EXPECT_EQ(CountsOf(*m_bus), (Counts{3, 0, 1, 0})) << "the counts went back to the old way";
    EXPECT_EQ(CountsOf(*m_root), (Counts{2, 2, 1, 1}));
    m_bus->PlayCountDown(nullptr, false);

    m_leaf->RemoveLiveInstance(&instance);
    m_leaf->VirtualCountDown(true);
    m_leaf->PlayCountDown(nullptr, true);
    m_leaf->PlayCountDown(nullptr, true);
    EXPECT_EQ(m_bus->Activity(), nullptr);
    EXPECT_EQ(m_leaf->Activity(), nullptr);
}

TEST_F(Activity, RecordsThatCannotBeMadeCountNothing)
{
    m_leaf->SetOutputBus(m_bus);
    ZK::MemoryMgr::FaultInjection::CountOnly(ZkMemID_Default);
    ZkPlayCount play;
    ASSERT_EQ(m_leaf->PlayCountUp(play), ZK_Success);
    const uint32_t allocations = ZK::MemoryMgr::FaultInjection::CountedAllocations();
    ZK::MemoryMgr::FaultInjection::Disarm();
    m_leaf->PlayCountDown(nullptr, true);
    ASSERT_GT(allocations, 0u);
    for (uint32_t failing = 1; failing <= allocations; ++failing)
    {
        SCOPED_TRACE("allocation " + std::to_string(failing) + " fails");
        ZkPlayCount again;
        ZKRESULT result;
        {
            ScopedAllocationFailure failure(ZkMemID_Default, failing);
            result = m_leaf->PlayCountUp(again);
        }
        if (result == ZK_Success)
        {
            m_leaf->PlayCountDown(nullptr, true); // a failing allocation the count does not need
            continue;
        }
        EXPECT_EQ(result, ZK_InsufficientMemory);
        for (TestNode* node : {m_leaf, m_middle, m_root, m_bus, m_master})
            EXPECT_EQ(node->Activity(), nullptr) << node->ID();
    }
    m_leaf->SetOutputBus(nullptr);
}

TEST_F(Activity, TheLastFreeRecordOfASlabTakesTheSlab)
{
    using ZkActivitySlabs::kRecordsPerSlab;
    std::vector<ZkActivityRecord*> records;
    for (uint32_t index = 0; index < kRecordsPerSlab; ++index)
        records.push_back(ZkActivitySlabs::Take(0, false, false, 0, true));
    EXPECT_EQ(ZkActivitySlabs::SlabCount(), 1u);
    ZkActivityRecord* next = ZkActivitySlabs::Take(0, false, false, 0, true);
    EXPECT_EQ(ZkActivitySlabs::SlabCount(), 2u) << "a full slab makes a new one";
    for (ZkActivityRecord* record : records)
        ZkActivitySlabs::Give(record);
    EXPECT_EQ(ZkActivitySlabs::SlabCount(), 1u) << "a slab whose records are all free is freed";
    ZkActivitySlabs::Give(next);
    EXPECT_EQ(ZkActivitySlabs::SlabCount(), 0u);
    ZkActivityRecord* fresh = ZkActivitySlabs::Take(0, false, false, 0, true);
    EXPECT_EQ(ZkActivitySlabs::SlabCount(), 1u) << "the next record comes from a new slab";
    ZkActivitySlabs::Give(fresh);
}

TEST_F(Activity, LimitTestsCollectTheLimitersThatCountThePlay)
{
    m_leaf->SetMaxInstances(2);
    m_middle->SetMaxInstances(0);
    ZkLimiterList limiters;
    ZkPlayCount play;
    play.limiters = &limiters;
    ASSERT_EQ(m_leaf->PlayCountUp(play), ZK_Success);
    ASSERT_EQ(limiters.Length(), 1u) << "a node with max instances 0 gives no limiter";
    EXPECT_EQ(limiters[0], &m_leaf->Activity()->limiter);
    EXPECT_EQ(limiters[0]->MaxCount(), 2u);
    EXPECT_EQ(play.checks, 0u);

    // Two instances fill the limit: the next play runs the limit decision, once per play. Of equal
    // priority and newer ones ranking first, the older instance makes room.
    TestInstance a(50.0f, 1);
    TestInstance b(50.0f, 2);
    ASSERT_EQ(limiters[0]->Insert(&a), ZK_Success);
    ASSERT_EQ(limiters[0]->Insert(&b), ZK_Success);
    ZkLimiterList more;
    ZkPlayCount full;
    full.limiters = &more;
    EXPECT_EQ(m_leaf->PlayCountUp(full), ZK_Success) << "room was made";
    EXPECT_EQ(full.checks, 1u);
    ASSERT_EQ(a.overLimit.size(), 1u);
    EXPECT_EQ(a.overLimit[0], std::make_pair(false, kNodeLimitReason)) << "stopped for the node's limit";
    EXPECT_TRUE(b.overLimit.empty());
    ZkPlayCount unchecked;
    unchecked.checkLimits = false;
    EXPECT_EQ(m_leaf->PlayCountUp(unchecked), ZK_Success);
    // A virtual instance holds no place.
    limiters[0]->AddVirtual(1);
    ZkPlayCount roomAgain;
    EXPECT_EQ(m_leaf->PlayCountUp(roomAgain), ZK_Success);
    limiters[0]->AddVirtual(-1);
    // A level with flag C bit 2 stops the tests above it.
    m_root->SetMaxInstances(1);
    m_middle->SetFlagBits(0, 0, kNodeFlagC_LimitCheckStops);
    ZkLimiterList stopped;
    ZkPlayCount stops;
    stops.limiters = &stopped;
    stops.checkLimits = false;
    EXPECT_EQ(m_leaf->PlayCountUp(stops), ZK_Success);
    EXPECT_EQ(stopped.Length(), 1u) << "the root's limiter is not collected";

    limiters[0]->Remove(&a);
    limiters[0]->Remove(&b);
    for (int count = 0; count < 5; ++count)
        m_leaf->PlayCountDown(nullptr, true);
    EXPECT_EQ(m_leaf->Activity(), nullptr);
}

TEST_F(Activity, PerObjectLimitsKeepOneLimiterPerGameObject)
{
    CZkRegisteredObj* first = Register(1);
    CZkRegisteredObj* second = Register(2);
    m_leaf->SetFlagBits(kNodeFlagA_GlobalLimit, 0, 0, false);
    m_leaf->SetMaxInstances(1);
    ZkLimiterList one;
    ZkLimiterList other;
    ZkPlayCount playOne;
    playOne.gameObject = first;
    playOne.limiters = &one;
    ZkPlayCount playOther;
    playOther.gameObject = second;
    playOther.limiters = &other;
    ASSERT_EQ(m_leaf->PlayCountUp(playOne), ZK_Success);
    ASSERT_EQ(m_leaf->PlayCountUp(playOther), ZK_Success);
    CZkNodeLimiter* firstLimiter = m_leaf->ObjectLimiter(first);
    ASSERT_NE(firstLimiter, nullptr);
    ASSERT_NE(m_leaf->ObjectLimiter(second), nullptr);
    EXPECT_NE(firstLimiter, m_leaf->ObjectLimiter(second));
    ASSERT_EQ(one.Length(), 1u);
    EXPECT_EQ(one[0], firstLimiter);
    EXPECT_EQ(firstLimiter->OrderKey(), LimiterKey(1, 2, false)) << "node id, two ancestors, not a bus";

    // The object's limiter full: its next play is decided; the other object's is not.
    TestInstance playing(50.0f, 1, first);
    ASSERT_EQ(firstLimiter->Insert(&playing), ZK_Success);
    ZkPlayCount again;
    again.gameObject = first;
    EXPECT_EQ(m_leaf->PlayCountUp(again), ZK_Success);
    EXPECT_EQ(playing.overLimit.size(), 1u) << "the object's instance made room";
    // Max instances reach every per-object limiter.
    m_leaf->SetMaxInstances(3);
    EXPECT_EQ(firstLimiter->MaxCount(), 3u);
    EXPECT_EQ(m_leaf->ObjectLimiter(second)->MaxCount(), 3u);

    firstLimiter->Remove(&playing);
    m_leaf->PlayCountDown(first, true);
    m_leaf->PlayCountDown(first, true);
    EXPECT_EQ(m_leaf->ObjectLimiter(first), nullptr) << "an idle per-object limiter goes";
    m_leaf->PlayCountDown(second, true);
    EXPECT_EQ(m_leaf->Activity(), nullptr);
}

TEST_F(Activity, GameParameter16MovesTheMaximum)
{
    const ZkCurvePoint identity[] = {{0.0f, 0.0f, 4}, {100.0f, 100.0f, 4}};
    m_leaf->SetMaxInstances(4);
    ASSERT_EQ(m_leaf->SubscribeRTPC(9016, 0, 0, kMaxInstancesParam, 1, 0, identity, 2), ZK_Success);
    ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(9016, 7.0f, ZkRTPCKey::Global()), ZK_Success);
    ZkPlayCount play;
    ASSERT_EQ(m_leaf->PlayCountUp(play), ZK_Success);
    EXPECT_EQ(m_leaf->Activity()->limiter.MaxCount(), 7u) << "the parameter's value when the record is made";
    ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(9016, 2.0f, ZkRTPCKey::Global()), ZK_Success);
    EXPECT_EQ(m_leaf->Activity()->limiter.MaxCount(), 2u) << "and each new value after";
    m_leaf->PlayCountDown(nullptr, true);
    m_leaf->UnsubscribeRTPC(kMaxInstancesParam, 1);
}

TEST_F(Activity, TheSourceNodeWalksReachItsLiveInstances)
{
    CZkSoundNode* sound = CZkSoundNode::Create(500);
    ASSERT_NE(sound, nullptr);
    CZkRegisteredObj* object = Register(7);
    TestInstance ofObject(50.0f, 1, object, 100);
    TestInstance otherPlay(50.0f, 2, object, 101);
    TestInstance global(50.0f, 3, nullptr, 102);
    for (TestInstance* instance : {&ofObject, &otherPlay, &global})
        ASSERT_EQ(sound->AddLiveInstance(instance), ZK_Success);

    struct Case
    {
        CZkGameObject* object;
        ZkPlayingID playingID;
        std::vector<size_t> reached; // ofObject, otherPlay, global
    };
    const std::vector<Case> cases = {
        {nullptr, 0, {1, 1, 1}}, {object, 0, {1, 1, 0}}, {object, 101, {0, 1, 0}}, {nullptr, 102, {0, 0, 1}}};
    for (const Case& test : cases)
    {
        for (TestInstance* instance : {&ofObject, &otherPlay, &global})
            instance->actions.clear();
        ZkActionParams pause;
        pause.code = ZkActionCode_Pause;
        pause.gameObject = test.object;
        pause.playingID = test.playingID;
        EXPECT_EQ(sound->ExecuteAction(pause), ZK_Success);
        EXPECT_EQ(ofObject.actions.size(), test.reached[0]);
        EXPECT_EQ(otherPlay.actions.size(), test.reached[1]);
        EXPECT_EQ(global.actions.size(), test.reached[2]);
    }

    EXPECT_EQ(sound->SetFloatProperty(3, -4.0f), ZK_Success);
    EXPECT_EQ(ofObject.deltas, (std::vector<std::pair<uint32_t, float>>{{3, -4.0f}}));
    sound->UpdateContribution(object);
    EXPECT_EQ(ofObject.contributions + otherPlay.contributions + global.contributions, 2u);
    EXPECT_EQ(sound->SetFloatProperty(ZkProp_PositioningValue1, 0.5f), ZK_Success);
    EXPECT_EQ(global.positionings, (std::vector<std::pair<uint32_t, float>>{{18, 0.5f}}));
    EXPECT_EQ(sound->SetIntProperty(ZkProp_LoopCount, 3), ZK_Success);
    EXPECT_EQ(global.refreshes, 1u);

    for (TestInstance* instance : {&ofObject, &otherPlay, &global})
        sound->RemoveLiveInstance(instance);
    EXPECT_EQ(sound->Activity(), nullptr) << "the last instance to leave frees the idle record";
    sound->Release();
}
} // namespace
