// Voices driven frame by frame over media-writer files: the file's samples exactly (read by scipy),
// its markers told in the frames that play them and its loop at the sampler chunk's points; a
// tone at 44.1 kHz brought to 48 kHz (its spectral peak and its steps across frame boundaries
// judged by numpy); a start delay as silence before the first sample; malformed formats and media
// refused before anything is read; seeks past the end and media cut short.
#include "VoiceTestSupport.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace
{
using namespace ZkVoiceTest;
using ZkSoundFixtures::ScratchFolder;
using ZkSoundFixtures::WriteMedia;

constexpr const char* kSystemPython = "/usr/bin/python3";

std::string Oracle(const std::string& arguments)
{
    return ZkEngineTest::RunCommand(std::string(kSystemPython) + " \"" + KP_SOURCE_DIR +
                                    "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Voice/voice_oracle.py\" " +
                                    arguments);
}

void Save(const std::filesystem::path& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The file's samples as scipy reads them.
std::vector<int16_t> SamplesByScipy(const Bytes& file, uint32_t& channels)
{
    ScratchFolder folder;
    Save(folder.Path() / "media.wav", file.data(), file.size());
    std::istringstream answer(
        Oracle("samples \"" + (folder.Path() / "media.wav").string() + "\" \"" + (folder.Path() / "samples.raw").string() + "\""));
    uint32_t rate = 0, frames = 0;
    answer >> rate >> channels >> frames;
    const Bytes raw = ZkSoundFixtures::ReadWholeFile(folder.Path() / "samples.raw");
    std::vector<int16_t> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.data(), samples.size() * 2);
    EXPECT_EQ(samples.size(), size_t{frames} * channels);
    return samples;
}

using VoicePlayback = VoiceTest;

TEST_F(VoicePlayback, DeliversTheFilesSamplesItsMarkersInTheirFramesAndItsLoopAtTheSamplerPoints)
{
    const Bytes file = WriteMedia(ToneSpec(48000, 2, 9000, R"(, "cues": [{"id": 1, "position": 100, "label": "start"},
        {"id": 2, "position": 2500, "label": "in the loop"}, {"id": 3, "position": 7000}],
        "loop_points": {"start": 2000, "end": 5999})"));
    uint32_t channels = 0;
    const std::vector<int16_t> samples = SamplesByScipy(file, channels);
    ASSERT_EQ(channels, 2u);
    instance->SetLoopCount(3);
    PlayFromMemory(file);
    VoicePtr voice = StartVoice();
    uint32_t played = 0;
    const std::vector<float> output = RunToEnd(*voice, played);
    const std::vector<int16_t> expected = Unrolled(samples, 2, 2000, 5999, 3);
    ASSERT_EQ(output.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(output[i], expected[i] / 32768.0f) << "sample " << i;
    EXPECT_EQ(voice->State(), CZkVoice::kStateStopped);

    // Frames of the unrolled play: 0-5999, then the loop twice (6000-9999, 10000-13999), 14000-16999.
    struct Told
    {
        uint32_t id;
        uint32_t unrolled;
        const char* label;
    } told[] = {{1, 100, "start"}, {2, 2500, "in the loop"}, {2, 6500, "in the loop"},
                {2, 10500, "in the loop"}, {3, 15000, ""}};
    ASSERT_EQ(heard.markers.size(), std::size(told));
    for (size_t i = 0; i < std::size(told); ++i)
    {
        EXPECT_EQ(heard.markers[i].identifier, told[i].id) << i;
        EXPECT_EQ(heard.markers[i].position, told[i].id == 1 ? 100u : told[i].id == 2 ? 2500u : 7000u) << i;
        EXPECT_EQ(heard.markers[i].label, told[i].label) << i;
        EXPECT_EQ(heard.markers[i].frame, told[i].unrolled / 1024) << "told in the frame that plays it: " << i;
    }
    ASSERT_EQ(heard.durations.size(), 1u);
    EXPECT_NEAR(heard.durations[0], (9000.0f + 2 * 4000.0f) * 1000.0f / 48000.0f, 0.01f);
}

TEST_F(VoicePlayback, AToneAt44100HzComesOutAt48000HzWithItsPeakAt1kHzAndNoStepAtFrameBoundaries)
{
    const Bytes file = WriteMedia(ToneSpec(44100, 1, 88200));
    PlayFromMemory(file);
    VoicePtr voice = StartVoice();
    uint32_t channels = 0;
    const std::vector<float> output = RunToEnd(*voice, channels);
    ASSERT_EQ(channels, 1u);
    EXPECT_NEAR(static_cast<double>(output.size()), 96000.0, 2.0) << "two seconds at 48 kHz";
    ScratchFolder folder;
    const auto path = folder.Path() / "output.raw";
    Save(path, output.data(), output.size() * sizeof(float));
    std::istringstream answer(Oracle("tone \"" + path.string() + "\" 48000 1024"));
    double peak = 0.0, bin = 0.0, boundaryStep = 0.0, innerStep = 0.0;
    answer >> peak >> bin >> boundaryStep >> innerStep;
    ASSERT_GT(bin, 0.0) << "the oracle answered";
    EXPECT_NEAR(peak, 1000.0, bin);
    // A sine of amplitude 0.5 at 1 kHz moves at most 0.5 x 2 pi x 1000 / 48000 = 0.0654 per sample.
    EXPECT_LT(innerStep, 0.0660);
    EXPECT_LE(boundaryStep, innerStep * 1.001) << "no discontinuity where one frame's block meets the next";
}

TEST_F(VoicePlayback, AStartDelayIsSilenceBeforeTheFirstSampleAndRunsOutWhileTheVoiceWaits)
{
    // Without look-ahead the voice starts in the frame its first sample falls in.
    struct NoLookAhead
    {
        uint32_t saved = GetEngineSettings().lookAheadFrames;
        NoLookAhead() { GetEngineSettings().lookAheadFrames = 0; }
        ~NoLookAhead() { GetEngineSettings().lookAheadFrames = saved; }
    } noLookAhead;
    const Bytes file = WriteMedia(ToneSpec(48000, 1, 3000));
    const std::vector<int16_t> samples = SamplesOf(file);
    for (uint32_t delay : {0u, 500u, 1023u, 5000u})
    {
        instance = MakeInstance(media, delay);
        PlayFromMemory(file);
        VoicePtr voice = MakeVoice();
        // The engine tick asks whether the voice may start; the render pass then counts the frame.
        uint32_t waited = 0;
        for (uint32_t frame = 0; frame < 100 && voice->CheckSourceReady(instance) == ZK_NotReadyYet; ++frame)
        {
            ZkVoiceLists::UpdatePlaying(ZkAudioSettings::FramesPerBuffer());
            waited += ZkAudioSettings::FramesPerBuffer();
        }
        voice->Start();
        uint32_t channels = 0;
        const std::vector<float> output = RunToEnd(*voice, channels);
        ASSERT_EQ(waited + output.size(), delay + samples.size()) << delay;
        const uint32_t silence = delay - waited;
        for (uint32_t i = 0; i < silence; ++i)
            ASSERT_EQ(output[i], 0.0f) << delay << ": frame " << i;
        for (size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(output[silence + i], samples[i] / 32768.0f) << delay << ": sample " << i;
    }
}

TEST_F(VoicePlayback, MalformedFormatsAreRefusedBeforeAnythingIsRead)
{
    // Offsets in the format chunk's body: block align at 12, bits at 14 (valid bits at 18).
    struct Case
    {
        const char* name;
        uint32_t channels;
        std::string extra;
        int bits;
        int blockAlign;
    } cases[] = {
        {"block align 0", 2, "", -1, 0},
        {"block align 6 for 16-bit stereo", 2, "", -1, 6},
        {"a 3-bit mask on a 2-channel file", 2, R"(, "channel_mask": 7)", -1, -1},
        {"32-bit stereo", 2, "", 32, 8},
    };
    for (const Case& c : cases)
    {
        Bytes file = WriteMedia(ToneSpec(48000, c.channels, 4800, c.extra));
        const DataChunk data = FindData(file);
        uint8_t* format = file.data() + 20; // "RIFF" size "WAVE" "fmt " size, then the body
        ASSERT_EQ(std::memcmp(file.data() + 12, "fmt ", 4), 0);
        if (c.bits >= 0)
        {
            ZK::StoreLittleEndian<uint16_t>(format + 14, static_cast<uint16_t>(c.bits));
            ZK::StoreLittleEndian<uint16_t>(format + 18, static_cast<uint16_t>(c.bits));
        }
        if (c.blockAlign >= 0)
            ZK::StoreLittleEndian<uint16_t>(format + 12, static_cast<uint16_t>(c.blockAlign));
        ASSERT_GT(data.size, 0u);
        PlayFromMemory(file);
        VoicePtr voice = MakeVoice(ZK_InvalidFile);
        EXPECT_EQ(voice->MainSource(), nullptr) << c.name;
    }
}

TEST_F(VoicePlayback, ASourceThatCannotStartFailsTheAttach)
{
    // The source's answers are the voice's (the source's own table has every header fault).
    const Bytes plain = WriteMedia(ToneSpec(48000, 1, 480, R"(, "variant": "plain_pcm")"));
    PlayFromMemory(plain);
    EXPECT_EQ(MakeVoice(ZK_UnsupportedFormat)->MainSource(), nullptr);
    // A seek past the end.
    const Bytes file = WriteMedia(ToneSpec(48000, 1, 4800));
    PlayFromMemory(file);
    instance->SeekToSamples(4800);
    EXPECT_EQ(MakeVoice(ZK_Fail)->MainSource(), nullptr);
}

TEST_F(VoicePlayback, MediaCutShortPlaysItsWholeFramesThenEnds)
{
    // The data chunk announces 4096 bytes more than the file holds.
    const Bytes file = WriteMedia(ToneSpec(48000, 2, 3000, R"(, "variant": "data_past_end")"));
    Bytes cut = file;
    cut.resize(cut.size() - 2); // and the last frame loses half its bytes
    PlayFromMemory(cut);
    VoicePtr voice = StartVoice();
    uint32_t channels = 0;
    const std::vector<float> output = RunToEnd(*voice, channels);
    const std::vector<int16_t> samples = SamplesOf(file);
    ASSERT_EQ(output.size(), size_t{2999} * 2);
    for (size_t i = 0; i < output.size(); ++i)
        ASSERT_EQ(output[i], samples[i] / 32768.0f) << i;
    EXPECT_EQ(voice->State(), CZkVoice::kStateStopped);
}
} // namespace
