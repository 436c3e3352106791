// The playlist iterator over containers of writer-made banks: the segments it yields for a table of
// item trees equal playlist_model.py's from the same seed (sequence and random, step and
// continuous, weights, shuffle, avoid windows, repeat counts with modifiers, nested and empty
// groups, the game's playlist-select callback replacing a choice or halting a group); a state saved
// mid-walk continues identically; refused saved states; allocation failures; restarting at an item;
// the history of states.
#include "../MusicBankFixture.h"

#include "MusicEngine/Playlist/CZkPlaylistIterator.h"
#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace
{
using namespace ZkMusicTest;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr ZkGameObjectID kObject = 77;
constexpr ZkUniqueID kEvent = 0xE7;

// What the test's playlist-select callback answers, per group id.
struct PickRules
{
    std::map<ZkUniqueID, uint32_t> replace;
    std::map<ZkUniqueID, uint32_t> haltAt; // 1 = the first choice
    std::map<ZkUniqueID, uint32_t> offers;
};

void Pick(ZkCallbackType, ZkCallbackInfo* info)
{
    auto* pick = static_cast<ZkPlaylistPickCallbackInfo*>(info);
    auto* rules = static_cast<PickRules*>(info->cookie);
    const uint32_t offer = ++rules->offers[pick->playlistID];
    if (auto found = rules->replace.find(pick->playlistID); found != rules->replace.end())
        pick->selection = found->second;
    if (auto found = rules->haltAt.find(pick->playlistID); found != rules->haltAt.end() && found->second == offer)
        pick->done = 1;
}

std::string Leaf(ZkUniqueID id, ZkUniqueID segment, const std::string& keys = "")
{
    return R"({"id": )" + std::to_string(id) + R"(, "segment": )" + std::to_string(segment) +
           (keys.empty() ? "" : ", " + keys) + "}";
}
std::string Group(ZkUniqueID id, const std::string& keys, const std::vector<std::string>& items)
{
    std::string text = R"({"id": )" + std::to_string(id) + (keys.empty() ? "" : ", " + keys) + R"(, "items": [)";
    for (size_t index = 0; index < items.size(); ++index)
        text += (index ? ", " : "") + items[index];
    return text + "]}";
}
// Leaves 101.. naming segments 20.. of the weights given (50000 when none).
std::vector<std::string> Leaves(uint32_t count, ZkUniqueID firstID = 101, ZkUniqueID firstSegment = 20,
                                const std::vector<uint32_t>& weights = {})
{
    std::vector<std::string> leaves;
    for (uint32_t index = 0; index < count; ++index)
        leaves.push_back(Leaf(firstID + index, firstSegment + index,
                              index < weights.size() ? R"("weight": )" + std::to_string(weights[index]) : ""));
    return leaves;
}

struct WalkCase
{
    const char* name;
    std::string tree;
    uint32_t seed;
    uint32_t steps;
    std::map<ZkUniqueID, uint32_t> replace = {};
    std::map<ZkUniqueID, uint32_t> haltAt = {};
};

std::string MapJson(const std::map<ZkUniqueID, uint32_t>& map)
{
    std::string text = "{";
    for (const auto& [key, value] : map)
        text += (text.size() > 1 ? ", \"" : "\"") + std::to_string(key) + "\": " + std::to_string(value);
    return text + "}";
}

std::string RunPlaylistModel(const WalkCase& c)
{
    ZkSoundFixtures::ScratchFolder folder;
    const auto input = folder.Path() / "request.json";
    const auto output = folder.Path() / "answer.txt";
    std::ofstream(input) << R"({"seed": )" << c.seed << R"(, "steps": )" << c.steps << R"(, "playlist": )" << c.tree
                         << R"(, "replace": )" << MapJson(c.replace) << R"(, "halt": )" << MapJson(c.haltAt) << "}";
    const std::string command = "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                                "/tests/SDK/source/SoundEngine/MusicEngine/Playlist/playlist_model.py\" < \"" +
                                input.string() + "\" > \"" + output.string() + "\"";
    if (std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << "playlist_model.py refused " << c.name;
        return {};
    }
    std::ifstream in(output);
    std::string line;
    std::getline(in, line);
    return line;
}

// playlist_state.py's reading of the bytes, one field line after another.
std::string ReadWithStruct(const uint8_t* bytes, uint32_t size)
{
    ZkSoundFixtures::ScratchFolder folder;
    const auto input = folder.Path() / "state.hex";
    const auto output = folder.Path() / "fields.txt";
    {
        std::ofstream hex(input);
        for (uint32_t index = 0; index < size; ++index)
            hex << "0123456789abcdef"[bytes[index] >> 4] << "0123456789abcdef"[bytes[index] & 15];
    }
    const std::string command = "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                                "/tests/SDK/source/SoundEngine/MusicEngine/Playlist/playlist_state.py\" < \"" +
                                input.string() + "\" > \"" + output.string() + "\"";
    if (std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << "playlist_state.py refused the bytes";
        return {};
    }
    std::ifstream in(output);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<WalkCase> WalkCases()
{
    const std::string random = R"("mode": 2)";
    return {
        {"a sequence step group played twice", Group(1, R"("mode": 0, "repeat": 2)", Leaves(3)), 1, 20},
        {"a sequence continuous group without end", Group(1, R"("mode": 1, "repeat": 0)", Leaves(3)), 1, 8},
        {"a random step group of three rounds", Group(1, R"("mode": 2, "repeat": 3)", Leaves(4)), 7, 40},
        {"a random continuous weighted group", Group(1, R"("mode": 3, "repeat": 0)", Leaves(3, 101, 20, {1000, 3000, 60000})), 11, 30},
        {"a weighted group with avoid-repeat 1", Group(1, R"("mode": 2, "repeat": 0, "avoid_repeat": 1)", Leaves(3, 101, 20, {1000, 3000, 60000})), 5, 30},
        {"a shuffled group of three rounds", Group(1, R"("mode": 2, "repeat": 3, "flag": 1)", Leaves(4)), 3, 40},
        {"a shuffled weighted group with avoid-repeat 2", Group(1, R"("mode": 2, "repeat": 0, "flag": 1, "avoid_repeat": 2)", Leaves(5, 101, 20, {10, 20, 30, 40, 50})), 9, 30},
        {"avoid-repeat 1", Group(1, R"("mode": 3, "repeat": 0, "avoid_repeat": 1)", Leaves(3)), 13, 30},
        {"avoid-repeat 5 over four children", Group(1, R"("mode": 3, "repeat": 0, "avoid_repeat": 5)", Leaves(4)), 17, 30},
        {"shuffle with avoid-repeat 5 over four children", Group(1, R"("mode": 3, "repeat": 0, "avoid_repeat": 5, "flag": 1)", Leaves(4)), 19, 30},
        {"a random group of one child", Group(1, R"("mode": 2, "repeat": 4, "avoid_repeat": 3)", Leaves(1)), 23, 10},
        {"repeat counts with modifiers",
         Group(1, R"("mode": 0, "repeat": 3, "repeat_low": -1, "repeat_high": 2)",
               {Leaf(101, 20, R"("repeat": 3, "repeat_low": -1, "repeat_high": 2)"), Leaf(102, 21, R"("repeat": 2, "repeat_high": 3)")}),
         29, 60},
        {"empty modifier ranges take their low end",
         Group(1, R"("mode": 0, "repeat": 1, "repeat_low": -1, "repeat_high": -1)",
               {Leaf(101, 20, R"("repeat": 1, "repeat_low": -1, "repeat_high": -1)"),
                Leaf(102, 21, R"("repeat": 2, "repeat_low": -3, "repeat_high": -3)"),
                Leaf(103, 22, R"("repeat": 4, "repeat_low": 1, "repeat_high": -2)")}),
         31, 20},
        {"nested groups",
         Group(1, R"("mode": 0)",
               {Leaf(101, 20), Group(2, R"("mode": 3, "repeat": 0, "avoid_repeat": 1)",
                                     {Group(3, R"("mode": 0, "repeat": 2)", Leaves(2, 111, 30)), Leaf(102, 21),
                                      Group(4, R"("mode": 2, "flag": 1)", Leaves(3, 121, 40))})}),
         37, 40},
        {"empty groups are finished at once",
         Group(1, R"("mode": 0, "repeat": 2)",
               {Leaf(101, 20), Group(2, R"("mode": 1, "repeat": 0)", {}), Group(3, R"("mode": 0, "repeat": 3)", {}),
                Group(4, R"("mode": 3, "repeat": 0)", {}), Leaf(102, 21)}),
         41, 20},
        {"a group without end over empty groups is finished",
         Group(1, R"("mode": 0, "repeat": 2)", {Leaf(101, 20), Group(2, R"("mode": 1, "repeat": 0)", {Group(3, R"("mode": 0, "repeat": 0)", {})})}),
         43, 10},
        {"a playlist of empty groups has nothing to start", Group(1, R"("mode": 1, "repeat": 0)", {Group(2, R"("mode": 0, "repeat": 0)", {})}), 43, 5},
        {"the callback replaces every choice", Group(1, R"("mode": 2, "repeat": 0)", Leaves(4)), 47, 10, {{1, 2}}},
        {"an index past the children leaves the choice", Group(1, R"("mode": 2, "repeat": 2)", Leaves(3)), 53, 20, {{1, 3}}},
        {"the callback halts the root at its fourth choice", Group(1, R"("mode": 1, "repeat": 0)", Leaves(3)), 59, 20, {}, {{1, 4}}},
        {"the callback halts a nested group",
         Group(1, R"("mode": 0, "repeat": 2)", {Group(2, R"("mode": 0, "repeat": 0)", Leaves(3)), Leaf(104, 29)}), 61, 20, {},
         {{2, 2}}},
    };
}

class PlaylistIteratorTest : public MusicBankTest
{
protected:
    void SetUp() override
    {
        MusicBankTest::SetUp();
        ASSERT_EQ(ZK::SoundEngine::RegisterGameObj(kObject), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(), ZK_Success);
    }
    void TearDown() override
    {
        Fault::Disarm();
        MusicBankTest::TearDown();
    }

    // Loads the trees as playlist containers 1000, 1001, ...
    void LoadTrees(const std::vector<std::string>& trees)
    {
        std::string items;
        for (size_t index = 0; index < trees.size(); ++index)
            items += (index ? "," : "") + Playlist(static_cast<ZkUniqueID>(1000 + index), R"("playlist": )" + trees[index]);
        ASSERT_EQ(Load(items), ZK_Success);
    }
    static CZkMusicPlaylistContainer& Container(size_t index)
    {
        return *Find<CZkMusicPlaylistContainer>(static_cast<ZkUniqueID>(1000 + index));
    }
    // The engine's generator seeded as the game seeds it.
    static void SeedEngine(uint32_t seed)
    {
        ASSERT_EQ(ZK::SoundEngine::SetRandomSeed(seed), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(), ZK_Success);
    }
    // The segments from the iterator's current one on, up to steps of them.
    static std::vector<ZkUniqueID> Walk(CZkPlaylistIterator& iterator, uint32_t steps)
    {
        std::vector<ZkUniqueID> segments;
        while (iterator.HasCurrent() && segments.size() < steps)
        {
            segments.push_back(iterator.CurrentSegmentId());
            iterator.Next();
        }
        return segments;
    }
    static std::string Text(const std::vector<ZkUniqueID>& segments)
    {
        std::ostringstream text;
        for (size_t index = 0; index < segments.size(); ++index)
            text << (index ? " " : "") << segments[index];
        return text.str();
    }
    // The walk table's trees as containers 1000, 1001, ...
    std::vector<WalkCase> LoadWalkCases()
    {
        std::vector<WalkCase> cases = WalkCases();
        std::vector<std::string> trees;
        for (const WalkCase& c : cases)
            trees.push_back(c.tree);
        LoadTrees(trees);
        return cases;
    }
    // A mid-walk state of a nested tree with both selector kinds in its map and frames.
    std::string NestedTree()
    {
        return Group(1, R"("mode": 0, "repeat": 0)",
                     {Group(2, R"("mode": 3, "repeat": 0, "avoid_repeat": 2)",
                            {Group(3, R"("mode": 1, "repeat": 2)", Leaves(2, 111, 30)), Leaf(102, 21), Leaf(103, 22)}),
                      Leaf(101, 20)});
    }
};

TEST_F(PlaylistIteratorTest, TheSegmentsFollowTheModelOfTheRules)
{
    const std::vector<WalkCase> cases = LoadWalkCases();
    for (size_t index = 0; index < cases.size(); ++index)
    {
        const WalkCase& c = cases[index];
        PickRules rules{c.replace, c.haltAt, {}};
        const auto playingID = static_cast<ZkPlayingID>(500 + index);
        ASSERT_EQ(ZK::SoundEngine::g_pPlayingMgr->AddPlayingIDNoMessage(playingID, kObject, &Pick, &rules,
                                                                        ZkCallbackType_MusicPlaylistSelect, kEvent),
                  ZK_Success);
        SeedEngine(c.seed);
        CZkPlaylistIterator iterator;
        const std::string expected = RunPlaylistModel(c);
        EXPECT_EQ(iterator.Start(Container(index), playingID, nullptr), expected.empty() ? ZK_Fail : ZK_Success) << c.name;
        EXPECT_EQ(Text(Walk(iterator, c.steps)), expected) << c.name;
    }
}

TEST_F(PlaylistIteratorTest, AStateSavedMidWalkContinuesIdentically)
{
    const std::vector<WalkCase> cases = LoadWalkCases();
    for (size_t index = 0; index < cases.size(); ++index)
    {
        const WalkCase& c = cases[index];
        if (!c.replace.empty() || !c.haltAt.empty())
            continue; // the callback's answers depend on its own count of offers
        SeedEngine(c.seed);
        CZkPlaylistIterator walked;
        walked.Start(Container(index), 1, nullptr);
        Walk(walked, c.steps / 2);
        if (!walked.HasCurrent())
            continue;
        ZkPlaylistSavedState state;
        ASSERT_EQ(walked.Serialize(state), ZK_Success) << c.name;
        const uint64_t generator = ZK::ZkLcg64::Engine().State();
        const std::vector<ZkUniqueID> expected = Walk(walked, c.steps);

        ZK::ZkLcg64::Engine().Seed(generator);
        CZkPlaylistIterator restored;
        ASSERT_EQ(restored.Start(Container(index), 1, &state), ZK_Success) << c.name;
        EXPECT_EQ(Text(Walk(restored, c.steps)), Text(expected)) << c.name;
        state.Release();
    }
}

TEST_F(PlaylistIteratorTest, TheSavedBytesFollowTheirLayout)
{
    // A sequence root, a continuous random group with avoid-repeat 2, and in it a continuous
    // sequence played twice: the walk below stands in the inner sequence at its first leaf.
    LoadTrees({NestedTree()});
    ZK::ZkLcg64::Engine().Seed(3);
    CZkPlaylistIterator iterator;
    ASSERT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Success);
    while (iterator.CurrentItemId() != 111 && iterator.HasCurrent())
        iterator.Next();
    ASSERT_EQ(iterator.FrameCount(), 3u);
    ZkPlaylistSavedState state;
    ASSERT_EQ(iterator.Serialize(state), ZK_Success);
    const std::string fields = ReadWithStruct(state.Bytes(), state.size);
    state.Release();
    std::istringstream lines(fields);
    std::string line;
    std::vector<std::string> frames;
    std::vector<std::string> selectors;
    std::getline(lines, line);
    EXPECT_EQ(line, "state 1 30 111 1 1");
    while (std::getline(lines, line))
    {
        if (line.rfind("frame", 0) == 0)
            frames.push_back(line);
        else if (line.rfind("selector", 0) == 0)
            selectors.push_back(line);
        else
            EXPECT_EQ(line, "end 0") << "the block holds exactly the state";
    }
    // From seed 3 the random group played its children 2, 1 and 0: its round is used up, the two
    // latest stay in the avoid list, one child of 50000 is eligible. The sequence stands at index 0.
    EXPECT_EQ(selectors, (std::vector<std::string>{"selector 2 3 3 3 150000 50000 1 0 1 0", "selector 3 1 2 1 0"}))
        << fields;
    ASSERT_EQ(frames.size(), 3u) << fields;
    EXPECT_EQ(frames[0], "frame 1 0 0 3") << "without end: repetitions 0, counted and without-end flags";
    EXPECT_EQ(frames[1], "frame 2 3 0 3");
    EXPECT_EQ(frames[2], "frame 3 1 2 1") << "two passes, counted";
}

TEST_F(PlaylistIteratorTest, RefusedSavedStatesFailAndResetTheIterator)
{
    LoadTrees({NestedTree(), Group(1, R"("mode": 0, "repeat": 0)", {Group(2, R"("mode": 3, "repeat": 0)", Leaves(2))})});
    SeedEngine(3);
    CZkPlaylistIterator iterator;
    ASSERT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Success);
    Walk(iterator, 3);
    ZkPlaylistSavedState state;
    ASSERT_EQ(iterator.Serialize(state), ZK_Success);
    std::vector<uint8_t> bytes(state.Bytes(), state.Bytes() + state.size);
    state.Release();
    ASSERT_TRUE(iterator.Restore(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_GE(iterator.FrameCount(), 2u) << "the state holds the path to a nested group";

    for (uint32_t size = 0; size < bytes.size(); ++size)
    {
        ASSERT_TRUE(iterator.Restore(bytes.data(), static_cast<uint32_t>(bytes.size())));
        EXPECT_FALSE(iterator.Restore(bytes.data(), size)) << "cut to " << size << " bytes";
        EXPECT_FALSE(iterator.HasCurrent());
        EXPECT_EQ(iterator.FrameCount(), 0u);
    }
    struct Damage
    {
        const char* name;
        size_t offset;
        uint8_t value;
    };
    // Offsets: version 0, the current item 4-14, the map count 15, the first entry's group id 17 and kind 21.
    const Damage damages[] = {{"another version", 0, 2}, {"a has-current byte of 2", 12, 2},
                              {"a selector kind of 4", 21, 4}, {"a selector kind of 255", 21, 255},
                              {"a sequence kind for a random group", 21, 1}, {"a group the tree lacks", 17, 99}};
    for (const Damage& d : damages)
    {
        std::vector<uint8_t> damaged = bytes;
        damaged[d.offset] = d.value;
        EXPECT_FALSE(iterator.Restore(damaged.data(), static_cast<uint32_t>(damaged.size()))) << d.name;
    }
    CZkPlaylistIterator other;
    ASSERT_EQ(other.Start(Container(1), 1, nullptr), ZK_Success);
    EXPECT_FALSE(other.Restore(bytes.data(), static_cast<uint32_t>(bytes.size())))
        << "the path no longer matches the tree";
    ZkPlaylistSavedState foreign;
    ASSERT_TRUE(foreign.Allocate(static_cast<uint32_t>(bytes.size())));
    std::copy(bytes.begin(), bytes.end(), foreign.Bytes());
    EXPECT_EQ(other.Start(Container(1), 1, &foreign), ZK_Fail);
    foreign.Release();
}

TEST_F(PlaylistIteratorTest, AllocationFailuresAnswerTwoAndResetTheIterator)
{
    LoadTrees({NestedTree()});
    CZkPlaylistIterator iterator;
    SeedEngine(3);
    Fault::CountOnly(ZkMemID_Default);
    ASSERT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Success);
    const uint32_t starting = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_GT(starting, 2u);
    for (uint32_t nth = 1; nth <= starting; ++nth)
    {
        SeedEngine(3);
        Fault::FailNth(ZkMemID_Default, nth);
        EXPECT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Fail) << "allocation " << nth << " of a frame push";
        Fault::Disarm();
        EXPECT_FALSE(iterator.HasCurrent());
        EXPECT_EQ(iterator.FrameCount(), 0u);
    }

    for (uint32_t nth = 1; nth <= 2; ++nth)
    {
        SeedEngine(3);
        ASSERT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Success);
        ASSERT_EQ(iterator.NextWithHistory(), ZK_Success);
        Fault::FailNth(ZkMemID_Default, nth);
        EXPECT_EQ(iterator.NextWithHistory(), ZK_Fail) << "saving a state, allocation " << nth;
        Fault::Disarm();
        EXPECT_FALSE(iterator.HasCurrent());
        EXPECT_EQ(iterator.FrameCount(), 0u);
        EXPECT_EQ(iterator.HistoryLength(), 0u);
    }
}

