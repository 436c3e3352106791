#include "Engine/Assertion.h"
#include "Engine/PngImage.h"
#include "Engine/TEResources.h"

#include <cstddef>
#include <glad/gl.h>

namespace TEResources
{
namespace
{
constexpr int kRgbaChannels = 4;
// What a texture shows when its image cannot be read: one opaque magenta texel, so the fault is
// plain to see on screen instead of undefined content.
constexpr unsigned char kMissingImageTexel[kRgbaChannels] = {255, 0, 255, 255};
} // namespace

void CreateEmptyTexture(unsigned& texture, int width, int height)
{
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

void LoadTexture(unsigned& texture, const std::string& path, int& width, int& height)
{
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    const PngImage image = PngImage::Read(path, maxSide);
    if (image.Texels() != nullptr)
    {
        width = image.Width();
        height = image.Height();
        // Rows of RGBA bytes are tightly packed; the default 4-byte unpack alignment fits them.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.Texels());
    }
    else
    {
        // The caller's width and height are kept, but the texture is not sized by them: they may
        // hold anything.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, kMissingImageTexel);
        trindle::ReportAssertion("pixels != nullptr", "Source/TEResources",
                                 "image \"" + path + "\" " + image.Error());
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_MIRRORED_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_MIRRORED_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void CreateMeshBuffers(unsigned& vertexArray, unsigned& buffer, const MeshVertex* vertices, int count)
{
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(count) * static_cast<GLsizeiptr>(sizeof(MeshVertex)), vertices,
                 GL_STATIC_DRAW);
    constexpr GLsizei kStride = sizeof(MeshVertex);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, kStride,
                          reinterpret_cast<const void*>(offsetof(MeshVertex, x)));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, kStride,
                          reinterpret_cast<const void*>(offsetof(MeshVertex, u)));
    glVertexAttribPointer(2, 4, GL_FLOAT, GL_FALSE, kStride,
                          reinterpret_cast<const void*>(offsetof(MeshVertex, r)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glBindVertexArray(0);
}
} // namespace TEResources
