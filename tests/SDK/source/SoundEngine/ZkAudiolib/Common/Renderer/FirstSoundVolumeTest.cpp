// Volume through the running engine: the shipped Init.bnk's effects level (game parameter
// 1564184899) silences the Effects bus at 0 and restores it at 100; a stop with a fade ramps the
// sound to silence over the fade's frames (200 ms at 21 ms per frame: ceil(200 / 21) = 10 frames),
// and the playback's end-of-event callback comes once.
#include "FirstSoundFixture.h"

#include <ZK/SoundEngine/Common/ZkCallbackTypes.h>
#include <ZK/SoundEngine/Common/ZkGameSyncCalls.h>
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <algorithm>
#include <cmath>

namespace
{
using namespace ZkFirstSoundTest;

constexpr ZkUniqueID kEffectsVolume = 1564184899;
constexpr float kSilenceDb = -96.0f;

double PeakDb(float peak)
{
    return 20.0 * std::log10(std::max(static_cast<double>(peak), 1e-12));
}

class FirstSoundVolume : public FirstSound
{
protected:
    // The loudest sample of each frame delivered since the last call.
    std::vector<float> FramePeaks()
    {
        std::vector<float> peaks;
        for (size_t f = m_read; f < frameOffsets.size(); ++f)
        {
            const size_t begin = frameOffsets[f] * channels;
            const size_t end = f + 1 < frameOffsets.size() ? frameOffsets[f + 1] * channels : captured.size();
            float peak = 0.0f;
            for (size_t i = begin; i < end; ++i)
                peak = std::max(peak, std::fabs(captured[i]));
            peaks.push_back(peak);
        }
        m_read = frameOffsets.size();
        return peaks;
    }

    static void CountEnd(ZkCallbackType type, ZkCallbackInfo* info)
    {
        if (type == ZkCallbackType_EndOfEvent)
            ++*static_cast<uint32_t*>(info->cookie);
    }

    size_t m_read = 0;
};

TEST_F(FirstSoundVolume, TheEffectsLevelSilencesTheEffectsBusAtZeroAndRestoresItAt100)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const float full = kToneAmplitude * kCentreGain;
    for (float peak : FramePeaks())
        EXPECT_NEAR(PeakDb(peak), PeakDb(full), 0.1);

