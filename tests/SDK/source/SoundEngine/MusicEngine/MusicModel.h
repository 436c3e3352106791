// music_model.py from a test: the model computes from a description what the music objects and
// plays should answer (see the script's opening for its request and answer lines).
#pragma once

#include "SDK/source/SoundEngine/ZkAudiolib/Common/SoundFixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace ZkMusicTest
{
// Runs the model over the request; its lines.
inline std::vector<std::string> RunModel(const std::string& request)
{
    ZkSoundFixtures::ScratchFolder folder;
    const auto input = folder.Path() / "request.json";
    const auto output = folder.Path() / "answers.txt";
    std::ofstream(input) << request;
    const std::string command = "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
                                "/tests/SDK/source/SoundEngine/MusicEngine/music_model.py\" < \"" + input.string() +
                                "\" > \"" + output.string() + "\"";
    std::vector<std::string> lines;
    if (std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << "music_model.py refused: " << request;
        return lines;
    }
    std::ifstream in(output);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
} // namespace ZkMusicTest
