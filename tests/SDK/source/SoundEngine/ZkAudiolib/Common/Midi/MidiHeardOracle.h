// The pitch oracle of the MIDI heard tests: numpy (midi_heard.py) gives the spectral peak of each
// stretch of a capture, a measurement that shares nothing with the engine's resampling.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Renderer/FirstSoundFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ZkMidiHeardTest
{
// The peak (Hz) of each stretch [first, last] of samples (interleaved, channel 0 measured),
// written to raw for the oracle to read.
inline std::vector<double> SpectralPeaks(const std::filesystem::path& raw, const std::vector<float>& samples,
                                         unsigned channels, uint32_t rate,
                                         const std::vector<ZkFirstSoundTest::Burst>& stretches)
{
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 4));
    std::string arguments;
    for (const ZkFirstSoundTest::Burst& stretch : stretches)
        arguments += " " + std::to_string(stretch.first) + ":" + std::to_string(stretch.last);
    std::istringstream output(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Midi/midi_heard.py\" \"" + raw.string() + "\" " +
        std::to_string(channels) + " " + std::to_string(rate) + arguments));
    std::vector<double> hz(stretches.size(), 0.0);
    for (double& value : hz)
        output >> value;
    EXPECT_FALSE(output.fail()) << "the oracle answered: " << output.str();
    return hz;
}
} // namespace ZkMidiHeardTest
