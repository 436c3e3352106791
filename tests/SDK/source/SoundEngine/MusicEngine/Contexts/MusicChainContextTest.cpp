// Chain contexts over test chains: items start their segment contexts inside the frame that holds
// their play offset (not at a valid cut), stop them at their stop offset, go once they are over,
// and give their segment contexts back when the chain is cleared or stopped.
#include "MusicChainFixture.h"

namespace
{
using namespace ZkMusicChainTest;

constexpr uint32_t kFrame = 1024;

TEST_F(MusicChainTest, AnItemStartsInTheFrameThatHoldsItsPlayOffsetUnlessItLiesAtTheCut)
{
    struct Case
    {
        const char* label;
        uint64_t position;
        int32_t playOffset;
        bool cutValid;
        uint64_t cutTime;
        bool started;
        bool cut;
    };
    // One frame [0, 1024) of the chain's timeline.
    const Case cases[] = {
        {"play offset at the frame start", 0, 0, false, 0, true, false},
        {"play offset on the frame's last sample", 0, kFrame - 1, false, 0, true, false},
        {"play offset at the frame end: next frame", 0, kFrame, false, 0, false, false},
        {"item later, its look-ahead reaching into the frame", 2 * kFrame, -int32_t{kFrame} - 10, false, 0, true, false},
        {"item exactly at a valid cut", 500, -500, true, 500, false, true},
        {"item before a valid cut", 499, -499, true, 500, true, false},
        {"a cut that is not valid", 500, -500, false, 500, true, false},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, false);
        ZkMusicChainItem* item = AppendTo(*chain, c.position, true);
        item->playOffset = c.playOffset;
        item->flags |= ZkMusicChainItem::kPlayPending;
        CZkMusicSegmentContext* segment = item->segmentContext;
        ZkMusicFrameInfo frame{c.cutTime, c.cutValid};
        chain->Process(0, kFrame, frame);
        EXPECT_EQ(segment->PlayState() == CZkMusicContext::kPlaying, c.started) << c.label;
        EXPECT_EQ(item->Has(ZkMusicChainItem::kCut), c.cut) << c.label;
        EXPECT_EQ(item->Has(ZkMusicChainItem::kPlayPending), !c.started && !c.cut) << c.label;
        EXPECT_EQ(chain->started.size(), c.started || c.cut ? 1u : 0u) << c.label;
        chain->Stop(0);
        chain->Release();
    }
}

TEST_F(MusicChainTest, ASoundingItemAtAValidCutFadesOutOverWhatItHasPlayed)
{
    struct Case
    {
        const char* label;
        bool cutValid;
        uint64_t cutTime;
        bool fadesOut;
    };
    const Case cases[] = {
        {"cut at the item", true, 0, true},
        {"cut after the item", true, 1, false},
        {"no valid cut", false, 0, false},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, false);
        ZkMusicChainItem* item = AppendTo(*chain, 0, true);
        item->flags |= ZkMusicChainItem::kPlayPending;
        ZkMusicFrameInfo plain;
        chain->Process(0, kFrame, plain);
        ASSERT_TRUE(item->segmentContext->IsSounding()) << c.label;
        ZkMusicFrameInfo frame{c.cutTime, c.cutValid};
        chain->Process(2 * kFrame, kFrame, frame);
        EXPECT_EQ(item->Has(ZkMusicChainItem::kCut), c.fadesOut) << c.label;
        EXPECT_EQ(item->segmentContext->HasFade(), c.fadesOut) << c.label;
        EXPECT_EQ(item->segmentContext->PlayState(), CZkMusicContext::kPlaying) << c.label << ": fading, not stopped";
        chain->Stop(0);
        chain->Release();
    }
}

TEST_F(MusicChainTest, AStopPendingInTheFrameStopsTheSegmentAtItsOffsetInsideTheFrame)
{
    ZkMusicChainItem* item = Append(0, true);
    CZkMusicSegmentContext* segment = item->segmentContext;
    segment->AddRef(); // kept to look at it after it left the item
    item->flags |= ZkMusicChainItem::kPlayPending | ZkMusicChainItem::kStopPending;
    item->stopOffset = 3 * kFrame + 100;
    ZkMusicFrameInfo frame;
    for (uint64_t time = 0; time < 3 * kFrame; time += kFrame)
        m_chain->Process(time, kFrame, frame);
    EXPECT_EQ(segment->PlayState(), CZkMusicContext::kPlaying);
    m_chain->Process(3 * kFrame, kFrame, frame);
    EXPECT_EQ(segment->PlayState(), CZkMusicContext::kStopping);
    EXPECT_EQ(segment->StopOffset(), 100u);
    segment->EndFrame();
    EXPECT_EQ(segment->PlayState(), CZkMusicContext::kStopped);
    EXPECT_EQ(item->segmentContext, nullptr); // the stopped context left its item
    EXPECT_EQ(segment->chainItem, nullptr);
    segment->Release();
}

TEST_F(MusicChainTest, FinishedItemsAtTheHeadGoOnceTheNextItemHasBegun)
{
    ZkMusicChainItem* empty = Append(0, false);
    ZkMusicChainItem* next = Append(kFrame, false);
    ZkMusicFrameInfo frame;
    m_chain->Process(0, kFrame, frame);
    EXPECT_EQ(m_chain->Head(), empty) << "the next item begins at the frame end";
    m_chain->Process(kFrame, kFrame, frame);
    EXPECT_EQ(m_chain->Head(), empty) << "the next item begins on the frame's first sample";
    m_chain->Process(kFrame + 1, kFrame, frame);
    EXPECT_EQ(m_chain->Head(), next);
    EXPECT_EQ(m_chain->Tail(), next);
}

