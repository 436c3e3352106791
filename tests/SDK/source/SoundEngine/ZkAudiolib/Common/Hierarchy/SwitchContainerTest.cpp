// Switch containers (item type 6) read from banks written by tools/bank_writer.py: their group,
// assignments and child settings, the bodies that must be refused whole, allocation failures,
// and media preparation in both modes (every child, or only the children of the group's values
// prepared through the state manager).
#include "HierarchyFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"
#include "ZkAudiolib/Common/GameSyncs/CZkSwitchMgr.h"
#include "ZkAudiolib/Common/Hierarchy/CZkSwitchContainerNode.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace
{
using namespace ZkHierarchyTest;

constexpr ZkUniqueID kSwitch = 1;
constexpr ZkUniqueID kGroup = 500;
constexpr ZkUniqueID kWood = 51;
constexpr ZkUniqueID kStone = 52;
constexpr ZkUniqueID kGlass = 53;

class SwitchContainer : public HierarchyTest
{
protected:
    static CZkSwitchContainerNode* Find(ZkUniqueID id)
    {
        auto* node = static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
        return node != nullptr && node->Category() == ZkNodeCategory_Switch ? static_cast<CZkSwitchContainerNode*>(node)
                                                                             : nullptr;
    }
    static CZkHierarchyNode* FindNode(ZkUniqueID id)
    {
        return static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
    }
    // Sounds 10, 11, 12 (media 110, 111, 112 of 640 bytes, which need preparing).
    static std::string Sounds()
    {
        std::string items;
        for (ZkUniqueID id = 10; id < 13; ++id)
            items += R"({"type": "sound", "id": )" + std::to_string(id) + R"(, "media": )" + std::to_string(id + 100) +
                     R"(, "media_size": 640},)";
        return items;
    }
    // A switch container over the three sounds: wood {10, 11}, stone {11, 12}, default stone.
    static std::string Switch(const std::string& keys = "")
    {
        return R"({"type": "switch", "id": 1, "group": 500, "default": 52, "children": [10, 11, 12],
                   "values": [{"value": 51, "children": [10, 11]}, {"value": 52, "children": [11, 12]}])" +
               (keys.empty() ? "" : ", " + keys) + "}";
    }
    // The bank with the body of its last hierarchy item replaced (the item's and the chunk's sizes
    // follow): a cut body in the bank the writer made, without running the writer for every cut.
    static Bytes WithLastItemBody(const Bytes& bank, const Bytes& body)
    {
        for (size_t at = 0; at + 8 <= bank.size();)
        {
            const uint32_t chunkSize = ZK::LoadLittleEndian<uint32_t>(bank.data() + at + 4);
            if (std::memcmp(bank.data() + at, "HIRC", 4) != 0)
            {
                at += 8 + chunkSize;
                continue;
            }
            size_t item = at + 12;
            const uint32_t count = ZK::LoadLittleEndian<uint32_t>(bank.data() + at + 8);
            for (uint32_t index = 0; index + 1 < count; ++index)
                item += 5 + ZK::LoadLittleEndian<uint32_t>(bank.data() + item + 1);
            const uint32_t oldSize = ZK::LoadLittleEndian<uint32_t>(bank.data() + item + 1);
            Bytes spliced(bank.begin(), bank.begin() + static_cast<long>(item + 5));
            spliced.insert(spliced.end(), body.begin(), body.end());
            spliced.insert(spliced.end(), bank.begin() + static_cast<long>(item + 5 + oldSize), bank.end());
            ZK::StoreLittleEndian(spliced.data() + item + 1, static_cast<uint32_t>(body.size()));
            ZK::StoreLittleEndian(spliced.data() + at + 4, static_cast<uint32_t>(chunkSize - oldSize + body.size()));
            return spliced;
        }
        ADD_FAILURE() << "no hierarchy chunk";
        return bank;
    }
    static std::vector<ZkUniqueID> Sorted(std::vector<ZkUniqueID> ids)
    {
        std::sort(ids.begin(), ids.end());
        return ids;
    }
};

