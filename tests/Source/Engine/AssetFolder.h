// A fresh folder of assets in the build tree for one test, laid out as the game's working folder
// ("./Assets/Mesh", "./Assets/Art", "./Assets/GameObjects/Children", "./Assets/Spaces"), and a guard that makes it the working folder while a test
// runs, so the registries find the files a test writes. Each test gets its own folder (named after
// the test), so tests can run in parallel.
#pragma once

#include "PngFixture.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace kp::test
{
namespace fs = std::filesystem;

class WorkingFolder
{
public:
    explicit WorkingFolder(const fs::path& folder) : m_previous(fs::current_path())
    {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(m_previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    fs::path m_previous;
};

class AssetFolder
{
public:
    AssetFolder()
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root = fs::path(KP_BINARY_DIR) / "tests" / "output" / "assets" /
                 (std::string(test->test_suite_name()) + "." + test->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Assets" / "Mesh");
        fs::create_directories(m_root / "Assets" / "Art");
        fs::create_directories(m_root / "Assets" / "GameObjects" / "Children");
        fs::create_directories(m_root / "Assets" / "Spaces");
    }

    const fs::path& Root() const { return m_root; }

    // Writes `text` to the file at `relative` (for example "Assets/Mesh/Quad.json").
    void Write(const std::string& relative, const std::string& text) const
    {
        std::ofstream(m_root / relative, std::ios::binary) << text;
    }

    // The four shader files of the game, so the renderer can start here.
    void CopyShaders() const
    {
        for (const char* shader : {"VShader.shader", "PShaderTexture.shader", "ViewportShader.shader",
                                   "ViewportPixelShader.shader"})
        {
            fs::copy_file(fs::path(KP_SOURCE_DIR) / "Assets" / shader, m_root / "Assets" / shader,
                          fs::copy_options::overwrite_existing);
        }
    }

    // An RGB image of `columns` x `rows` frames of `frameSize` texels each, every frame one colour.
    template <class FrameColour>
    void WriteSheet(const std::string& relative, int columns, int rows, int frameSize,
                    FrameColour colourOf) const
    {
        const int width = columns * frameSize;
        const int height = rows * frameSize;
        std::vector<unsigned char> rgb(static_cast<size_t>(width * height * 3));
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                const auto colour = colourOf((y / frameSize) * columns + x / frameSize);
                for (int channel = 0; channel < 3; ++channel)
                {
                    rgb[static_cast<size_t>((y * width + x) * 3 + channel)] =
                        colour[static_cast<size_t>(channel)];
                }
            }
        }
        EXPECT_TRUE(WritePngTopRowFirst((m_root / relative).string(), width, height, 3, rgb.data()));
    }

private:
    fs::path m_root;
};

// A mesh file of a rectangle of two triangles spanning -halfX..halfX and -halfY..halfY, the top
// edge showing the top of its frame. Vertex order: 0 top left, 1 bottom left, 2 bottom right,
// 3 top left, 4 bottom right, 5 top right.
inline std::string RectangleMeshJson(const std::string& name, float halfX, float halfY)
{
    struct Corner
    {
        float x, y, u, v;
    };
    const Corner corners[] = {{-halfX, halfY, 0, 0}, {-halfX, -halfY, 0, 1}, {halfX, -halfY, 1, 1},
                              {-halfX, halfY, 0, 0}, {halfX, -halfY, 1, 1},  {halfX, halfY, 1, 0}};
    std::ostringstream json;
    json << R"({"Mesh": {"name": ")" << name << R"(", "xHalfSize": )" << halfX << R"(, "yHalfSize": )"
         << halfY << R"(, "VerteciesCount": 6, "Vertecies": [)";
    for (size_t index = 0; index < 6; ++index)
    {
        const Corner& corner = corners[index];
        json << (index == 0 ? "" : ", ") << R"({"position_x": )" << corner.x << R"(, "position_y": )"
             << corner.y << R"(, "u": )" << corner.u << R"(, "v": )" << corner.v
             << R"(, "r": 1, "g": 1, "b": 1, "a": 1})";
    }
    json << "]}}";
    return json.str();
}

inline std::string SpriteSourceJson(const std::string& name, const std::string& image, int columns, int rows)
{
    return R"({"SpriteSource": {"name": ")" + name + R"(", "path": ")" + image + R"(", "numCols": )" +
           std::to_string(columns) + R"(, "numRows": )" + std::to_string(rows) + "}}";
}
} // namespace kp::test
