// The heard fixture of the music tests: the first-sound engine with the music engine started
// before the banks load and ended before the engine, and the test's bank written from its
// description at set-up.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <ZK/SoundEngine/Common/ZkMusicEngine.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ZkFirstSoundTest
{

class MusicHeard : public FirstSound
{
protected:
    using BankDescription = std::string (*)();

    MusicHeard(const char* bankName, BankDescription description)
        : m_bankName(bankName), m_description(description)
    {
    }

    void SetUp() override
    {
        FirstSound::SetUp();
        ASSERT_NO_FATAL_FAILURE(WriteBankFile(m_bankName, m_description()));
    }
    void TearDown() override
    {
        ZK::MusicEngine::Term();
        FirstSound::TearDown();
    }
    void BeforeBanksLoad() override { ASSERT_EQ(ZK::MusicEngine::Init(nullptr), ZK_Success); }

    // Starts the engine with the test's bank loaded.
    void StartMusic() { ASSERT_NO_FATAL_FAILURE(Start(m_bankName)); }

    // What a numpy model of this folder prints for the capture: the script is run with the capture
    // file, its channel count, the bank's description file and then arguments.
    std::string RunModel(const char* script, const std::string& arguments) const
    {
        const std::filesystem::path raw = m_folder.Path() / "capture.f32";
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(captured.data()), static_cast<std::streamsize>(captured.size() * 4));
        const std::filesystem::path description = m_folder.Path() / "description.json";
        std::ofstream(description) << m_description();
        return ZkEngineTest::RunCommand("/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                                        "/tests/SDK/source/SoundEngine/MusicEngine/Heard/" + script + "\" \"" +
                                        raw.string() + "\" " + std::to_string(channels) + " \"" +
                                        description.string() + "\" " + arguments);
    }

    // The peak of channel 0 in each captured frame.
    std::vector<float> FramePeaks() const
    {
        std::vector<float> peaks;
        for (size_t frame = 0; frame * kFrames * channels < captured.size(); ++frame)
        {
            float peak = 0.0f;
            for (size_t i = 0; i < kFrames && (frame * kFrames + i) * channels < captured.size(); ++i)
                peak = std::max(peak, std::fabs(captured[(frame * kFrames + i) * channels]));
            peaks.push_back(peak);
        }
        return peaks;
    }

private:
    const char* m_bankName;
    BankDescription m_description;
};

} // namespace ZkFirstSoundTest
