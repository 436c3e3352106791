// Sound fixtures made by the project's own writers (tools/media_writer.py, tools/bank_writer.py),
// which share no code with the engine's readers: a test describes a media or a bank in the
// writers' JSON form and gets the file's bytes back. Each call runs the writer in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace ZkSoundFixtures
{
namespace fs = std::filesystem;

using Bytes = std::vector<uint8_t>;

inline Bytes ReadWholeFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder under the system's temporary folder, removed with its content.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "zk_sound_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        m_path = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

// Runs tools/<script> on a JSON description written into folder; the output goes to folder/output.
// Empty bytes (and a test failure) when the writer refuses the description.
inline Bytes RunWriter(const std::string& script, const std::string& json, const fs::path& folder,
                       const std::string& output)
{
    const fs::path description = folder / "description.json";
    {
        std::ofstream out(description);
        out << json;
    }
    const fs::path target = folder / output;
    const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/" + script + "\" \"" +
                                description.string() + "\" -o \"" + target.string() + "\"";
    if (std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << script << " refused: " << json;
        return {};
    }
    return ReadWholeFile(target);
}

// The bank of a description and every damaged copy the writer makes of it ("fault variants"), by
// file name ("Test.bnk", "Test.cut_body_2_DATA.bnk", ...).
inline std::map<std::string, Bytes> WriteBankWithFaultVariants(const std::string& descriptionJson)
{
    ScratchFolder folder;
    const fs::path description = folder.Path() / "description.json";
    {
        std::ofstream out(description);
        out << descriptionJson;
    }
    const fs::path output = folder.Path() / "banks";
    const std::string command = "python3 \"" + std::string(KP_SOURCE_DIR) + "/tools/bank_writer.py\" --out-dir \"" +
                                output.string() + "\" --fault-variants \"" + description.string() + "\"";
    std::map<std::string, Bytes> banks;
    if (std::system(command.c_str()) != 0)
    {
        ADD_FAILURE() << "bank_writer.py refused: " << descriptionJson;
        return banks;
    }
    for (const auto& entry : fs::directory_iterator(output))
        banks[entry.path().filename().string()] = ReadWholeFile(entry.path());
    return banks;
}

inline Bytes WriteMedia(const std::string& specJson)
{
    ScratchFolder folder;
    return RunWriter("media_writer.py", specJson, folder.Path(), "media.wav");
}

inline Bytes WriteBank(const std::string& descriptionJson)
{
    ScratchFolder folder;
    return RunWriter("bank_writer.py", descriptionJson, folder.Path(), "bank.bnk");
}
} // namespace ZkSoundFixtures