    ASSERT_EQ(SetRTPCValue(kEffectsVolume, 0.0f), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    std::vector<float> peaks = FramePeaks();
    EXPECT_LE(PeakDb(peaks.back()), kSilenceDb) << "silent at the device once the level is 0";

    ASSERT_EQ(SetRTPCValue(kEffectsVolume, 100.0f), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    peaks = FramePeaks();
    EXPECT_NEAR(PeakDb(peaks.back()), PeakDb(full), 0.1) << "back at its level at 100";
}

// Init.bnk's curve gives level 50 a linear gain of one half (-6.02 dB): the level reaches the
// sound once, through its bus (0 and 100 cannot tell once from twice).
TEST_F(FirstSoundVolume, TheEffectsLevelAt50LowersTheSoundByInitBanksCurveOnce)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    FramePeaks();
    ASSERT_EQ(SetRTPCValue(kEffectsVolume, 50.0f), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const float full = kToneAmplitude * kCentreGain;
    EXPECT_NEAR(PeakDb(FramePeaks().back()), PeakDb(full) - 6.02, 0.1);

    // A sound that starts at level 50 sounds the same.
    StopAll();
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    FramePeaks();
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    EXPECT_NEAR(PeakDb(FramePeaks().back()), PeakDb(full) - 6.02, 0.1) << "started at level 50";
}

// A sound started while the effects level is already set is mixed at that level from its very
// first frame: no ramp from full level (a muted sound heard for a frame) down to it.
TEST_F(FirstSoundVolume, ASoundStartedAtALevelIsAtThatLevelFromItsFirstFrame)
{
    struct Case
    {
        float level;
        double expectedDb; // relative to the sound at level 100
    };
    const Case cases[] = {{0.0f, kSilenceDb}, {50.0f, -6.02}, {100.0f, 0.0}};
    ASSERT_NO_FATAL_FAILURE(Start());
    const double fullDb = PeakDb(kToneAmplitude * kCentreGain);
    for (const Case& c : cases)
    {
        ASSERT_EQ(SetRTPCValue(kEffectsVolume, c.level), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(2));
        FramePeaks();
        ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
        ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
        const std::vector<float> peaks = FramePeaks();
        for (size_t frame = 0; frame < peaks.size(); ++frame)
        {
            if (c.expectedDb == kSilenceDb)
            {
                EXPECT_LE(PeakDb(peaks[frame]), kSilenceDb) << "level " << c.level << ", frame " << frame;
            }
            else if (peaks[frame] > 0.0f) // the frames before the sound's start are empty
            {
                EXPECT_NEAR(PeakDb(peaks[frame]) - fullDb, c.expectedDb, 0.1) << "level " << c.level << ", frame " << frame;
            }
        }
        EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 1u) << "level " << c.level << ": the sound plays";
        if (c.expectedDb != kSilenceDb)
        {
            EXPECT_GT(peaks.back(), 0.0f) << "level " << c.level << ": and is heard";
        }
        StopAll();
        ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    }
}

// A sound started while its bus's level is 0 mixes from a gain of 0: when the level rises, its
// ramps stay finite and it comes back at its level.
TEST_F(FirstSoundVolume, ASoundStartedAtLevelZeroStaysFiniteWhenTheLevelRises)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(SetRTPCValue(kEffectsVolume, 0.0f), ZK_Success);
    ASSERT_NE(PostEvent("Play_ToneLoop", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    EXPECT_LE(PeakDb(FramePeaks().back()), kSilenceDb);
    ASSERT_EQ(SetRTPCValue(kEffectsVolume, 100.0f), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    const std::vector<float> peaks = FramePeaks();
    const auto firstNonFinite = std::find_if(captured.begin(), captured.end(), [](float s) { return !std::isfinite(s); });
    EXPECT_EQ(firstNonFinite - captured.begin(), captured.end() - captured.begin()) << "a sample that is not finite";
    EXPECT_NEAR(PeakDb(peaks.back()), PeakDb(kToneAmplitude * kCentreGain), 0.1) << "back at its level at 100";
}

TEST_F(FirstSoundVolume, AStopWithA200MsFadeRampsToSilenceOverTenFramesAndEndsOnce)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    uint32_t ends = 0;
    const ZkPlayingID playing = PostEvent("Play_ToneLoop", kEmitter, ZkCallbackType_EndOfEvent, &CountEnd, &ends);
    ASSERT_NE(playing, 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(3));
    FramePeaks();

    StopPlayingID(playing, 200);
    constexpr uint32_t kFadeFrames = (200 + 20) / 21; // ceil(200 / 21)
    ASSERT_NO_FATAL_FAILURE(RenderFrames(kFadeFrames + 4));
    const std::vector<float> peaks = FramePeaks();
    ASSERT_EQ(peaks.size(), kFadeFrames + 4);
    const float full = kToneAmplitude * kCentreGain;
    // A linear fade of the sound's gain (once, not squared): frame k of the fade ends at gain
    // 1 - (k + 1) / frames, so its loudest sample lies between the level at its start and the level
    // one frame past its end.
    for (uint32_t k = 0; k + 1 < kFadeFrames; ++k)
    {
        EXPECT_LT(peaks[k], full * (1.0f - static_cast<float>(k) / kFadeFrames) + 1e-4f) << "fade frame " << k;
        EXPECT_GT(peaks[k], full * (1.0f - static_cast<float>(k + 2) / kFadeFrames)) << "fade frame " << k;
    }
    for (uint32_t k = kFadeFrames; k < peaks.size(); ++k)
        EXPECT_LE(PeakDb(peaks[k]), kSilenceDb) << "silent after the fade, frame " << k;
    EXPECT_EQ(ends, 1u) << "the end-of-event callback comes once";
    ASSERT_NO_FATAL_FAILURE(RenderFrames(4));
    EXPECT_EQ(ends, 1u);
    EXPECT_EQ(CZkAudioRenderer::VoiceCount(), 0u) << "the voice is gone";
}
} // namespace
