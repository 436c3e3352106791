// What a heard test expects of a sine LFO at full depth (phase 0, no attack, control rate) driving
// a voice's volume through a link line (gain = offset + scale x value): its value at the end of
// each 1024-sample frame from the modulators' numpy model, and the mean gain of each frame, in which
// the gain ramps from the previous frame's value to this frame's.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/NumberLines.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ZkModulatorTest
{
// The LFO's value at the end of each of `frames` frames; empty when the model fails.
inline std::vector<double> SineLfoValues(double frequency, uint32_t frames)
{
    const auto lines = NumberLines(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/Modulators/modulator_model.py\" "
        "'[{\"kind\": \"lfo\", \"waveform\": 0, \"smoothing\": 0, \"pulse_width\": 0, \"phase\": 0, \"attack\": 0, "
        "\"depth\": 100, \"frequency\": " + std::to_string(frequency) + ", \"seed\": 0, \"audio\": false, "
        "\"frames\": 1024, \"buffers\": " + std::to_string(frames) + "}]'"));
    std::vector<double> values;
    for (const std::vector<double>& line : lines)
    {
        if (line.empty())
            return {};
        values.push_back(line[0]);
    }
    return values;
}

// The line a link curve from (0, floorDb) to (1, 0 dB) makes of the LFO's value.
struct LinkLine
{
    double offset;
    double operator()(double value) const { return offset + (1.0 - offset) * value; }
};

// The mean gain of a frame (values as SineLfoValues gives them). Before its first frame the LFO
// stands at its centre, 0.5.
inline double FrameMeanGain(const std::vector<double>& values, const LinkLine& line, size_t frame)
{
    return 0.5 * (line(frame == 0 ? 0.5 : values[frame - 1]) + line(values[frame]));
}
} // namespace ZkModulatorTest