TEST_F(PlaylistIteratorTest, TheHistoryHandsOutTheStatesOldestFirst)
{
    LoadTrees({Group(1, R"("mode": 1, "repeat": 0)", Leaves(3))});
    CZkPlaylistIterator iterator;
    ASSERT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Success);
    ASSERT_EQ(iterator.NextWithHistory(), ZK_Success);
    ASSERT_EQ(iterator.NextWithHistory(), ZK_Success);
    EXPECT_EQ(iterator.CurrentSegmentId(), 22u);
    EXPECT_EQ(iterator.HistoryLength(), 2u);
    ZkPlaylistSavedState oldest;
    ASSERT_TRUE(iterator.TakeOldestHistory(oldest));
    EXPECT_EQ(iterator.HistoryLength(), 1u);
    CZkPlaylistIterator resumed;
    ASSERT_EQ(resumed.Start(Container(0), 1, &oldest), ZK_Success);
    EXPECT_EQ(Text(Walk(resumed, 5)), "20 21 22 20 21") << "the state before the first step";
    oldest.Release();

    // The continuous group's selector of each state taken is stored in the container: a new play
    // goes on after the item that state had chosen.
    CZkPlaylistIterator laterPlay;
    ASSERT_EQ(laterPlay.Start(Container(0), 1, nullptr), ZK_Success);
    EXPECT_EQ(laterPlay.CurrentSegmentId(), 21u) << "after the first item";
    ASSERT_TRUE(iterator.TakeOldestHistory(oldest));
    oldest.Release();
    EXPECT_FALSE(iterator.TakeOldestHistory(oldest));
    ASSERT_EQ(laterPlay.Start(Container(0), 1, nullptr), ZK_Success);
    EXPECT_EQ(laterPlay.CurrentSegmentId(), 22u) << "after the second item";
}

TEST_F(PlaylistIteratorTest, RestartAtAnItemContinuesAfterIt)
{
    LoadTrees({Group(1, R"("mode": 0)", {Leaf(101, 20), Group(2, R"("mode": 0, "repeat": 2)", Leaves(3, 111, 30))})});
    CZkPlaylistIterator iterator;
    ASSERT_EQ(iterator.Start(Container(0), 1, nullptr), ZK_Success);
    ASSERT_EQ(iterator.RestartAt(112, nullptr), ZK_Success);
    EXPECT_EQ(iterator.CurrentItemId(), 112u);
    EXPECT_EQ(Text(Walk(iterator, 10)), "31 32 30 31 32");
    EXPECT_EQ(iterator.RestartAt(2, nullptr), ZK_Fail) << "a group is no leaf";
    EXPECT_EQ(iterator.RestartAt(999, nullptr), ZK_Fail);
    EXPECT_FALSE(iterator.HasCurrent());
}
} // namespace
