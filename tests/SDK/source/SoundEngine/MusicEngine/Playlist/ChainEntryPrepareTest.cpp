// A chain entered as a transition's destination: where the head segment starts, where the chain is
// entered, which cue that is and what is left of the seek, for the entering side's kinds, pre-entry
// and fade-in; an entry past the head's active length skips the head.
#include "SDK/source/SoundEngine/MusicEngine/Contexts/MusicChainFixture.h"

namespace ZkMusicChainTest
{
namespace
{
constexpr ZkUniqueID kEntryMarker = 1;

ZkMusicEnterSide Entering(uint32_t kind, ZkUniqueID cue = 0, bool preEntry = false, uint32_t fadeMs = 0, int32_t fadeOffset = 0)
{
    ZkMusicEnterSide side;
    side.entryKind = kind;
    side.cue = cue;
    side.playPreEntry = preEntry;
    side.fadeIn.timeMs = fadeMs;
    side.fadeIn.offset = fadeOffset;
    return side;
}
} // namespace

TEST_F(MusicChainTest, AnEnteringSidePlacesTheHeadAndTheChainEntry)
{
    struct Case
    {
        const char* what;
        ZkMusicEnterSide entry;
        int32_t seek;
        bool wrap;
        int32_t start;      // the head's segment time where it starts sounding
        int32_t chainEntry; // the chain's start offset
        ZkUniqueID cue;
        int32_t seekLeft;
    };
    const Case cases[] = {
        {"the entry cue", Entering(0), 0, false, 0, 0, kEntryMarker, 0},
        {"the entry cue with the pre-entry", Entering(0, 0, true), 0, false, -kPreEntry, -kPreEntry, kEntryMarker, 0},
        {"a supplied position", Entering(1), 50000, false, 50000, 50000, 0, 0},
        {"a supplied position with its pre-entry (not at the entry cue)", Entering(1, 0, true), 50000, false, 50000, 50000, 0, 0},
        {"a supplied position past the end, wrapped", Entering(1), kActive + 20000, true, 20000, 20000, 0, 0},
        {"a random cue other than the entry cue, of one candidate", Entering(3, kCustomCue), 0, false, kBar, kBar, kCustomCue, 0},
        {"a fade-in delayed by its offset", Entering(0, 0, false, 100, 24000), 0, false, 24000, 0, kEntryMarker, 0},
        {"a fade-in before the entry, no pre-entry", Entering(0, 0, false, 100, -6000), 0, false, 0, 0, kEntryMarker, 0},
        {"a fade-in before the entry, with the pre-entry", Entering(0, 0, true, 100, -6000), 0, false, -6000, -6000,
         kEntryMarker, 0},
    };
    for (const Case& c : cases)
    {
        m_chain->Stop(0);
        m_chain->Release();
        m_chain = NewChain(m_segment, false);
        ZkMusicChainItem* head = Append(0, true);
        ASSERT_NE(head, nullptr);
        int32_t seek = c.seek;
        int32_t lookAhead = -1;
        ZkUniqueID cue = 99;
        EXPECT_EQ(m_chain->PrepareWithEntry(c.entry, seek, c.wrap, 0, lookAhead, cue),
                  CZkMusicChainContext::PrepareResult::kPrepared)
            << c.what;
        EXPECT_EQ(head->segmentContext->StartOffset(), c.start) << c.what;
        EXPECT_EQ(head->playOffset, c.start - lookAhead) << c.what;
        EXPECT_TRUE(head->Has(ZkMusicChainItem::kPlayPending)) << c.what;
        EXPECT_EQ(m_chain->chainStartOffset, c.chainEntry) << c.what;
        EXPECT_EQ(cue, c.cue) << c.what;
        EXPECT_EQ(seek, c.seekLeft) << c.what;
    }
}

// A supplied position past the head's active length: the head goes, and what lies beyond its active
// length is left of the seek. The chain is prepared again from the next item when it has a segment.
TEST_F(MusicChainTest, AnEntryPastTheActiveLengthSkipsTheHead)
{
    for (const bool nextHasSegment : {true, false})
    {
        m_chain->Stop(0);
        m_chain->Release();
        m_chain = NewChain(m_segment, false);
        ZkMusicChainItem* head = Append(0, true);
        ZkMusicChainItem* next = Append(kActive, nextHasSegment);
        int32_t seek = kActive + 1000;
        int32_t lookAhead = 0;
        ZkUniqueID cue = 0;
        EXPECT_EQ(m_chain->PrepareWithEntry(Entering(1), seek, false, 0, lookAhead, cue),
                  nextHasSegment ? CZkMusicChainContext::PrepareResult::kPrepareAgain
                                 : CZkMusicChainContext::PrepareResult::kNothingPrepared);
        EXPECT_EQ(m_chain->Head(), next);
        EXPECT_EQ(seek, 1000);
        ASSERT_EQ(m_chain->removed.size(), 1u);
        EXPECT_EQ(m_chain->removed[0], head);
    }
}
} // namespace ZkMusicChainTest
