// Stingers heard end to end: a trigger posted on the play's game object brings the stinger segment
// in over the music at the next sync point of its kind, its entry cue exactly there and its
// pre-entry before it. The music itself is silent (segments without tracks), so that everything
// captured is the stinger; segment_heard.py places the stinger's clips from the bank's description
// and compares sample by sample within 1e-4 (a stinger one sample early or late misses by more than
// 1e-2).
//
// Timing at 48 kHz, tempo 120 in 4/4: a beat is 24000 samples. The music segments A and B have a
// pre-entry of 12000 and one bar (96000) of active length: A's entry cue falls on root time 12000
// and its beats every 24000 after it. The stinger has a pre-entry of 4800 (its look-ahead: its
// media are in memory), one beat of active length and a post-exit of 4800; its clips sound at
// track times 2400 (a 1 kHz tone over the entry cue) and 28800 (1.5 kHz, in the post-exit). The
// root's time is the capture's sample count since the play was posted.
#include "SDK/source/SoundEngine/MusicEngine/Heard/MusicHeardFixture.h"

#include "MusicEngine/CZkMusicSegment.h"
#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/Contexts/CZkMusicChainContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentContext.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/Contexts/ZkStingerRecord.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <algorithm>
#include <cmath>
#include <sstream>

namespace
{
using namespace ZkFirstSoundTest;
using namespace ZK::MusicEngine;

constexpr long kStingerLookAhead = 4800;
constexpr long kStingerLength = 33600; // pre-entry + one beat + post-exit
constexpr long kEntryOfB = 108000;     // B follows A's exit cue in the two-segment chain
constexpr long kCustomCueOfB = kEntryOfB + 48000;
constexpr long kNone = -1;
constexpr double kLevelTolerance = 1e-4;
constexpr ZkPlayingID kChainPlay = 0x5100;

// Triggers: the next beat (don't-repeat 1000 ms), the next custom cue (with and without a look one
// segment ahead), the next beat without a look ahead.
constexpr ZkUniqueID kBeatTrigger = 9001;
constexpr ZkUniqueID kCueTrigger = 9002;
constexpr ZkUniqueID kCueHereOnly = 9003;
constexpr ZkUniqueID kBeatHereOnly = 9004;

// The two music segments one after the other: A from the start of its pre-entry, B's entry on A's
// exit cue, an empty item at B's exit.
class TwoSegmentChain final : public CZkMusicChainContext
{
public:
    explicit TwoSegmentChain(CZkMusicSegment& first) : CZkMusicChainContext(nullptr), m_first(first) {}
    CZkMusicNode* GetNode() const override { return &m_first; }
    bool CanContinue() const override { return true; }

private:
    CZkMusicSegment& m_first;
};

class MusicStingerHeard : public MusicHeard
{
protected:
    MusicStingerHeard() : MusicHeard("Stingers.bnk", &Description) {}