TEST_F(SwitchContainer, BankFields)
{
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Switch(R"("group_type": "state", "continuous": true,
        "settings": [{"child": 10, "mode": 1, "fade_out": 200, "fade_in": 5, "first_only": true},
                     {"child": 11, "mode": 9, "continue_across": true}])"))),
              ZK_Success);
    CZkSwitchContainerNode* node = Find(kSwitch);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GroupType(), CZkSwitchContainerNode::kGroupState);
    EXPECT_EQ(node->GroupID(), kGroup);
    EXPECT_EQ(node->DefaultValue(), kStone);
    EXPECT_TRUE(node->IsContinuous());
    EXPECT_EQ(node->ChildCount(), 3u);
    EXPECT_EQ(FindNode(12)->Parent(), node);
    const CZkSwitchValueEntry* first = node->Values().First();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->value, kWood) << "bank order";
    ASSERT_NE(first->next, nullptr);
    EXPECT_EQ(first->next->value, kStone);
    EXPECT_EQ(node->Values().Find(kGlass), nullptr);
    const CZkSwitchChildSettings c10 = node->SettingsOf(10);
    EXPECT_EQ(c10.Mode(), CZkSwitchChildSettings::kModeStopWithFade);
    EXPECT_EQ(c10.fadeOutMs, 200u);
    EXPECT_EQ(c10.fadeInMs, 5u);
    EXPECT_TRUE(c10.FirstOnly());
    EXPECT_FALSE(c10.ContinueAcross());
    const CZkSwitchChildSettings c11 = node->SettingsOf(11);
    EXPECT_EQ(c11.Mode(), 1) << "the mode keeps three bits";
    EXPECT_TRUE(c11.ContinueAcross());
    const CZkSwitchChildSettings c12 = node->SettingsOf(12);
    EXPECT_EQ(c12.flags, 0u) << "a child without settings";
    EXPECT_EQ(c12.fadeOutMs, 0u);

    // A child that leaves takes its settings with it.
    node->RemoveChildByID(10);
    EXPECT_EQ(node->SettingsCount(), 1u);
    EXPECT_EQ(node->SettingsOf(10).flags, 0u);
}

TEST_F(SwitchContainer, AssignmentsOfOneValueAddUp)
{
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Switch(R"("values": [{"value": 51, "children": [10]},
        {"value": 52, "children": [12]}, {"value": 51, "children": [11]}])"))),
              ZK_Success);
    const CZkSwitchValueEntry* wood = Find(kSwitch)->Values().Find(kWood);
    ASSERT_NE(wood, nullptr);
    EXPECT_EQ(wood->children.Length(), 2u);
    EXPECT_TRUE(wood->Contains(10) && wood->Contains(11));
}

// Each count one too large, and a child twice in a value: the bank is refused and neither a
// container nor a child linked to one stays.
TEST_F(SwitchContainer, TheWritersFaultVariantsAreRefusedWhole)
{
    const auto banks = ZkSoundFixtures::WriteBankWithFaultVariants(R"({"name": "Faults.bnk", "chunks": [{"tag": "BKHD"},
      {"tag": "HIRC", "items": [)" + Sounds() + Switch(R"("settings": [{"child": 10, "mode": 1}])") + "]}]}");
    const std::map<std::string, ZKRESULT> expected = {
        {"switch_child_count_plus_one", ZK_InvalidFile},       {"switch_value_count_plus_one", ZK_InvalidFile},
        {"switch_value_child_count_plus_one", ZK_InvalidFile}, {"switch_settings_count_plus_one", ZK_InvalidFile},
        {"switch_value_child_twice", ZK_IDAlreadyListed},
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
            EXPECT_EQ(FindNode(kSwitch), nullptr) << "no container left behind";
            for (ZkUniqueID child = 10; child < 13; ++child)
                EXPECT_TRUE(FindNode(child) == nullptr || FindNode(child)->Parent() == nullptr);
            ReleaseBanks();
        }
    }
    EXPECT_EQ(seen, expected.size());
}

TEST_F(SwitchContainer, HugeCountsAndCutBodiesAreRefused)
{
    struct Case
    {
        const char* what;
        std::string keys;
    };
    const std::vector<Case> cases = {
        {"a huge value count", R"("value_count": 1073741824)"},
        {"a huge child count in a value", R"("values": [{"value": 51, "children": [10], "child_count": 536870912}])"},
        {"a huge settings count", R"("settings_count": 306783378)"},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Parse(BankOfItems(Sounds() + Switch(c.keys))), ZK_InvalidFile) << c.what;
        EXPECT_EQ(FindNode(kSwitch), nullptr) << c.what;
        ReleaseBanks();
    }
    // Every cut of the container's body ends inside one of its fields.
    const Bytes whole = BankOfItems(Sounds() + Switch(R"("settings": [{"child": 10, "mode": 1}])"));
    const std::vector<Bytes> bodies = ItemBodies(whole);
    ASSERT_EQ(bodies.size(), 4u);
    const Bytes& body = bodies[3];
    for (size_t cut = 4 + 32; cut < body.size(); ++cut)
    {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const Bytes item(body.begin(), body.begin() + static_cast<long>(cut));
        ASSERT_EQ(Parse(WithLastItemBody(whole, item)), ZK_InvalidFile);
        EXPECT_EQ(FindNode(kSwitch), nullptr);
        ReleaseBanks();
    }
}

