// The music context base: stopping at once or at the end of the frame, pause counting, fades over
// the transition manager (and fades that cannot be made completing at once), and the release
// cascade from a child up to the root.
#include "MusicContextFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <string>

namespace ZkMusicContextTest
{
namespace
{
namespace Fault = ZK::MemoryMgr::FaultInjection;

TEST_F(MusicContextTest, AStopIsImmediateOrWaitsForTheEndOfTheFrame)
{
    enum class Before
    {
        Created,
        Playing,
        Paused,
    };
    struct StopCase
    {
        const char* label;
        Before before;
        uint32_t offset;
        uint8_t stateAfterStop;
        uint32_t storedOffset;
    };
    const std::vector<StopCase> cases = {
        {"no offset while playing", Before::Playing, kNoStopOffset, CZkMusicContext::kStopping, kNoStopOffset},
        {"an offset while playing", Before::Playing, 512, CZkMusicContext::kStopping, 512},
        {"offset 0 while playing", Before::Playing, 0, CZkMusicContext::kStopped, 0},
        {"an offset while paused", Before::Paused, 512, CZkMusicContext::kStopped, 512},
        {"an offset before playing", Before::Created, 512, CZkMusicContext::kStopped, 512},
    };
    for (const StopCase& c : cases)
    {
        RecordingTimeline* context = LoneContext();
        RecordingLeaf leaf;
        context->LinkChild(leaf);
        if (c.before != Before::Created)
            context->OnPlay();
        if (c.before == Before::Paused)
            context->Pause();

        context->Stop(c.offset);
        EXPECT_EQ(context->PlayState(), c.stateAfterStop) << c.label;
        EXPECT_EQ(context->StopOffset(), c.storedOffset) << c.label;
        EXPECT_EQ(leaf.stops, std::vector<uint32_t>{c.offset}) << c.label << ": the child is stopped with the offset";
        EXPECT_EQ(leaf.refs, 0) << c.label << ": the child is held during its stop only";

        context->EndFrame();
        EXPECT_EQ(context->PlayState(), CZkMusicContext::kStopped) << c.label << ": stopped after the frame";
        EXPECT_EQ(leaf.endFrames, 1) << c.label;
        DropLone(context, leaf);
    }
}

TEST_F(MusicContextTest, PausesAreCountedAndAForcedResumeClearsTheCount)
{
    struct PauseCase
    {
        const char* label;
        int pauses;
        std::vector<bool> resumesForced;
        bool pausedAfter;
        uint16_t countAfter;
    };
    const std::vector<PauseCase> cases = {
        {"one pause, one resume", 1, {false}, false, 0},
        {"two pauses, one resume", 2, {false}, true, 1},
        {"two pauses, two resumes", 2, {false, false}, false, 0},
        {"two pauses, one forced resume", 2, {true}, false, 0},
    };
    for (const PauseCase& c : cases)
    {
        RecordingTimeline* context = LoneContext();
        RecordingLeaf leaf;
        context->LinkChild(leaf);
        context->OnPlay();
        for (int pause = 0; pause < c.pauses; ++pause)
            context->PauseWithFade(ZkMusicFadeParams{0, 4, 0});
        EXPECT_FALSE(leaf.paused) << c.label << ": a pause of 0 ms waits for the transition manager";
        TickTransitions();
        EXPECT_TRUE(leaf.paused) << c.label << ": paused at the next transition tick";
        EXPECT_TRUE(context->IsPaused()) << c.label;

        for (bool forced : c.resumesForced)
            context->ResumeWithFade(ZkMusicFadeParams{0, 4, 0}, forced);
        EXPECT_EQ(leaf.paused, c.pausedAfter) << c.label;
        EXPECT_EQ(context->IsPaused(), c.pausedAfter) << c.label;
        EXPECT_EQ(context->PauseCount(), c.countAfter) << c.label;
        DropLone(context, leaf);
    }
}

TEST_F(MusicContextTest, AStopFadeFallsToSilenceThenStopsAndAPlayFadeRises)
{
    RecordingTimeline* context = LoneContext();
    RecordingLeaf leaf;
    context->LinkChild(leaf);
    context->PlayWithFade(ZkMusicFadeParams{100, 4, 0});
    EXPECT_EQ(context->PlayState(), CZkMusicContext::kPlaying) << "playing from the start of the fade";
    while (context->HasFade())
        TickTransitions();
    const void* fadeKey = nullptr;
    for (const auto& [key, values] : leaf.fades)
        fadeKey = key;
    ASSERT_NE(fadeKey, nullptr);
    const std::vector<float> rising = leaf.fades[fadeKey];
    ASSERT_GE(rising.size(), 2u);
    EXPECT_TRUE(std::is_sorted(rising.begin(), rising.end())) << "the play fade rises";
    EXPECT_FLOAT_EQ(rising.back(), 1.0f);

    leaf.fades.clear();
    context->StopWithFade(ZkMusicFadeParams{100, 4, 0}, kNoStopOffset);
    EXPECT_TRUE(leaf.stops.empty()) << "the stop waits for the fade";
    int frames = 0;
    while (context->HasFade() && frames < 100)
    {
        TickTransitions();
        ++frames;
    }
    EXPECT_EQ(frames, 5) << "100 ms are ceil(100 / 21) frames of 1024 samples";
    const std::vector<float>& falling = leaf.fades[fadeKey];
    EXPECT_TRUE(std::is_sorted(falling.rbegin(), falling.rend())) << "the stop fade falls";
    EXPECT_FLOAT_EQ(falling.back(), 0.0f);
    EXPECT_EQ(leaf.stops, std::vector<uint32_t>{kNoStopOffset}) << "the fade's end stops the context";
    context->EndFrame();
    EXPECT_EQ(context->PlayState(), CZkMusicContext::kStopped);
    DropLone(context, leaf);
}

TEST_F(MusicContextTest, AFadeThatCannotBeMadeCompletesAtOnce)
{
    struct FailedFadeCase
    {
        const char* label;
        void (*request)(CZkMusicContext&);
        bool stopped;
        bool paused;
        float fadeFactor;
        float pauseFactor;
    };
    const std::vector<FailedFadeCase> cases = {
        {"stop fade", [](CZkMusicContext& c) { c.StopWithFade(ZkMusicFadeParams{200, 4, 0}, kNoStopOffset); }, true,
         false, 0.0f, 1.0f},
        {"pause fade", [](CZkMusicContext& c) { c.PauseWithFade(ZkMusicFadeParams{200, 4, 0}); }, false, true, 1.0f,
         0.0f},
        {"play fade", [](CZkMusicContext& c) { c.PlayWithFade(ZkMusicFadeParams{200, 4, 0}); }, false, false, 1.0f,
         1.0f},
    };
    for (const FailedFadeCase& c : cases)
    {
        RecordingTimeline* context = LoneContext();
        RecordingLeaf leaf;
        context->LinkChild(leaf);
        context->OnPlay();
        Fault::FailFrom(ZkMemID_Default, 1);
        c.request(*context);
        Fault::Disarm();
        EXPECT_FALSE(context->HasFade() || context->HasPauseFade()) << c.label;
        EXPECT_EQ(!leaf.stops.empty(), c.stopped) << c.label;
        EXPECT_EQ(leaf.paused, c.paused) << c.label;
        EXPECT_FLOAT_EQ(context->FadeFactor(), c.fadeFactor) << c.label;
        EXPECT_FLOAT_EQ(context->PauseFactor(), c.pauseFactor) << c.label;
        DropLone(context, leaf);
    }
}

TEST_F(MusicContextTest, ReleasingTheLastChildReleasesEachParentUpToTheRootWhoseReleaseEndsThePlay)
{
    int destroyed = 0;
    auto* root = NewContext<RecordingTimeline>(nullptr, m_segment, &destroyed);
    root->AddRef();
    ASSERT_EQ(root->Attach(m_object, ZkMusicPlayInfo{}, 0), ZK_Fail) << "playing id 0";
    ASSERT_EQ(MusicEngineState::Get().FirstPlaying(), root);
    auto* middle = NewContext<RecordingTimeline>(root, m_segment, &destroyed);
    middle->AddRef();
    ASSERT_EQ(middle->Attach(m_object, ZkMusicPlayInfo{}, 0), ZK_Success);
    auto* child = NewContext<RecordingTimeline>(middle, m_segment, &destroyed);
    child->AddRef();
    ASSERT_EQ(child->Attach(m_object, ZkMusicPlayInfo{}, 0), ZK_Success);
    EXPECT_EQ(child->playRecord, root->playRecord) << "a child copies its parent's play record";
    EXPECT_EQ(m_segment->PlayCount(), 1);

    root->Release();
    middle->Release();
    EXPECT_EQ(destroyed, 0) << "each parent is held by its child";
    child->Release();
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(MusicEngineState::Get().FirstPlaying(), nullptr) << "the root's release ended the play";
    EXPECT_EQ(m_segment->PlayCount(), 0);
}
} // namespace
} // namespace ZkMusicContextTest
