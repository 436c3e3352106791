// Group nodes and the container base, read from banks written by tools/bank_writer.py: child
// validation (including the cycle a body could close by naming its parent), the sorted child
// array and its inline slot, actions passed on to children, and bodies whose counts run past the
// item.
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/Hierarchy/CZkGroupNode.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"
#include "MemoryMgr/ZkMemoryFaultInjection.h"

namespace
{
using namespace ZkHierarchyTest;

class ContainerNode : public HierarchyTest
{
protected:
    static CZkHierarchyNode* Find(ZkUniqueID id)
    {
        return static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
    }
    static std::string Group(ZkUniqueID id, const std::string& keys)
    {
        return R"({"type": "group", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
    }
    static std::string Playlist(ZkUniqueID id, const std::string& keys)
    {
        return R"({"type": "playlist", "id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + "}";
    }
};

TEST_F(ContainerNode, ChildValidation)
{
    ASSERT_EQ(Parse(BankOfItems(Sound("", 10) + "," + Sound("", 11) + "," + Group(1, "") + "," + Playlist(2, "") + "," +
                                Playlist(3, ""))),
              ZK_Success);
    auto* group = static_cast<CZkGroupNode*>(Find(1));
    auto* playlist = static_cast<CZkPlaylistContainerNode*>(Find(2));
    auto* other = static_cast<CZkPlaylistContainerNode*>(Find(3));
    ASSERT_NE(group, nullptr);
    ASSERT_NE(playlist, nullptr);
    TestNode* bus = AddNode(800, ZkNodeCategory_Bus, false);

    struct Case
    {
        const char* what;
        CZkContainerNode* container;
        CZkHierarchyNode* child;
        ZKRESULT expected;
    };
    ASSERT_EQ(playlist->AddChildByID(10), ZK_Success);
    const std::vector<Case> cases = {
        {"a bus-category child under a playlist", playlist, bus, ZK_NotImplemented},
        {"a bus-category child under a group (no category test)", group, bus, ZK_Success},
        {"a child that has a parent", other, Find(10), ZK_ChildRoutedElsewhere},
        {"the container itself", playlist, playlist, ZK_BusWouldBeOwnChild},
        {"the group itself", group, group, ZK_BusWouldBeOwnChild},
        {"an ancestor of the container", other, playlist, ZK_BusWouldBeOwnChild},
    };
    ASSERT_EQ(playlist->AddChild(other), ZK_Success);
    for (const Case& c : cases)
        EXPECT_EQ(c.container->AddChild(c.child), c.expected) << c.what;
    EXPECT_EQ(playlist->AddChildByID(99), ZK_InvalidID) << "not loaded";
    EXPECT_EQ(bus->Parent(), group);

    // Removing a child whose parent is another container changes nothing.
    group->RemoveChild(Find(10));
    EXPECT_EQ(Find(10)->Parent(), playlist);
    EXPECT_EQ(playlist->ChildCount(), 2u) << "10 and 3";
    group->RemoveChildByID(800);
    EXPECT_EQ(bus->Parent(), nullptr);
}

// Two bodies naming each other: group 2 lies under group 1 (its parent field) and lists group 1
// as its child. Linking it would make each the other's ancestor, and every upward walk endless.
TEST_F(ContainerNode, ChildThatIsAnAncestorIsRefused)
{
    const ZKRESULT result = Parse(BankOfItems(Group(1, R"("children": [2])") + "," +
                                              Group(2, R"("parent": 1, "children": [1])")));
    EXPECT_EQ(result, ZK_BusWouldBeOwnChild);
    CZkHierarchyNode* first = Find(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Parent(), nullptr);
    EXPECT_EQ(first->Depth(), 0u);
    EXPECT_EQ(Find(2), nullptr) << "the refused item is not kept";

    // The same through two playlists built by hand.
    CZkPlaylistContainerNode* a = CZkPlaylistContainerNode::Create(5);
    CZkPlaylistContainerNode* b = CZkPlaylistContainerNode::Create(6);
    ASSERT_EQ(a->AddChild(b), ZK_Success);
    EXPECT_EQ(b->AddChild(a), ZK_BusWouldBeOwnChild);
    EXPECT_EQ(a->Parent(), nullptr);
    a->RemoveChildByID(6);
    b->Release();
    a->Release();
}

TEST_F(ContainerNode, SortedChildrenAndTheInlineSlot)
{
    ASSERT_EQ(Parse(BankOfItems(Sound("", 30) + "," + Sound("", 10) + "," + Sound("", 20) + "," +
                                Group(1, R"("children": [30, 10, 20])") + "," + Group(2, R"("children": [99])"))),
              ZK_Success);
    auto* group = static_cast<CZkGroupNode*>(Find(1));
    ASSERT_EQ(group->ChildCount(), 3u);
    EXPECT_FALSE(group->ChildrenInline());
    for (uint32_t index = 0; index < 3; ++index)
        EXPECT_EQ(group->Child(index)->ID(), 10u * (index + 1)) << "sorted by id";

    // A child that comes after its group is linked by its own body.
    auto* single = static_cast<CZkGroupNode*>(Find(2));
    EXPECT_EQ(single->ChildCount(), 0u);
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("parent": 2)", 99))), ZK_Success);
    ASSERT_EQ(single->ChildCount(), 1u);
    EXPECT_TRUE(single->ChildrenInline());
    single->RemoveChildByID(99);
    EXPECT_EQ(single->ChildCount(), 0u);
    EXPECT_EQ(Find(99)->Parent(), nullptr);
}

TEST_F(ContainerNode, ActionsReachChildrenLastToFirstWhileActive)
{
    ASSERT_EQ(Parse(BankOfItems(Group(1, ""))), ZK_Success);
    auto* group = static_cast<CZkGroupNode*>(Find(1));
    std::vector<TestNode*> children = {AddNode(11, ZkNodeCategory_Sound), AddNode(12, ZkNodeCategory_Sound),
                                       AddNode(13, ZkNodeCategory_Sound)};
    for (TestNode* child : children)
        ASSERT_EQ(group->AddChild(child), ZK_Success);

    group->ExecuteAction(ZkActionCode_Stop, nullptr, 0, 4, 0);
    for (TestNode* child : children)
        EXPECT_TRUE(child->actions.empty()) << "an idle group passes nothing on";

    std::vector<ZkUniqueID> order;
    for (TestNode* child : children)
        child->onAction = [&order, child] { order.push_back(child->ID()); };
    ZkPlayCount play{};
    ASSERT_EQ(children[0]->PlayCountUp(play), ZK_Success);
    group->ExecuteAction(ZkActionCode_Stop, nullptr, 0, 4, 0);
    EXPECT_EQ(order, (std::vector<ZkUniqueID>{13, 12, 11}));
    children[0]->PlayCountDown(nullptr, true);

    PlayLaunchParams params;
    EXPECT_EQ(group->Play(params), ZK_NothingToReport) << "a group plays nothing";
    for (TestNode* child : children)
        group->RemoveChildByID(child->ID());
}

TEST_F(ContainerNode, CountsPastTheItemLeaveNoNode)
{
    struct Case
    {
        const char* what;
        std::string item;
        ZKRESULT expected;
    };
    const std::vector<Case> cases = {
        {"group child count one too large", Group(1, R"("children": [10, 11], "child_count": 3)"), ZK_InvalidFile},
        {"playlist child count one too large", Playlist(1, R"("children": [10, 11], "entries": [], "child_count": 3)"),
         ZK_InvalidFile},
        {"playlist entry count one too large", Playlist(1, R"("children": [10, 11], "entry_count": 3)"),
         ZK_InvalidFile},
        {"a huge child count", Group(1, R"("children": [10], "child_count": 1073741824)"), ZK_InvalidFile},
    };
    for (const Case& c : cases)
    {
        ASSERT_EQ(Parse(BankOfItems(Sound("", 10) + "," + Sound("", 11) + "," + c.item)), c.expected) << c.what;
        EXPECT_EQ(Find(1), nullptr) << c.what;
        EXPECT_EQ(Find(10)->Parent(), nullptr) << c.what;
        EXPECT_EQ(Find(11)->Parent(), nullptr) << c.what;
        ReleaseBanks();
    }
}

TEST_F(ContainerNode, AnIdOfAnotherCategoryIsLeftAlone)
{
    ASSERT_EQ(Parse(BankOfItems(Sound("", 1) + "," + Group(1, "") + "," + Playlist(1, ""))), ZK_Success);
    EXPECT_EQ(Find(1)->Category(), ZkNodeCategory_Sound);
}
} // namespace