// A container read again with another group follows the new group at once while it is active:
// from the switch manager to the state manager and back, nowhere for group 0, and for an unknown
// kind the old registrations are gone before the 31 comes back.
TEST_F(SwitchContainer, AnActiveContainerReadAgainFollowsItsNewGroup)
{
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Switch(R"("continuous": true)"))), ZK_Success);
    CZkSwitchContainerNode* node = Find(kSwitch);
    ASSERT_NE(node, nullptr);
    struct Step
    {
        const char* what;
        bool active;
        const char* groupType;
        ZkUniqueID group;
        ZKRESULT result;
        uint32_t switchSubscriptions;
        uint32_t stateSubscriptions;
    };
    const Step steps[] = {
        {"an idle container only stores the group", false, "switch", 501, ZK_Success, 0, 0},
        {"an active one subscribes to the new switch group", true, "switch", 502, ZK_Success, 1, 0},
        {"to a state group: no switch subscription is left", true, "state", 502, ZK_Success, 0, 1},
        {"group 0 follows nothing, and that succeeds", true, "state", 0, ZK_Success, 0, 0},
        {"back to a switch group", true, "switch", 503, ZK_Success, 1, 0},
        {"another kind is 31, the old registrations gone", true, "2", 504, ZK_InvalidParameter, 0, 0},
    };
    ZkPlayCount play;
    play.checkLimits = false;
    bool active = false;
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.what);
        if (step.active && !active)
        {
            ASSERT_EQ(node->PlayCountUp(play), ZK_Success);
            active = true;
        }
        const std::string type = std::string(step.groupType) == "2" ? "2" : "\"" + std::string(step.groupType) + "\"";
        const std::vector<Bytes> bodies = ItemBodies(BankOfItems(
            R"({"type": "switch", "id": 1, "continuous": true, "default": 52, "group": )" + std::to_string(step.group) +
            R"(, "group_type": )" + type + "}"));
        ASSERT_EQ(bodies.size(), 1u);
        EXPECT_EQ(CZkSwitchContainerNode::ReadFromBank(node, bodies[0].data(), static_cast<uint32_t>(bodies[0].size()),
                                                       false),
                  step.result);
        EXPECT_EQ(node->GroupID(), step.group);
        EXPECT_EQ(g_pSwitchMgr->SubscriptionCount(), step.switchSubscriptions);
        EXPECT_EQ(g_pStateMgr->StateAwareCount(), step.stateSubscriptions);
    }
    node->PlayCountDown(nullptr, true);
}

namespace Fault = ZK::MemoryMgr::FaultInjection;
using Fault::ScopedAllocationFailure;

TEST_F(SwitchContainer, AllocationFailuresLeaveNothingHalfBuilt)
{
    const Bytes bank = BankOfItems(Sounds() + Switch(R"("settings": [{"child": 10, "mode": 1}, {"child": 12}],
        "values": [{"value": 51, "children": [10, 11]}, {"value": 52, "children": [11, 12]}, {"value": 53, "children": [10]}])"));
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
            ScopedAllocationFailure failure(Fault::kAnyPool, nth);
            result = Parse(bank);
        }
        CZkSwitchContainerNode* node = Find(kSwitch);
        if (result == ZK_Success)
        {
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->ChildCount(), 3u);
            EXPECT_EQ(node->SettingsCount(), 2u);
            ASSERT_NE(node->Values().Find(kGlass), nullptr);
        }
        else
        {
            EXPECT_EQ(node, nullptr);
            for (ZkUniqueID child = 10; child < 13; ++child)
                EXPECT_TRUE(FindNode(child) == nullptr || FindNode(child)->Parent() == nullptr);
        }
        ReleaseBanks();
        EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Length(), 0u);
    }
}

// Game-sync preparation mode for the length of a test.
struct GameSyncPreparation
{
    uint8_t saved = GetEngineSettings().gameSyncPreparation;
    GameSyncPreparation() { GetEngineSettings().gameSyncPreparation = 1; }
    ~GameSyncPreparation() { GetEngineSettings().gameSyncPreparation = saved; }
};

