// The art folder: every sprite-source file is well formed and its image decodes into whole frames;
// and the committed images are exactly what tools/make_art.py draws, so they never drift from it.
#include "AssetTree.h"
#include "SpriteSheets.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace kp::assets
{
namespace
{
TEST(ArtFiles, EverySpriteSourceNamesItselfAndAnImageOfWholeFrames)
{
    const std::vector<std::string> sources = ListStems(AssetRoot() / "Art", ".json");
    ASSERT_FALSE(sources.empty());
    for (const std::string& stem : sources)
    {
        const auto sheet = LoadSpriteSheet(stem);
        ASSERT_TRUE(sheet) << stem;
        EXPECT_EQ(sheet->error, "") << stem << ".json";
        // The registry keeps the name from the file; a different one would load it again at every use.
        EXPECT_EQ(sheet->name, stem) << stem << ".json";
        EXPECT_GT(sheet->width, 0) << stem;
    }
    // No image lies around without its sprite-source file.
    for (const std::string& image : ListStems(AssetRoot() / "Art", ".png"))
    {
        EXPECT_TRUE(fs::exists(SpriteSourcePath(image))) << image << ".png has no sprite-source file";
    }
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

TEST(ArtFiles, CommittedArtIsExactlyWhatTheArtScriptDraws)
{
    const fs::path output = fs::path(KP_BINARY_DIR) / "tests" / "output" / "art";
    fs::remove_all(output);
    fs::create_directories(output);
    const std::string command = "python3 \"" + (fs::path(KP_SOURCE_DIR) / "tools" / "make_art.py").string() +
                                "\" --out \"" + output.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> drawn;
    for (const fs::directory_entry& entry : fs::directory_iterator(output))
    {
        drawn.push_back(entry.path().filename().string());
    }
    std::vector<std::string> committed;
    for (const fs::directory_entry& entry : fs::directory_iterator(AssetRoot() / "Art"))
    {
        committed.push_back(entry.path().filename().string());
    }
    std::sort(drawn.begin(), drawn.end());
    std::sort(committed.begin(), committed.end());
    EXPECT_EQ(drawn, committed) << "the art folder holds exactly the script's files";
    for (const std::string& name : drawn)
    {
        if (fs::exists(AssetRoot() / "Art" / name))
        {
            EXPECT_TRUE(ReadBytes(output / name) == ReadBytes(AssetRoot() / "Art" / name))
                << name << " differs from what tools/make_art.py draws; run it again and commit the result";
        }
    }
}
} // namespace
} // namespace kp::assets