TEST_F(MusicChainTest, StoppingTheChainGivesBackEverySegmentContextAndFreesTheItems)
{
    ZkMusicChainItem* first = Append(0, true);
    ZkMusicChainItem* second = Append(kBar, true);
    ZkMusicChainItem* end = Append(2 * kBar, false);
    // Each segment context holds one reference on the chain; with the creator's, three.
    EXPECT_EQ(m_chain->RefCount(), 3);
    m_chain->Stop(0);
    EXPECT_EQ(m_chain->PlayState(), CZkMusicContext::kStopped);
    EXPECT_EQ(m_chain->removed, (std::vector<ZkMusicChainItem*>{first, second, end}));
    EXPECT_EQ(m_chain->Head(), nullptr);
    EXPECT_EQ(m_chain->Tail(), nullptr);
    EXPECT_EQ(m_chain->RefCount(), 1);
    EXPECT_EQ(m_chain->FirstChild(), nullptr);
}

TEST_F(MusicChainTest, PlayWindowAndLookAheadComeFromTheLeadingItemsWithASegment)
{
    struct Case
    {
        const char* label;
        std::vector<std::pair<uint64_t, int32_t>> segmentItems; // position, play offset
        int32_t segmentStart;
        uint32_t chainStart;
        bool emptyHead;
        uint64_t firstPlay;
        uint64_t firstStart;
    };
    const Case cases[] = {
        {"empty head: nothing", {{kBar, -100}}, 0, 0, true, 0, 0},
        {"one item started 100 samples early", {{kBar, -100}}, 0, 0, false, kBar - 100, kBar},
        {"earliest of two items", {{kBar, 0}, {kBar + 10, -500}}, -kPreEntry, 0, false, kBar - 490, kBar - kPreEntry},
        {"relative to the chain start", {{kBar, -100}}, 0, 1000, false, kBar - 1100, kBar - 1000},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, false);
        chain->chainStartOffset = c.chainStart;
        if (c.emptyHead)
            AppendTo(*chain, 0, false);
        for (const auto& [position, playOffset] : c.segmentItems)
        {
            ZkMusicChainItem* item = AppendTo(*chain, position, true);
            item->playOffset = playOffset;
            item->segmentContext->SetStart(c.segmentStart);
        }
        uint64_t firstPlay = 1;
        uint64_t firstStart = 1;
        chain->GetPlayWindow(firstPlay, firstStart);
        EXPECT_EQ(firstPlay, c.firstPlay) << c.label;
        EXPECT_EQ(firstStart, c.firstStart) << c.label;
        EXPECT_EQ(LookAheadOf(*chain), static_cast<int32_t>(c.firstStart - c.firstPlay)) << c.label;
        chain->Stop(0);
        chain->Release();
    }
}

TEST_F(MusicChainTest, FadingOutFadesTheSoundingItemsOverWhatTheyPlayedAndDropsTheOthers)
{
    ZkMusicChainItem* sounding = Append(0, true);
    ZkMusicChainItem* pending = Append(kBar, true);
    sounding->flags |= ZkMusicChainItem::kPlayPending;
    pending->flags |= ZkMusicChainItem::kPlayPending;
    pending->playOffset = 0;
    ZkMusicFrameInfo frame;
    m_chain->Process(0, kFrame, frame);
    m_chain->OnPlay();
    EXPECT_TRUE(m_chain->IsInterruptible());
    CZkMusicSegmentContext* fading = sounding->segmentContext;
    ASSERT_EQ(fading->PlayState(), CZkMusicContext::kPlaying);

    // Half a second into the first segment.
    m_chain->FadeOutUntil(24000);
    EXPECT_TRUE(sounding->Has(ZkMusicChainItem::kCut));
    EXPECT_TRUE(fading->HasFade()) << "a fade of 500 ms";
    EXPECT_EQ(pending->segmentContext, nullptr);
    EXPECT_FALSE(pending->Has(ZkMusicChainItem::kPlayPending));
    EXPECT_FALSE(m_chain->IsInterruptible()) << "an item is cut";
}

TEST_F(MusicChainTest, OnlyAPlayingOrNewChainWithoutCutItemsIsInterruptible)
{
    struct Case
    {
        const char* label;
        void (*prepare)(TestChain&);
        bool interruptible;
    };
    const Case cases[] = {
        {"new", [](TestChain&) {}, true},
        {"playing", [](TestChain& chain) { chain.OnPlay(); }, true},
        {"stopping", [](TestChain& chain) { chain.OnPlay(); chain.Stop(10); }, false},
        {"an item cut", [](TestChain& chain) { chain.OnPlay(); chain.Head()->flags |= ZkMusicChainItem::kCut; }, false},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, false);
        AppendTo(*chain, 0, false);
        c.prepare(*chain);
        EXPECT_EQ(chain->IsInterruptible(), c.interruptible) << c.label;
        chain->Stop(0);
        chain->Release();
    }
}
} // namespace