    static std::string Description()
    {
        const std::string stingers = R"("stingers": [
            {"trigger": 9001, "segment": 800, "sync": 3, "min_ms": 1000, "next_segment": 1},
            {"trigger": 9002, "segment": 800, "sync": 5, "next_segment": 1},
            {"trigger": 9003, "segment": 800, "sync": 5, "next_segment": 0},
            {"trigger": 9004, "segment": 800, "sync": 3, "next_segment": 0}])";
        return R"({"name": "Stingers.bnk", "media": [
              {"id": 401, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": 1000, "amp": 0.5}]}},
              {"id": 402, "wave": {"rate": 48000, "channels": 1, "frames": 4800, "parts": [{"tone": 1500, "amp": 0.4}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "music_track", "id": 810, "bus": "Master Audio Bus", "sources": [{"source": 401}, {"source": 402}],
                 "clips": [{"subtrack": 0, "source": 401, "position_ms": 50.0, "duration_ms": 100.0},
                           {"subtrack": 0, "source": 402, "position_ms": 600.0, "duration_ms": 100.0}]},
                {"type": "music_segment", "id": 800, "children": [810], "duration_ms": 700.0,
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 81, "position_ms": 100.0}, {"id": 83, "position_ms": 600.0}]},
                {"type": "music_segment", "id": 500, "children": [], "duration_ms": 2250.0,
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 51, "position_ms": 250.0}, {"id": 53, "position_ms": 2250.0}], )" +
               stingers + R"(},
                {"type": "music_segment", "id": 510, "children": [], "duration_ms": 2250.0,
                 "grid": {"tempo": 120.0, "own": 1},
                 "markers": [{"id": 61, "position_ms": 250.0}, {"id": 62, "position_ms": 1250.0},
                             {"id": 63, "position_ms": 2250.0}], )" +
               stingers + R"(},
                {"type": "sound", "id": 450, "media": 401, "bus": "Master Audio Bus"},
                {"type": "action", "id": 451, "action": "play", "target": 450},
                {"type": "event", "id": "Play_Warmup", "actions": [451]},
                {"type": "action", "id": 700, "action": "play", "target": 500},
                {"type": "event", "id": "Play_A", "actions": [700]}]}]})";
    }

    // The engine with the bank, its output brought up by a short sound: an output that has never
    // had anything to mix delivers no frames to the capture, and the music here is silent.
    void StartStingers()
    {
        ASSERT_NO_FATAL_FAILURE(StartMusic());
        ASSERT_NE(PostEvent("Play_Warmup", kEmitter), 0u);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(12));
    }

    void TearDown() override
    {
        if (m_chainPlaying)
            ZK::SoundEngine::g_pPlayingMgr->RemovePlayingIDRef(kChainPlay);
        MusicHeard::TearDown();
    }

    // A played by itself, by its event.
    CZkMusicTimelineContext* PlayA()
    {
        captured.clear();
        frameOffsets.clear();
        EXPECT_NE(PostEvent("Play_A", kEmitter), 0u);
        RenderFrames(1);
        return MusicEngineState::Get().FirstPlaying();
    }

    // A, then B, as one play on the emitter (the play's first frame is the capture's first).
    CZkMusicTimelineContext* PlayAThenB()
    {
        using ZK::SoundEngine::g_pObjectIndex;
        captured.clear();
        frameOffsets.clear();
        auto* a = static_cast<CZkMusicSegment*>(g_pObjectIndex->GetNodePtrAndAddRef(500, false));
        auto* b = static_cast<CZkMusicSegment*>(g_pObjectIndex->GetNodePtrAndAddRef(510, false));
        if (a == nullptr || b == nullptr)
            return nullptr;
        if (!m_chainPlaying)
        {
            EXPECT_EQ(ZK::SoundEngine::g_pPlayingMgr->AddPlayingIDNoMessage(kChainPlay, kEmitter, nullptr, nullptr, 0, 0x99),
                      ZK_Success);
        }
        m_chainPlaying = true;
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(TwoSegmentChain));
        auto* chain = new (memory) TwoSegmentChain(*a);
        chain->AddRef();
        EXPECT_EQ(chain->Attach(ZK::SoundEngine::g_pRegistryMgr->GetObj(kEmitter), ZkMusicPlayInfo{nullptr, kChainPlay}, 0),
                  ZK_Success);
        ZkMusicChainItem* items[2] = {};
        for (int index = 0; index < 2; ++index)
        {
            CZkMusicSegment& segment = index == 0 ? *a : *b;
            CZkMusicSegmentContext* context = CZkMusicSegmentContext::Create(chain, segment);
            items[index] = chain->AppendItem(static_cast<uint64_t>(index * segment.ActiveLength()), context);
            context->Release(); // the item holds it
            items[index]->stopOffset = static_cast<uint32_t>(segment.ActiveLength() + segment.PostExitLength());
            items[index]->flags |= ZkMusicChainItem::kStopPending;
        }
        const int32_t lookAhead = chain->PrepareFrom(-a->PreEntryLength());
        items[1]->playOffset = -b->PreEntryLength() - items[1]->segmentContext->SetStart(-b->PreEntryLength());
        items[1]->flags |= ZkMusicChainItem::kPlayPending;
        chain->AppendItem(static_cast<uint64_t>(a->ActiveLength() + b->ActiveLength()), nullptr);
        chain->timeOffset = static_cast<uint64_t>(std::max(lookAhead, 0));
        chain->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
        chain->Release(); // its segment contexts hold it from now on
        a->Release();
        b->Release();
        return chain;
    }

    // Renders until the play has ended (everything the stingers did included).
    void RenderToTheEnd()
    {
        for (int frame = 0; frame < 400 && MusicEngineState::Get().FirstPlaying() != nullptr; ++frame)
            ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
        ASSERT_EQ(MusicEngineState::Get().FirstPlaying(), nullptr) << "the play ends";
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    }

    // The loudest sample of either channel in the capture's sample frames [from, to).
    float Peak(long from, long to) const
    {
        float loudest = 0.0f;
        const auto end = std::min(static_cast<size_t>(to) * channels, captured.size());
        for (size_t at = static_cast<size_t>(from) * channels; at < end; ++at)
            loudest = std::max(loudest, std::fabs(captured[at]));
        return loudest;
    }

    // The capture is the stinger played from its start (the start of its pre-entry) at sample
    // frame start, and silence before (from silentFrom on) and after it.
    void ExpectStingerFrom(long start, long silentFrom, const char* what)
    {
        EXPECT_EQ(Peak(silentFrom, start), 0.0f) << what << ": nothing before the stinger";
        ASSERT_GT(captured.size() / channels, static_cast<size_t>(start + kStingerLength)) << what;
        for (int shift : {0, -1, 1})
        {
            std::istringstream output(RunModel("segment_heard.py", "800 --seek " + std::to_string(start) + " 0 --shift " +
                                                                       std::to_string(shift)));
            double maxError = 1.0;
            long worst = -1;
            output >> maxError >> worst;
            ASSERT_FALSE(output.fail()) << what << ": the oracle answered " << output.str();
            if (shift == 0)
                EXPECT_LT(maxError, kLevelTolerance) << what << ": worst at sample frame " << worst;
            else
                EXPECT_GT(maxError, 1e-2) << what << ": against the stinger placed " << shift << " sample off";
        }
    }

    static CZkMusicPlayRecord& RecordOf(CZkMusicTimelineContext& root) { return *root.playRecord; }

    bool m_chainPlaying = false;
};

