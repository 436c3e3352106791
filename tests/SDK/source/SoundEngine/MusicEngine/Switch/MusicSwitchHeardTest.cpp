// Switch containers heard: the transitions a state change schedules (exit kinds, a transition
// segment, a fade-out with an offset), two changes in one frame, the fallback rule, and nesting
// too deep for the music cursor. The fixture and its bank: MusicSwitchHeardFixture.h.
#include "SDK/source/SoundEngine/MusicEngine/Switch/MusicSwitchHeardFixture.h"

#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>

#include <algorithm>
#include <vector>

namespace
{
using namespace ZkMusicSwitchHeardTest;

TEST_F(MusicSwitchHeard, AStateChangeEntersTheDestinationOnTheExitPointTheRuleAsks)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        int sync;
        bool viaTransition;
    };
    const std::vector<Case> cases = {
        {"exit cue", 900, kExitCue, false},
        {"next bar", 901, kNextBar, false},
        {"next custom cue", 902, kNextCustomCue, false},
        {"through a transition segment", 904, kExitCue, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
        ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
        const long now = static_cast<long>(kChangeFrame * kFrames);
        const long exit = ModelExitPoint(c.sync, kOrigin, now);
        const long entry = c.viaTransition ? exit + kShortActive : exit;
        ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((entry + 30000) / kFrames) + 1 - kChangeFrame));
        std::vector<Piece> pieces = {{SegmentA(c.container), kOrigin, 0, exit - kOrigin}};
        if (c.viaTransition)
            pieces.push_back({SegmentT(c.container), exit, 0, kShortActive});
        pieces.push_back({SegmentB(c.container), entry, 0, kActive});
        EXPECT_LT(Judge(pieces), kLevelTolerance) << "worst at " << lastWorst << ", audible until " << lastLoud;
        if (c.sync == kNextBar)
        {
            for (int shift : {-1, 1})
                EXPECT_GT(Judge(pieces, shift), 1e-2) << "entries " << shift << " sample off";
        }
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}

