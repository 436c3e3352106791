// One ADPCM tone stored three ways, heard end to end through the running engine (offline
// rendering, the capture of the main output): in the bank, streamed from its loose "<id>.oxm" file,
// and streamed with its first bytes in the bank (a prefetch copy ending inside a block). The three
// captures are the same samples: ffmpeg's decode of the tone at the centre gain of a mono sound. An
// ADPCM tone at 44.1 kHz goes through the resampler and is heard at its frequency.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"
#include "AdpcmTestSupport.h"

#include <cmath>
#include <cstdlib>

namespace
{
using namespace ZkFirstSoundTest;

constexpr uint32_t kToneFrames = 64 * 190;

class HeardAdpcm : public FirstSound
{
protected:
    void SetUp() override
    {
        FirstSound::SetUp();
        // Automatic streams read into the device's I/O memory, which the fixture's device lacks.
        m_io.Term();
        ZkDeviceSettings device = ZkStreamTest::DefaultDeviceSettings();
        device.ioMemoryBytes = 256 * 1024;
        ASSERT_EQ(m_io.Init(device), ZK_Success);
        const std::filesystem::path banks = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks";
        ASSERT_EQ(m_io.AddBasePath(banks.wstring().c_str()), ZK_Success);
        ASSERT_EQ(m_io.AddBasePath(m_folder.Path().wstring().c_str()), ZK_Success);
        const std::string tone = R"("encoding": "adpcm", "wave": {"rate": 48000, "channels": 1, "frames": )" +
                                 std::to_string(kToneFrames) +
                                 R"(, "parts": [{"tone": 1000, "amp": 0.5}, {"noise": 0.1, "seed": 3}]})";
        // The prefetch copy: the 52-byte header and 10.5 blocks.
        const std::string tone44 = R"("encoding": "adpcm", "wave": {"rate": 44100, "channels": 1, "frames": 11008,
                                       "parts": [{"tone": 1000, "amp": 0.5}]})";
        const std::string bank = R"({"name": "HeardAdpcm.bnk", "media": [{"id": 110, )" + tone + R"(},
                {"id": 113, )" + tone44 + R"(}],
            "streamed": [{"id": 111, )" + tone + R"(}, {"id": 112, "prefetch": 430, )" + tone + R"(}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", "items": [
                {"type": "sound", "id": 210, "media": 110, "codec": "adpcm", "bus": "Effects"},
                {"type": "sound", "id": 211, "media": 111, "codec": "adpcm", "stream_type": 2, "bus": "Effects"},
                {"type": "sound", "id": 212, "media": 112, "codec": "adpcm", "stream_type": 1, "bus": "Effects"},
                {"type": "sound", "id": 213, "media": 113, "codec": "adpcm", "bus": "Effects"},
                {"type": "action", "id": 313, "action": "play", "target": 213},
                {"type": "event", "id": 913, "actions": [313]},
                {"type": "action", "id": 310, "action": "play", "target": 210},
                {"type": "action", "id": 311, "action": "play", "target": 211},
                {"type": "action", "id": 312, "action": "play", "target": 212},
                {"type": "event", "id": 910, "actions": [310]},
                {"type": "event", "id": 911, "actions": [311]},
                {"type": "event", "id": 912, "actions": [312]}]}]})";
        const auto description = m_folder.Path() / "heard_adpcm.json";
        std::ofstream(description) << bank;
        const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" \"" +
                                    description.string() + "\" -o \"" +
                                    (m_folder.Path() / "HeardAdpcm.bnk").string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // The capture of the event's sound, from its first sample on.
    std::vector<float> Hear(ZkUniqueID event)
    {
        captured.clear();
        EXPECT_NE(PostEvent(event, kEmitter), 0u);
        RenderFrames(16);
        size_t first = 0;
        while (first < captured.size() && captured[first] == 0.0f)
            ++first;
        first -= first % 2;
        return std::vector<float>(captured.begin() + static_cast<std::ptrdiff_t>(first), captured.end());
    }
};

TEST_F(HeardAdpcm, EveryStorageIsHeardAsFfmpegsDecodeAtTheCentreGain)
{
    const std::vector<int16_t> decoded = ZkSourceTest::FfmpegDecode(48000, 1, kToneFrames);
    ASSERT_EQ(decoded.size(), size_t{kToneFrames});
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("HeardAdpcm.bnk", bank), ZK_Success);
    std::vector<std::vector<float>> heard;
    for (ZkUniqueID event : {910u, 911u, 912u})
    {
        SCOPED_TRACE(event);
        heard.push_back(Hear(event));
        const std::vector<float>& capture = heard.back();
        ASSERT_GE(capture.size(), size_t{kToneFrames} * 2);
        // The bus chain of the game's Init.bnk holds a level a hair below unity, reached over the
        // first engine buffer: the steady gain is measured at the loudest sample after it, and every
        // sample after it must be the decode at that gain within float rounding.
        size_t loudest = kFrames;
        for (size_t i = kFrames; i < kToneFrames; ++i)
            if (std::abs(decoded[i]) > std::abs(decoded[loudest]))
                loudest = i;
        const double gain = capture[2 * loudest] / (decoded[loudest] / 32768.0 * kCentreGain);
        EXPECT_NEAR(20.0 * std::log10(gain), 0.0, 0.05) << "the bus level";
        size_t wrong = 0;
        for (size_t i = 0; i < kToneFrames; ++i)
        {
            const double expected = decoded[i] / 32768.0 * kCentreGain * (i >= kFrames ? gain : 1.0);
            const double tolerance = i >= kFrames ? 1e-6 : 0.003 * std::fabs(expected) + 1e-6;
            for (size_t c = 0; c < 2; ++c)
                if (std::fabs(capture[2 * i + c] - expected) > tolerance && wrong++ < 10)
                    ADD_FAILURE() << "frame " << i << " channel " << c << ": " << capture[2 * i + c] << " for "
                                  << expected;
        }
        EXPECT_EQ(wrong, 0u);
        for (size_t i = size_t{kToneFrames} * 2; i < capture.size(); ++i)
            ASSERT_EQ(capture[i], 0.0f) << "after the tone, sample " << i;
    }
    EXPECT_EQ(heard[1], heard[0]) << "the loose file";
    EXPECT_EQ(heard[2], heard[0]) << "the loose file with its prefetch copy";
}

TEST_F(HeardAdpcm, A44100HzToneIsHeardAtItsFrequency)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    ZkBankID bank = 0;
    ASSERT_EQ(LoadBank("HeardAdpcm.bnk", bank), ZK_Success);
    const std::vector<float> capture = Hear(913);
    const ToneMeasure measure = Measure(capture, 2, 44100);
    EXPECT_NEAR(measure.peakHz, 1000.0, measure.binHz);
    EXPECT_GT(measure.amplitude[0], 0.5 * kCentreGain * 0.9) << "at its level";
}
} // namespace
