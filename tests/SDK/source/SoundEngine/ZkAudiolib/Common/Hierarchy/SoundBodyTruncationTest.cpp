// Every sound body of the writer cut at every byte offset: the read ends with 7, never reads past
// the cut (each cut lies in a block of exactly its size, so AddressSanitizer sees any read beyond
// it), and the released node leaves nothing behind: no node in the table, no child in its bus's or
// parent's list, no subscription at the game-parameter manager, no state link.
#include "HierarchyFixture.h"

namespace
{
using namespace ZkHierarchyTest;

struct TruncationCase
{
    const char* name;
    std::string keys;
    ZKRESULT whole; // the result of the uncut body
    // A failure that ends the read before the body's end: cuts within this many last bytes reach it.
    size_t bytesAfterFailure = 0;
};

class SoundBodyTruncation : public HierarchyTest
{
};

TEST_F(SoundBodyTruncation, EveryCutReadsWith7AndLeavesNothing)
{
    TestNode* bus = AddNode(800, ZkNodeCategory_Bus, true);
    TestNode* parent = AddNode(900, ZkNodeCategory_Playlist);
    ASSERT_EQ(g_pStateMgr->AddStateGroup(30), ZK_Success);
    MakeState(31, {{2, -6.0f}});

    const std::vector<TruncationCase> cases = {
        {"defaults", "", ZK_Success},
        {"links, effects and plug-ins",
         R"("bus": 800, "parent": 900, "effects_override": 1, "effects": [{"slot": 0, "id": 5}, {"slot": 3, "id": 6, "rendered": 1}],
            "bypass": 3, "plugins": [{"index": 0, "id": 9, "shareset": 1}, {"index": 1, "id": 10}])",
         ZK_Success},
        {"properties and ranges", R"("props": {"priority": 20, "loop_count": 3, "0": -3.0}, "ranges": {"0": [-1, 1], "58": [0, 2]})",
         ZK_Success},
        {"3-D positioning with an empty path", R"("positioning": 35, "positioning_3d": 255, "path": {"mode": 2, "transition_time": 5})",
         ZK_Success},
        {"a path to play", R"("positioning": 67, "path": {"vertices": [[0, 0, 0, 10], [1, 2, 3, 10]], "items": [[0, 2]], "ranges": [[1, 2, 3]]})",
         ZK_Success},
        {"a path past its vertices", R"("positioning": 67, "path": {"vertices": [[0, 0, 0, 10], [1, 2, 3, 10]], "items": [[1, 5]]})",
         ZK_Fail, 15}, // aux (5), advanced (6), state (2) and game parameters (2) follow
        {"aux buses and advanced settings", R"("aux": 31, "aux_buses": [1, 2, 3, 4], "extra_aux_bus": 5, "max_instances": 4, "advanced": 1)",
         ZK_Success},
        {"state chunk", R"("state": {"properties": [[2, 0, 1]], "groups": [{"id": 30, "sync": 1, "states": [[32, 31]]}]})", ZK_Success},
        {"game-parameter list", R"("rtpc": [{"parameter": 5000, "target": 2, "curve": 1, "points": [[0, 0], [50, 0.5], [100, 1]]},
                                            {"parameter": 5001, "target": 45, "curve": 7, "points": [[0, 1], [1, 0]]}])",
         ZK_Success},
        {"a source plug-in's parameters", R"("plugin": 2, "plugin_params": "00112233445566778899")", ZK_Success},
    };
    for (const TruncationCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        const std::vector<Bytes> bodies = ItemBodies(BankOfItems(Sound(test.keys)));
        ASSERT_EQ(bodies.size(), 1u);
        const Bytes& body = bodies[0];
        for (size_t cut = 0; cut <= body.size(); ++cut)
        {
            SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(body.size()));
            std::vector<uint8_t> piece(body.begin(), body.begin() + static_cast<long>(cut));
            piece.shrink_to_fit();
            CZkSoundNode* sound = CZkSoundNode::Create(200);
            ASSERT_NE(sound, nullptr);
            const ZKRESULT result = CZkSoundNode::ReadFromBank(sound, piece.data(), static_cast<uint32_t>(cut), false);
            EXPECT_EQ(result, cut + test.bytesAfterFailure >= body.size() ? test.whole : ZK_InvalidFile);
            sound->Release();
            EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(200), nullptr);
            EXPECT_TRUE(bus->children.empty());
            EXPECT_TRUE(parent->children.empty());
            EXPECT_EQ(bus->RefCount(), 1u);
            EXPECT_EQ(parent->RefCount(), 1u);
            EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 0u);
            EXPECT_EQ(g_pStateMgr->FindGroup(30)->links, nullptr);
            if (::testing::Test::HasFailure())
                return; // one cut's failures tell enough
        }
    }
}
} // namespace