// The stinger's entry cue on the first beat at or after now + its look-ahead (now: the frame
// after the one in which the trigger was posted).
TEST_F(MusicStingerHeard, ATriggersStingerEntersOnTheNextBeatAfterItsLookAhead)
{
    struct Case
    {
        const char* what;
        uint32_t triggerFrame; // frames of the play rendered before the trigger
        long entry;            // the stinger's entry cue, root time
    };
    const Case cases[] = {
        {"in the music's pre-entry: the entry cue's beat", 1, 12000},
        {"the last frame whose look-ahead reaches the entry cue (11968)", 7, 12000},
        {"one frame later (12992): the second beat", 8, 36000},
        {"late in the first beat (35520)", 30, 36000},
        {"past the second beat's look-ahead (36544): the third beat", 31, 60000},
    };
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    for (const Case& c : cases)
    {
        ASSERT_NE(PlayA(), nullptr) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(c.triggerFrame - 1));
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(kBeatTrigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
        ExpectStingerFrom(c.entry - kStingerLookAhead, 0, c.what);
    }
}

// A trigger fired again while the stinger's sync point + its don't-repeat time (1000 ms, 48000
// samples) has not passed is ignored; later it plays again. The first stinger enters at 12000.
TEST_F(MusicStingerHeard, ATriggerFiredAgainWithinTheDontRepeatTimePlaysItsStingerOnce)
{
    struct Case
    {
        const char* what;
        uint32_t secondFrame; // the second trigger's frame
        long secondEntry;     // kNone: ignored
    };
    const Case cases[] = {
        {"while the first stinger sounds", 10, kNone},
        {"the last frame within the time (59392 <= 60000)", 58, kNone},
        {"the first frame after it (60416): the next beat after its look-ahead", 59, 84000},
    };
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    for (const Case& c : cases)
    {
        ASSERT_NE(PlayA(), nullptr) << c.what;
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(kBeatTrigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(c.secondFrame - 1));
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(kBeatTrigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
        // Each stinger is two bursts: its clips at track times 2400 and 28800 (a tone's first
        // sample is 0).
        std::vector<size_t> expected;
        for (long entry : {12000L, c.secondEntry})
            if (entry != kNone)
                for (long clip : {2400L, 28800L})
                    expected.push_back(static_cast<size_t>(entry - kStingerLookAhead + clip + 1));
        std::vector<size_t> heard;
        for (const Burst& burst : Bursts(Left()))
            heard.push_back(burst.first);
        EXPECT_EQ(heard, expected) << c.what;
    }
}

// The record of a stinger outlives its context: it stays, with the context gone once the stinger
// ended (40800), until its sync point + don't-repeat time (60000) lies before a frame's start, and
// then goes while the music plays on (A, then B: until 204000).
TEST_F(MusicStingerHeard, AStingersRecordStaysUntilItsDontRepeatTimeHasPassed)
{
    struct Case
    {
        const char* what;
        uint32_t frames; // the play's frames rendered (the last one starts 1024 before their end)
        bool kept;
        bool withContext;
    };
    const Case cases[] = {
        {"while the stinger sounds", 20, true, true},
        {"after the stinger, the last frame within the time (it starts at 59392)", 59, true, false},
        {"the first frame past it (it starts at 60416)", 60, false, false},
    };
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    for (const Case& c : cases)
    {
        CZkMusicTimelineContext* root = PlayAThenB();
        ASSERT_NE(root, nullptr) << c.what;
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(kBeatTrigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(c.frames));
        const ZkStingerRecord* record = RecordOf(*root).FirstStinger();
        EXPECT_EQ(record != nullptr, c.kept) << c.what;
        if (record != nullptr)
        {
            EXPECT_EQ(record->syncPoint, 12000) << c.what;
            EXPECT_EQ(record->context != nullptr, c.withContext) << c.what;
        }
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
    }
}

// A stinger whose sync point is not in the segment playing now is placed in the next item when it
// may look one segment ahead: in the next segment, or nowhere when the next item is the empty one
// at the end of a segment played alone.
TEST_F(MusicStingerHeard, AStingerWithoutSyncPointHereIsPlacedInTheNextSegmentWhenItMayLookAhead)
{
    struct Case
    {
        const char* what;
        bool twoSegments;
        ZkUniqueID trigger;
        long entry; // kNone: dropped
    };
    const Case cases[] = {
        {"A alone: the item after it is empty", false, kCueTrigger, kNone},
        {"A then B: B's custom cue", true, kCueTrigger, kCustomCueOfB},
        {"A then B, not looking ahead", true, kCueHereOnly, kNone},
    };
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    for (const Case& c : cases)
    {
        CZkMusicTimelineContext* root = c.twoSegments ? PlayAThenB() : PlayA();
        ASSERT_NE(root, nullptr) << c.what;
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(c.trigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
        const ZkStingerRecord* record = RecordOf(*root).FirstStinger();
        EXPECT_EQ(record != nullptr, c.entry != kNone) << c.what;
        if (record != nullptr)
        {
            EXPECT_EQ(record->syncPoint, c.entry) << c.what;
        }
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
        if (c.entry == kNone)
            EXPECT_EQ(Peak(0, static_cast<long>(captured.size() / channels)), 0.0f) << c.what << ": nothing heard";
        else
            ExpectStingerFrom(c.entry - kStingerLookAhead, 0, c.what);
    }
}

// A cut that takes a stinger's place away (made here by calling ReevaluateStinger, as a switch
// transition will): the stinger fades out from now over as long as it has played, is cancelled,
// and, when it was placed by its trigger and may look one segment ahead, is placed again after
// the item playing now: on B's first beat, its entry cue. A, then B; the stinger was triggered in
// A's first frame for A's entry cue (root time 12000, its pre-entry sounding from 7200).
TEST_F(MusicStingerHeard, ACutFadesTheStingerOutAndPlacesItAgainAfterTheCurrentItemWhenAllowed)
{
    struct Case
    {
        const char* what;
        ZkUniqueID trigger;
        uint32_t cutFrame; // the play's frames rendered before the cut
        long silentFrom;   // from here on nothing sounds before the new stinger
        long newEntry;     // kNone: not placed again
    };
    const Case cases[] = {
        {"cut before the stinger starts", kBeatTrigger, 2, 0, kEntryOfB},
        // Cut at 20480 after 13280 samples of the stinger: its fade is over before its second clip
        // (36000 to 40800) would sound.
        {"cut while it sounds: faded out", kBeatTrigger, 20, 36000, kEntryOfB},
        {"a stinger that may not look ahead is not placed again", kBeatHereOnly, 2, 0, kNone},
    };
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    for (const Case& c : cases)
    {
        CZkMusicTimelineContext* root = PlayAThenB();
        ASSERT_NE(root, nullptr) << c.what;
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(c.trigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(c.cutFrame));
        CZkMusicPlayRecord& play = RecordOf(*root);
        ZkStingerRecord* placed = play.FirstStinger();
        ASSERT_NE(placed, nullptr) << c.what;
        ASSERT_EQ(placed->syncPoint, 12000) << c.what;
        play.ReevaluateStinger(*placed);
        EXPECT_EQ(placed->triggerID, 0u) << c.what << ": cancelled";
        ZkStingerRecord* again = play.FirstStinger();
        if (c.newEntry == kNone)
        {
            EXPECT_EQ(again, placed) << c.what << ": nothing new";
        }
        else
        {
            ASSERT_NE(again, placed) << c.what << ": placed again";
            EXPECT_EQ(again->syncPoint, c.newEntry) << c.what;
            EXPECT_EQ(again->triggerID, c.trigger) << c.what;
            EXPECT_FALSE(again->mayRetrigger) << c.what << ": placed after a cut, not placed once more";
        }
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
        if (c.newEntry == kNone)
            EXPECT_EQ(Peak(0, static_cast<long>(captured.size() / channels)), 0.0f) << c.what << ": nothing heard";
        else
            ExpectStingerFrom(c.newEntry - kStingerLookAhead, c.silentFrom, c.what);
    }
}

// However the play ends, its stinger records and their contexts go with it: the engine's blocks
// are back to their count before the play.
TEST_F(MusicStingerHeard, TheStingersAreGoneOnceThePlayHasEnded)
{
    struct Case
    {
        const char* what;
        uint32_t triggerFrame;
        uint32_t stopFrame; // 0: the play ends by itself
    };
    const Case cases[] = {
        {"stopped before the stinger starts", 1, 3},
        {"stopped while the stinger sounds", 1, 15},
        // Triggered at 78848 for the beat at 84000: the stinger ends at 112800, after A (108000);
        // its record would wait for its don't-repeat time until 132000.
        {"the stinger outlasting the segment", 77, 0},
    };
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    for (const Case& c : cases)
    {
        // What the warm-up sound and the rows before left goes once the output has been idle.
        ASSERT_NO_FATAL_FAILURE(RenderFrames(100));
        const int64_t blocks = EngineBlocks();
        CZkMusicTimelineContext* root = PlayA();
        ASSERT_NE(root, nullptr) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(c.triggerFrame - 1));
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(kBeatTrigger, kEmitter), ZK_Success) << c.what;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
        ASSERT_NE(RecordOf(*root).FirstStinger(), nullptr) << c.what << ": a stinger is placed";
        if (c.stopFrame != 0)
        {
            ASSERT_NO_FATAL_FAILURE(RenderFrames(c.stopFrame - c.triggerFrame - 2));
            ZK::SoundEngine::StopAll(kEmitter);
        }
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
        EXPECT_EQ(EngineBlocks(), blocks) << c.what;
    }
}

