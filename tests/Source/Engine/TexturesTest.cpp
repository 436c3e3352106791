// Text files, textures from images, empty render textures and mesh buffers.
#include "AssertionRecorder.h"
#include "Engine/TEResources.h"
#include "PngFixture.h"
#include "support/GlContext.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <glad/gl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

fs::path OutputFolder()
{
    const fs::path folder = fs::path(KP_BINARY_DIR) / "tests" / "output" / "textures";
    fs::create_directories(folder);
    return folder;
}

TEST(ReadTextFile, ReadsTheWholeFileOrNothing)
{
    const fs::path path = OutputFolder() / "text.txt";
    const std::string text("first line\nsecond\0with a zero byte\r\nend", 40);
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(TEResources::ReadTextFile(path.string()), text);

    const fs::path empty = OutputFolder() / "empty.txt";
    std::ofstream(empty, std::ios::binary).flush();
    EXPECT_EQ(TEResources::ReadTextFile(empty.string()), "");
    EXPECT_EQ(TEResources::ReadTextFile((OutputFolder() / "missing.txt").string()), "");
    EXPECT_EQ(TEResources::ReadTextFile(OutputFolder().string()), ""); // a folder is no text file
}

class TexturesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_context.IsReady()) << m_context.Error(); }

    static std::vector<unsigned char> TexelsOf(unsigned texture, int width, int height)
    {
        std::vector<unsigned char> texels(static_cast<size_t>(width * height * 4));
        glBindTexture(GL_TEXTURE_2D, texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return texels;
    }

    static int LevelSize(unsigned texture, GLenum which)
    {
        GLint value = -1;
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, which, &value);
        glBindTexture(GL_TEXTURE_2D, 0);
        return value;
    }

    kp::test::GlContext m_context{16, 16};
};

TEST_F(TexturesTest, LoadTextureDecodesAnImageToRgba)
{
    // A 3 x 2 RGB image: stb_image gives 4 channels with an opaque alpha.
    const std::array<unsigned char, 18> rgb = {255, 0,  0,  0,  255, 0,  0,  0,  255,
                                               10,  20, 30, 40, 50,  60, 70, 80, 90};
    const fs::path path = OutputFolder() / "three_by_two.png";
    ASSERT_TRUE(kp::test::WritePngTopRowFirst(path.string(), 3, 2, 3, rgb.data()));

    kp::test::AssertionRecorder recorder;
    unsigned texture = 0;
    int width = -1;
    int height = -1;
    TEResources::LoadTexture(texture, path.string(), width, height);
    EXPECT_NE(texture, 0u);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_TRUE(recorder.All().empty());

    const std::vector<unsigned char> texels = TexelsOf(texture, 3, 2);
    for (size_t texel = 0; texel < 6; ++texel)
    {
        EXPECT_EQ(texels[texel * 4 + 0], rgb[texel * 3 + 0]) << texel;
        EXPECT_EQ(texels[texel * 4 + 1], rgb[texel * 3 + 1]) << texel;
        EXPECT_EQ(texels[texel * 4 + 2], rgb[texel * 3 + 2]) << texel;
        EXPECT_EQ(texels[texel * 4 + 3], 255) << texel;
    }

    GLint wrap = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_MIRRORED_REPEAT);
    glDeleteTextures(1, &texture);
}

