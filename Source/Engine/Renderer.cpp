#include "Engine/Renderer.h"

#include "Engine/Camera.h"
#include "Engine/EngineGlobals.h"
#include "Engine/TEResources.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <array>
#include <glm/gtc/type_ptr.hpp>

namespace Renderer
{
Objects objects;

namespace
{
// Two triangles covering clip space, as (x, y, u, v).
constexpr std::array<float, 24> kQuadVertices = {
    -1.0f, 1.0f,  0.0f, 1.0f, //
    -1.0f, -1.0f, 0.0f, 0.0f, //
    1.0f,  -1.0f, 1.0f, 0.0f, //
    -1.0f, 1.0f,  0.0f, 1.0f, //
    1.0f,  -1.0f, 1.0f, 0.0f, //
    1.0f,  1.0f,  1.0f, 1.0f, //
};
constexpr GLsizei kQuadStride = 4 * sizeof(float);
constexpr GLsizei kQuadVertexCount = 6;
// The present pass's "editorToggle": the centre of the shown image, (0.5, 0.5) shows it unmoved.
constexpr float kEditorToggle = 0.5f;

void SetViewportUniforms()
{
    glUniform1i(glGetUniformLocation(objects.viewportProgram, "viewportTextureID"), 0);
    glUniformMatrix4fv(glGetUniformLocation(objects.viewportProgram, "world"), 1, GL_FALSE,
                       glm::value_ptr(objects.viewportMatrix));
}

void CreateFullScreenQuad()
{
    glGenVertexArrays(1, &objects.quadVao);
    glGenBuffers(1, &objects.quadVbo);
    glBindVertexArray(objects.quadVao);
    glBindBuffer(GL_ARRAY_BUFFER, objects.quadVbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kQuadVertices), kQuadVertices.data(), GL_STATIC_DRAW);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, kQuadStride, nullptr);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, kQuadStride,
                          reinterpret_cast<const void*>(2 * sizeof(float)));
    glEnableVertexAttribArray(1);
    glBindVertexArray(0);
}

void AttachNewOffscreenTexture(int width, int height)
{
    TEResources::CreateEmptyTexture(objects.offscreenTexture, width, height);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, objects.offscreenTexture, 0);
    // Completeness is asked for and not acted on: an incomplete framebuffer only makes the draw
    // pass draw nothing.
    static_cast<void>(glCheckFramebufferStatus(GL_FRAMEBUFFER));
}
} // namespace

FrameRect FrameRectOf(unsigned frame, unsigned columns, unsigned rows)
{
    const unsigned safeColumns = columns == 0 ? 1 : columns;
    const unsigned safeRows = rows == 0 ? 1 : rows;
    const float columnCount = static_cast<float>(safeColumns);
    const float rowCount = static_cast<float>(safeRows);
    return FrameRect{
        glm::vec2(static_cast<float>(frame % safeColumns) / columnCount,
                  static_cast<float>(frame / safeColumns) / rowCount),
        glm::vec2(1.0f / columnCount, 1.0f / rowCount),
    };
}

void BeginDrawPass()
{
    glBindFramebuffer(GL_FRAMEBUFFER, objects.offscreenFramebuffer);
    glClearColor(kOffscreenClearColour.r, kOffscreenClearColour.g, kOffscreenClearColour.b,
                 kOffscreenClearColour.a);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(objects.viewportProgram);
    SetViewportUniforms();
}

void PresentOffscreenImage()
{
    glUseProgram(objects.viewportProgram);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(kWindowClearColour.r, kWindowClearColour.g, kWindowClearColour.b, kWindowClearColour.a);
    glClear(GL_COLOR_BUFFER_BIT);
    glUseProgram(objects.viewportProgram);
    glUniform2f(glGetUniformLocation(objects.viewportProgram, "editorToggle"), kEditorToggle, kEditorToggle);
    glBindVertexArray(objects.quadVao);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, objects.offscreenTexture);
    SetViewportUniforms();
    glDrawArrays(GL_TRIANGLES, 0, kQuadVertexCount);
    glBindVertexArray(0);
    glUseProgram(0);
}

void DrawMeshFrame(unsigned texture, unsigned columns, unsigned rows, unsigned vertexArray, int vertexCount,
                   const glm::mat4& world, unsigned frame, const glm::vec4& colour)
{
    const GLuint program = objects.spriteProgram;
    glUseProgram(program);
    glBindVertexArray(vertexArray);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);

    const FrameRect rect = FrameRectOf(frame, columns, rows);
    glUniform2fv(glGetUniformLocation(program, "u_v"), 1, glm::value_ptr(rect.offset));
    glUniform2fv(glGetUniformLocation(program, "u_v_size"), 1, glm::value_ptr(rect.size));
    glUniform4fv(glGetUniformLocation(program, "colorVal"), 1, glm::value_ptr(colour));
    glUniformMatrix4fv(glGetUniformLocation(program, "world"), 1, GL_FALSE, glm::value_ptr(world));

    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    glBindVertexArray(0);
    glUseProgram(0);
}
} // namespace Renderer

void RendererInit(GLFWwindow* window)
{
    using Renderer::objects;
    const glm::vec4& clear = Renderer::kOffscreenClearColour;
    glClearColor(clear.r, clear.g, clear.b, clear.a);
    glDisable(GL_CULL_FACE);

    TEResources::CreateShaderProgram(objects.spriteProgram, Renderer::kSpriteVertexShaderPath,
                                     Renderer::kSpriteFragmentShaderPath);
    TEResources::CreateShaderProgram(objects.viewportProgram, Renderer::kViewportVertexShaderPath,
                                     Renderer::kViewportFragmentShaderPath);

    Renderer::CreateFullScreenQuad();

    glUseProgram(objects.viewportProgram);
    glUniform1i(glGetUniformLocation(objects.viewportProgram, "viewportTextureID"), 0);

    glGenFramebuffers(1, &objects.offscreenFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, objects.offscreenFramebuffer);
    Renderer::AttachNewOffscreenTexture(static_cast<int>(windowWidth), static_cast<int>(windowHeight));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    glfwSetWindowSizeCallback(window, OnFramebufferSize);

    Camera::Set(window, static_cast<int>(windowWidth), static_cast<int>(windowHeight));
    objects.renderWindow = window;
}

void OnFramebufferSize(GLFWwindow* window, int width, int height)
{
    using Renderer::objects;
    glViewport(0, 0, width, height);
    glfwSetWindowAspectRatio(window, Camera::kAspectNumerator, Camera::kAspectDenominator);

    glDeleteTextures(1, &objects.offscreenTexture);
    objects.offscreenTexture = 0;

    glUseProgram(objects.viewportProgram);
    glUniform1i(glGetUniformLocation(objects.viewportProgram, "viewportTextureID"), 0);

    glBindFramebuffer(GL_FRAMEBUFFER, objects.offscreenFramebuffer);
    if (width != 0 && height != 0)
    {
        Renderer::AttachNewOffscreenTexture(width, height);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

void RendererDeleteOffscreenFramebuffer()
{
    glDeleteFramebuffers(1, &Renderer::objects.offscreenFramebuffer);
    Renderer::objects.offscreenFramebuffer = 0;
}
