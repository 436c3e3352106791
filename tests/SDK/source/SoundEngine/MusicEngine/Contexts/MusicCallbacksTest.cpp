// The music callbacks of a play: the cursor reports, for the frame of the item it stands on, the
// user cues, the entry, the bars, beats and grid lines and the exit, in that order and only the
// types the playing id asked for; the root's end of frame reports them frame by frame, as
// music_model.py computes them from the segment's description. Also what the cursor says about the
// exit and the sync actions it hands back from a time on.
#include "MusicChainFixture.h"

#include "SDK/source/SoundEngine/MusicEngine/MusicModel.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/MusicEngineHooks.h"
#include "MusicEngine/Contexts/ZkMusicSyncAction.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <sstream>
#include <utility>

namespace
{
using namespace ZkMusicChainTest;
using ZK::SoundEngine::g_pPlayingMgr;

constexpr ZkPlayingID kPlayingID = 515;
constexpr uint32_t kAllMusicTypes = 0x3F00;

struct Heard
{
    int frame;
    uint32_t type;
    ZkSegmentInfo info;
};
std::vector<Heard> g_heard;
int g_frame = 0;
void RecordMusicCallback(ZkCallbackType type, ZkCallbackInfo* info)
{
    if (type >= ZkCallbackType_MusicBeat && type <= ZkCallbackType_MusicUserCue)
        g_heard.push_back({g_frame, type, static_cast<ZkMusicPointCallbackInfo*>(info)->segmentInfo});
}

std::vector<uint32_t> TypesOf(const std::vector<Heard>& heard)
{
    std::vector<uint32_t> types;
    for (const Heard& h : heard)
        types.push_back(h.type);
    return types;
}

class MusicCallbacksTest : public MusicChainTest
{
protected:
    void SetUp() override
    {
        MusicChainTest::SetUp();
        // One frame of 1024 samples per render, from the render after the one that applies it.
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRenderingFrameTime(1024.0f / 48000.0f), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
        g_heard.clear();
        g_frame = 0;
    }
    void TearDown() override
    {
        g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
        MusicChainTest::TearDown();
    }
    static void RegisterPlayingID(uint32_t types)
    {
        ASSERT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(kPlayingID, 0, &RecordMusicCallback, nullptr, types, 0x99), ZK_Success);
    }
};

TEST_F(MusicCallbacksTest, TheCursorReportsTheFramesMusicalPointsInOrder)
{
    RegisterPlayingID(kAllMusicTypes);
    Append(0, true);
    Append(kActive, false);
    ZkMusicCursor cursor;
    cursor.Init(*m_chain, true);
    constexpr uint32_t kEntry = ZkCallbackType_MusicSegmentEntry, kExit = ZkCallbackType_MusicSegmentExit;
    constexpr uint32_t kBarType = ZkCallbackType_MusicBar, kBeatType = ZkCallbackType_MusicBeat;
    constexpr uint32_t kGrid = ZkCallbackType_MusicGrid, kCue = ZkCallbackType_MusicUserCue;
    struct Case
    {
        const char* label;
        int64_t from; // segment time of the frame's first sample
        uint32_t length;
        uint32_t types;
        std::vector<uint32_t> heard;
    };
    const Case cases[] = {
        {"the frame before the entry", -1024, 1024, kAllMusicTypes, {}},
        {"the frame of the entry: a bar, beat and grid line at 0 too", -512, 1024, kAllMusicTypes,
         {kEntry, kBarType, kBeatType, kGrid}},
        {"inside a beat", 100, 1024, kAllMusicTypes, {}},
        {"a beat that is not a bar", kBeat - 1, 2, kAllMusicTypes, {kBeatType, kGrid}},
        {"the custom cue comes first", kBar - 10, 1024, kAllMusicTypes, {kCue, kBarType, kBeatType, kGrid}},
        {"a long frame counts every line, bars before beats before grid lines", -1, 2 * kBeat + 1, kAllMusicTypes,
         {kEntry, kBarType, kBeatType, kBeatType, kGrid, kGrid}},
        {"the exit: no line on it (clipped there)", kActive - 512, 1024, kAllMusicTypes, {kExit}},
        {"the frame from the exit on", kActive, 1024, kAllMusicTypes, {kExit}},
        {"the frame after the exit", kActive + 1024, 1024, kAllMusicTypes, {}},
        {"a frame of no length", 0, 0, kAllMusicTypes, {}},
        {"only the types asked for", -512, 1024, kBeatType | kExit, {kBeatType}},
    };
    for (const Case& c : cases)
    {
        g_heard.clear();
        cursor.NotifyCallbacks(static_cast<uint64_t>(c.from), c.length, c.types, kPlayingID, 1.0f);
        EXPECT_EQ(TypesOf(g_heard), c.heard) << c.label;
    }
}

TEST_F(MusicCallbacksTest, EachReportCarriesTheSegmentInformationAtTheFramesStart)
{
    RegisterPlayingID(kAllMusicTypes);
    Append(0, true);
    ZkMusicCursor cursor;
    cursor.Init(*m_chain, true);
    cursor.NotifyCallbacks(static_cast<uint64_t>(kBar - 10), 1024, kAllMusicTypes, kPlayingID, 2.0f);
    ASSERT_EQ(g_heard.size(), 4u);
    for (const Heard& heard : g_heard)
    {
        EXPECT_EQ(heard.info.positionMs, 2000) << heard.type; // 95990 samples
        EXPECT_EQ(heard.info.preEntryDurationMs, 250);
        EXPECT_EQ(heard.info.activeDurationMs, 8000);
        EXPECT_EQ(heard.info.postExitDurationMs, 500);
        EXPECT_FLOAT_EQ(heard.info.beatDuration, 0.25f) << "a beat of 0.5 s at twice the speed";
        EXPECT_FLOAT_EQ(heard.info.barDuration, 1.0f);
    }
}

