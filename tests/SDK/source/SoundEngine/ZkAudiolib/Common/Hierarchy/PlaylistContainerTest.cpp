// Playlist containers (item type 5) read from banks written by tools/bank_writer.py, and their
// step-mode selection through the engine's shared generator: the random pick with its
// avoid-repeat window, shuffle cycles, weights, sequences with and without bouncing, history
// scope per game object or global, and the bodies and histories that must be refused.
#include "HierarchyFixture.h"
#include "PlaylistSelections.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

#include <set>

namespace
{
using namespace ZkHierarchyTest;

constexpr ZkUniqueID kPlaylist = 1;
constexpr uint64_t kSeed = 0x1234567;

class PlaylistContainer : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        ZK::ZkLcg64::Engine().Seed(kSeed);
    }

    static CZkHierarchyNode* Find(ZkUniqueID id)
    {
        return static_cast<CZkHierarchyNode*>(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(id));
    }
    // Loads sounds 10, 11, ... (count of them) and a playlist over them with these keys.
    CZkPlaylistContainerNode* Load(uint32_t sounds, const std::string& keys, ZKRESULT expected = ZK_Success)
    {
        std::string items;
        std::string children;
        for (uint32_t index = 0; index < sounds; ++index)
        {
            items += Sound("", 10 + index) + ",";
            children += (index ? ", " : "") + std::to_string(10 + index);
        }
        items += R"({"type": "playlist", "id": 1, "children": [)" + children + "]" + (keys.empty() ? "" : ", " + keys) + "}";
        EXPECT_EQ(Parse(BankOfItems(items)), expected) << keys;
        return static_cast<CZkPlaylistContainerNode*>(Find(kPlaylist));
    }
    static std::vector<int> Select(CZkPlaylistContainerNode& playlist, uint32_t count, CZkGameObject* object = nullptr)
    {
        return SelectPicks(playlist, count, object);
    }
};

TEST_F(PlaylistContainer, BankSettings)
{
    CZkPlaylistContainerNode* playlist =
        Load(3, R"("play_mode": "random", "random_type": 1, "avoid_repeat": 2, "continuous": true, "global_scope": false,
                  "entries": [[10, 100000], [11, 50000], [12, 50000]])");
    ASSERT_NE(playlist, nullptr);
    EXPECT_EQ(playlist->PlayMode(), CZkPlaylistContainerNode::kPlayModeRandom);
    EXPECT_TRUE(playlist->IsContinuous());
    EXPECT_FALSE(playlist->IsGlobalScope());
    const ZkRandomSettings settings = playlist->RandomSettings();
    EXPECT_EQ(settings.avoidRepeatCount, 2);
    EXPECT_EQ(settings.randomType, 1);
    EXPECT_TRUE(settings.weighted);
    EXPECT_EQ(playlist->Entries()->TotalWeight(), 200000);
    EXPECT_EQ(playlist->ChildCount(), 3u);
    EXPECT_EQ(Find(10)->Parent(), playlist);
}

TEST_F(PlaylistContainer, RefusedBodies)
{
    struct Case
    {
        const char* what;
        std::string keys;
        ZKRESULT expected;
    };
    const std::vector<Case> cases = {
        {"a weight of 2^31", R"("play_mode": "random", "entries": [[10, 2147483648]])", ZK_InvalidFile},
        {"three weights of 10^9", R"("play_mode": "random", "entries": [[10, 1000000000], [11, 1000000000], [12, 1000000000]])",
         ZK_InvalidFile},
        {"a random list naming a child twice", R"("play_mode": "random", "entries": [[10, 1], [10, 1]])",
         ZK_DuplicateUniqueID},
        {"play mode 2", R"("play_mode": 2)", ZK_InvalidFile},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Load(3, c.keys, c.expected), nullptr) << c.what;
        for (ZkUniqueID id = 10; id < 13; ++id)
            EXPECT_EQ(Find(id)->Parent(), nullptr) << c.what;
        ReleaseBanks();
    }
    CZkPlaylistContainerNode* sequence = Load(3, R"("entries": [10, 10, 11], "restart_each_play": false)");
    ASSERT_NE(sequence, nullptr) << "a sequence may name a child twice";
    EXPECT_EQ(Select(*sequence, 4), (std::vector<int>{0, 0, 1, 0}));
}

