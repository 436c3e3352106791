// The segment's sync points, grid counts and random cues, the track's random sub-tracks and the
// playlist items' repeat counts, each against music_model.py, which computes them from the same
// description that the bank writer turns into the bank (the random draws from its own model of
// the engine's generator, from the same seed).
#include "MusicBankFixture.h"
#include "MusicModel.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

namespace
{
using namespace ZkMusicTest;

constexpr uint64_t kSeed = 0x2468ACE1357ull;

// Pre-entry 250 ms, custom cues 7, 8 and 7 again, exit at 2250 ms, post-exit to 2500 ms; 120 bpm
// in 4/4 with a grid of 300 ms from 50 ms.
const std::string kSegmentKeys = R"("duration_ms": 2500,
    "grid": {"period_ms": 300, "offset_ms": 50, "tempo": 120, "beats_per_bar": 4, "beat_value": 4, "own": 1},
    "markers": [{"id": 1, "position_ms": 250}, {"id": 7, "position_ms": 500}, {"id": 8, "position_ms": 1000},
                {"id": 7, "position_ms": 1750}, {"id": 9, "position_ms": 2250}])";

class MusicSync : public MusicBankTest
{
protected:
    void SetUp() override
    {
        MusicBankTest::SetUp();
        ASSERT_EQ(Load(Segment(100, kSegmentKeys) + "," + Track(10, R"("track_kind": "random", "subtrack_count": 3,
            "clips": [{"subtrack": 2, "source": 1, "duration_ms": 10}])") + "," +
                       Playlist(30, R"("playlist": {"id": 1, "items": [{"id": 2, "segment": 100, "repeat": 3, "repeat_low": -1, "repeat_high": 1},
                           {"id": 3, "segment": 100, "repeat": 3, "repeat_low": -5, "repeat_high": 0},
                           {"id": 4, "segment": 100, "repeat": 3, "repeat_low": -5, "repeat_high": -4}]})")),
                  ZK_Success);
        m_segment = Find<CZkMusicSegment>(100);
        ASSERT_NE(m_segment, nullptr);
    }
    CZkMusicSegment* m_segment = nullptr;
};

TEST_F(MusicSync, NextSyncPointOfEveryKindAgreesWithTheModel)
{
    std::string rows;
    for (int kind = 0; kind <= 8; ++kind)
    {
        for (int position : {0, 1, 2399, 2400, 12000, 14399, 23999, 24000, 36000, 47999, 48000, 72001, 95999, 96000, 96001, 150000})
        {
            for (int exclude : {0, 1})
            {
                for (int filter : {0, 7, 8, 9})
                    rows += (rows.empty() ? "" : ", ") + ("[" + std::to_string(kind) + ", " + std::to_string(position) + ", " +
                                                          std::to_string(exclude) + ", " + std::to_string(filter) + "]");
            }
        }
    }
    const auto lines = RunModel(R"({"rate": 48000, "segment": {)" + kSegmentKeys + R"(}, "sync": [)" + rows + "]}");
    uint32_t checked = 0, found = 0;
    for (const std::string& line : lines)
    {
        std::istringstream in(line);
        std::string tag;
        int kind, position, exclude, filter, expectFound, expectPoint, expectCue;
        in >> tag;
        if (tag != "sync")
            continue;
        in >> kind >> position >> exclude >> filter >> expectFound >> expectPoint >> expectCue;
        ZkUniqueID cue = static_cast<ZkUniqueID>(filter);
        int32_t point = -12345;
        const bool isFound = m_segment->NextSyncPoint(kind, position, exclude != 0, cue, point);
        ASSERT_EQ(isFound, expectFound != 0) << line;
        if (isFound)
        {
            EXPECT_EQ(point, expectPoint) << line;
            EXPECT_EQ(cue, static_cast<ZkUniqueID>(expectCue)) << line;
            ++found;
        }
        ++checked;
    }
    EXPECT_EQ(checked, 9u * 16 * 2 * 4);
    EXPECT_GT(found, checked / 3) << "the table reaches found and not-found points alike";
}

TEST_F(MusicSync, GridCountsOfRandomWindowsAgreeWithAPlainCount)
{
    const auto lines = RunModel(R"({"rate": 48000, "segment": {)" + kSegmentKeys + R"(}, "windows": 300, "window_seed": 7})");
    uint32_t windows = 0;
    for (const std::string& line : lines)
    {
        std::istringstream in(line);
        std::string tag;
        int start, length;
        uint32_t beats, bars, grid;
        in >> tag;
        if (tag != "window")
            continue;
        in >> start >> length >> beats >> bars >> grid;
        uint32_t gotBeats = 99, gotBars = 99, gotGrid = 99;
        m_segment->CountGridLines(start, length, gotBeats, gotBars, gotGrid);
        EXPECT_EQ(gotBeats, beats) << line;
        EXPECT_EQ(gotBars, bars) << line;
        EXPECT_EQ(gotGrid, grid) << line;
        ++windows;
    }
    EXPECT_EQ(windows, 300u);
}