TEST_F(SwitchContainer, NormalPreparationPreparesEveryChild)
{
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Switch())), ZK_Success);
    EXPECT_EQ(CZkHierarchyNode::PrepareByID(kSwitch), ZK_Success);
    EXPECT_EQ(Sorted(m_bankManager.prepared), (std::vector<ZkUniqueID>{110, 111, 112}));
    CZkHierarchyNode::UnprepareByID(kSwitch);
    EXPECT_EQ(Sorted(m_bankManager.released), (std::vector<ZkUniqueID>{110, 111, 112}));
}

TEST_F(SwitchContainer, GameSyncPreparationFollowsThePreparedValues)
{
    GameSyncPreparation mode;
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Switch())), ZK_Success);
    CZkSwitchContainerNode* node = Find(kSwitch);
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(CZkSwitchContainerNode::kGroupSwitch, kGroup, kWood, true), ZK_Success);

    ASSERT_EQ(CZkHierarchyNode::PrepareByID(kSwitch), ZK_Success);
    EXPECT_EQ(Sorted(m_bankManager.prepared), (std::vector<ZkUniqueID>{110, 111})) << "only wood's children";
    ASSERT_EQ(CZkHierarchyNode::PrepareByID(kSwitch), ZK_Success);
    EXPECT_EQ(node->PreparedCount(), 2u);
    EXPECT_EQ(m_bankManager.prepared.size(), 2u) << "a second prepare only counts";

    // A value prepared later follows at once; so does one unprepared.
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(CZkSwitchContainerNode::kGroupSwitch, kGroup, kStone, true), ZK_Success);
    EXPECT_EQ(Sorted(m_bankManager.prepared), (std::vector<ZkUniqueID>{110, 111, 111, 112}));
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(CZkSwitchContainerNode::kGroupSwitch, kGroup, kWood, false), ZK_Success);
    EXPECT_EQ(Sorted(m_bankManager.released), (std::vector<ZkUniqueID>{110, 111}));

    // The last unprepare releases the rest and leaves the group's node list.
    CZkHierarchyNode::UnprepareByID(kSwitch);
    EXPECT_EQ(m_bankManager.released.size(), 2u);
    CZkHierarchyNode::UnprepareByID(kSwitch);
    EXPECT_EQ(Sorted(m_bankManager.released), (std::vector<ZkUniqueID>{110, 111, 111, 112}));
    EXPECT_EQ(node->PreparedCount(), 0u);
    const ZkPreparedGroup* group = g_pStateMgr->GetGroupNodes(CZkSwitchContainerNode::kGroupSwitch, kGroup);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->head, nullptr);
    m_bankManager.released.clear();
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(CZkSwitchContainerNode::kGroupSwitch, kGroup, kStone, false), ZK_Success);
    EXPECT_TRUE(m_bankManager.released.empty()) << "an unprepared container hears nothing";
}

TEST_F(SwitchContainer, AFailedGameSyncPreparationRollsBack)
{
    GameSyncPreparation mode;
    ASSERT_EQ(Parse(BankOfItems(Sounds() + Switch())), ZK_Success);
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(CZkSwitchContainerNode::kGroupSwitch, kGroup, kWood, true), ZK_Success);
    ASSERT_EQ(g_pStateMgr->PrepareGameSync(CZkSwitchContainerNode::kGroupSwitch, kGroup, kStone, true), ZK_Success);
    // The nth media entry fails (wood's 110 and 111, then stone's 111 and 112): those prepared
    // before it are released again and the container is not registered.
    m_bankManager.prepareResult = ZK_InsufficientMemory;
    for (uint32_t nth = 1; nth <= 4; ++nth)
    {
        SCOPED_TRACE("media entry " + std::to_string(nth));
        m_bankManager.prepared.clear();
        m_bankManager.released.clear();
        m_bankManager.successesBeforeResult = nth - 1;
        EXPECT_EQ(CZkHierarchyNode::PrepareByID(kSwitch), ZK_InsufficientMemory);
        EXPECT_EQ(Find(kSwitch)->PreparedCount(), 0u);
        ASSERT_EQ(m_bankManager.prepared.size(), nth);
        EXPECT_EQ(Sorted(m_bankManager.released),
                  Sorted(std::vector<ZkUniqueID>(m_bankManager.prepared.begin(), m_bankManager.prepared.end() - 1)))
            << "every entry but the failed one is released";
        const ZkPreparedGroup* group = g_pStateMgr->GetGroupNodes(CZkSwitchContainerNode::kGroupSwitch, kGroup);
        ASSERT_NE(group, nullptr);
        EXPECT_EQ(group->head, nullptr) << "not registered";
    }
}
} // namespace
