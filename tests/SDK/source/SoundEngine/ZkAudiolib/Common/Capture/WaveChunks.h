// The tests' reading of a WAVE file: wave_chunks.py (Python's struct module, no code shared with
// the writer) prints "key value" lines, gathered here into a map.
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <map>
#include <sstream>
#include <string>

namespace ZkCaptureTest
{
using WaveFields = std::map<std::string, std::string>;

inline WaveFields ReadWaveChunks(const std::string& path)
{
    const std::string printed =
        ZkEngineTest::RunPythonOracle("SDK/source/SoundEngine/ZkAudiolib/Common/Capture/wave_chunks.py", "\"" + path + "\"");
    WaveFields fields;
    std::istringstream lines(printed);
    std::string line;
    while (std::getline(lines, line))
    {
        const size_t space = line.find(' ');
        if (space != std::string::npos)
            fields[line.substr(0, space)] = line.substr(space + 1);
    }
    return fields;
}

inline long Number(const WaveFields& fields, const std::string& key)
{
    const auto found = fields.find(key);
    return found != fields.end() ? std::stol(found->second) : -1;
}
} // namespace ZkCaptureTest