namespace
{
TEST_F(ContainerNode, TheWritersFaultVariantsAreRefusedWhole)
{
    const auto banks = ZkSoundFixtures::WriteBankWithFaultVariants(R"({"name": "Faults.bnk", "chunks": [{"tag": "BKHD"},
      {"tag": "HIRC", "items": [{"type": "sound", "id": 10, "media": 100, "media_size": 0},
        {"type": "sound", "id": 11, "media": 100, "media_size": 0},
        {"type": "playlist", "id": 1, "children": [10, 11], "entries": []},
        {"type": "group", "id": 2, "children": [1]}]}]})");
    const std::map<std::string, ZKRESULT> expected = {
        {"playlist_child_count_plus_one", ZK_InvalidFile},   {"group_child_count_plus_one", ZK_InvalidFile},
        {"playlist_entry_count_plus_one", ZK_InvalidFile},   {"playlist_weight_2_31", ZK_InvalidFile},
        {"playlist_weights_3e9", ZK_InvalidFile},            {"playlist_duplicate_random_entry", ZK_DuplicateUniqueID},
        {"playlist_play_mode_2", ZK_InvalidFile},
    };
    size_t seen = 0;
    for (const auto& [name, bytes] : banks)
    {
        for (const auto& [variant, result] : expected)
        {
            if (name != "Faults." + variant + ".bnk")
                continue;
            SCOPED_TRACE(name);
            ++seen;
            EXPECT_EQ(Parse(bytes), result);
            const ZkUniqueID refused = variant.rfind("group", 0) == 0 ? 2 : 1;
            EXPECT_EQ(Find(refused), nullptr) << "no node left behind";
            for (ZkUniqueID child : {ZkUniqueID{10}, ZkUniqueID{11}, ZkUniqueID{1}})
            {
                const CZkHierarchyNode* node = child != refused ? Find(child) : nullptr;
                EXPECT_TRUE(node == nullptr || node->Parent() == nullptr || node->Parent()->ID() != refused);
            }
            ReleaseBanks();
        }
    }
    EXPECT_EQ(seen, expected.size());
}
} // namespace

