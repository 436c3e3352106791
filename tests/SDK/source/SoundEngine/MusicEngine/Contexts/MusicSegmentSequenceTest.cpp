// A segment played by itself: its sequence builds a chain of the segment and an end item at the
// exit cue, and seeks (by time or by fraction, snapped to the nearest cue or not) rebuild it from
// the position asked for.
#include "MusicChainFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"

namespace
{
using namespace ZkMusicChainTest;

constexpr int32_t kPostExit = 24000;

class MusicSegmentSequenceTest : public MusicChainTest
{
protected:
    // A sequence under the fixture's chain (which stands in for the root of the play), started.
    CZkMusicSegmentSequenceContext* StartedSequence()
    {
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(CZkMusicSegmentSequenceContext));
        auto* sequence = new (memory) CZkMusicSegmentSequenceContext(m_chain, *m_segment);
        sequence->AddRef();
        ZkMusicPlayInfo playInfo{};
        EXPECT_EQ(sequence->Start(nullptr, playInfo, 0), ZK_Success);
        return sequence;
    }
    static void Drop(CZkMusicSegmentSequenceContext* sequence)
    {
        sequence->Stop(0);
        sequence->Release();
    }
    // The segment time the sequence starts its segment at, and where the chain is entered.
    static void ExpectChainFrom(CZkMusicSegmentSequenceContext& sequence, int32_t start, const char* label)
    {
        ZkMusicChainItem* head = sequence.Head();
        ASSERT_NE(head, nullptr) << label;
        ASSERT_NE(head->segmentContext, nullptr) << label;
        EXPECT_EQ(head->segmentContext->StartOffset(), start) << label;
        EXPECT_EQ(sequence.chainStartOffset, start) << "entered where it starts, in the pre-entry too: " << label;
        EXPECT_TRUE(head->Has(ZkMusicChainItem::kPlayPending)) << label;
        EXPECT_TRUE(head->Has(ZkMusicChainItem::kStopPending)) << label;
        EXPECT_EQ(head->stopOffset, static_cast<uint32_t>(kActive + kPostExit)) << label;
        ASSERT_NE(head->next, nullptr) << label;
        EXPECT_EQ(head->next->segmentContext, nullptr) << label;
        EXPECT_EQ(head->next->position, static_cast<uint64_t>(kActive)) << label;
        EXPECT_EQ(head->next, sequence.Tail()) << label;
    }
};

TEST_F(MusicSegmentSequenceTest, AStartedSequencePlaysTheWholePreEntryAndStopsAfterThePostExit)
{
    CZkMusicSegmentSequenceContext* sequence = StartedSequence();
    EXPECT_EQ(sequence->GetNode(), m_segment);
    EXPECT_TRUE(sequence->CanContinue());
    ExpectChainFrom(*sequence, -kPreEntry, "started");
    EXPECT_EQ(sequence->timeOffset, 0u) << "no streamed media: no look-ahead";
    CZkMusicSegmentContext* segment = sequence->Head()->segmentContext;
    ZkMusicFrameInfo frame;
    sequence->Process(0, 1024, frame);
    EXPECT_EQ(segment->PlayState(), CZkMusicContext::kPlaying);
    Drop(sequence);
}

TEST_F(MusicSegmentSequenceTest, SeeksByTimeStartFromThePositionOrItsNearestCue)
{
    struct Case
    {
        const char* label;
        int32_t ms;
        bool snap;
        ZKRESULT result;
        int32_t start;
        int32_t reportedMs;
    };
    const Case cases[] = {
        {"the pre-entry's start", -250, false, ZK_Success, -kPreEntry, -250},
        {"before the pre-entry: its start", -1000, false, ZK_Success, -kPreEntry, -1000},
        {"inside the first bar", 100, false, ZK_Success, 4800, 100},
        {"snapped to the custom cue", 2100, true, ZK_Success, kBar, 2000},
        {"snapped back to the entry cue", 900, true, ZK_Success, 0, 0},
        {"the last sample of the post-exit", 8499, false, ZK_Success, 407952, 8499},
        {"past the post-exit: stops", 8500, false, ZK_Fail, 0, 8500},
    };
    for (const Case& c : cases)
    {
        CZkMusicSegmentSequenceContext* sequence = StartedSequence();
        int32_t ms = c.ms;
        EXPECT_EQ(sequence->SeekByTime(ms, c.snap), c.result) << c.label;
        EXPECT_EQ(ms, c.reportedMs) << c.label;
        if (c.result == ZK_Success)
            ExpectChainFrom(*sequence, c.start, c.label);
        else
            EXPECT_EQ(sequence->PlayState(), CZkMusicContext::kStopped) << c.label;
        Drop(sequence);
    }
}

TEST_F(MusicSegmentSequenceTest, SeeksByFractionOfTheActiveLength)
{
    struct Case
    {
        const char* label;
        float fraction;
        bool snap;
        int32_t start;
        float reported;
    };
    const Case cases[] = {
        {"the entry cue", 0.0f, false, 0, 0.0f},
        {"a third in", 0.3f, false, 115200, 0.3f},
        {"a third in, snapped to the custom cue", 0.3f, true, kBar, 0.25f},
        {"the exit cue: the post-exit only", 1.0f, false, kActive, 1.0f},
    };
    for (const Case& c : cases)
    {
        CZkMusicSegmentSequenceContext* sequence = StartedSequence();
        float fraction = c.fraction;
        EXPECT_EQ(sequence->SeekByPercent(fraction, c.snap), ZK_Success) << c.label;
        EXPECT_FLOAT_EQ(fraction, c.reported) << c.label;
        ExpectChainFrom(*sequence, c.start, c.label);
        Drop(sequence);
    }
}