TEST_F(PlaylistContainer, Sequences)
{
    struct Case
    {
        const char* what;
        std::string keys;
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {"forward, wrapping", "", {0, 1, 2, 0, 1, 2, 0}},
        {"bouncing at the end", R"("reverse_at_end": true)", {0, 1, 2, 1, 0, 1, 2, 1}},
        {"an entry not loaded is skipped", R"("entries": [10, 99, 12])", {0, 2, 0, 2}},
    };
    for (const Case& c : cases)
    {
        CZkPlaylistContainerNode* playlist = Load(3, c.keys);
        ASSERT_NE(playlist, nullptr) << c.what;
        EXPECT_EQ(Select(*playlist, static_cast<uint32_t>(c.expected.size())), c.expected) << c.what;
        ReleaseBanks();
    }
}

TEST_F(PlaylistContainer, RandomAvoidRepeatWindow)
{
    // 3 entries: a window of 1 forbids the last pick; a window of 5 is capped at 2 (count - 1), so
    // every pick differs from the two before it.
    for (int window : {1, 5})
    {
        CZkPlaylistContainerNode* playlist = Load(3, R"("play_mode": "random", "avoid_repeat": )" + std::to_string(window));
        const std::vector<int> picks = Select(*playlist, 300);
        for (size_t index = 1; index < picks.size(); ++index)
        {
            ASSERT_GE(picks[index], 0);
            ASSERT_NE(picks[index], picks[index - 1]) << "window " << window << " at " << index;
            if (window == 5 && index >= 2)
            {
                ASSERT_NE(picks[index], picks[index - 2]) << "at " << index;
            }
        }
        std::set<int> seen(picks.begin(), picks.end());
        EXPECT_EQ(seen.size(), 3u);
        ReleaseBanks();
    }
}

TEST_F(PlaylistContainer, ShuffleCycles)
{
    CZkPlaylistContainerNode* playlist = Load(4, R"("play_mode": "random", "random_type": 1)");
    const std::vector<int> picks = Select(*playlist, 400);
    for (size_t cycle = 0; cycle + 4 <= picks.size(); cycle += 4)
    {
        const std::set<int> seen(picks.begin() + static_cast<long>(cycle), picks.begin() + static_cast<long>(cycle) + 4);
        ASSERT_EQ(seen, (std::set<int>{0, 1, 2, 3})) << "cycle at " << cycle;
        if (cycle > 0)
        {
            ASSERT_NE(picks[cycle], picks[cycle - 1]) << "a new cycle never starts with the last pick";
        }
    }
}

TEST_F(PlaylistContainer, WeightedDraws)
{
    CZkPlaylistContainerNode* playlist = Load(2, R"("play_mode": "random", "entries": [[10, 50000], [11, 150000]])");
    // Each selection is one draw r = (x >> 33) mod 200000: A below 50000, B from 50000 on.
    ZK::ZkLcg64 model(kSeed);
    const std::vector<int> picks = Select(*playlist, 10000);
    int countB = 0;
    for (size_t index = 0; index < picks.size(); ++index)
    {
        const uint32_t r = model.Draw() % 200000u;
        ASSERT_EQ(picks[index], r < 50000u ? 0 : 1) << "draw " << index << " r " << r;
        countB += picks[index];
    }
    // Binomial(10000, 0.75): mean 7500, standard deviation 43.3; five of them either side.
    EXPECT_GT(countB, 7283);
    EXPECT_LT(countB, 7717);
}

// A draw never divides by a weight of nothing: when the eligible entries weigh 0 nothing is picked.
TEST_F(PlaylistContainer, NoEligibleWeightPicksNothing)
{
    CZkPlaylistContainerNode* weightless = Load(2, R"("play_mode": "random", "entries": [[10, 0], [11, 0]])");
    EXPECT_EQ(Select(*weightless, 2), (std::vector<int>{-1, -1}));
    ReleaseBanks();
    // Once B sits in the window, only A, of weight 0, is eligible.
    CZkPlaylistContainerNode* windowed =
        Load(2, R"("play_mode": "random", "avoid_repeat": 1, "entries": [[10, 0], [11, 100000]])");
    EXPECT_EQ(Select(*windowed, 2), (std::vector<int>{1, -1}));
}