TEST_F(TexturesTest, AnImageThatCannotBeReadStillGivesATextureAndIsReportedWithWhatIsWrong)
{
    const fs::path garbage = OutputFolder() / "not_an_image.png";
    std::ofstream(garbage, std::ios::binary) << "\x89PNG\r\n\x1a\n but then nothing of a PNG";
    // Inputs that once broke the decoder, kept in the image fuzz corpus.
    const fs::path found = fs::path(KP_SOURCE_DIR) / "fuzz" / "corpus" / "PngImageFuzz";
    struct RefusedImage
    {
        fs::path path;
        std::string says;
    };
    // In this order: the missing file comes after failed decodes, whose reason it must not repeat.
    const RefusedImage cases[] = {
        {garbage, "cannot be decoded: "},
        {found / "truncated.png", "cannot be decoded: "},
        {OutputFolder() / "missing.png", "cannot be opened: No such file or directory"},
        {OutputFolder(), "cannot be read: Is a directory"},
        {found / "pgm16-named-png.png", "is not a PNG image"},
        {found / "pnm-50-digit-width.png", "is not a PNG image"},
        {found / "signature-only.png", "cannot be decoded: "},
        {found / "header-16384-square.png", "is 16384 x 16384 pixels: more than a texture may hold here"},
        {found / "header-16385-wide.png", "is 16385 x 1 pixels: more than a texture may hold here"},
    };
    for (const RefusedImage& image : cases)
    {
        SCOPED_TRACE(image.path.string());
        kp::test::AssertionRecorder recorder;
        unsigned texture = 0;
        int width = 77;
        int height = 88;
        TEResources::LoadTexture(texture, image.path.string(), width, height);
        EXPECT_NE(texture, 0u);
        EXPECT_EQ(width, 77);
        EXPECT_EQ(height, 88);
        ASSERT_EQ(recorder.All().size(), 1u);
        const std::string& detail = recorder.All().front().detail;
        EXPECT_EQ(detail.find("image \"" + image.path.string() + "\" " + image.says), 0u) << detail;
        if (image.says == "cannot be decoded: ")
        {
            EXPECT_GT(detail.size(), image.path.string().size() + image.says.size() + 9) << "a reason";
        }
        EXPECT_EQ(detail.find("unknown"), std::string::npos) << detail;

        // One opaque magenta texel, so the fault shows on screen.
        EXPECT_EQ(LevelSize(texture, GL_TEXTURE_WIDTH), 1);
        EXPECT_EQ(LevelSize(texture, GL_TEXTURE_HEIGHT), 1);
        const std::vector<unsigned char> texel = TexelsOf(texture, 1, 1);
        EXPECT_EQ(texel, (std::vector<unsigned char>{255, 0, 255, 255}));
        glDeleteTextures(1, &texture);
    }
}

TEST_F(TexturesTest, EmptyTextureHasTheSizeAskedForAndStaysBound)
{
    unsigned texture = 0;
    TEResources::CreateEmptyTexture(texture, 40, 24);
    EXPECT_NE(texture, 0u);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned>(bound), texture);
    EXPECT_EQ(LevelSize(texture, GL_TEXTURE_WIDTH), 40);
    EXPECT_EQ(LevelSize(texture, GL_TEXTURE_HEIGHT), 24);
    GLint filter = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glDeleteTextures(1, &texture);
}

TEST_F(TexturesTest, MeshBuffersDescribeTheThreeAttributes)
{
    const std::array<TEResources::MeshVertex, 3> vertices = {{
        {0, 0, 0, 0, 1, 1, 1, 1},
        {1, 0, 1, 0, 1, 1, 1, 1},
        {0, 1, 0, 1, 1, 1, 1, 1},
    }};
    unsigned vertexArray = 0;
    unsigned buffer = 0;
    TEResources::CreateMeshBuffers(vertexArray, buffer, vertices.data(), 3);
    EXPECT_NE(vertexArray, 0u);
    EXPECT_NE(buffer, 0u);

    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    GLint64 bytes = 0;
    glGetBufferParameteri64v(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
    EXPECT_EQ(bytes, 3 * 32);

    glBindVertexArray(vertexArray);
    const struct
    {
        GLuint index;
        GLint components;
        std::uintptr_t offset;
    } attributes[] = {{0, 2, 0}, {1, 2, 8}, {2, 4, 16}};
    for (const auto& attribute : attributes)
    {
        SCOPED_TRACE(attribute.index);
        GLint enabled = 0;
        GLint size = 0;
        GLint stride = 0;
        void* offset = nullptr;
        glGetVertexAttribiv(attribute.index, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        glGetVertexAttribiv(attribute.index, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
        glGetVertexAttribiv(attribute.index, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &stride);
        glGetVertexAttribPointerv(attribute.index, GL_VERTEX_ATTRIB_ARRAY_POINTER, &offset);
        EXPECT_EQ(enabled, GL_TRUE);
        EXPECT_EQ(size, attribute.components);
        EXPECT_EQ(stride, 32);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(offset), attribute.offset);
    }
    glBindVertexArray(0);
    GLint boundArray = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &boundArray);
    EXPECT_EQ(boundArray, 0);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(1, &buffer);
}
} // namespace
