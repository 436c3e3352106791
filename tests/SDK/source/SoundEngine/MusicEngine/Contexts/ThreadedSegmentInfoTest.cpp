// GetPlayingSegmentInfo read by a game thread while the engine renders: a play whose playing id
// asked for segment information (0x200000) has its entry, written each frame before the play
// advances, with the segment's lengths, its beat and bar and the position at the frame's start; a
// second such play has an entry of its own; a play without the bit has none (2). The extrapolation
// moves the position on by the whole ms of a clock the test drives.
#include "MusicChainFixture.h"

#include "MusicEngine/CZkSegmentInfoTable.h"
#include "Platform/PlatformClock.h"
#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace
{
using namespace ZkMusicChainTest;
using ZK::SoundEngine::g_pPlayingMgr;

constexpr ZkPlayingID kFirst = 701;
constexpr ZkPlayingID kSecond = 702;
constexpr ZkPlayingID kWithout = 703;
constexpr int64_t kTicksPerSecond = 1000000;

std::atomic<int64_t> g_clock{0};
int64_t HandClock()
{
    return g_clock.load();
}

int32_t MsOf(int64_t samples)
{
    return static_cast<int32_t>(std::round(static_cast<double>(samples) * 1000.0 / 48000.0));
}

// What the game thread saw after a frame: the answers for the three playing ids.
struct Seen
{
    ZKRESULT first = ZK_Fail, second = ZK_Fail, without = ZK_Success;
    ZkSegmentInfo firstInfo, secondInfo;
};

class ThreadedSegmentInfoTest : public MusicChainTest
{
protected:
    void SetUp() override
    {
        MusicChainTest::SetUp();
        // One frame of 1024 samples per render, from the render after the one that applies it.
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRenderingFrameTime(1024.0f / 48000.0f), ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    }
    void TearDown() override
    {
        for (CZkMusicSegmentSequenceContext* root : m_roots)
        {
            root->Stop(0);
            root->Release();
        }
        for (ZkPlayingID id : {kFirst, kSecond, kWithout})
            g_pPlayingMgr->RemovePlayingIDRef(id);
        CZkSegmentInfoTable::ProcessTable().UseClock(&ZK::Platform::PerformanceCounter, ZK::Platform::PerformanceFrequency());
        MusicChainTest::TearDown();
    }
    // A play of the segment by itself for the playing id, playing.
    CZkMusicSegmentSequenceContext* Play(ZkPlayingID id, uint32_t flags)
    {
        EXPECT_EQ(g_pPlayingMgr->AddPlayingIDNoMessage(id, 0, nullptr, nullptr, flags, 0x99), ZK_Success);
        CZkMusicSegmentSequenceContext* root = PlayingRoot(id);
        m_roots.push_back(root);
        return root;
    }

    std::vector<CZkMusicSegmentSequenceContext*> m_roots;
};

TEST_F(ThreadedSegmentInfoTest, TheGameThreadReadsEachFramesSegmentInformation)
{
    constexpr int kFrames = 40;
    constexpr int kSecondStarts = 10; // frames after the first
    std::vector<Seen> seen(kFrames);
    std::atomic<int> rendered{0};
    std::atomic<int> read{0};
    std::thread game([&] {
        for (int frame = 1; frame <= kFrames; ++frame)
        {
            while (rendered.load() < frame)
                std::this_thread::yield();
            Seen& now = seen[frame - 1];
            now.first = ZK::MusicEngine::GetPlayingSegmentInfo(kFirst, now.firstInfo, false);
            now.second = ZK::MusicEngine::GetPlayingSegmentInfo(kSecond, now.secondInfo, false);
            ZkSegmentInfo untouched;
            now.without = ZK::MusicEngine::GetPlayingSegmentInfo(kWithout, untouched, false);
            read.store(frame);
        }
    });
    CZkMusicSegmentSequenceContext* first = Play(kFirst, ZkPostFlag_RecordSegmentInfo);
    Play(kWithout, 0);
    CZkMusicSegmentSequenceContext* second = nullptr;
    for (int frame = 0; frame < kFrames; ++frame)
    {
        if (frame == kSecondStarts)
            second = Play(kSecond, ZkPostFlag_RecordSegmentInfo);
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
        rendered.store(frame + 1);
        while (read.load() < frame + 1)
            std::this_thread::yield();
    }
    game.join();

    // A segment played by itself sounds its pre-entry from the play's first sample: each play's
    // position starts at minus the pre-entry.
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    for (int frame = 0; frame < kFrames; ++frame)
    {
        const Seen& now = seen[frame];
        EXPECT_EQ(now.without, ZK_Fail) << "frame " << frame << ": no entry without the bit";
        ASSERT_EQ(now.first, ZK_Success) << frame;
        // Written at the frame's start, before the play advanced.
        const ZkSegmentInfo& info = now.firstInfo;
        EXPECT_EQ(info.positionMs, MsOf(int64_t{frame} * 1024 - kPreEntry)) << frame;
        EXPECT_EQ(info.preEntryDurationMs, 250) << frame;
        EXPECT_EQ(info.activeDurationMs, 8000) << frame;
        EXPECT_EQ(info.postExitDurationMs, 500) << frame;
        EXPECT_FLOAT_EQ(info.beatDuration, 0.5f) << frame;
        EXPECT_FLOAT_EQ(info.barDuration, 2.0f) << frame;
        if (frame < kSecondStarts)
        {
            EXPECT_EQ(now.second, ZK_Fail) << frame << ": the second play has not started";
            continue;
        }
        ASSERT_EQ(now.second, ZK_Success) << frame;
        EXPECT_EQ(now.secondInfo.positionMs, MsOf(int64_t{frame - kSecondStarts} * 1024 - kPreEntry)) << frame << ": its own entry";
    }
}

TEST_F(ThreadedSegmentInfoTest, ExtrapolationAddsTheWholeMillisecondsOfTheClockSinceTheWrite)
{
    g_clock.store(5 * kTicksPerSecond);
    CZkSegmentInfoTable::ProcessTable().UseClock(&HandClock, kTicksPerSecond);
    Play(kFirst, ZkPostFlag_RecordSegmentInfo);
    for (int frame = 0; frame < 3; ++frame)
        ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success); // last written 2048 samples in: -207 ms
    struct Case
    {
        const char* label;
        int64_t elapsedTicks;
        bool extrapolate;
        int32_t position;
    };
    const Case cases[] = {
        {"no time passed", 0, true, -207},
        {"37.9 ms later, truncated", 37900, true, -207 + 37},
        {"a second later without extrapolation", 1000000, false, -207},
        {"a second later", 1000000, true, -207 + 1000},
    };
    const int64_t written = g_clock.load();
    for (const Case& c : cases)
    {
        g_clock.store(written + c.elapsedTicks);
        ZkSegmentInfo info;
        ZKRESULT result = ZK_Fail;
        // Read from another thread, as the game does.
        std::thread game([&] { result = ZK::MusicEngine::GetPlayingSegmentInfo(kFirst, info, c.extrapolate); });
        game.join();
        ASSERT_EQ(result, ZK_Success) << c.label;
        EXPECT_EQ(info.positionMs, c.position) << c.label;
    }
}
} // namespace
