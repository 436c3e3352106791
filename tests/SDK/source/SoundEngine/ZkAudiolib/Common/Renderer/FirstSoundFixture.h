// Shared by the tests that hear the engine end to end: the engine started with offline rendering
// (one frame of 1024 samples at 48 kHz per RenderAudio), no endpoint (the main device renders on
// the base sink), the game's Init.bnk (its bus tree and volume parameters) and a bank of the test
// written by tools/bank_writer.py: 1 kHz tones, 16-bit mono, at 48 kHz on the Effects bus and at
// 44.1 kHz on the Music bus, and a seamless loop of it at 48 kHz on the Effects bus that plays until
// stopped, each with its play action and event. A capture callback on the main output keeps every
// sample; a Python oracle (numpy) measures them.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"
#include "SDK/source/SoundEngine/StreamMgr/StreamTestSupport.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkEngineControls.h>
#include <ZK/SoundEngine/Common/ZkEventCalls.h>
#include <ZK/SoundEngine/Common/ZkGameObjectCalls.h>
#include <ZK/SoundEngine/Common/ZkOutputCalls.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ZkFirstSoundTest
{
using namespace ZkEngineLifeTest;

constexpr uint32_t kFrames = 1024;
constexpr uint32_t kRate = 48000;
constexpr float kToneAmplitude = 0.5f;
constexpr uint32_t kToneHz = 1000;
constexpr uint32_t kToneSamples48 = 12000;  // 0.25 s
constexpr uint32_t kToneSamples44 = 11025;  // 0.25 s
constexpr ZkGameObjectID kEmitter = 7;
// Mono, unpositioned, onto stereo: the centre of the constant-power law.
constexpr float kCentreGain = 0.70710677f;

// What an oracle measured of the capture.
struct ToneMeasure
{
    double peakHz = 0.0;
    double binHz = 0.0;
    double amplitude[2] = {};
    double residualDb[2] = {};
    long first = -1;
    long last = -1;
};

// A run of sound in a capture channel: its first and last sample frames.
struct Burst
{
    size_t first;
    size_t last;
};

class FirstSound : public EngineLifeTest
{
protected:
    void SetUp() override
    {
        EngineLifeTest::SetUp();
        settings.engineThread = 0;
        ASSERT_NO_FATAL_FAILURE(WriteBankFile("FirstSound.bnk", BankDescription()));
        ASSERT_NO_FATAL_FAILURE(StartDevice());
        m_setUpBlocks = SettledBlocks();
    }

    // The bank the writer makes of description, as name in the folder the engine reads banks from.
    void WriteBankFile(const char* name, const std::string& description)
    {
        const ZkSoundFixtures::Bytes bank = ZkSoundFixtures::WriteBank(description);
        ASSERT_FALSE(bank.empty());
        std::ofstream(m_folder.Path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
    }

    void StartDevice()
    {
        ASSERT_EQ(m_io.Init(ZkStreamTest::DefaultDeviceSettings()), ZK_Success);
        const std::filesystem::path banks = std::filesystem::path(KP_SOURCE_DIR) / "Trindle_Ostrel" / "Banks";
        ASSERT_EQ(m_io.AddBasePath(banks.wstring().c_str()), ZK_Success);
        // The test's folder last: files are written into the last base path.
        ASSERT_EQ(m_io.AddBasePath(m_folder.Path().wstring().c_str()), ZK_Success);
    }

    // The blocks held once every stream is gone. A closed stream (a bank read by name) is freed by
    // the device's I/O thread some time later; ending the device waits for all of them, so the
    // count is taken with the device ended, and the device starts again afterwards.
    int64_t SettledBlocks()
    {
        m_io.Term();
        const int64_t blocks = EngineBlocks();
        StartDevice();
        return blocks;
    }
    void TearDown() override
    {
        Term();
        m_io.Term();
        EngineLifeTest::TearDown();
    }

    static std::string BankDescription()
    {
        auto tone = [](uint32_t rate, uint32_t samples) {
            return R"("wave": {"rate": )" + std::to_string(rate) + R"(, "channels": 1, "frames": )" +
                   std::to_string(samples) + R"(, "parts": [{"tone": 1000, "amp": 0.5}]})";
        };
        return R"({"name": "FirstSound.bnk",
            "media": [{"id": 100, )" + tone(48000, kToneSamples48) + R"(}, {"id": 101, )" + tone(44100, kToneSamples44) +
               R"(}, {"id": 102, "wave": {"rate": 48000, "channels": 1, "loop": {"periods": 250, "of": 1000},
                                "parts": [{"tone": 1000, "amp": 0.5}]}}],
            "chunks": [{"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"},
              {"tag": "HIRC", "items": [
                {"type": "sound", "id": 200, "media": 100, "bus": "Effects"},
                {"type": "sound", "id": 201, "media": 101, "bus": "Music"},
                {"type": "sound", "id": 202, "media": 102, "bus": "Effects", "props": {"loop_count": 0}},
                {"type": "action", "id": 300, "action": "play", "target": 200},
                {"type": "action", "id": 301, "action": "play", "target": 201},
                {"type": "event", "id": "Play_Tone48", "actions": [300]},
                {"type": "action", "id": 302, "action": "play", "target": 202},
                {"type": "event", "id": "Play_Tone44", "actions": [301]},
                {"type": "event", "id": "Play_ToneLoop", "actions": [302]}]}]})";
    }

    // The engine with offline rendering, the banks (Init.bnk, then the given one), the capture
    // callback and the emitter.
    void Start(const char* bankName = "FirstSound.bnk")
    {
        ASSERT_EQ(Init(&settings, &platformSettings), ZK_Success);
        ASSERT_EQ(SetOfflineRenderingFrameTime(static_cast<float>(kFrames) / kRate), ZK_Success);
        ASSERT_EQ(SetOfflineRendering(true), ZK_Success);
        ASSERT_NO_FATAL_FAILURE(BeforeBanksLoad());
        ZkBankID bank = 0;
        ASSERT_EQ(LoadBank("Init.bnk", bank), ZK_Success);
        ASSERT_EQ(LoadBank(bankName, bank), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        ASSERT_EQ(RegisterCaptureCallback(&Capture, 0, this), ZK_Success);
        ASSERT_EQ(RegisterGameObj(kEmitter, "Emitter"), ZK_Success);
        ASSERT_EQ(RenderAudio(true), ZK_Success);
        captured.clear();
        frameOffsets.clear();
    }

    // What a fixture starts on the engine before its banks load (the music engine, for instance).
    virtual void BeforeBanksLoad() {}

    void RenderFrames(uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i)
            ASSERT_EQ(RenderAudio(true), ZK_Success);
    }

    // Channel 0 of the capture.
    std::vector<float> Left() const
    {
        std::vector<float> left;
        for (size_t i = 0; i < captured.size(); i += channels)
            left.push_back(captured[i]);
        return left;
    }

    // The bursts: runs of sound separated by at least gap samples of silence (a tone's own zero
    // samples come one at a time).
    static std::vector<Burst> Bursts(const std::vector<float>& left, size_t gap = 32)
    {
        std::vector<Burst> bursts;
        size_t quiet = gap;
        for (size_t i = 0; i < left.size(); ++i)
        {
            if (std::fabs(left[i]) < 1e-6f)
            {
                ++quiet;
                continue;
            }
            if (quiet >= gap || bursts.empty())
                bursts.push_back({i, i});
            bursts.back().last = i;
            quiet = 0;
        }
        return bursts;
    }

    static void Capture(ZkAudioBuffer& buffer, ZkOutputDeviceID, void* cookie)
    {
        auto& self = *static_cast<FirstSound*>(cookie);
        self.channels = buffer.NumChannels();
        self.frameOffsets.push_back(self.captured.size() / std::max(1u, self.channels));
        const float* samples = static_cast<const float*>(buffer.data);
        self.captured.insert(self.captured.end(), samples, samples + buffer.NumChannels() * buffer.validFrames);
    }

    // The capture measured by the oracle.
    // sourceRate: the media's rate when the tone went through the resampler (0: played as it is).
    ToneMeasure Measure(const std::vector<float>& samples, uint32_t channelCount, uint32_t sourceRate = 0) const
    {
        const std::filesystem::path raw = m_folder.Path() / "capture.f32";
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4));
        std::istringstream output(ZkEngineTest::RunCommand(
            "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
            "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/first_sound.py\" \"" + raw.string() + "\" " +
            std::to_string(channelCount) + " " + std::to_string(kRate) + " " + std::to_string(kToneHz) +
            (sourceRate != 0 ? " " + std::to_string(sourceRate) : std::string())));
        ToneMeasure measure;
        output >> measure.peakHz >> measure.binHz >> measure.amplitude[0] >> measure.residualDb[0] >>
            measure.amplitude[1] >> measure.residualDb[1] >> measure.first >> measure.last;
        EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
        return measure;
    }

    ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking m_io;
    ZkSoundFixtures::ScratchFolder m_folder;
    std::vector<float> captured;           // interleaved
    std::vector<size_t> frameOffsets;      // the first sample frame of each delivered frame
    uint32_t channels = 0;
    int64_t m_setUpBlocks = 0;             // settled blocks after set-up, the device ended
};
} // namespace ZkFirstSoundTest
