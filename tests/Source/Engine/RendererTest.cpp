// The renderer: camera matrices against glm, the frame rectangles of a sprite sheet, a sprite drawn
// through the off-screen image onto the window (read back), the off-screen texture following the
// window's size, and the program carrying on without its shader files.
#include "Engine/Renderer.h"

#include "AssertionRecorder.h"
#include "Engine/Camera.h"
#include "Engine/EngineGlobals.h"
#include "Engine/TEResources.h"
#include "PngFixture.h"
#include "support/FramebufferPng.h"
#include "support/GlContext.h"

#include <array>
#include <filesystem>
#include <glad/gl.h>
#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

// Runs the test with the repository root as working folder, where "./Assets" is found.
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

class RendererTest : public ::testing::Test
{
protected:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 180;

    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        windowWidth = kWidth;
        windowHeight = kHeight;
        glViewport(0, 0, kWidth, kHeight);
        RendererInit(m_context.Window());
        ASSERT_NE(Renderer::objects.spriteProgram, 0u);
        ASSERT_NE(Renderer::objects.viewportProgram, 0u);
    }
    void TearDown() override
    {
        RendererDeleteOffscreenFramebuffer();
        Renderer::objects = Renderer::Objects{};
        windowWidth = 0;
        windowHeight = 0;
    }

    static glm::mat4 UniformMatrix(unsigned program, const char* name)
    {
        glm::mat4 value(0.0f);
        glGetUniformfv(program, glGetUniformLocation(program, name), glm::value_ptr(value));
        return value;
    }

    static std::array<int, 4> PixelAt(int x, int y)
    {
        std::array<unsigned char, 4> pixel{};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        return {pixel[0], pixel[1], pixel[2], pixel[3]};
    }

    WorkingFolder m_folder{KP_SOURCE_DIR};
    kp::test::GlContext m_context{kWidth, kHeight};
};

void ExpectMatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int column = 0; column < 4; ++column)
    {
        for (int row = 0; row < 4; ++row)
        {
            EXPECT_NEAR(actual[column][row], expected[column][row], 1e-6f)
                << "column " << column << " row " << row;
        }
    }
}

TEST_F(RendererTest, CameraMatricesAgreeWithGlm)
{
    struct SizeCase
    {
        float windowW;
        float windowH;
    };
    const SizeCase cases[] = {{1920, 1080}, {1280, 720}, {1919.75f, 1079.5f}, {320, 180}};
    for (const SizeCase& size : cases)
    {
        SCOPED_TRACE(::testing::Message() << size.windowW << "x" << size.windowH);
        windowWidth = size.windowW;
        windowHeight = size.windowH;
        const int w = static_cast<int>(size.windowW);
        const int h = static_cast<int>(size.windowH);
        Camera::Set(m_context.Window(), w, h);

        const unsigned program = Renderer::objects.spriteProgram;
        const glm::mat4 projection = UniformMatrix(program, "projection");
        const glm::mat4 view = UniformMatrix(program, "view");
        // The projection spans the reference screen whatever the window's size.
        ExpectMatrixNear(projection, glm::ortho(-960.0f, 960.0f, -540.0f, 540.0f, -1.0f, 1.0f));
        ExpectMatrixNear(view, glm::lookAt(glm::vec3(0, 0, 1), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0)));
        ExpectMatrixNear(Renderer::objects.viewportMatrix,
                         glm::translate(glm::mat4(1.0f), glm::vec3(0, 0, 1)) *
                             glm::scale(glm::mat4(1.0f), glm::vec3(static_cast<float>(w) / 1920.0f,
                                                                   static_cast<float>(h) / 1080.0f, 1.0f)));

        // The reference screen's corners land on the corners of clip space, so on the window's.
        const glm::vec4 topRight = projection * view * glm::vec4(960.0f, 540.0f, 0.0f, 1.0f);
        const glm::vec4 bottomLeft = projection * view * glm::vec4(-960.0f, -540.0f, 0.0f, 1.0f);
        EXPECT_NEAR(topRight.x, 1.0f, 1e-6f);
        EXPECT_NEAR(topRight.y, 1.0f, 1e-6f);
        EXPECT_NEAR(bottomLeft.x, -1.0f, 1e-6f);
        EXPECT_NEAR(bottomLeft.y, -1.0f, 1e-6f);
    }
    GLint current = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(current, 0);
}

