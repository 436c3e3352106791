// A bank made by the project's bank writer (tools/bank_writer.py) from its JSON description, for
// the benchmarks that load banks from memory. The program defines KP_SOURCE_DIR. Empty when the
// writer refuses the description.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// The bank's bytes; folder names the scratch folder under the system's temporary directory.
inline std::vector<uint8_t> WrittenBank(const std::string& description, const char* folder)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / folder;
    std::filesystem::create_directories(dir);
    const std::filesystem::path json = dir / "bank.json";
    const std::filesystem::path bank = dir / "bank.bnk";
    std::ofstream(json) << description;
    const std::string command = "python3 \"" KP_SOURCE_DIR "/tools/bank_writer.py\" \"" + json.string() + "\" -o \"" +
                                bank.string() + "\"";
    if (std::system(command.c_str()) != 0)
        return {};
    std::ifstream in(bank, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