TEST_F(PlaylistContainer, HistoryScope)
{
    CZkRegisteredObj* first = Register(7);
    CZkRegisteredObj* second = Register(8);
    CZkPlaylistContainerNode* global = Load(3, R"("restart_each_play": false)");
    std::vector<int> picks;
    for (CZkGameObject* object : {first, second, first, second})
        picks.push_back(Select(*global, 1, object)[0]);
    EXPECT_EQ(picks, (std::vector<int>{0, 1, 2, 0})) << "one history for every object";
    ReleaseBanks();

    CZkPlaylistContainerNode* perObject = Load(3, R"("global_scope": false)");
    picks.clear();
    for (CZkGameObject* object : {first, second, first, second, first})
        picks.push_back(Select(*perObject, 1, object)[0]);
    EXPECT_EQ(picks, (std::vector<int>{0, 0, 1, 1, 2})) << "each object its own";
    EXPECT_EQ(perObject->ObjectHistoryCount(), 2u);

    perObject->ResetHistory(first);
    EXPECT_EQ(perObject->ObjectHistoryCount(), 1u);
    EXPECT_EQ(Select(*perObject, 1, first), std::vector<int>{0});
    g_pRegistryMgr->UnregisterObject(8);
    EXPECT_EQ(perObject->ObjectHistoryCount(), 1u) << "the object's unregistration drops its history";
    perObject->ResetHistory(nullptr);
    EXPECT_EQ(perObject->ObjectHistoryCount(), 0u);
}

// A history read from the game's bytes must fit the list before a draw walks its bit arrays.
TEST_F(PlaylistContainer, HistoriesThatDoNotFitAreRefused)
{
    struct Case
    {
        const char* what;
        std::string keys;
        Bytes history;
    };
    auto random = [](uint16_t n, int32_t total, int32_t remaining, uint16_t selectable, uint16_t cycle,
                     std::vector<uint16_t> recent) {
        Bytes bytes;
        auto put = [&bytes](const void* value, size_t size) {
            bytes.insert(bytes.end(), static_cast<const uint8_t*>(value), static_cast<const uint8_t*>(value) + size);
        };
        const auto k = static_cast<uint16_t>(recent.size());
        put(&n, 2), put(&total, 4), put(&remaining, 4), put(&selectable, 2), put(&cycle, 2), put(&k, 2);
        bytes.insert(bytes.end(), 2 * ((n + 7) / 8), 0);
        for (uint16_t entry : recent)
            put(&entry, 2);
        return bytes;
    };
    const std::string randomKeys = R"("play_mode": "random", "avoid_repeat": 1)";
    const std::vector<Case> cases = {
        {"k = n + 1", randomKeys, random(3, 150000, 150000, 3, 3, {0, 1, 2, 0})},
        {"a recent entry at n", randomKeys, random(3, 150000, 150000, 3, 3, {3})},
        {"counts above n", randomKeys, random(3, 150000, 150000, 9, 9, {})},
        {"weights out of step", randomKeys, random(3, 150000, 900000, 3, 3, {})},
        {"lastIndex 7 for 3 entries", "", Bytes{1, 7, 0}},
        {"lastIndex -2", "", Bytes{1, 0xFE, 0xFF}},
    };
    for (const Case& c : cases)
    {
        CZkPlaylistContainerNode* playlist = Load(3, c.keys);
        CZkPlayHistory* history = playlist->FindOrCreateHistory(nullptr);
        ASSERT_NE(history, nullptr);
        ZK::ZkByteCursor cursor(c.history.data(), c.history.size());
        ASSERT_EQ(history->Read(cursor), ZK_Success) << c.what;
        EXPECT_FALSE(history->IsConsistent(3, 150000)) << c.what;
        EXPECT_EQ(Select(*playlist, 1), std::vector<int>{-1}) << c.what << ": nothing is selected";
        ReleaseBanks();
    }
}

TEST_F(PlaylistContainer, OneEntryAndEmptyLists)
{
    CZkPlaylistContainerNode* one = Load(1, R"("play_mode": "random", "avoid_repeat": 3)");
    EXPECT_EQ(Select(*one, 3), (std::vector<int>{0, 0, 0}));
    ReleaseBanks();
    CZkPlaylistContainerNode* empty = Load(2, R"("entries": [])");
    EXPECT_EQ(Select(*empty, 1), std::vector<int>{-1});
    PlayLaunchParams params;
    EXPECT_EQ(empty->Play(params), ZK_Fail);
    EXPECT_TRUE(empty->HasPlayed());
}
} // namespace
