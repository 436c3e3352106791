// Music objects built by the hierarchy-item hook from banks of tools/bank_writer.py: every field of
// segments, tracks, switch and playlist containers read back through the objects' queries, the
// children's results, refused payloads (nothing of them left in the object index), a second bank
// holding the same objects, the fault variants of the writer, and allocation failures.
#include "MusicBankFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"

#include <cfloat>
#include <cstring>

namespace
{
using namespace ZkMusicTest;
using ZK::SoundEngine::ZkMediaRef;
namespace Fault = ZK::MemoryMgr::FaultInjection;

constexpr const char* kGrid120 = R"("grid": {"period_ms": 300, "offset_ms": 50, "tempo": 120, "beats_per_bar": 4, "beat_value": 4, "own": 1})";

TEST_F(MusicBankTest, SegmentFieldsReadBack)
{
    ASSERT_EQ(Load(Track(10) + "," +
                   Segment(100, std::string(R"("music_flags": 14, "children": [10], )") + kGrid120 + R"(,
                       "stingers": [{"trigger": 5, "segment": 101, "sync": 3, "cue": 7, "min_ms": 250, "next_segment": 1}],
                       "duration_ms": 2500, "markers": [{"id": 1, "position_ms": 250, "name": "entry"},
                       {"id": 7, "position_ms": 500, "name": ""}, {"id": 9, "position_ms": 2250.01, "name": "exit"}])")),
              ZK_Success);
    auto* segment = Find<CZkMusicSegment>(100);
    ASSERT_NE(segment, nullptr);
    EXPECT_EQ(segment->Category(), kCategoryMusicSegment);
    EXPECT_EQ(segment->MusicFlags(), CZkMusicNode::kFlagOverridesTempo | CZkMusicNode::kFlagOverridesTarget |
                                         CZkMusicNode::kFlagTargetIsBus | CZkMusicNode::kFlagOwnGrid);
    ASSERT_EQ(segment->ChildCount(), 1u);
    EXPECT_EQ(segment->ChildAt(0), Node(10));
    EXPECT_EQ(segment->ChildAt(1), nullptr);
    EXPECT_EQ(Node(10)->Parent(), segment);
    // 120 bpm in 4/4 at 48 kHz: a beat of 0.5 s, a bar of 2 s; 300 ms and 50 ms of grid.
    const ZkMusicGrid& grid = segment->OwnGrid();
    EXPECT_EQ(grid.tempo, 120.0f);
    EXPECT_EQ(grid.beat, 24000);
    EXPECT_EQ(grid.bar, 96000);
    EXPECT_EQ(grid.period, 14400);
    EXPECT_EQ(grid.offset, 2400);
    ASSERT_EQ(segment->Stingers().Length(), 1u);
    const ZkMusicStinger& stinger = segment->Stingers()[0];
    EXPECT_EQ(stinger.triggerID, 5u);
    EXPECT_EQ(stinger.segmentID, 101u);
    EXPECT_EQ(stinger.syncKind, 3u);
    EXPECT_EQ(stinger.cueFilter, 7u);
    EXPECT_EQ(stinger.minIntervalMs, 250);
    EXPECT_EQ(stinger.searchNextSegment, 1u);
    EXPECT_EQ(segment->Duration(), 120000);
    ASSERT_EQ(segment->MarkerCount(), 3u);
    struct MarkerCase
    {
        ZkUniqueID id;
        int32_t position;
        const char* name;
    };
    const MarkerCase markers[] = {{1, 12000, "entry"}, {7, 24000, nullptr}, {9, 108000, "exit"}};
    for (uint32_t index = 0; index < 3; ++index)
    {
        const ZkMusicMarker& marker = segment->Marker(index);
        EXPECT_EQ(marker.id, markers[index].id) << index;
        EXPECT_EQ(marker.position, markers[index].position) << "rounded half away from zero: " << index;
        if (markers[index].name == nullptr)
        {
            EXPECT_EQ(marker.name, nullptr) << "an empty name is stored as null";
        }
        else
        {
            EXPECT_STREQ(marker.name, markers[index].name);
        }
    }
    EXPECT_EQ(segment->PreEntryLength(), 12000);
    EXPECT_EQ(segment->ActiveLength(), 96000);
    EXPECT_EQ(segment->PostExitLength(), 12000);
    EXPECT_EQ(segment->CountCues(7), 1u);
    EXPECT_EQ(segment->CountCues(8), 0u);
    // Nearest cue: the exit cue is left out; a tie goes to the earlier cue.
    EXPECT_EQ(segment->NearestCue(90000), 12000);
    EXPECT_EQ(segment->NearestCue(6000), 0);
    EXPECT_EQ(segment->NearestCue(5999), 0);
    EXPECT_EQ(segment->NearestCue(6001), 12000);
}

TEST_F(MusicBankTest, WithoutItsOwnTempoANodeUsesTheNearestAncestorsGrid)
{
    ASSERT_EQ(Load(Segment(20, R"("duration_ms": 1000, "markers": [{"id": 1}, {"id": 2, "position_ms": 1000}])") + "," +
                   Playlist(30, std::string(R"("children": [20], )") + kGrid120) + "," +
                   Segment(21, R"("grid": {"tempo": 0, "beat_value": 0, "own": 0})")),
              ZK_Success)
        << "without its own flag the grid's numbers are not looked at";
    EXPECT_EQ(Find<CZkMusicSegment>(20)->EffectiveGrid().beat, 24000);
    EXPECT_EQ(Find<CZkMusicSegment>(20)->OwnGrid().beat, 0);
    EXPECT_EQ(Find<CZkMusicSegment>(21)->EffectiveGrid().bar, 0) << "no ancestor with a tempo: zeros";
}

TEST_F(MusicBankTest, TrackFieldsReadBack)
{
    ASSERT_EQ(Load(Track(10, R"("track_flags": 14,
        "sources": [{"source": 501, "stream_type": 1, "media_size": 64}, {"source": 502, "media_size": 32},
                    {"source": 501, "media_size": 99}, {"source": 503, "plugin": 2, "plugin_params": "0102"}],
        "clips": [{"subtrack": 0, "source": 501, "position_ms": 100, "start_trim_ms": -250, "end_trim_ms": 0, "duration_ms": 100},
                  {"subtrack": 1, "source": 502, "event": 77, "duration_ms": 0},
                  {"subtrack": 1, "source": 502, "duration_ms": 0},
                  {"subtrack": 2, "source": 502, "position_ms": 10, "start_trim_ms": 30, "end_trim_ms": -5, "duration_ms": 40}],
        "subtrack_count": 3,
        "curves": [{"clip": 0, "kind": 2, "points": [[0.0, 0.5, 4], [0.5, 1.0, 4]]}, {"clip": 3, "kind": 1, "points": []}],
        "track_kind": "switch", "switch": {"group_type": 1, "group": 40, "default": 41, "switches": [41, 42, 43],
            "fade_out_time": 200, "fade_out_curve": 3, "fade_out_offset": -10, "sync": 35, "cue": 8,
            "fade_in_time": 300, "fade_in_curve": 5, "fade_in_offset": 20},
        "look_ahead_ms": 100)")),
              ZK_Success);
    auto* track = Find<CZkMusicTrack>(10);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->Category(), kCategoryMusicTrack);
    EXPECT_EQ(track->TrackFlags(), CZkMusicTrack::kFlagOverridesTempo | CZkMusicTrack::kFlagOverridesTarget |
                                       CZkMusicTrack::kFlagTargetIsBus);
    ASSERT_EQ(track->Sources().Length(), 3u) << "a repeated id keeps its first reference";
    EXPECT_EQ(track->MediaOf(501)->mediaSize, 64u);
    EXPECT_NE(track->MediaOf(501)->flags & ZK::SoundEngine::kMediaFlagPrefetch, 0u);
    EXPECT_EQ(track->MediaOf(502)->mediaSize, 32u);
    EXPECT_EQ(track->MediaOf(503)->mediaID, 503u);
    EXPECT_EQ(track->MediaOf(504), nullptr);
    EXPECT_FALSE(track->AnySourceInMemory());

    // 100 ms at 48 kHz is 4800 samples; a start trim below -duration still starts inside the source.
    struct ClipCase
    {
        uint32_t subTrack;
        ZkUniqueID source, event;
        int32_t start, audible, duration, offset;
    };
    const ClipCase clips[] = {{0, 501, 0, -7200, 16800, 4800, 2400},
                              {1, 502, 77, 0, 0, 0, 0},
                              {2, 502, 0, 1920, 240, 1920, 1440}};
    ASSERT_EQ(track->Clips().Length(), 3u) << "a clip of no duration and no event is dropped";
    for (uint32_t index = 0; index < 3; ++index)
    {
        const ZkMusicClip& clip = track->Clips()[index];
        EXPECT_EQ(clip.subTrack, clips[index].subTrack) << index;
        EXPECT_EQ(clip.sourceID, clips[index].source) << index;
        EXPECT_EQ(clip.eventID, clips[index].event) << index;
        EXPECT_EQ(clip.start, clips[index].start) << index;
        EXPECT_EQ(clip.audibleLength, clips[index].audible) << index;
        EXPECT_EQ(clip.sourceDuration, clips[index].duration) << index;
        EXPECT_EQ(clip.startOffset, clips[index].offset) << index;
    }
    EXPECT_EQ(track->SubTrackCount(), 3u);

    ASSERT_EQ(track->Curves().Length(), 2u);
    const ZkMusicClipCurve& curve = track->Curves()[0];
    EXPECT_EQ(curve.clipIndex, 0u);
    EXPECT_EQ(curve.kind, 2u);
    ASSERT_EQ(curve.curve.PointCount(), 4u);
    EXPECT_EQ(curve.curve.Point(0).x, -FLT_MAX);
    EXPECT_EQ(curve.curve.Point(0).interpolation, 9u);
    EXPECT_EQ(curve.curve.Point(0).y, 0.5f);
    EXPECT_EQ(curve.curve.Point(1).x, 0.0f);
    EXPECT_EQ(curve.curve.Point(2).x, 24000.0f) << "x in seconds turned into samples";
    EXPECT_EQ(curve.curve.Point(3).x, FLT_MAX);
    EXPECT_EQ(curve.curve.Point(3).y, 1.0f);
    EXPECT_EQ(track->Curves()[1].clipIndex, ZkMusicClipCurve::kNoClip) << "a curve without points names no clip";

    EXPECT_EQ(track->Kind(), ZkMusicTrack_Switch);
    const ZkMusicSwitchTrack* record = track->SwitchTrack();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->groupType, 1);
    EXPECT_EQ(record->groupID, 40u);
    EXPECT_EQ(track->DefaultSwitch(), 41u);
    ASSERT_EQ(record->switches.Length(), 3u);
    EXPECT_EQ(record->switches[2], 43u);
    EXPECT_EQ(record->syncKind, 3u) << "low 5 bits of 35";
    EXPECT_EQ(record->cueFilter, 8u);
    EXPECT_EQ(record->fadeOut.timeMs, 200u);
    EXPECT_EQ(record->fadeOut.curve, 3u);
    EXPECT_EQ(record->fadeOut.offset, -480);
    EXPECT_EQ(record->fadeIn.timeMs, 300u);
    EXPECT_EQ(record->fadeIn.curve, 5u);
    EXPECT_EQ(record->fadeIn.offset, 960);
    // 100 ms x 1.5 at 48 kHz.
    EXPECT_EQ(track->LookAhead(), 7200);
}

TEST_F(MusicBankTest, ATrackWithoutClipsHasNoSubTrackCountAndPicksSubTracksByKind)
{
    ASSERT_EQ(Load(Track(10) + "," + Track(11, R"("track_kind": "sequence", "subtrack_count": 3,
        "clips": [{"subtrack": 2, "source": 1, "duration_ms": 10}])") + "," + Track(12, R"("track_kind": 0)")),
              ZK_Success);
    EXPECT_EQ(Find<CZkMusicTrack>(10)->SubTrackCount(), 0u);
    EXPECT_EQ(Find<CZkMusicTrack>(10)->DefaultSwitch(), 0u);
    std::vector<uint16_t> picks;
    for (int draw = 0; draw < 5; ++draw)
        picks.push_back(Find<CZkMusicTrack>(11)->NextSubTrack());
    EXPECT_EQ(picks, (std::vector<uint16_t>{0, 1, 2, 0, 1}));
    EXPECT_EQ(Find<CZkMusicTrack>(12)->NextSubTrack(), 0u);
}

TEST_F(MusicBankTest, LookAheadNeededAtAPosition)
{
    // Streamed (stream type 2) and prefetched (1) sources, and one in memory; look-ahead 7200.
    ASSERT_EQ(Load(Track(10, R"("look_ahead_ms": 100,
        "sources": [{"source": 1, "stream_type": 2, "media_size": 0}, {"source": 2, "stream_type": 1, "media_size": 8},
                    {"source": 3, "stream_type": 0, "media_size": 8}],
        "clips": [{"source": 1, "position_ms": 100, "duration_ms": 500}, {"source": 2, "position_ms": 50, "duration_ms": 500},
                  {"source": 3, "duration_ms": 500}])")),
              ZK_Success);
    const CZkMusicTrack* track = Find<CZkMusicTrack>(10);
    struct Case
    {
        int32_t position;
        int32_t needed;
    };
    // Clip 1 starts at 4800, clip 2 (prefetched, from its start) at 2400.
    const Case cases[] = {{0, 2400}, {4800, 7200}, {10000, 7200}, {-100000, 0}, {2400, 4800}, {3000, 7200}};
    for (const Case& c : cases)
        EXPECT_EQ(track->LookAheadAt(c.position), c.needed) << c.position;
}

TEST_F(MusicBankTest, PlaylistContainerFieldsReadBack)
{
    ASSERT_EQ(Load(Segment(20) + "," + Segment(21) + "," + Playlist(30, R"("children": [20, 21],
        "playlist": {"id": 1, "mode": 2, "repeat": 0, "avoid_repeat": 3, "flag": 7, "items": [
            {"id": 2, "segment": 20, "repeat": 3, "repeat_low": -1, "repeat_high": 1},
            {"id": 3, "mode": 1, "weight": 50000, "items": [{"id": 4, "segment": 21, "weight": 100}, {"id": 5, "segment": 20}]},
            {"id": 6, "segment": 21}]})") + "," +
                   Playlist(31, R"("playlist": {"id": 9, "items": [{"id": 10, "segment": 20}, {"id": 11, "segment": 21}]})") + "," +
                   Playlist(32)),
              ZK_Success);
    const auto* playlist = Find<CZkMusicPlaylistContainer>(30);
    ASSERT_NE(playlist, nullptr);
    EXPECT_EQ(playlist->Category(), kCategoryMusicPlaylist);
    ASSERT_TRUE(playlist->HasPlaylist());
    const ZkPlaylistItem& root = playlist->Root();
    EXPECT_EQ(root.itemID, 1u);
    EXPECT_EQ(root.selectionMode, 2u);
    EXPECT_EQ(root.avoidRepeat, 3u);
    EXPECT_EQ(root.flag, 1u) << "any non-zero flag byte is stored as 1";
    EXPECT_EQ(root.weighted, 0u);
    ASSERT_EQ(root.children.Length(), 3u);
    const ZkPlaylistItem& first = *root.children[0];
    EXPECT_FALSE(first.IsGroup());
    EXPECT_EQ(first.segmentID, 20u);
    EXPECT_EQ(first.repeatCount, 3);
    EXPECT_EQ(first.repeatLow, -1);
    EXPECT_EQ(first.repeatHigh, 1);
    EXPECT_EQ(first.parent, &root);
    const ZkPlaylistItem& group = *root.children[1];
    EXPECT_TRUE(group.IsGroup());
    EXPECT_EQ(group.selectionMode, 1u);
    ASSERT_EQ(group.children.Length(), 2u);
    EXPECT_EQ(group.children[0]->weight, 100u);
    EXPECT_EQ(group.weighted, 1u) << "a child weighs other than 50000";
    EXPECT_EQ(group.children[1]->segmentID, 20u);
    EXPECT_EQ(root.children[2]->itemID, 6u);

    EXPECT_EQ(Find<CZkMusicPlaylistContainer>(31)->Root().weighted, 0u) << "every item weighs 50000";
    EXPECT_FALSE(Find<CZkMusicPlaylistContainer>(32)->HasPlaylist()) << "an item count of 0 reads as no playlist";
}

TEST_F(MusicBankTest, SwitchContainerFieldsReadBack)
{
    ASSERT_EQ(Load(Segment(20) + "," + Segment(21) + "," + Switch(40, R"("children": [20, 21], "continue": 5,
        "arguments": [[700, 1]], "mode": 1, "tree": {"children": {"701": 20, "702": 21, "*": 20}})") + "," +
                   Switch(41, R"("continue": 0, "arguments": [[700, 1], [800, 0]])")),
              ZK_Success);
    auto* container = Find<CZkMusicSwitchContainer>(40);
    ASSERT_NE(container, nullptr);
    EXPECT_EQ(container->Category(), kCategoryMusicSwitch);
    EXPECT_TRUE(container->ContinuePlayback());
    ASSERT_EQ(container->ArgumentCount(), 1u);
    EXPECT_EQ(container->ArgumentGroup(0), 700u);
    EXPECT_EQ(container->ArgumentKind(0), 1u);
    EXPECT_EQ(container->Tree().Depth(), 1u);
    EXPECT_EQ(container->Tree().mode, 1u);
    EXPECT_EQ(container->Tree().Nodes().count, 4u);
    EXPECT_EQ(container->SetIntProperty(CZkMusicSwitchContainer::kPropTreeMode, 0), ZK_Success);
    EXPECT_EQ(container->Tree().mode, 0u) << "property 18 is the tree's matching mode";
    const uint32_t path[] = {702};
    EXPECT_EQ(container->Tree().ResolvePath(40, path, 1, 0, nullptr, nullptr), 21u);

    auto* second = Find<CZkMusicSwitchContainer>(41);
    EXPECT_FALSE(second->ContinuePlayback());
    ASSERT_EQ(second->ArgumentCount(), 2u);
    EXPECT_EQ(second->ArgumentGroup(1), 800u);
    EXPECT_EQ(second->ArgumentKind(1), 0u);
    EXPECT_EQ(second->Tree().Depth(), 2u);
}

TEST_F(MusicBankTest, ChildrenResults)
{
    struct Case
    {
        const char* what;
        std::string items;
        ZKRESULT expected;
    };
    const std::vector<Case> cases = {
        {"a child id of 0", Segment(100, R"("children": [0])"), ZK_InvalidShareSetID},
        {"a child not loaded, last", Track(10) + "," + Segment(100, R"("children": [10, 11])"), ZK_Success},
        {"a child not loaded, first", Track(10) + "," + Segment(100, R"("children": [11, 10])"), ZK_Success},
        {"a segment under a segment", Segment(20) + "," + Segment(100, R"("children": [20])"), ZK_NotImplemented},
        {"a track under a playlist", Track(10) + "," + Playlist(100, R"("children": [10])"), ZK_NotImplemented},
        {"a track under a switch", Track(10) + "," + Switch(100, R"("children": [10])"), ZK_NotImplemented},
        {"a child with a parent", Track(10) + "," + Segment(20, R"("children": [10])") + "," + Segment(100, R"("children": [10])"),
         ZK_ChildRoutedElsewhere},
        {"a child named twice", Track(10) + "," + Segment(100, R"("children": [10, 10])"), ZK_AlreadyAChild},
    };
    std::vector<std::string> itemLists;
    for (const Case& c : cases)
        itemLists.push_back(c.items);
    const auto banks = WriteBanks(itemLists);
    ASSERT_EQ(banks.size(), cases.size());
    for (size_t index = 0; index < cases.size(); ++index)
    {
        const Case& c = cases[index];
        ZkBankID bankID = 0;
        EXPECT_EQ(LoadBytes(banks[index], bankID), c.expected) << c.what;
        if (c.expected != ZK_Success)
            EXPECT_EQ(Node(100), nullptr) << c.what << ": nothing left in the object index";
        else
            EXPECT_NE(Node(100), nullptr) << c.what;
        ZK::SoundEngine::UnloadBank(bankID, nullptr);
        ZK::SoundEngine::ClearBanks();
    }
    // A node is not its own child (23): the check on a built container.
    ASSERT_EQ(Load(Switch(100)), ZK_Success);
    auto* container = Find<CZkMusicSwitchContainer>(100);
    EXPECT_EQ(container->AddChild(container), ZK_BusWouldBeOwnChild);
}

TEST_F(MusicBankTest, ASecondBankAddsAReferenceAndDoesNotReadItsPayload)
{
    ASSERT_EQ(Load(Segment(100, R"("duration_ms": 1000)"), "First.bnk"), ZK_Success);
    const uint32_t references = Node(100)->refCount;
    ZkBankID second = 0;
    ASSERT_EQ(LoadDescription(BankOf(Segment(100, R"("duration_ms": 2000)"), "Second.bnk"), second), ZK_Success);
    EXPECT_EQ(Node(100)->refCount, references + 1);
    EXPECT_EQ(Find<CZkMusicSegment>(100)->Duration(), 48000) << "the first bank's payload stays";
    EXPECT_EQ(ZK::SoundEngine::UnloadBank(second, nullptr), ZK_Success);
    EXPECT_EQ(Node(100)->refCount, references);
}

TEST_F(MusicBankTest, ATrackWithoutMediaInMemoryIsReadAgainByALaterBank)
{
    ASSERT_EQ(Load(Track(10, R"("sources": [{"source": 1, "media_size": 8}],
        "clips": [{"source": 1, "duration_ms": 10}], "look_ahead_ms": 10)"), "First.bnk"), ZK_Success);
    ASSERT_EQ(Load(Track(10, R"("sources": [{"source": 1, "media_size": 99}, {"source": 2, "media_size": 4}],
        "clips": [{"source": 2, "duration_ms": 20}, {"source": 1, "duration_ms": 30}], "look_ahead_ms": 500)"), "Second.bnk"),
              ZK_Success);
    const CZkMusicTrack* track = Find<CZkMusicTrack>(10);
    ASSERT_EQ(track->Sources().Length(), 2u) << "known sources stay, new ones are added";
    EXPECT_EQ(track->MediaOf(1)->mediaSize, 8u);
    EXPECT_EQ(track->MediaOf(2)->mediaSize, 4u);
    ASSERT_EQ(track->Clips().Length(), 2u) << "the clips are replaced";
    EXPECT_EQ(track->Clips()[0].sourceID, 2u);
    EXPECT_EQ(track->LookAhead(), 720) << "the read again stops before the look-ahead";
}

// --- Refused payloads: counts, names and times ---

TEST_F(MusicBankTest, PayloadsThatRunPastTheItemOrHoldTimesOutOfRangeAreRefusedWith7)
{
    const std::string markers = R"("duration_ms": 1000, "markers": [{"id": 1, "name": "a"}, {"id": 2, "position_ms": 1000, "name": "b"}])";
    struct Case
    {
        const char* what;
        std::string item;
    };
    const std::vector<Case> cases = {
        // Counts whose records would run past the item.
        {"a child count past the item", Segment(100, R"("children": [], "child_count": 100)")},
        {"a stinger count one too large", Segment(100, R"("stinger_count": 1)")},
        {"a marker count one too large", Segment(100, R"("marker_count": 1)")},
        {"an unterminated marker name", Segment(100, R"("duration_ms": 10, "markers": [{"id": 1, "name_hex": "6e616d65"}])")},
        {"a tempo of 0", Segment(100, R"("grid": {"tempo": 0, "own": 1})")},
        {"a negative tempo", Segment(100, R"("grid": {"tempo": -120, "own": 1})")},
        {"a beat value of 0", Segment(100, R"("grid": {"beat_value": 0, "own": 1})")},
        {"a negative grid period", Segment(100, R"("grid": {"period_ms": -1, "own": 1})")},
        {"a grid offset of 1e300 ms", Segment(100, R"("grid": {"offset_ms": 1e300, "own": 1})")},
        {"a duration of 1e300 ms", Segment(100, R"("duration_ms": 1e300)")},
        {"a marker position of -1e300 ms", Segment(100, R"("duration_ms": 10, "markers": [{"id": 1, "position_ms": -1e300}])")},
        {"markers out of order", Segment(100, R"("duration_ms": 10, "markers": [{"id": 1, "position_ms": 5}, {"id": 2, "position_ms": 4}])")},
        {"a marker past the duration", Segment(100, R"("duration_ms": 10, "markers": [{"id": 1, "position_ms": 11}])")},
        {"a source count past the item", Track(100, R"("source_count": 10)")},
        {"a clip count one too large", Track(100, R"("clip_count": 1)")},
        {"a clip position of 1e300 ms", Track(100, R"("clips": [{"source": 1, "position_ms": 1e300, "duration_ms": 10}])")},
        {"a clip duration of 1e300 ms", Track(100, R"("clips": [{"source": 1, "duration_ms": 1e300}])")},
        {"a curve point count past the item", Track(100, R"("curves": [{"clip": 0, "points": [[0, 1, 4]], "point_count": 10}])")},
        {"a curve count past the item", Track(100, R"("curve_count": 10)")},
        {"a switch id count past the item", Track(100, R"("track_kind": "switch", "switch": {"switches": [1], "switch_count": 100})")},
        {"a look-ahead out of 32 bits", Track(100, R"("look_ahead_ms": 2147483647)")},
        {"a rule count past the item", Playlist(100, R"("rule_count": 10)")},
        {"a rule id count past the item", Playlist(100, R"("rules": [{"sources": [1], "source_count": 100}])")},
        {"a playlist item count one too large", Playlist(100, R"("playlist": {"id": 1}, "item_count": 2)")},
        {"a playlist group whose children run past the items",
         Playlist(100, R"("playlist": {"id": 1, "child_count": 2, "items": [{"id": 2, "segment": 5}]})")},
        {"a nested group whose children run past the items",
         Playlist(100, R"("playlist": {"id": 1, "items": [{"id": 2, "child_count": 5, "items": [{"id": 3, "segment": 5}]}]})")},
        {"an argument count past the item", Switch(100, R"("argument_count": 10)")},
        {"a tree size that is not a whole number of nodes",
         Switch(100, R"("arguments": [[7, 1]], "tree": {"children": {"1": 5}}, "tree_size": 23)")},
        {"a tree size past the item", Switch(100, R"("arguments": [[7, 1]], "tree_size": 1200)")},
    };
    std::vector<std::string> itemLists;
    for (const Case& c : cases)
        itemLists.push_back(c.item);
    const auto banks = WriteBanks(itemLists);
    ASSERT_EQ(banks.size(), cases.size());
    const uint32_t before = NodeCount();
    for (size_t index = 0; index < cases.size(); ++index)
    {
        const Case& c = cases[index];
        ZkBankID bankID = 0;
        EXPECT_EQ(LoadBytes(banks[index], bankID), ZK_InvalidFile) << c.what;
        EXPECT_EQ(Node(100), nullptr) << c.what << ": nothing left in the object index";
        EXPECT_EQ(NodeCount(), before) << c.what;
    }
    EXPECT_EQ(Load(Segment(100, markers)), ZK_Success) << "the same payloads, whole, are read";
}

TEST_F(MusicBankTest, AFailedReadUnlinksTheChildrenItLinked)
{
    // The segment links its track, then its grid is refused: the track is free again and the
    // segment is gone.
    EXPECT_EQ(Load(Track(10) + "," + Segment(100, R"("children": [10], "grid": {"tempo": 0, "own": 1})")), ZK_InvalidFile);
    EXPECT_EQ(Node(100), nullptr);
    EXPECT_EQ(Node(10), nullptr) << "the bank's load failed: its track went with it";
    ASSERT_EQ(Load(Track(10), "Tracks.bnk"), ZK_Success);
    EXPECT_EQ(Load(Segment(100, R"("children": [10], "duration_ms": 1e300)"), "Bad.bnk"), ZK_InvalidFile);
    ASSERT_NE(Node(10), nullptr);
    EXPECT_EQ(Node(10)->Parent(), nullptr);
    EXPECT_EQ(Node(100), nullptr);
    ASSERT_EQ(Load(Segment(100, R"("children": [10])"), "Good.bnk"), ZK_Success);
    EXPECT_EQ(Node(10)->Parent(), Node(100));
}

TEST_F(MusicBankTest, EveryFaultVariantOfTheWriterIsReadWithoutHarm)
{
    const std::string description = BankOf(
        Track(10, R"("sources": [{"source": 1, "media_size": 8}], "clips": [{"source": 1, "duration_ms": 10}],
                     "curves": [{"clip": 0, "points": [[0, 1, 4]]}], "track_kind": "switch", "switch": {"switches": [1]})") + "," +
        Segment(20, std::string(R"("children": [10], )") + kGrid120 + R"(, "stingers": [{"trigger": 1}],
                     "duration_ms": 100, "markers": [{"id": 1, "name": "in"}, {"id": 2, "position_ms": 100, "name": "out"}])") + "," +
        Playlist(30, R"("children": [20], "rules": [{"sources": [20], "destinations": [20], "segment": {"id": 20}}],
                       "playlist": {"id": 1, "items": [{"id": 2, "segment": 20}]})") + "," +
        Switch(40, R"("children": [30], "rules": [{}], "arguments": [[7, 1]], "tree": {"children": {"1": 30}})"));
    const auto banks = ZkSoundFixtures::WriteBankWithFaultVariants(description);
    ASSERT_GT(banks.size(), 40u);
    uint32_t musicVariants = 0;
    for (const auto& [name, bytes] : banks)
    {
        ZkBankID bankID = 0;
        const ZKRESULT result = ZK::SoundEngine::LoadBankMemoryCopy(bytes.data(), static_cast<uint32_t>(bytes.size()), bankID);
        if (name.find(".music_") != std::string::npos)
        {
            ++musicVariants;
            // Counts past the item, names without an end and times out of range are refused; a
            // count one too large reads the next field as a record, with whatever result that
            // gives: it must only do no harm.
            const bool pastTheItem = name.find("unterminated") != std::string::npos ||
                                     name.find("huge") != std::string::npos || name.find("zero") != std::string::npos ||
                                     name.find("negative") != std::string::npos || name.find("past") != std::string::npos ||
                                     name.find("off_node") != std::string::npos;
            if (pastTheItem)
            {
                EXPECT_EQ(result, ZK_InvalidFile) << name;
            }
        }
        if (result == ZK_Success)
            ZK::SoundEngine::UnloadBank(bankID, nullptr);
        ZK::SoundEngine::ClearBanks();
        EXPECT_EQ(NodeCount(), 0u) << name;
    }
    EXPECT_GE(musicVariants, 20u);
}

// Once the banks are cleared, prepared music lives on only through its references: a transition
// segment's prepare keeps the segment, whose link keeps its playlist, whose link keeps the switch.
// Unpreparing the switch then releases each playlist in the middle of its own walk; every child is
// still unprepared once and everything goes.
TEST_F(MusicBankTest, UnpreparingAfterTheBanksAreClearedReleasesEveryChildOnce)
{
    ASSERT_EQ(Load(Segment(20) + "," + Segment(21) + "," +
                   Playlist(30, R"("children": [20], "rules": [{"segment": {"id": 20}}])") + "," +
                   Playlist(31, R"("children": [21], "rules": [{"segment": {"id": 21}}])") + "," +
                   Switch(40, R"("children": [30, 31], "arguments": [[7, 1]], "tree": {"children": {"1": 30, "2": 31}})")),
              ZK_Success);
    auto* container = Find<CZkMusicSwitchContainer>(40);
    ASSERT_NE(container, nullptr);
    container->AddRef();
    ASSERT_EQ(container->PrepareMedia(), ZK_Success);
    ZK::SoundEngine::ClearBanks();
    ASSERT_EQ(NodeCount(), 5u) << "the prepared segments keep their playlists and the switch";

    container->UnprepareMedia();
    EXPECT_EQ(NodeCount(), 1u) << "only the switch, held by the test";
    container->Release();
    EXPECT_EQ(NodeCount(), 0u);
}

TEST_F(MusicBankTest, EveryAllocationFailedInTurnLeavesNoObjectHalfBuilt)
{
    const std::string description = BankOf(
        Track(10, R"("sources": [{"source": 1, "media_size": 8}], "clips": [{"source": 1, "duration_ms": 10}],
                     "curves": [{"clip": 0, "points": [[0, 1, 4]]}], "track_kind": "switch", "switch": {"switches": [1]})") + "," +
        Segment(20, R"("children": [10], "stingers": [{"trigger": 1}], "markers": [{"id": 1, "name": "in"}])") + "," +
        Playlist(30, R"("children": [20], "rules": [{"segment": {"id": 20}}], "playlist": {"id": 1, "items": [{"id": 2, "segment": 20}]})") + "," +
        Switch(40, R"("children": [30], "arguments": [[7, 1]], "tree": {"children": {"1": 30}})"));
    const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(description);
    for (ZkMemoryId pool : {ZkMemID_Default, ZkMemID_BankObjects})
    {
        for (uint32_t nth = 1;; ++nth)
        {
            ZKRESULT result;
            ZkBankID bankID = 0;
            {
                Fault::ScopedAllocationFailure refused(pool, nth);
                result = ZK::SoundEngine::LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID);
            }
            if (result == ZK_Success)
            {
                EXPECT_EQ(NodeCount(), 4u) << pool << " " << nth;
                ZK::SoundEngine::ClearBanks();
                EXPECT_EQ(NodeCount(), 0u);
                break;
            }
            ZK::SoundEngine::ClearBanks();
            ASSERT_EQ(NodeCount(), 0u) << "allocation " << nth << " of pool " << pool;
        }
    }
}
} // namespace
