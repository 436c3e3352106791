// Layered containers (item type 9) and their layer records read from banks written by
// tools/bank_writer.py: what a read builds (children, layers in the layer table, associations
// linked to the children, audible ranges, subscriptions), the ranges a curve's points give, and
// bodies that are refused whole: counts past the item, every cut of the body, the writer's fault
// variants and allocation failures leave no container, no layer and no link behind.
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkContainerLayer.h"
#include "ZkAudiolib/Common/Hierarchy/CZkLayeredContainerNode.h"
#include "ZkAudiolib/Common/Hierarchy/ZkRangeList.h"
#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <map>

namespace
{
using namespace ZkHierarchyTest;

constexpr ZkUniqueID kLayer = 4001;

class LayeredContainerBody : public HierarchyTest
{
protected:
    static CZkHierarchyNode* Find(ZkUniqueID id)
    {
        return static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
    }
    static CZkContainerLayer* FindLayer(ZkUniqueID id)
    {
        return static_cast<CZkContainerLayer*>(g_pObjectIndex->Table(ZkIndexKind::Layers).Table().Find(id));
    }
    static std::string Layered(ZkUniqueID id, const std::string& keys)
    {
        return R"({"type": "layered", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
    }
    // Children 10 and 11 and one layer: a binding of parameter 5001 on the volume, crossfade
    // parameter 5000, child 10 audible from 50 to 100, child 11 with a single point.
    static std::string FullLayer(const std::string& extra = "")
    {
        return R"("children": [10, 11], "layers": [{"id": 4001,
            "rtpc": [{"parameter": 5001, "target": 0, "curve": 1, "points": [[0, 0], [100, -6]]}],
            "crossfade": 5000, "associations": [
                {"child": 10, "points": [[0, 0, 9], [50, 1, 4], [100, 0, 9]]},
                {"child": 11, "points": [[0, 0.5]]}])" +
               extra + "}]";
    }
    static std::string Sounds() { return Sound("", 10) + "," + Sound("", 11) + ","; }
    // The container's id: a child count one too large reads the layer count (1) as a child id,
    // which must not name the container itself.
    static constexpr ZkUniqueID kContainer = 3;

    // Nothing of a refused container is left: no node, no layer, the children free and unlinked,
    // no game-parameter subscription.
    void ExpectNothingLeft(ZkUniqueID container, const std::string& what)
    {
        EXPECT_EQ(Find(container), nullptr) << what;
        EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Layers).Length(), 0u) << what;
        for (ZkUniqueID child : {ZkUniqueID{10}, ZkUniqueID{11}})
        {
            auto* node = static_cast<CZkPlayableNode*>(Find(child));
            if (node == nullptr)
                continue;
            EXPECT_EQ(node->Parent(), nullptr) << what;
            EXPECT_EQ(node->LayerLinkCount(), 0u) << what;
        }
        EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 0u) << what;
    }
};

TEST_F(LayeredContainerBody, AReadBuildsTheLayersAndLinksTheirChildren)
{
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Layered(1, FullLayer(R"(, "crossfade_type": 0)") + R"(, "continuous": true)"))),
              ZK_Success);
    auto* container = static_cast<CZkLayeredContainerNode*>(Find(1));
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->Category(), ZkNodeCategory_Layered);
    EXPECT_TRUE(container->IsContinuous());
    EXPECT_EQ(container->ChildCount(), 2u);
    ASSERT_EQ(container->LayerCount(), 1u);
    CZkContainerLayer* layer = container->Layer(0);
    EXPECT_EQ(layer, FindLayer(kLayer));
    EXPECT_EQ(layer->Owner(), container);
    EXPECT_EQ(layer->CrossfadeParameter(), 5000u);
    EXPECT_EQ(layer->PropertyMask(), uint64_t{1});
    ASSERT_EQ(layer->AssociationCount(), 2u);
    const CZkLayerAssociation& audibleAbove50 = *layer->FindAssociation(10);
    EXPECT_EQ(audibleAbove50.child, Find(10));
    ASSERT_NE(audibleAbove50.audibleRanges, nullptr);
    ASSERT_EQ(audibleAbove50.audibleRanges->Count(), 1u);
    EXPECT_EQ((*audibleAbove50.audibleRanges)[0].lo, 50.0f);
    EXPECT_EQ((*audibleAbove50.audibleRanges)[0].hi, 100.0f);
    EXPECT_EQ(layer->FindAssociation(11)->audibleRanges, nullptr) << "a single point gives no range";
    EXPECT_EQ(static_cast<CZkPlayableNode*>(Find(10))->LayerLinkCount(), 1u);
    EXPECT_EQ(static_cast<CZkPlayableNode*>(Find(11))->LayerLinkCount(), 1u);
    // The binding and the crossfade, inactive while the container is idle.
    EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 2u);
    EXPECT_FALSE(layer->IsOwnerPlaying());

    ReleaseBanks();
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Layers).Length(), 0u) << "the layer goes with its container";
    EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 0u);
}

