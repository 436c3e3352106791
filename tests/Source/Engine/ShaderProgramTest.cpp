// Shader programs from files: the game's four shader files build, and every kind of broken file is
// reported with its name and the compiler's log while the program carries on.
#include "AssertionRecorder.h"
#include "Engine/Renderer.h"
#include "Engine/TEResources.h"
#include "support/GlContext.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <string>

namespace
{
namespace fs = std::filesystem;

constexpr const char* kGoodVertex = R"(#version 330 core
layout(location = 0) in vec2 position;
out vec2 along;
void main() { along = position; gl_Position = vec4(position, 0.0, 1.0); }
)";
constexpr const char* kGoodFragment = R"(#version 330 core
in vec2 along;
out vec4 fragColor;
void main() { fragColor = vec4(along, 0.0, 1.0); }
)";
constexpr const char* kSyntaxError = "#version 330 core\nvoid main() { this is not glsl; }\n";
// Compiles on its own, but takes "along" as a vec3 where the vertex stage writes a vec2: the link
// fails.
constexpr const char* kUnmatchedFragment = R"(#version 330 core
in vec3 along;
out vec4 fragColor;
void main() { fragColor = vec4(along, 1.0); }
)";

class ShaderProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder = fs::path(KP_BINARY_DIR) / "tests" / "output" / "shaders";
        fs::create_directories(m_folder);
    }

    std::string Write(const std::string& name, const std::string& text)
    {
        const fs::path path = m_folder / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    kp::test::GlContext m_context{16, 16};
    fs::path m_folder;
};

TEST_F(ShaderProgramTest, TheGamesShaderFilesCompileAndLink)
{
    kp::test::AssertionRecorder recorder;
    const fs::path assets = fs::path(KP_SOURCE_DIR);
    unsigned sprite = 0;
    unsigned viewport = 0;
    EXPECT_TRUE(TEResources::CreateShaderProgram(sprite,
                                                 (assets / Renderer::kSpriteVertexShaderPath).string(),
                                                 (assets / Renderer::kSpriteFragmentShaderPath).string()));
    EXPECT_TRUE(TEResources::CreateShaderProgram(viewport,
                                                 (assets / Renderer::kViewportVertexShaderPath).string(),
                                                 (assets / Renderer::kViewportFragmentShaderPath).string()));
    EXPECT_NE(sprite, 0u);
    EXPECT_NE(viewport, 0u);
    EXPECT_TRUE(recorder.All().empty());

    // The uniforms the engine sets by name are live in the programs.
    for (const char* uniform : {"projection", "view", "world", "u_v", "u_v_size", "colorVal"})
    {
        EXPECT_GE(glGetUniformLocation(sprite, uniform), 0) << uniform;
    }
    for (const char* uniform : {"viewportTextureID", "editorToggle"})
    {
        EXPECT_GE(glGetUniformLocation(viewport, uniform), 0) << uniform;
    }
    glDeleteProgram(sprite);
    glDeleteProgram(viewport);
}

struct FailureCase
{
    const char* name;
    const char* vertexText;   // null: the file does not exist
    const char* fragmentText; // null: the file does not exist
    const char* blamedFile;   // the file the report must name
    const char* logMustHave;  // part of the report that shows it carries the compiler's log or reason
};

TEST_F(ShaderProgramTest, BrokenShaderFilesAreReportedAndLeaveTheProgramIdAlone)
{
    const FailureCase cases[] = {
        {"missing vertex file", nullptr, kGoodFragment, "vertex", "missing or empty"},
        {"empty vertex file", "", kGoodFragment, "vertex", "missing or empty"},
        {"vertex syntax error", kSyntaxError, kGoodFragment, "vertex", "error"},
        {"missing fragment file", kGoodVertex, nullptr, "fragment", "missing or empty"},
        {"fragment syntax error", kGoodVertex, kSyntaxError, "fragment", "error"},
        {"stages that do not link", kGoodVertex, kUnmatchedFragment, "both", "does not link"},
    };
    for (const FailureCase& row : cases)
    {
        SCOPED_TRACE(row.name);
        std::string stem = row.name;
        std::replace(stem.begin(), stem.end(), ' ', '_');
        const std::string vertexPath = row.vertexText != nullptr ? Write(stem + ".vert", row.vertexText)
                                                                 : (m_folder / "no_such.vert").string();
        const std::string fragmentPath = row.fragmentText != nullptr ? Write(stem + ".frag", row.fragmentText)
                                                                     : (m_folder / "no_such.frag").string();
        kp::test::AssertionRecorder recorder;
        constexpr unsigned kUntouched = 12345;
        unsigned program = kUntouched;
        EXPECT_FALSE(TEResources::CreateShaderProgram(program, vertexPath, fragmentPath));
        EXPECT_EQ(program, kUntouched);

        // One report: a failing vertex stage stops before the fragment file is even read.
        ASSERT_EQ(recorder.All().size(), 1u);
        const trindle::AssertionReport& report = recorder.All().front();
        EXPECT_EQ(report.condition, "false");
        EXPECT_EQ(report.source, "Source/TEResources");
        const std::string blamed = row.blamedFile;
        if (blamed == "vertex" || blamed == "both")
        {
            EXPECT_NE(report.detail.find(vertexPath), std::string::npos) << report.detail;
        }
        if (blamed == "fragment" || blamed == "both")
        {
            EXPECT_NE(report.detail.find(fragmentPath), std::string::npos) << report.detail;
        }
        if (blamed == "vertex")
        {
            EXPECT_EQ(report.detail.find(fragmentPath), std::string::npos) << report.detail;
        }
        EXPECT_NE(report.detail.find(row.logMustHave), std::string::npos) << report.detail;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}
} // namespace
