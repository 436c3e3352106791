// Sprite-source files, the sprite-source registry, and images that cannot be decoded.
#include "Engine/SpriteSource.h"

#include "AssertionRecorder.h"
#include "AssetFolder.h"
#include "Engine/SpriteSourceManager.h"
#include "support/GlContext.h"

#include <array>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::WorkingFolder;

std::array<unsigned char, 3> FrameColour(int frame)
{
    return {static_cast<unsigned char>(30 * frame + 20), static_cast<unsigned char>(200 - 20 * frame),
            static_cast<unsigned char>(frame % 2 == 0 ? 40 : 220)};
}

TEST(ReadSpriteSourceFile, FillsNamePathAndFrameLayout)
{
    AssetFolder folder;
    folder.Write("Assets/Art/Ships.json", kp::test::SpriteSourceJson("ShipSheet", "ships/sheet.png", 4, 2));
    WorkingFolder here(folder.Root());

    SpriteSource source;
    source.numCols = 9; // overwritten: the reader starts from a new source's values
    TEResources::ReadSpriteSourceFile(source, "./Assets/Art/Ships.json");
    EXPECT_EQ(source.name, "ShipSheet");
    EXPECT_EQ(source.path, "./Assets/Art/ships/sheet.png");
    EXPECT_EQ(source.numCols, 4);
    EXPECT_EQ(source.numRows, 2);
    EXPECT_EQ(source.texture, 0u);
    EXPECT_EQ(source.width, 0);
}

TEST(ReadSpriteSourceFileDeathTest, BrokenFilesStopNamingTheFileAndKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct BrokenCase
    {
        const char* file;
        const char* text; // null: the file is not written
        const char* expected;
    };
    const BrokenCase cases[] = {
        {"Missing", nullptr, "Missing\\.json.*exists"},
        {"Empty", "", "Empty\\.json.*exists"},
        {"Truncated", R"({"SpriteSource": {"name": "a", )", "Truncated\\.json.*valid JSON"},
        {"NoPath", R"({"SpriteSource": {"name": "a", "numCols": 1, "numRows": 1}})",
         "NoPath\\.json.*\"path\" is present"},
        {"ColsText", R"({"SpriteSource": {"name": "a", "path": "a.png", "numCols": "4", "numRows": 1}})",
         "ColsText\\.json.*\"numCols\" is a 32-bit integer"},
        {"ZeroRows", R"({"SpriteSource": {"name": "a", "path": "a.png", "numCols": 4, "numRows": 0}})",
         "ZeroRows\\.json.*\"numRows\" is at least 1"},
        {"NegativeCols", R"({"SpriteSource": {"name": "a", "path": "a.png", "numCols": -2, "numRows": 1}})",
         "NegativeCols\\.json.*\"numCols\" is at least 1"},
        {"RootArray", R"([{"SpriteSource": {}}])", "RootArray\\.json.*\"SpriteSource\" is looked up"},
    };
    AssetFolder folder;
    for (const BrokenCase& broken : cases)
    {
        if (broken.text != nullptr)
        {
            folder.Write(std::string("Assets/Art/") + broken.file + ".json", broken.text);
        }
    }
    WorkingFolder here(folder.Root());
    for (const BrokenCase& broken : cases)
    {
        SCOPED_TRACE(broken.file);
        SpriteSource source;
        EXPECT_DEATH(
            TEResources::ReadSpriteSourceFile(source, std::string("./Assets/Art/") + broken.file + ".json"),
            std::string("Malformed JSON asset.*") + broken.expected);
    }
}

class SpriteSourceManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder.WriteSheet("Assets/Art/sheet.png", 4, 2, 8, FrameColour);
        m_folder.Write("Assets/Art/Sheet.json", kp::test::SpriteSourceJson("Sheet", "sheet.png", 4, 2));
    }
    void TearDown() override { SpriteSourceManager::DestroyAll(); }

    static std::vector<unsigned char> Texels(unsigned texture, int width, int height)
    {
        std::vector<unsigned char> texels(static_cast<size_t>(width * height * 4));
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return texels;
    }

    kp::test::GlContext m_context{16, 16};
    AssetFolder m_folder;
    WorkingFolder m_here{m_folder.Root()};
};