TEST_F(LayeredContainerBody, AChildLoadedLaterIsLinkedWhenItArrives)
{
    ASSERT_EQ(Parse(BankOfItems(Layered(1, FullLayer()))), ZK_Success);
    CZkContainerLayer* layer = FindLayer(kLayer);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->FindAssociation(10)->child, nullptr);
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("parent": 1)", 10))), ZK_Success);
    EXPECT_EQ(layer->FindAssociation(10)->child, Find(10));
    EXPECT_EQ(static_cast<CZkPlayableNode*>(Find(10))->LayerLinkCount(), 1u);
}

TEST_F(LayeredContainerBody, ALayerLoadedAlreadyIsReownedAndItsRecordDropped)
{
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Layered(1, FullLayer()))), ZK_Success);
    CZkContainerLayer* layer = FindLayer(kLayer);
    // The second record names other points; the loaded layer keeps its own.
    ASSERT_EQ(Parse(BankOfItems(Layered(2, R"("layers": [{"id": 4001, "crossfade": 6000,
                                             "associations": [{"child": 10, "points": [[0, 1]]}]}])"))),
              ZK_Success);
    EXPECT_EQ(FindLayer(kLayer), layer);
    EXPECT_EQ(layer->RefCount(), 2u);
    EXPECT_EQ(layer->Owner(), Find(2));
    EXPECT_EQ(layer->CrossfadeParameter(), 5000u);
    EXPECT_EQ(layer->FindAssociation(10)->child, nullptr) << "container 1's children are not container 2's";
}

// Audible ranges of a curve's bank points: a range opens at the first point that sounds (y > 0 or
// a shape other than constant, 9) and closes at a silent point that ends the points or is followed
// by another silent one.
TEST_F(LayeredContainerBody, AudibleRangesOfBankPoints)
{
    struct Case
    {
        const char* what;
        std::vector<ZkCurvePoint> points;
        std::vector<ZkAudibleRange> ranges;
        std::vector<std::pair<float, bool>> outside;
    };
    const std::vector<Case> cases = {
        {"a rise at 50 held to 100", {{0, 0, 9}, {50, 1, 4}, {100, 0, 9}}, {{50, 100}}, {{20, true}, {50, false}, {60, false}, {100, false}}},
        {"linear from 1 to 0: audible throughout", {{0, 1, 4}, {100, 0, 4}}, {{0, 100}}, {{-1, true}, {0, false}, {100, false}, {101, true}}},
        {"linear from 0 rises at once", {{0, 0, 4}, {100, 1, 4}}, {{0, 100}}, {{50, false}}},
        {"constant 0 then 1: opens at the step", {{0, 0, 9}, {40, 1, 9}, {100, 1, 9}}, {{40, 100}}, {{39, true}, {40, false}}},
        {"two bumps, each closed at its first silent point", {{0, 1, 9}, {10, 0, 9}, {20, 0, 9}, {30, 1, 9}, {40, 0, 9}, {50, 0, 9}},
         {{0, 10}, {30, 40}}, {{10, false}, {15, true}, {25, true}, {35, false}, {45, true}}},
        {"a silent point followed by a sounding one keeps the range open", {{0, 1, 9}, {10, 0, 4}, {20, 1, 9}, {30, 0, 9}},
         {{0, 30}}, {{10, false}, {15, false}}},
        {"silent everywhere", {{0, 0, 9}, {100, 0, 9}}, {}, {{50, false}}},
    };
    for (const Case& c : cases)
    {
        ZkRangeList* list = ZkRangeList::Build(c.points.data(), static_cast<uint32_t>(c.points.size()));
        const uint32_t count = list != nullptr ? list->Count() : 0;
        ASSERT_EQ(count, c.ranges.size()) << c.what;
        for (uint32_t index = 0; index < count; ++index)
        {
            EXPECT_EQ((*list)[index].lo, c.ranges[index].lo) << c.what;
            EXPECT_EQ((*list)[index].hi, c.ranges[index].hi) << c.what;
        }
        for (const auto& [value, outside] : c.outside)
            EXPECT_EQ(ZkRangeList::IsOutside(list, value), outside) << c.what << " at " << value;
        ZkRangeList::Free(list);
    }
    const ZkCurvePoint single{0, 0, 9};
    EXPECT_EQ(ZkRangeList::Build(&single, 1), nullptr) << "one point: always audible";
}