TEST(FrameRect, FramesOfASheetAsATable)
{
    struct FrameCase
    {
        unsigned frame;
        unsigned columns;
        unsigned rows;
        glm::vec2 offset;
        glm::vec2 size;
    };
    const FrameCase cases[] = {
        {0, 1, 1, {0.0f, 0.0f}, {1.0f, 1.0f}},
        {5, 4, 2, {0.25f, 0.5f}, {0.25f, 0.5f}},
        {3, 4, 2, {0.75f, 0.0f}, {0.25f, 0.5f}},
        {7, 4, 2, {0.75f, 0.5f}, {0.25f, 0.5f}},
        {8, 4, 2, {0.0f, 1.0f}, {0.25f, 0.5f}},   // past the last frame: below the texture
        {13, 4, 2, {0.25f, 1.5f}, {0.25f, 0.5f}}, // rows are not wrapped
        {2, 3, 1, {2.0f / 3.0f, 0.0f}, {1.0f / 3.0f, 1.0f}},
        {4, 0, 0, {0.0f, 4.0f}, {1.0f, 1.0f}}, // a sheet claiming no columns or rows: one of each
    };
    for (const FrameCase& row : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << "frame " << row.frame << " of " << row.columns << "x" << row.rows);
        const Renderer::FrameRect rect = Renderer::FrameRectOf(row.frame, row.columns, row.rows);
        EXPECT_FLOAT_EQ(rect.offset.x, row.offset.x);
        EXPECT_FLOAT_EQ(rect.offset.y, row.offset.y);
        EXPECT_FLOAT_EQ(rect.size.x, row.size.x);
        EXPECT_FLOAT_EQ(rect.size.y, row.size.y);
    }
}

// A sheet of 4 x 2 frames, each frame 8 x 8 texels of one colour, written as a PNG and loaded the
// way sprite sources load their images.
constexpr int kFrameTexels = 8;
std::array<unsigned char, 3> FrameColour(int frame)
{
    return {static_cast<unsigned char>(30 * frame + 20), static_cast<unsigned char>(200 - 20 * frame),
            static_cast<unsigned char>(frame % 2 == 0 ? 40 : 220)};
}

unsigned LoadSheet()
{
    constexpr int kWidthTexels = 4 * kFrameTexels;
    constexpr int kHeightTexels = 2 * kFrameTexels;
    std::vector<unsigned char> rgb(kWidthTexels * kHeightTexels * 3);
    for (int y = 0; y < kHeightTexels; ++y)
    {
        for (int x = 0; x < kWidthTexels; ++x)
        {
            const auto colour = FrameColour((y / kFrameTexels) * 4 + x / kFrameTexels);
            std::copy(colour.begin(), colour.end(), rgb.begin() + (y * kWidthTexels + x) * 3);
        }
    }
    const fs::path path = fs::path(KP_BINARY_DIR) / "tests" / "output" / "sheet_4x2.png";
    EXPECT_TRUE(kp::test::WritePngTopRowFirst(path.string(), kWidthTexels, kHeightTexels, 3, rgb.data()));
    unsigned texture = 0;
    int width = 0;
    int height = 0;
    TEResources::LoadTexture(texture, path.string(), width, height);
    EXPECT_EQ(width, kWidthTexels);
    EXPECT_EQ(height, kHeightTexels);
    return texture;
}

TEST_F(RendererTest, SpriteFramesAreDrawnIntoTheOffscreenImageAndPresentedOnTheWindow)
{
    const unsigned sheet = LoadSheet();
    // A unit quad centred on its origin; the top of the quad shows the top of its frame.
    const std::array<TEResources::MeshVertex, 6> quad = {{
        {-0.5f, 0.5f, 0, 0, 1, 1, 1, 1},
        {-0.5f, -0.5f, 0, 1, 1, 1, 1, 1},
        {0.5f, -0.5f, 1, 1, 1, 1, 1, 1},
        {-0.5f, 0.5f, 0, 0, 1, 1, 1, 1},
        {0.5f, -0.5f, 1, 1, 1, 1, 1, 1},
        {0.5f, 0.5f, 1, 0, 1, 1, 1, 1},
    }};
    unsigned vertexArray = 0;
    unsigned buffer = 0;
    TEResources::CreateMeshBuffers(vertexArray, buffer, quad.data(), 6);

    // Reference units, origin at the window's centre, six to a pixel of this 320 x 180 window:
    // frame 5 opaque on the right, frame 2 at half alpha on the left.
    constexpr float kUnitsPerPixel = 1920.0f / kWidth;
    auto placed = [](float x, float y, float width, float height)
    {
        return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, 0) * kUnitsPerPixel) *
               glm::scale(glm::mat4(1.0f), glm::vec3(width * kUnitsPerPixel, height * kUnitsPerPixel, 1));
    };
    const glm::mat4 right = placed(80, 20, 64, 48);
    const glm::mat4 left = placed(-80, -30, 40, 40);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    Renderer::BeginDrawPass();
    Renderer::DrawMeshFrame(sheet, 4, 2, vertexArray, 6, right, 5, glm::vec4(1.0f));
    Renderer::DrawMeshFrame(sheet, 4, 2, vertexArray, 6, left, 2, glm::vec4(1.0f, 1.0f, 1.0f, 0.5f));
    Renderer::PresentOffscreenImage();
    glFinish();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::string png = kp::test::WriteFramebufferPng("renderer_sprite_frames", kWidth, kHeight);
    EXPECT_FALSE(png.empty());

    constexpr int kClear = 26; // 0.1 of 255, rounded
    auto expectPixel = [](std::array<int, 4> actual, std::array<int, 3> expected, const char* where)
    {
        SCOPED_TRACE(where);
        EXPECT_NEAR(actual[0], expected[0], 2);
        EXPECT_NEAR(actual[1], expected[1], 2);
        EXPECT_NEAR(actual[2], expected[2], 2);
        EXPECT_EQ(actual[3], 255);
    };
    const int centreX = kWidth / 2;
    const int centreY = kHeight / 2;
    const auto frame5 = FrameColour(5);
    expectPixel(PixelAt(centreX + 80, centreY + 20), {frame5[0], frame5[1], frame5[2]}, "frame 5 centre");
    expectPixel(PixelAt(centreX + 80 + 24, centreY + 20 + 16), {frame5[0], frame5[1], frame5[2]},
                "frame 5 near its corner");
    expectPixel(PixelAt(centreX + 80 + 36, centreY + 20), {kClear, kClear, kClear}, "right of frame 5");
    const auto frame2 = FrameColour(2);
    auto half = [](int value) { return (value + kClear) / 2; };
    expectPixel(PixelAt(centreX - 80, centreY - 30), {half(frame2[0]), half(frame2[1]), half(frame2[2])},
                "frame 2 at half alpha");
    expectPixel(PixelAt(5, 5), {kClear, kClear, kClear}, "corner");

    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(1, &buffer);
    glDeleteTextures(1, &sheet);
}