TEST_F(SpriteSourceManagerTest, LoadsOnceAndSharesBySameName)
{
    kp::test::AssertionRecorder recorder;
    SpriteSource* sheet = SpriteSourceManager::Get("Sheet");
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->name, "Sheet");
    EXPECT_EQ(sheet->path, "./Assets/Art/sheet.png");
    EXPECT_EQ(sheet->numCols, 4);
    EXPECT_EQ(sheet->numRows, 2);
    EXPECT_EQ(sheet->width, 32);
    EXPECT_EQ(sheet->height, 16);
    EXPECT_NE(sheet->texture, 0u);
    EXPECT_TRUE(recorder.All().empty());

    // Frame 5 is column 1 of row 1: its texels have frame 5's colour.
    const std::vector<unsigned char> texels = Texels(sheet->texture, 32, 16);
    const size_t frame5Texel = (static_cast<size_t>(1 * 8 + 3) * 32 + (1 * 8 + 3)) * 4;
    const auto colour = FrameColour(5);
    EXPECT_EQ(texels[frame5Texel + 0], colour[0]);
    EXPECT_EQ(texels[frame5Texel + 1], colour[1]);
    EXPECT_EQ(texels[frame5Texel + 2], colour[2]);

    // The second request reads nothing: with the file gone it still answers the same source.
    std::filesystem::remove(m_folder.Root() / "Assets/Art/Sheet.json");
    EXPECT_EQ(SpriteSourceManager::Get("Sheet"), sheet);
    EXPECT_EQ(SpriteSourceManager::Entries().size(), 1u);
    EXPECT_EQ(SpriteSourceManager::Find("sheet"), nullptr);
    EXPECT_EQ(SpriteSourceManager::Find("Sheet"), sheet);
}

TEST_F(SpriteSourceManagerTest, AFileNamingAnotherSourceIsLoadedAgainAtEveryRequest)
{
    m_folder.Write("Assets/Art/Alias.json", kp::test::SpriteSourceJson("RealName", "sheet.png", 4, 2));
    SpriteSource* first = SpriteSourceManager::Get("Alias");
    SpriteSource* second = SpriteSourceManager::Get("Alias");
    EXPECT_NE(first, second);
    EXPECT_EQ(first->name, "RealName");
    EXPECT_EQ(SpriteSourceManager::Entries(), (std::vector<SpriteSource*>{second, first}));
    EXPECT_EQ(SpriteSourceManager::Get("RealName"), second);
}

TEST_F(SpriteSourceManagerTest, AnImageThatCannotBeDecodedIsReportedAndTheSourceGoesOn)
{
    m_folder.Write("Assets/Art/broken.png", "\x89PNG\r\n\x1a\n and nothing of an image");
    m_folder.Write("Assets/Art/Broken.json", kp::test::SpriteSourceJson("Broken", "broken.png", 2, 1));
    m_folder.Write("Assets/Art/Lost.json", kp::test::SpriteSourceJson("Lost", "no_such.png", 1, 1));
    for (const char* name : {"Broken", "Lost"})
    {
        SCOPED_TRACE(name);
        kp::test::AssertionRecorder recorder;
        SpriteSource* source = SpriteSourceManager::Get(name);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(SpriteSourceManager::Find(name), source);
        EXPECT_NE(source->texture, 0u);
        EXPECT_EQ(source->width, 0);
        EXPECT_EQ(source->height, 0);
        ASSERT_EQ(recorder.All().size(), 1u);
        EXPECT_NE(recorder.All()[0].detail.find(source->path), std::string::npos) << recorder.All()[0].detail;
        EXPECT_EQ(Texels(source->texture, 1, 1), (std::vector<unsigned char>{255, 0, 255, 255}));
    }
}

TEST_F(SpriteSourceManagerTest, DestroyAllDeletesTheTextures)
{
    const unsigned texture = SpriteSourceManager::Get("Sheet")->texture;
    EXPECT_EQ(glIsTexture(texture), GL_TRUE);
    SpriteSourceManager::DestroyAll();
    EXPECT_TRUE(SpriteSourceManager::Entries().empty());
    EXPECT_EQ(glIsTexture(texture), GL_FALSE);
}
} // namespace