TEST_F(MusicCallbacksTest, APlayReportsTheCallbacksItsPlayingIdAskedForFrameByFrame)
{
    struct Case
    {
        const char* label;
        uint32_t types;
    };
    for (const Case& c : {Case{"every music type", kAllMusicTypes}, Case{"bars and the exit", 0x200 | 0x800},
                          Case{"none", 0}})
    {
        g_heard.clear();
        RegisterPlayingID(c.types);
        CZkMusicSegmentSequenceContext* root = PlayingRoot(kPlayingID);
        constexpr int kFrames = 420; // past the post-exit
        for (g_frame = 0; g_frame < kFrames; ++g_frame)
            ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);

        // A segment played by itself sounds its pre-entry (250 ms) from the play's first sample.
        std::vector<std::pair<int, uint32_t>> expected;
        const auto lines = ZkMusicTest::RunModel(
            R"({"rate": 48000, "segment": {"markers": [{"id": 1, "position_ms": 250}, {"id": 7, "position_ms": 2250},
                {"id": 9, "position_ms": 8250}], "grid": {"period_ms": 500, "tempo": 120, "beats_per_bar": 4, "beat_value": 4}},
                "callbacks": {"start": -12000, "frame": 1024, "frames": )" +
            std::to_string(kFrames) + "}}");
        for (const std::string& line : lines)
        {
            std::istringstream in(line);
            std::string tag;
            int frame = 0;
            uint32_t type = 0;
            in >> tag >> frame >> type;
            if (tag == "callback" && (type & c.types) != 0)
                expected.emplace_back(frame, type);
        }
        std::vector<std::pair<int, uint32_t>> heard;
        for (const Heard& h : g_heard)
            heard.emplace_back(h.frame, h.type);
        EXPECT_EQ(heard, expected) << c.label;
        root->Stop(0);
        root->Release();
        g_pPlayingMgr->RemovePlayingIDRef(kPlayingID);
    }
    RegisterPlayingID(0); // for TearDown
}

TEST_F(MusicCallbacksTest, TheCursorIsAtTheExitFromTheExitCueOnOrWithoutASegment)
{
    Append(0, true);
    Append(kActive, false);
    ZkMusicCursor cursor;
    cursor.Init(*m_chain, true);
    struct Case
    {
        const char* label;
        uint64_t time;
        bool atExit;
    };
    for (const Case& c : {Case{"the entry", 0, false}, Case{"a sample before the exit", kActive - 1, false},
                          Case{"the exit cue", kActive, true}, Case{"the post-exit", kActive + 100, true}})
        EXPECT_EQ(cursor.IsAtExit(c.time), c.atExit) << c.label;
    m_chain->CursorStep(cursor, true);
    EXPECT_TRUE(cursor.IsAtExit(kActive)) << "the end item plays nothing";
    m_chain->CursorStep(cursor, true);
    EXPECT_TRUE(cursor.IsAtExit(0)) << "off the chain";
}

TEST_F(MusicCallbacksTest, TheActionsFromATimeOnLeaveTheItemForTheList)
{
    ZkMusicChainItem* item = Append(0, true);
    // Actions at segment times 3 beats, 1 beat and 2 beats (newest first on the item).
    for (int64_t beats : {2, 1, 3})
    {
        auto* action = new (ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(ZkMusicSyncAction))) ZkMusicSyncAction;
        action->time = beats * kBeat;
        action->next = item->syncActions;
        item->syncActions = action;
    }
    m_chain->chainStartOffset = kBeat; // the chain time of segment time t is t - one beat
    ZkMusicCursor cursor;
    cursor.Init(*m_chain, true);
    ZkMusicSyncAction* moved = nullptr;
    cursor.MoveActionsAfter(moved, kBeat); // segment time two beats
    std::vector<int64_t> movedTimes;
    for (ZkMusicSyncAction* action = moved; action != nullptr; action = action->next)
        movedTimes.push_back(action->time / kBeat);
    std::vector<int64_t> keptTimes;
    for (ZkMusicSyncAction* action = item->syncActions; action != nullptr; action = action->next)
        keptTimes.push_back(action->time / kBeat);
    EXPECT_EQ(movedTimes, (std::vector<int64_t>{2, 3}));
    EXPECT_EQ(keptTimes, (std::vector<int64_t>{1}));
    while (ZkMusicSyncAction* action = moved)
    {
        moved = action->next;
        ZK::MemoryMgr::Free(ZkMemID_Default, action);
    }
    // The kept one goes with the chain.
}

TEST_F(MusicCallbacksTest, FramesThatReportCallbacksAndPositionsAllocateNothing)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    RegisterPlayingID(kAllMusicTypes | ZkPostFlag_RecordSegmentInfo);
    CZkMusicSegmentSequenceContext* root = PlayingRoot(kPlayingID);
    ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success); // the item's segment starts here
    g_heard.clear();
    Fault::CountOnly(ZkMemID_Default);
    for (int frame = 0; frame < 100; ++frame)
        ZkMusicFrameCallback(nullptr, ZK::ZkGlobalCallbackLocation_BeginRender, nullptr);
    const uint32_t allocations = Fault::CountedAllocations();
    Fault::Disarm();
    EXPECT_EQ(allocations, 0u);
    EXPECT_GE(g_heard.size(), 8u) << "the frames reported the bars, beats and grid lines they crossed";
    root->Stop(0);
    root->Release();
}
} // namespace