TEST_F(MusicSegmentSequenceTest, AStoppingSequenceRefusesToSeek)
{
    CZkMusicSegmentSequenceContext* sequence = StartedSequence();
    sequence->OnPlay();
    sequence->Stop(100);
    ASSERT_EQ(sequence->PlayState(), CZkMusicContext::kStopping);
    int32_t ms = 0;
    EXPECT_EQ(sequence->SeekByTime(ms, false), ZK_Fail);
    Drop(sequence);
}
} // namespace

namespace
{
using namespace ZkMusicChainTest;

TEST_F(MusicSegmentSequenceTest, SegmentInformationFollowsTheSeeks)
{
    struct Case
    {
        const char* label;
        int32_t seekMs; // INT32_MIN: no seek
        int32_t positionMs;
    };
    const Case cases[] = {
        {"just started: at the start of the pre-entry", INT32_MIN, -250},
        {"sought 100 ms in", 100, 100},
        {"sought to the exit cue", 8000, 8000},
    };
    for (const Case& c : cases)
    {
        CZkMusicSegmentSequenceContext* sequence = StartedSequence();
        if (c.seekMs != INT32_MIN)
        {
            int32_t ms = c.seekMs;
            ASSERT_EQ(sequence->SeekByTime(ms, false), ZK_Success) << c.label;
        }
        ZkSegmentInfo info;
        ASSERT_EQ(sequence->GetSegmentInfo(info), ZK_Success) << c.label;
        EXPECT_EQ(info.positionMs, c.positionMs) << c.label;
        EXPECT_EQ(info.preEntryDurationMs, 250) << c.label;
        EXPECT_EQ(info.activeDurationMs, 8000) << c.label;
        EXPECT_EQ(info.postExitDurationMs, 500) << c.label;
        EXPECT_EQ(info.remainingToStartMs, 0) << c.label;
        EXPECT_FLOAT_EQ(info.beatDuration, 0.5f) << c.label;
        EXPECT_FLOAT_EQ(info.barDuration, 2.0f) << c.label;
        EXPECT_FLOAT_EQ(info.gridDuration, 0.5f) << c.label;
        EXPECT_FLOAT_EQ(info.gridOffset, 0.0f) << c.label;
        Drop(sequence);
    }
}

TEST_F(MusicChainTest, SegmentInformationComesFromTheItemPlayingNow)
{
    struct Case
    {
        const char* label;
        bool withItems;
        uint32_t chainStart;
        ZKRESULT result;
        int32_t positionMs;
        int32_t activeMs;
    };
    // Items: a segment at 0, the end item at one bar (no play record: the clock stands at 0).
    const Case cases[] = {
        {"no item", false, 0, ZK_Fail, 0, 0},
        {"in the segment, a beat in", true, kBeat, ZK_Success, 500, 8000},
        {"past the segment: the empty end item", true, kBar + 1, ZK_Success, 0, 0},
    };
    for (const Case& c : cases)
    {
        TestChain* chain = NewChain(m_segment, false);
        if (c.withItems)
        {
            AppendTo(*chain, 0, true);
            AppendTo(*chain, kBar, false);
        }
        chain->chainStartOffset = c.chainStart;
        ZkSegmentInfo info;
        info.activeDurationMs = -1;
        EXPECT_EQ(chain->GetSegmentInfo(info), c.result) << c.label;
        if (c.result == ZK_Success)
        {
            EXPECT_EQ(info.positionMs, c.positionMs) << c.label;
            EXPECT_EQ(info.activeDurationMs, c.activeMs) << c.label;
        }
        chain->Stop(0);
        chain->Release();
    }
}
} // namespace

namespace
{
using namespace ZkMusicChainTest;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;

TEST_F(MusicSegmentSequenceTest, ASeekThatRunsOutOfMemoryStopsTheSequenceWithNothingLeftLinked)
{
    uint32_t allocations = 0;
    {
        CZkMusicSegmentSequenceContext* sequence = StartedSequence();
        FaultInjection::CountOnly(CZkMusicContext::kPool);
        int32_t ms = 100;
        ASSERT_EQ(sequence->SeekByTime(ms, false), ZK_Success);
        allocations = FaultInjection::CountedAllocations();
        FaultInjection::Disarm();
        Drop(sequence);
    }
    ASSERT_GE(allocations, 3u) << "the segment context and the two items";
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        CZkMusicSegmentSequenceContext* sequence = StartedSequence();
        int32_t ms = 100;
        {
            FaultInjection::ScopedAllocationFailure failure(CZkMusicContext::kPool, n);
            EXPECT_EQ(sequence->SeekByTime(ms, false), ZK_Fail) << "allocation " << n;
        }
        EXPECT_EQ(sequence->PlayState(), CZkMusicContext::kStopped) << "allocation " << n;
        EXPECT_EQ(sequence->Head(), nullptr) << "allocation " << n;
        EXPECT_EQ(sequence->FirstChild(), nullptr) << "allocation " << n;
        EXPECT_EQ(sequence->RefCount(), 1) << "allocation " << n;
        Drop(sequence);
    }
}
} // namespace
