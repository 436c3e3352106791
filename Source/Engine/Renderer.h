// The renderer: every frame is drawn in two passes. The draw pass renders the scenes' sprites,
// glyphs and particles as textured quads with the sprite program into an off-screen colour texture
// the size of the window; the present pass draws that texture onto the window through a
// full-screen quad with the viewport program. World coordinates are 2-D pixels of the 1920 x 1080
// reference screen with the origin at its centre; the picture is scaled to the window (Camera.h).
//
// Threading: main thread, with the window's context current.
// Ownership: the renderer's GL objects are one global set, created by RendererInit. The window-size
// callback replaces the off-screen texture; EngineShutdown deletes the off-screen framebuffer; the
// programs, the quad and the last texture live as long as the context.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

struct GLFWwindow;

namespace Renderer
{
// The shader files, relative to the repository root where the game runs.
constexpr const char* kSpriteVertexShaderPath = "./Assets/VShader.shader";
constexpr const char* kSpriteFragmentShaderPath = "./Assets/PShaderTexture.shader";
constexpr const char* kViewportVertexShaderPath = "./Assets/ViewportShader.shader";
constexpr const char* kViewportFragmentShaderPath = "./Assets/ViewportPixelShader.shader";

// The colour the draw pass clears the off-screen image to, and the colour of the window behind it.
constexpr glm::vec4 kOffscreenClearColour{0.1f, 0.1f, 0.1f, 1.0f};
constexpr glm::vec4 kWindowClearColour{0.5f, 0.0f, 1.0f, 1.0f};

struct Objects
{
    unsigned spriteProgram = 0;   // VShader + PShaderTexture
    unsigned viewportProgram = 0; // ViewportShader + ViewportPixelShader
    unsigned quadVao = 0;         // the full-screen quad: 6 vertices of (x, y, u, v)
    unsigned quadVbo = 0;
    unsigned offscreenFramebuffer = 0; // drawn into by the draw pass
    unsigned offscreenTexture = 0;     // its colour attachment 0, RGB, the window's size
    glm::mat4 viewportMatrix{1.0f};    // "world" of the present pass
    GLFWwindow* renderWindow = nullptr;
};

extern Objects objects;

// The rectangle of one frame of a sheet of `columns` x `rows` frames, in texture coordinates:
// "u_v" is its corner, "u_v_size" its size. Frames run along a row, then down; a frame index past
// the last frame gives a rectangle past the texture (rows are not wrapped). A sheet that claims no
// columns or no rows is treated as one column or one row.
struct FrameRect
{
    glm::vec2 offset;
    glm::vec2 size;
};
FrameRect FrameRectOf(unsigned frame, unsigned columns, unsigned rows);

// The draw pass begins: the off-screen framebuffer is bound and cleared, and the viewport
// program's texture unit and matrix are set. Sprites drawn after this land in the off-screen image.
void BeginDrawPass();
// The present pass: the off-screen image is drawn over the whole window's back buffer through the
// viewport program. The caller swaps the buffers.
void PresentOffscreenImage();

// Draws `vertexCount` vertices of a mesh as triangles with the sprite program: frame `frame` of a
// sheet texture of `columns` x `rows` frames, tinted by `colour`, placed by `world`. The sprite and
// particle draws of the components are made of this (Renderer::DrawSprite and
// Renderer::DrawParticle, in Objects/RendererDraws.h beside the Transform they read).
void DrawMeshFrame(unsigned texture, unsigned columns, unsigned rows, unsigned vertexArray, int vertexCount,
                   const glm::mat4& world, unsigned frame, const glm::vec4& colour);
} // namespace Renderer

// Builds the programs, the full-screen quad and the off-screen framebuffer of the window's current
// size (windowWidth x windowHeight), registers the window-size callback and sets the camera.
void RendererInit(GLFWwindow* window);

// The window-size callback: the GL viewport and the off-screen texture follow the new size. A zero
// size (a minimised window) leaves the off-screen framebuffer without a texture, and bound, until
// the next non-zero size.
void OnFramebufferSize(GLFWwindow* window, int width, int height);

// Deletes the off-screen framebuffer (shutdown).
void RendererDeleteOffscreenFramebuffer();