// Out of memory at any allocation of the frame that takes the trigger (the stinger definitions,
// the stinger's context and its chain, the record, the sync action): the stinger is dropped, or
// placed as it would be, never half; once the play has ended nothing of it is left.
TEST_F(MusicStingerHeard, OutOfMemoryWhilePlacingAStingerDropsItWholeAndLeavesNothing)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    ASSERT_NO_FATAL_FAILURE(StartStingers());
    // The trigger is taken in the play's second frame: the stinger's entry on 12000.
    auto triggerFrame = [this](uint32_t failing) {
        ASSERT_NE(PlayA(), nullptr);
        ASSERT_EQ(ZK::SoundEngine::PostTrigger(kBeatTrigger, kEmitter), ZK_Success);
        if (failing == 0)
            Fault::CountOnly(ZkMemID_Default);
        else
            Fault::FailNth(ZkMemID_Default, failing);
        RenderFrames(1);
    };
    ASSERT_NO_FATAL_FAILURE(triggerFrame(0));
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    ASSERT_NO_FATAL_FAILURE(RenderToTheEnd());
    ASSERT_NO_FATAL_FAILURE(ExpectStingerFrom(12000 - kStingerLookAhead, 0, "without a failure"));
    // What the warm-up left is gone by now; a play with its stinger leaves nothing.
    const int64_t blocks = EngineBlocks();
    ASSERT_GE(allocations, 6u) << "definitions, context, segment context, two items, record, action";
    for (uint32_t n = 1; n <= allocations; ++n)
    {
        const std::string what = "allocation " + std::to_string(n);
        ASSERT_NO_FATAL_FAILURE(triggerFrame(n)) << what;
        const bool failed = Fault::FailedAllocations() == 1;
        Fault::Disarm();
        EXPECT_TRUE(failed) << what;
        ASSERT_NO_FATAL_FAILURE(RenderToTheEnd()) << what;
        if (Peak(0, static_cast<long>(captured.size() / channels)) != 0.0f)
            ExpectStingerFrom(12000 - kStingerLookAhead, 0, what.c_str());
        EXPECT_EQ(EngineBlocks(), blocks) << what;
    }
}
} // namespace