TEST_F(MusicSync, RandomDrawsAgreeWithTheModelOfTheGenerator)
{
    const auto lines = RunModel(R"({"rate": 48000, "segment": {)" + kSegmentKeys + R"(}, "seed": )" + std::to_string(kSeed) +
                                R"(, "random_cues": [[0, 0, 0], [0, 1, 0], [0, 0, 7], [0, 1, 7], [12000, 0, 0], [12001, 0, 0],
                                    [12000, 0, 8], [60000, 0, 0], [96000, 0, 0], [0, 0, 5], [0, 1, 5], [30000, 1, 7],
                                    [0, 0, 0], [0, 0, 0], [0, 0, 0], [0, 1, 0], [0, 1, 0], [0, 1, 0]],
                                    "subtracks": 12, "subtrack_count": 3,
                                    "repeat": {"count": 3, "low": -1, "high": 1, "draws": 24}})");
    const auto* playlist = Find<CZkMusicPlaylistContainer>(30);
    CZkMusicTrack* track = Find<CZkMusicTrack>(10);
    uint32_t answers = 0;
    for (const std::string& line : lines)
    {
        std::istringstream in(line);
        std::string tag;
        in >> tag;
        if (tag == "seed")
        {
            ZK::ZkLcg64::Engine().Seed(kSeed);
            continue;
        }
        ++answers;
        if (tag == "cue")
        {
            int position, skip;
            ZkUniqueID filter, id;
            int32_t where;
            in >> position >> skip >> filter >> id >> where;
            ZkUniqueID gotID = 0;
            int32_t gotWhere = -1;
            m_segment->RandomCue(position, skip != 0, filter, gotID, gotWhere);
            EXPECT_EQ(gotID, id) << line;
            EXPECT_EQ(gotWhere, where) << line;
        }
        else if (tag == "subtrack")
        {
            uint32_t index;
            in >> index;
            EXPECT_EQ(track->NextSubTrack(), index) << line;
        }
        else if (tag == "repeat")
        {
            int32_t count;
            in >> count;
            EXPECT_EQ(playlist->Root().children[0]->EffectiveRepeatCount(), count) << line;
        }
    }
    EXPECT_EQ(answers, 18u + 12u + 24u);
}

TEST_F(MusicSync, RepeatCountsStayInTheirRanges)
{
    const ZkPlaylistItem& root = Find<CZkMusicPlaylistContainer>(30)->Root();
    struct Case
    {
        uint32_t item;
        std::set<int32_t> expected;
    };
    // 3 with -1 and +1: 2 to 4; with -5 and 0: 1 to 3; with -5 and -4 the range is empty: 1.
    const Case cases[] = {{0, {2, 3, 4}}, {1, {1, 2, 3}}, {2, {1}}};
    for (const Case& c : cases)
    {
        std::set<int32_t> seen;
        for (int draw = 0; draw < 200; ++draw)
            seen.insert(root.children[c.item]->EffectiveRepeatCount());
        EXPECT_EQ(seen, c.expected) << c.item;
    }
}

TEST_F(MusicSync, MarkersInAWindowAreThoseStrictlyBetweenTheEntryAndExitCues)
{
    struct Case
    {
        int32_t start, length;
        std::vector<ZkUniqueID> reported;
    };
    // Custom cues at 12000 (7), 36000 (8) and 72000 (7) from the entry cue.
    const std::vector<Case> cases = {
        {0, 96001, {7, 8, 7}},  {12000, 24000, {7}},    {12001, 24000, {8}}, {-12000, 24001, {7}},
        {-12000, 12000, {}},    {-20000, 5000, {}},      {72000, 1, {7}},     {96000, 10000, {}},
    };
    for (const Case& c : cases)
    {
        std::vector<ZkUniqueID> reported;
        const uint32_t count =
            m_segment->ForEachMarkerInWindow(c.start, c.length, [&](const ZkMusicMarker& marker) { reported.push_back(marker.id); });
        EXPECT_EQ(reported, c.reported) << c.start << " " << c.length;
        EXPECT_EQ(count, reported.size());
        EXPECT_EQ(m_segment->NotifyMarkersInWindow(c.start, c.length, 0), count);
    }
}
} // namespace