// A 200 ms fade-out with an offset of 100 ms begins 100 ms before the exit cue and ends 100 ms after
// it; the destination enters on the exit cue, sample for sample. Heard: A keeps its level up to the
// frame that holds the fade's start, its frame levels fall from there to the frame B enters in, and
// outside the fade the capture is A, then B, exactly.
//
// The output delivers no frame while nothing at all plays: the play's first four frames (A enters
// at 4800, in the fifth) are not in the capture, which starts 4096 samples into the switch's
// timeline. (Read as if the capture began with the play, everything seemed some 100 ms early.)
TEST_F(MusicSwitchHeard, AFadeOutWithAnOffsetStopsTheSourceBeforeTheExitAndTheDestinationEntersOnIt)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(903));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    // Silence, A, then B.
    ZK::MusicEngine::ZkSwitchChainEntry* source = root->FirstEntry();
    while (source != nullptr && source->next != nullptr && source->next->next != nullptr)
        source = source->next;
    ASSERT_NE(source, nullptr);
    ASSERT_NE(source->next, nullptr);
    // The root's first move, from its silence to A, leaves room for the rule's fade-out less its
    // offset too: A enters 100 ms after the play's start.
    const long origin = 4800;
    const long exit = ModelExitPoint(kExitCue, origin, kChangeFrame * kFrames);
    const long fadeFrom = exit - 4800;
    const long fadeUntil = exit + 4800;
    EXPECT_EQ(static_cast<long>(source->next->context->timeOffset), exit);
    EXPECT_EQ(static_cast<long>(source->stopTime), fadeFrom);
    EXPECT_EQ(source->fadeOut.durationMs, 200);

    const auto rendered = static_cast<uint32_t>((exit + kActive) / kFrames);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(rendered - kChangeFrame - 1));
    constexpr uint32_t kSilentFrames = 4;
    ASSERT_EQ(frameOffsets.size(), rendered - kSilentFrames) << "the frames before A's first sample are not delivered";
    // Switch time to capture sample frame.
    const auto heard = [](long time) { return time - static_cast<long>(kSilentFrames * kFrames); };
    // The fade runs on the frame clock from the frame that holds its start, and may end in the
    // frame after the one that holds its end.
    const long skipFrom = heard(fadeFrom / kFrames * kFrames);
    const long skipUntil = heard((fadeUntil / kFrames + 2) * kFrames);
    EXPECT_LT(Judge({{SegmentA(903), heard(origin), 0, fadeUntil - origin}, {SegmentB(903), heard(exit), 0, kActive}}, 0,
                    skipFrom, skipUntil),
              kLevelTolerance)
        << "worst at " << lastWorst;
    for (int shift : {-1, 1})
        EXPECT_GT(Judge({{SegmentA(903), heard(origin), 0, fadeUntil - origin}, {SegmentB(903), heard(exit), 0, kActive}}, shift,
                        skipFrom, skipUntil),
                  1e-2)
            << "B entered " << shift << " sample off";
    const std::vector<float> peaks = FramePeaks();
    const float full = 0.3f * ZkFirstSoundTest::kCentreGain;
    const auto fadeFirst = static_cast<size_t>(heard(fadeFrom) / kFrames); // the frame the fade starts in
    const auto entering = static_cast<size_t>(heard(exit) / kFrames);      // the frame B enters in
    ASSERT_GT(peaks.size(), entering);
    for (size_t frame = fadeFirst - 8; frame < fadeFirst; ++frame)
        EXPECT_NEAR(peaks[frame], full, 0.01) << "frame " << frame << " before the fade";
    for (size_t frame = fadeFirst + 1; frame < entering; ++frame)
        EXPECT_LT(peaks[frame], peaks[frame - 1]) << "frame " << frame << " falls";
    // The last frame before B, at a linear fade's level: the fade (9.4 frames) has run one frame
    // less than the frames from its first one.
    const float fadeFrames = 9600.0f / kFrames;
    EXPECT_NEAR(peaks[entering - 1], full * (1.0f - static_cast<float>(entering - 1 - fadeFirst) / fadeFrames), full * 0.05f);
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// A second change in the same frame takes back what the first placed: C, never B, enters where B
// would have.
TEST_F(MusicSwitchHeard, TwoChangesWithinOneFrameLeaveOnlyTheSecondDestination)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(901));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kChangeFrame));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateC), ZK_Success);
    const long exit = ModelExitPoint(kNextBar, kOrigin, kChangeFrame * kFrames);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(static_cast<uint32_t>((exit + 12000) / kFrames) + 1 - kChangeFrame));
    EXPECT_LT(Judge({{SegmentA(901), kOrigin, 0, exit - kOrigin}, {SegmentC(901), exit, 0, kActive}}), kLevelTolerance);
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// The rule's exit (a custom cue) never comes in the looped D: each attempt moves on by one D, and
// after 64 attempts the fallback rule leaves at the exit cue of the D the cursor then stands on.
TEST_F(MusicSwitchHeard, ARuleWhoseExitNeverComesFallsBackAfterSixtyFourAttempts)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    ASSERT_NO_FATAL_FAILURE(Play(905));
    ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
    ASSERT_EQ(ZK::SoundEngine::SetState(kGroup, kStateB), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));
    CZkMusicSwitchContext* root = Root();
    ASSERT_NE(root, nullptr);
    ZK::MusicEngine::ZkSwitchChainEntry* playlist = root->FirstEntry();
    ASSERT_NE(playlist, nullptr);
    if (playlist->context->GetNode() == nullptr)
        playlist = playlist->next; // the root's initial silence
    ASSERT_NE(playlist, nullptr);
    ASSERT_NE(playlist->next, nullptr) << "B is scheduled";
    EXPECT_EQ(playlist->next->context->GetNode()->ID(), static_cast<ZkUniqueID>(SegmentB(905)));
    const auto expected = static_cast<long>(playlist->context->timeOffset) + 65 * kShortActive;
    EXPECT_EQ(static_cast<long>(playlist->next->context->timeOffset), expected);
    ASSERT_NO_FATAL_FAILURE(StopAll());
}

// The music cursor keeps 32 switch levels: a 33rd nested switch context is never made (silence
// instead), so neither 33 nested containers nor a decision naming its own container recurse
// without end; an id that is not loaded is silence too.
TEST_F(MusicSwitchHeard, NestingPastThirtyTwoSwitchLevelsAndUnknownDestinationsPlaySilence)
{
    ASSERT_NO_FATAL_FAILURE(StartMusic());
    struct Case
    {
        const char* what;
        int container;
        uint32_t switchLevels;
    };
    const std::vector<Case> cases = {
        {"33 nested containers", 800, 32},
        {"a decision naming its own container", 906, 32},
        {"a destination not loaded", 907, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(Play(c.container));
        ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
        CZkMusicSwitchContext* level = Root();
        ASSERT_NE(level, nullptr);
        uint32_t levels = 1;
        for (;;)
        {
            ZK::MusicEngine::ZkSwitchChainEntry* entry = level->FirstEntry();
            if (entry != nullptr && entry->next != nullptr && level->parent == nullptr)
                entry = entry->next;
            ASSERT_NE(entry, nullptr);
            const auto* node = entry->context->GetNode();
            if (node == nullptr || node->Category() != ZK::MusicEngine::kCategoryMusicSwitch)
            {
                EXPECT_EQ(node, nullptr) << "silence at the bottom";
                break;
            }
            level = static_cast<CZkMusicSwitchContext*>(entry->context);
            ++levels;
        }
        EXPECT_EQ(levels, c.switchLevels);
        EXPECT_TRUE(std::all_of(captured.begin(), captured.end(), [](float sample) { return sample == 0.0f; }));
        ASSERT_NO_FATAL_FAILURE(StopAll());
    }
}
} // namespace
