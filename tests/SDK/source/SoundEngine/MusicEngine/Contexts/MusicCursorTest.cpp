// The music cursor over test chains: which item it stands on, the distance to the next item, and
// the sync points it finds (found, failed, or beyond the current item).
#include "MusicChainFixture.h"

namespace
{
using namespace ZkMusicChainTest;

TEST_F(MusicChainTest, CursorStandsOnTheItemPlayingNowOrOnTheFirstFromTheStart)
{
    // Items: a segment at 0, a segment at 2 bars, an empty end item at 5 bars. With no play record
    // the clock is 0, so the chain start offset says where "now" lies on the chain.
    std::vector<ZkMusicChainItem*> items{Append(0, true), Append(2 * kBar, true), Append(5 * kBar, false)};
    struct Case
    {
        const char* label;
        uint32_t chainStart;
        bool fromStart;
        size_t item;
        uint64_t distance;
    };
    const Case cases[] = {
        {"from the start: the head, entered a bar in", kBar, true, 0, kBar},
        {"now at 0: the head", 0, false, 0, 2 * kBar},
        {"now on the second item's first sample", 2 * kBar, false, 0, 0},
        {"now one sample into the second item", 2 * kBar + 1, false, 1, 3 * kBar - 1},
        {"now past the end item: the end item", 6 * kBar, false, 2, 0},
    };
    for (const Case& c : cases)
    {
        m_chain->chainStartOffset = c.chainStart;
        ZkMusicCursor cursor;
        cursor.Init(*m_chain, c.fromStart);
        EXPECT_EQ(cursor.current, items[c.item]) << c.label;
        EXPECT_EQ(cursor.owner, m_chain) << c.label;
        EXPECT_EQ(cursor.distance, c.distance) << c.label;
        EXPECT_EQ(cursor.fresh, !c.fromStart) << c.label;
        EXPECT_EQ(cursor.endReached, c.item == 2) << c.label;
    }
}

TEST_F(MusicChainTest, CursorStepsToTheEndOfAChainThatCannotGrowAndThenOffIt)
{
    ZkMusicChainItem* first = Append(0, true);
    ZkMusicChainItem* end = Append(kActive, false);
    ZkMusicCursor cursor;
    cursor.Init(*m_chain, true);
    ASSERT_EQ(cursor.current, first);
    EXPECT_FALSE(cursor.endReached);
    EXPECT_TRUE(cursor.lastItem); // the test chain cannot continue

    m_chain->CursorStep(cursor, false);
    EXPECT_EQ(cursor.current, end);
    EXPECT_EQ(cursor.distance, 0u);
    EXPECT_TRUE(cursor.endReached);

    m_chain->CursorStep(cursor, false);
    EXPECT_EQ(cursor.current, nullptr);
    EXPECT_EQ(cursor.CurrentItemStart(), ZkMusicCursor::kNoItemStart);
}

TEST_F(MusicChainTest, ItemTimesAreSegmentTimesAfterTheChainStart)
{
    ZkMusicChainItem* second = nullptr;
    Append(0, true);
    second = Append(3 * kBar, true);
    m_chain->chainStartOffset = kBar;
    ZkMusicCursor cursor;
    cursor.Init(*m_chain, true);
    struct Case
    {
        const char* label;
        uint64_t time;
        int64_t itemTime;
    };
    // The head's segment time 0 lies one bar before the chain's time 0.
    EXPECT_EQ(cursor.CurrentItemStart(), 0);
    for (const Case& c : {Case{"chain time 0", 0, kBar}, Case{"one beat on", kBeat, kBar + kBeat}})
        EXPECT_EQ(cursor.ItemLocalTime(c.time), c.itemTime) << c.label;
    m_chain->CursorStep(cursor, true);
    ASSERT_EQ(cursor.current, second);
    EXPECT_EQ(cursor.CurrentItemStart(), 2 * kBar);
    for (const Case& c : {Case{"at its start", 2 * kBar, 0}, Case{"a beat before", 2 * kBar - kBeat, -kBeat}})
        EXPECT_EQ(cursor.ItemLocalTime(c.time), c.itemTime) << c.label;
}

// Chains of the cases below.
enum class Layout
{
    SegmentThenEnd,        // a segment at 0, the end item at the exit cue
    SegmentCutAfterABeat,  // a segment at 0, another at one beat
    LoneSegment,           // a segment and nothing after it: end reached at once
    EndItemOnly,           // one empty item
    ClosedChain,           // SegmentThenEnd on a chain that adds no item: its items stand for no segment
};

TEST_F(MusicChainTest, SyncPointsAreFoundInTheCurrentSegmentOrReportedBeyondIt)
{
    struct Case
    {
        const char* label;
        Layout layout;
        uint64_t time;
        uint32_t kind;
        ZkUniqueID cueFilter;
        bool skipNow;
        bool allowWithoutSegment;
        ZkSyncPointResult result;
        uint64_t point;
        ZkUniqueID cue;
    };
    const Case cases[] = {
        {"immediate", Layout::SegmentThenEnd, 5000, ZkMusicSync_Immediate, 0, false, false, ZkSyncPoint_Found, 5000, 0},
        {"next bar", Layout::SegmentThenEnd, 10, ZkMusicSync_NextBar, 0, false, false, ZkSyncPoint_Found, kBar, 0},
        {"on a bar", Layout::SegmentThenEnd, kBar, ZkMusicSync_NextBar, 0, false, false, ZkSyncPoint_Found, kBar, 0},
        {"on a bar, skipping now", Layout::SegmentThenEnd, kBar, ZkMusicSync_NextBar, 0, true, false, ZkSyncPoint_Found, 2 * kBar, 0},
        {"next beat", Layout::SegmentThenEnd, 1, ZkMusicSync_NextBeat, 0, false, false, ZkSyncPoint_Found, kBeat, 0},
        {"custom cue", Layout::SegmentThenEnd, 0, ZkMusicSync_NextCustomCue, 0, false, false, ZkSyncPoint_Found, kBar, kCustomCue},
        {"exit cue: the next item's start is not beyond", Layout::SegmentThenEnd, 0, ZkMusicSync_ExitCue, 0, false, false, ZkSyncPoint_Found, kActive, 9},
        {"next bar after the next item's start", Layout::SegmentCutAfterABeat, 10, ZkMusicSync_NextBar, 0, false, false, ZkSyncPoint_BeyondItem, kBar, 0},
        {"end reached accepts a point beyond", Layout::LoneSegment, 10, ZkMusicSync_NextBar, 0, false, false, ZkSyncPoint_Found, kBar, 0},
        {"no segment: immediate", Layout::EndItemOnly, 700, ZkMusicSync_Immediate, 0, false, false, ZkSyncPoint_Found, 700, 0},
        {"no segment: a bar fails", Layout::EndItemOnly, 700, ZkMusicSync_NextBar, 0, false, false, ZkSyncPoint_Failed, 0, 0},
        {"no segment: a bar allowed", Layout::EndItemOnly, 700, ZkMusicSync_NextBar, 0, false, true, ZkSyncPoint_Found, 700, 0},
        {"closed chain: a bar fails", Layout::ClosedChain, 10, ZkMusicSync_NextBar, 0, false, false, ZkSyncPoint_Failed, 0, 0},
        {"closed chain: a bar allowed at the time", Layout::ClosedChain, 10, ZkMusicSync_NextBar, 0, false, true, ZkSyncPoint_Found, 10, 0},
        {"no custom cue after it", Layout::SegmentThenEnd, 2 * kBar, ZkMusicSync_NextCustomCue, 0, false, false, ZkSyncPoint_Failed, 0, 0},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, c.layout != Layout::ClosedChain);
        switch (c.layout)
        {
        case Layout::SegmentThenEnd:
        case Layout::ClosedChain:
            AppendTo(*chain, 0, true);
            AppendTo(*chain, kActive, false);
            break;
        case Layout::SegmentCutAfterABeat:
            AppendTo(*chain, 0, true);
            AppendTo(*chain, kBeat, true);
            break;
        case Layout::LoneSegment:
            AppendTo(*chain, 0, true);
            break;
        case Layout::EndItemOnly:
            AppendTo(*chain, 0, false);
            break;
        }
        ZkMusicCursor cursor;
        cursor.Init(*chain, true);
        ZkUniqueID cue = c.cueFilter;
        uint64_t point = 0;
        const ZkSyncPointResult result = cursor.FindSyncPoint(c.time, c.kind, cue, c.skipNow, c.allowWithoutSegment, point);
        EXPECT_EQ(result, c.result) << c.label;
        if (result != ZkSyncPoint_Failed)
        {
            EXPECT_EQ(point, c.point) << c.label;
            EXPECT_EQ(cue, c.cue) << c.label;
        }
        chain->Stop(0);
        chain->Release();
    }
}
} // namespace