TEST_F(RendererTest, OffscreenTextureFollowsTheWindowSizeThroughZero)
{
    auto textureSize = []
    {
        GLint width = -1;
        GLint height = -1;
        glBindTexture(GL_TEXTURE_2D, Renderer::objects.offscreenTexture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glBindTexture(GL_TEXTURE_2D, 0);
        return std::array<GLint, 2>{width, height};
    };
    auto boundFramebuffer = []
    {
        GLint bound = -1;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
        return static_cast<unsigned>(bound);
    };
    EXPECT_EQ(textureSize(), (std::array<GLint, 2>{kWidth, kHeight}));

    OnFramebufferSize(m_context.Window(), 0, 0);
    EXPECT_EQ(Renderer::objects.offscreenTexture, 0u);
    EXPECT_EQ(boundFramebuffer(), Renderer::objects.offscreenFramebuffer);

    OnFramebufferSize(m_context.Window(), 200, 100);
    EXPECT_NE(Renderer::objects.offscreenTexture, 0u);
    EXPECT_EQ(textureSize(), (std::array<GLint, 2>{200, 100}));
    EXPECT_EQ(boundFramebuffer(), 0u);
    glBindFramebuffer(GL_FRAMEBUFFER, Renderer::objects.offscreenFramebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 200);
    EXPECT_EQ(viewport[3], 100);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(RendererWithoutShaders, MissingShaderFilesAreReportedAndDrawingGoesOn)
{
    kp::test::GlContext context(64, 36);
    ASSERT_TRUE(context.IsReady()) << context.Error();
    const fs::path empty = fs::path(KP_BINARY_DIR) / "tests" / "output" / "no_assets";
    fs::create_directories(empty);
    WorkingFolder folder(empty);
    kp::test::AssertionRecorder recorder;
    windowWidth = 64;
    windowHeight = 36;

    RendererInit(context.Window());
    EXPECT_EQ(Renderer::objects.spriteProgram, 0u);
    EXPECT_EQ(Renderer::objects.viewportProgram, 0u);
    ASSERT_EQ(recorder.All().size(), 2u); // one per program: its vertex file
    EXPECT_NE(recorder.All()[0].detail.find("VShader.shader"), std::string::npos);
    EXPECT_NE(recorder.All()[1].detail.find("ViewportShader.shader"), std::string::npos);

    Renderer::BeginDrawPass();
    Renderer::DrawMeshFrame(0, 1, 1, 0, 6, glm::mat4(1.0f), 0, glm::vec4(1.0f));
    Renderer::PresentOffscreenImage();
    glFinish();
    while (glGetError() != GL_NO_ERROR)
    {
    }
    // The window still shows its own clear colour, with nothing drawn over it.
    std::array<unsigned char, 4> pixel{};
    glReadPixels(32, 18, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    EXPECT_EQ(pixel[0], 128);
    EXPECT_EQ(pixel[2], 255);

    RendererDeleteOffscreenFramebuffer();
    Renderer::objects = Renderer::Objects{};
    windowWidth = 0;
    windowHeight = 0;
}
} // namespace