namespace
{
namespace Fault = ZK::MemoryMgr::FaultInjection;
using Fault::ScopedAllocationFailure;

// Every allocation of a bank with a container and its children, made to fail in turn: the bank
// refuses it and no container is left, nor a child linked to one; or the read did without it and
// the container is whole. Released, the bank leaves no node.
TEST_F(ContainerNode, AllocationFailuresLeaveNothingHalfBuilt)
{
    const std::string sounds = Sound("", 10) + "," + Sound("", 11) + "," + Sound("", 12) + ",";
    const std::vector<std::string> items = {
        Group(1, R"("children": [10, 11, 12])"),
        Playlist(1, R"("play_mode": "random", "avoid_repeat": 1, "children": [10, 11, 12])"),
    };
    for (const std::string& item : items)
    {
        const Bytes bank = BankOfItems(sounds + item);
        Fault::CountOnly(Fault::kAnyPool);
        ASSERT_EQ(Parse(bank), ZK_Success);
        const uint32_t allocations = Fault::CountedAllocations();
        Fault::Disarm();
        ReleaseBanks();
        for (uint32_t nth = 1; nth <= allocations; ++nth)
        {
            SCOPED_TRACE(item + ", allocation " + std::to_string(nth));
            ZKRESULT result = ZK_Success;
            {
                ScopedAllocationFailure failure(Fault::kAnyPool, nth);
                result = Parse(bank);
            }
            auto* container = static_cast<CZkContainerNode*>(Find(1));
            if (result == ZK_Success)
            {
                ASSERT_NE(container, nullptr);
                EXPECT_EQ(container->ChildCount(), 3u);
            }
            else
            {
                EXPECT_EQ(container, nullptr);
                for (ZkUniqueID child = 10; child < 13; ++child)
                    EXPECT_TRUE(Find(child) == nullptr || Find(child)->Parent() == nullptr);
            }
            ReleaseBanks();
            EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Length(), 0u);
        }
    }
}
} // namespace