namespace
{
using namespace ZkMusicChainTest;

TEST_F(MusicChainTest, ASegmentContextKnowsItsSegmentTimeNowFromItsItem)
{
    // No play record: the clock stands at 0, and the chain is entered chainStart samples in.
    struct Case
    {
        const char* label;
        uint32_t chainStart;
        size_t item;
        int32_t now;
    };
    const Case cases[] = {
        {"head entered at its pre-entry", 0, 0, 0},
        {"head entered a beat in", kBeat, 0, kBeat},
        {"second item, a beat before its start", kBar - kBeat, 1, -kBeat},
        {"second item, a beat in", kBar + kBeat, 1, kBeat},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, false);
        std::vector<ZkMusicChainItem*> items{AppendTo(*chain, 0, true), AppendTo(*chain, kBar, true)};
        chain->chainStartOffset = c.chainStart;
        EXPECT_EQ(items[c.item]->segmentContext->NowInSegment(), c.now) << c.label;
        EXPECT_EQ(chain->ItemLocalNow(*items[c.item]), c.now) << c.label;
        chain->Stop(0);
        chain->Release();
    }
}

TEST_F(MusicChainTest, ASegmentWithoutMarkersGetsNoSegmentContext)
{
    CZkMusicSegment* bare = CZkMusicSegment::Create(0x5E7);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(CZkMusicSegmentContext::Create(m_chain, *bare), nullptr);
    EXPECT_EQ(m_chain->FirstChild(), nullptr);
    bare->Release();
}
} // namespace
