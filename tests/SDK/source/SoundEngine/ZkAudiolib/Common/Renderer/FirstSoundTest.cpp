// The first sound end to end through the running engine: a posted event's play action makes a
// playing instance, the voice command queue gives it a voice, the render pass pulls it through its
// pipeline into the Effects bus, up the bus tree into the main device's master mix and out to the
// device's capture consumers. The capture is judged by numpy: its frequency, its level (mono,
// unpositioned, onto stereo: the tone's amplitude times 0.70710677 on each side), its continuity
// against a fitted sine, its start and its end.
#include "FirstSoundFixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace
{
using namespace ZkFirstSoundTest;

struct ToneCase
{
    const char* event;
    uint32_t samples;       // at the media's rate
    uint32_t mediaRate;
};

class FirstSoundTone : public FirstSound, public ::testing::WithParamInterface<ToneCase>
{
};

TEST_P(FirstSoundTone, IsHeardAtItsFrequencyAndLevelFromItsStartToItsEnd)
{
    const ToneCase tone = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NE(PostEvent(tone.event, kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(20));
    ASSERT_EQ(channels, 2u);
    const ToneMeasure measure = Measure(captured, channels, tone.mediaRate == kRate ? 0 : tone.mediaRate);
    // Latency: the post and the voice's start are applied by the first frame rendered after the
    // post (its messages, its play action, the voice command queue, then the render pass), so the
    // tone begins with that frame's first sample, which is sin 0 = 0: the first audible sample is
    // the frame's second. No frame of latency beyond the frame the post arrives in.
    EXPECT_EQ(measure.first, 1) << "the tone starts with the first frame after the post";
    const double outputSamples = static_cast<double>(tone.samples) * kRate / tone.mediaRate;
    EXPECT_NEAR(static_cast<double>(measure.last + 1), outputSamples, 2.0) << "and ends with it";
    EXPECT_NEAR(measure.peakHz, kToneHz, measure.binHz);
    for (int channel = 0; channel < 2; ++channel)
    {
        EXPECT_NEAR(20.0 * std::log10(measure.amplitude[channel] / (kToneAmplitude * kCentreGain)), 0.0, 0.1)
            << "channel " << channel;
        EXPECT_LT(measure.residualDb[channel], -60.0) << "continuous across frames, channel " << channel;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, FirstSoundTone,
                         ::testing::Values(ToneCase{"Play_Tone48", kToneSamples48, 48000},
                                           ToneCase{"Play_Tone44", kToneSamples44, 44100}),
                         [](const auto& info) { return std::to_string(info.param.mediaRate); });
} // namespace

namespace
{
// The engine's own 16-bit capture file of the same frames, read back by sox, holds the callback's
// samples rounded to 16 bits.
TEST_F(FirstSound, TheCaptureFileHoldsTheCallbackStreamIn16Bits)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(StartOutputCapture(L"first.wav"), ZK_Success);
    ASSERT_NE(PostEvent("Play_Tone48", kEmitter), 0u);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(14));
    ASSERT_EQ(StopOutputCapture(), ZK_Success);
    ASSERT_NO_FATAL_FAILURE(RenderFrames(1));

    const std::filesystem::path raw = m_folder.Path() / "first.s16";
    ASSERT_EQ(std::system(("sox \"" + (m_folder.Path() / "first.wav").string() + "\" -t raw -e signed -b 16 \"" +
                           raw.string() + "\"")
                              .c_str()),
              0);
    const ZkSoundFixtures::Bytes bytes = ZkSoundFixtures::ReadWholeFile(raw);
    const size_t count = bytes.size() / 2;
    ASSERT_EQ(count, 14u * kFrames * 2) << "every frame rendered while the capture ran, stereo";
    ASSERT_GE(captured.size(), count);
    size_t audible = 0;
    for (size_t i = 0; i < count; ++i)
    {
        int16_t sample;
        std::memcpy(&sample, bytes.data() + 2 * i, 2);
        // The file's samples are the float samples times 32767, within one step of 16 bits.
        ASSERT_NEAR(sample, captured[i] * 32767.0, 1.0) << "sample " << i;
        audible += sample != 0 ? 1 : 0;
    }
    EXPECT_GT(audible, count / 2) << "the tone is in the file";
}
} // namespace