TEST_F(LayeredContainerBody, ACountOnePastTheItemRefusesTheContainerWhole)
{
    struct Case
    {
        const char* what;
        std::string extraLayerKeys;
        std::string containerKeys;
    };
    const std::vector<Case> cases = {
        {"children", "", R"(, "child_count": 3)"},
        {"layers", "", R"(, "layer_count": 2)"},
        {"bindings", R"(, "binding_count": 2)", ""},
        {"associations", R"(, "association_count": 3)", ""},
        {"a huge association count", R"(, "association_count": 1073741824)", ""},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(Parse(BankOfItems(Sounds() + Layered(kContainer, FullLayer(c.extraLayerKeys) + c.containerKeys))),
                  ZK_InvalidFile)
            << c.what;
        ExpectNothingLeft(kContainer, c.what);
        ReleaseBanks();
    }
    // The points of the last association: one more than written.
    const std::string points = R"("children": [10], "layers": [{"id": 4001, "crossfade": 5000,
        "associations": [{"child": 10, "points": [[0, 1], [100, 0]], "point_count": 3}]}])";
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Layered(kContainer, points))), ZK_InvalidFile);
    ExpectNothingLeft(kContainer, "points");
}

// Each cut lies in a block of exactly its size, so AddressSanitizer sees any read past it.
TEST_F(LayeredContainerBody, EveryCutOfTheBodyReadsWith7AndLeavesNothing)
{
    ASSERT_EQ(Parse(BankOfItems(Sound("", 10) + "," + Sound("", 11))), ZK_Success);
    const std::vector<Bytes> bodies = ItemBodies(BankOfItems(Layered(kContainer, FullLayer())));
    ASSERT_EQ(bodies.size(), 1u);
    const Bytes& body = bodies[0];
    for (size_t cut = 0; cut < body.size(); ++cut)
    {
        SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(body.size()));
        std::vector<uint8_t> piece(body.begin(), body.begin() + static_cast<long>(cut));
        piece.shrink_to_fit();
        CZkLayeredContainerNode* container = CZkLayeredContainerNode::Create(kContainer);
        ASSERT_NE(container, nullptr);
        EXPECT_EQ(CZkLayeredContainerNode::ReadFromBank(container, piece.data(), static_cast<uint32_t>(cut), false),
                  ZK_InvalidFile);
        container->Release();
        ExpectNothingLeft(kContainer, "cut");
        if (::testing::Test::HasFailure())
            return; // one cut's failures tell enough
    }
}

TEST_F(LayeredContainerBody, TheWritersFaultVariantsAreRefusedWhole)
{
    const auto banks = ZkSoundFixtures::WriteBankWithFaultVariants(
        R"({"name": "Faults.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [)" + Sounds() +
        Layered(kContainer, FullLayer()) + "]}]}");
    const std::vector<std::string> variants = {"layered_child_count_plus_one", "layered_layer_count_plus_one",
                                               "layer_binding_count_plus_one", "layer_association_count_plus_one",
                                               "layer_point_count_plus_one"};
    size_t seen = 0;
    for (const auto& [name, bytes] : banks)
    {
        for (const std::string& variant : variants)
        {
            if (name != "Faults." + variant + ".bnk")
                continue;
            ++seen;
            EXPECT_EQ(Parse(bytes), ZK_InvalidFile) << name;
            ExpectNothingLeft(kContainer, name);
            ReleaseBanks();
        }
    }
    EXPECT_EQ(seen, variants.size());
}

namespace Fault = ZK::MemoryMgr::FaultInjection;

// Every allocation of the bank made to fail in turn: the bank is refused and nothing of the
// container is left, or the read did without it and the container is whole.
TEST_F(LayeredContainerBody, AllocationFailuresLeaveNothingHalfBuilt)
{
    const Bytes bank = BankOfItems(Sounds() + Layered(kContainer, FullLayer()));
    Fault::CountOnly(Fault::kAnyPool);
    ASSERT_EQ(Parse(bank), ZK_Success);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ReleaseBanks();
    for (uint32_t nth = 1; nth <= allocations; ++nth)
    {
        SCOPED_TRACE("allocation " + std::to_string(nth));
        ZKRESULT result = ZK_Success;
        {
            Fault::ScopedAllocationFailure failure(Fault::kAnyPool, nth);
            result = Parse(bank);
        }
        auto* container = static_cast<CZkLayeredContainerNode*>(Find(kContainer));
        if (result == ZK_Success && container != nullptr)
        {
            EXPECT_EQ(container->ChildCount(), 2u);
            EXPECT_EQ(container->LayerCount(), 1u);
        }
        else if (result != ZK_Success)
        {
            ExpectNothingLeft(kContainer, "refused");
        }
        ReleaseBanks();
        EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Length(), 0u);
        EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Layers).Length(), 0u);
    }
}
} // namespace
