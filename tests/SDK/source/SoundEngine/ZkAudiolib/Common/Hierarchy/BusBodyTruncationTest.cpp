// Every bus body of the writer cut at every byte offset: the read ends with 7, never reads past the
// cut (each cut lies in a block of exactly its size, so AddressSanitizer sees any read beyond it),
// and the released bus leaves nothing behind: not in the bus table, the parent's child buses, the
// top-level or background-music lists, the game-parameter manager or a state group.
#include "BusFixture.h"

namespace
{
using namespace ZkHierarchyTest;

using BusBodyTruncation = BusTest;

TEST_F(BusBodyTruncation, EveryCutReadsWith7AndLeavesNothing)
{
    Load(Bus("Master"));
    CZkBus* master = FindBus("Master");
    ASSERT_NE(master, nullptr);
    ASSERT_EQ(g_pStateMgr->AddStateGroup(30), ZK_Success);
    MakeState(31, {{5, -6.0f}});
    const uint32_t subscriptions = g_pRTPCMgr->SubscriptionCount();

    struct Case
    {
        const char* name;
        std::string bus;
    };
    const std::vector<Case> cases = {
        {"defaults", Bus("Cut")},
        {"a top-level bus on a device", Bus("Cut", R"("device": 12, "props": {"0": -2.0})")},
        {"a child bus with every field",
         Bus("Cut", R"("parent": "Master", "props": {"0": -3.0, "5": -1.0}, "positioning": 3, "positioning_3d": 9,
                      "aux": 21, "aux_buses": [1, 2, 3, 4], "extra_aux_bus": 5, "bus_flags": 11, "max_instances": 3,
                      "channel_config": 12546, "bus_flags_b": 3, "recovery_ms": 500, "max_duck_volume": -20.0,
                      "ducks": [{"target": "Master", "volume": -6.0, "fade_out": 10, "fade_in": 20},
                                {"target": 99, "volume": -3.0, "property": 5}],
                      "effects": [{"slot": 0, "id": 5}, {"slot": 3, "id": 6, "shareset": 1}], "bypass": 1,
                      "mixer": 7, "mixer_shareset": 1, "node_flag": 1,
                      "plugins": [{"index": 0, "id": 9, "shareset": 1}, {"index": 1, "id": 10}],
                      "rtpc": [{"parameter": 5000, "target": 5, "curve": 1, "points": [[0, -96], [100, 0]]}],
                      "state": {"properties": [[5, 0, 1]], "groups": [{"id": 30, "sync": 1, "states": [[32, 31]]}]})")},
        {"a type-18 bus", Bus("Cut", R"("parent": "Master", "ducks": [{"target": "Master", "volume": -1.0}])", "bus18")},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        const std::vector<Bytes> bodies = ItemBodies(BankOfItems(test.bus));
        ASSERT_EQ(bodies.size(), 1u);
        const Bytes& body = bodies[0];
        const bool type18 = test.bus.find("bus18") != std::string::npos;
        for (size_t cut = 0; cut <= body.size(); ++cut)
        {
            SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(body.size()));
            std::vector<uint8_t> piece(body.begin(), body.begin() + static_cast<long>(cut));
            piece.shrink_to_fit();
            CZkBus* bus = type18 ? CZkBusType18::Create(Id("Cut")) : CZkBus::Create(Id("Cut"));
            ASSERT_NE(bus, nullptr);
            const ZKRESULT result = bus->SetFromBank(piece.data(), static_cast<uint32_t>(cut));
            EXPECT_EQ(result, cut == body.size() ? ZK_Success : ZK_InvalidFile);
            bus->Release();
            EXPECT_EQ(FindBus("Cut"), nullptr);
            EXPECT_EQ(master->ChildBusCount(), 0u);
            EXPECT_EQ(master->RefCount(), 1u);
            EXPECT_EQ(CZkBus::TopLevelCount(), 1u) << "the master bus only";
            EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), subscriptions);
            EXPECT_EQ(g_pStateMgr->FindGroup(30)->links, nullptr);
            if (::testing::Test::HasFailure())
                return; // one cut's failures tell enough
        }
    }
}
} // namespace
