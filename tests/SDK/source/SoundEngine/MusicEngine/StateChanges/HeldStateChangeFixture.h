// Shared by the held state change tests: the music engine with a bank whose segments ask for the
// state group kGroup in different ways (120 bpm in 4/4, so a bar is 96000 samples and a beat 24000
// at 48 kHz; entry cue at 0), a group kFreeGroup that no music asks for, offline frames of 1024
// samples, and plays of a segment by itself started by the test (each play's clock starts at 0 at
// its first frame, so a segment time is a play's clock).
#pragma once

#include "SDK/source/SoundEngine/MusicEngine/MusicBankFixture.h"

#include "MusicEngine/Contexts/CZkMusicSegmentSequenceContext.h"
#include "MusicEngine/MusicEngineState.h"
#include "ZkAudiolib/Common/Playback/CZkPlayingMgr.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include <ZK/SoundEngine/Common/ZkQueryParameters.h>

#include <new>

namespace ZkHeldStateTest
{
using namespace ZK::MusicEngine;

constexpr uint32_t kFrame = 1024;
constexpr int64_t kBar = 96000;
constexpr int64_t kBeat = 24000;
constexpr ZkUniqueID kGroup = 70;
constexpr ZkUniqueID kFreeGroup = 71;

// Segments (exit four bars after the entry unless said otherwise) and how they ask for kGroup.
constexpr ZkUniqueID kAtNextBar = 100;
constexpr ZkUniqueID kAtNextBeat = 200;
constexpr ZkUniqueID kAtNextBarShort = 300; // exit three and a half bars after the entry
constexpr int64_t kShortExit = 336000;
constexpr ZkUniqueID kBarFromParent = 400;  // no setting of its own; its playlist asks for the next bar
constexpr ZkUniqueID kAtOnceFromParent = 500; // asks for the next bar; its playlist for at once
constexpr ZkUniqueID kNotAsking = 600;
constexpr ZkUniqueID kAtExitCue = 700;

class HeldStateChangeTest : public ZkMusicTest::MusicBankTest
{
protected:
    void SetUp() override
    {
        MusicBankTest::SetUp();
        const auto segment = [](ZkUniqueID id, int exitMs, const char* state) {
            return ZkMusicTest::Segment(id, R"("duration_ms": )" + std::to_string(exitMs) + R"(,
                "grid": {"period_ms": 500, "offset_ms": 0, "tempo": 120, "beats_per_bar": 4, "beat_value": 4, "own": 1},
                "markers": [{"id": 1, "position_ms": 0}, {"id": 9, "position_ms": )" + std::to_string(exitMs) + "}]" +
                                         state);
        };
        const auto asks = [](int sync) {
            return R"(, "state": {"groups": [{"id": 70, "sync": )" + std::to_string(sync) + "}]}";
        };
        const std::string items =
            segment(kAtNextBar, 8000, asks(2).c_str()) + "," + segment(kAtNextBeat, 8000, asks(3).c_str()) + "," +
            segment(kAtNextBarShort, 7000, asks(2).c_str()) + "," + segment(kBarFromParent, 8000, "") + "," +
            segment(kAtOnceFromParent, 8000, asks(2).c_str()) + "," +
            segment(kNotAsking, 8000, "") + "," + segment(kAtExitCue, 8000, asks(7).c_str()) + "," +
            ZkMusicTest::Playlist(450, R"("children": [400])" + asks(2)) + "," +
            ZkMusicTest::Playlist(550, R"("children": [500])" + asks(0));
        ZkBankID bankID = 0;
        ASSERT_EQ(LoadDescription(BankOf(items, "Held.bnk", R"(, {"tag": "STMG", "state_groups": [{"id": 70}, {"id": 71}]})"),
                                  bankID),
                  ZK_Success);
        ASSERT_EQ(ZK::SoundEngine::SetOfflineRenderingFrameTime(static_cast<float>(kFrame) / 48000.0f), ZK_Success);
        Render(1);
    }
    void TearDown() override
    {
        for (CZkMusicSegmentSequenceContext* root : m_roots)
            Drop(root);
        m_roots.clear();
        MusicBankTest::TearDown();
    }

    // A play of the segment by itself, started and playing (it renders from the next frame on).
    CZkMusicSegmentSequenceContext* Play(ZkUniqueID segmentID)
    {
        const ZkPlayingID playingID = NewPlayingID();
        void* memory = ZK::MemoryMgr::Malloc(CZkMusicContext::kPool, sizeof(CZkMusicSegmentSequenceContext));
        auto* root = new (memory) CZkMusicSegmentSequenceContext(nullptr, *Find<CZkMusicSegment>(segmentID));
        root->AddRef();
        EXPECT_EQ(root->Start(nullptr, ZkMusicPlayInfo{nullptr, playingID}, 0), ZK_Success);
        root->PlayWithFade(ZkMusicFadeParams{0, 4, 0});
        ZK::SoundEngine::g_pPlayingMgr->RemovePlayingIDRef(playingID); // as a post drops its own
        m_roots.push_back(root);
        return root;
    }
    // A playing id for a play the test starts (the caller drops the post's reference).
    ZkPlayingID NewPlayingID()
    {
        const ZkPlayingID playingID = ++m_lastPlayingID;
        EXPECT_EQ(ZK::SoundEngine::g_pPlayingMgr->AddPlayingIDNoMessage(playingID, 0, nullptr, nullptr, 0, 0), ZK_Success);
        return playingID;
    }
    // A play of the segment that asks for the next bar, holding a change of kGroup to the state,
    // posted ten frames into the play (the bar is some 84 frames ahead).
    CZkMusicSegmentSequenceContext* PlayHolding(ZkUniqueID state)
    {
        CZkMusicSegmentSequenceContext* root = Play(kAtNextBar);
        Render(10);
        EXPECT_EQ(ZK::SoundEngine::SetState(kGroup, state), ZK_Success);
        Render(1);
        return root;
    }
    // Stops the play and lets it go.
    void Drop(CZkMusicSegmentSequenceContext* root)
    {
        std::erase(m_roots, root);
        root->Stop(0);
        root->Release();
    }

    static void Render(int frames)
    {
        for (int frame = 0; frame < frames; ++frame)
            ASSERT_EQ(ZK::SoundEngine::RenderAudio(true), ZK_Success);
    }
    static ZkUniqueID State(ZkUniqueID group = kGroup)
    {
        ZkUniqueID state = 0;
        EXPECT_EQ(ZK::SoundEngine::Query::GetState(group, state), ZK_Success);
        return state;
    }
    // Renders until the group reads the state (at most limit renders): how many renders it took,
    // or 0 when it never did.
    static int RendersUntil(ZkUniqueID state, int limit, ZkUniqueID group = kGroup)
    {
        for (int renders = 1; renders <= limit; ++renders)
        {
            ZK::SoundEngine::RenderAudio(true);
            if (State(group) == state)
                return renders;
        }
        return 0;
    }
    // The render after which a change held to a play's clock time reads new, when the first render
    // starts the play's frame at clock: the frame that holds the point runs, the next tick applies
    // the state message it posted.
    static int RendersToApply(uint64_t clock, int64_t point)
    {
        return static_cast<int>((point - static_cast<int64_t>(clock)) / kFrame) + 2;
    }
    static uint32_t Pending() { return MusicEngineState::Get().PendingCount(); }

private:
    std::vector<CZkMusicSegmentSequenceContext*> m_roots;
    ZkPlayingID m_lastPlayingID = 9000;
};
} // namespace ZkHeldStateTest
