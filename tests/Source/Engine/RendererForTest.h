// The renderer started for a test's window as the engine starts it (the window's size in the
// engine's globals and the GL viewport, then RendererInit), and taken down again with the mesh and
// sprite-source registries that drawing filled, so the next test starts from nothing.
#pragma once

#include "Engine/EngineGlobals.h"
#include "Engine/MeshManager.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSourceManager.h"

#include <glad/gl.h>

namespace kp::test
{
inline void StartRenderer(GLFWwindow* testWindow, int width, int height)
{
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    glViewport(0, 0, width, height);
    RendererInit(testWindow);
}

inline void StopRenderer()
{
    SpriteSourceManager::DestroyAll();
    MeshManager::DestroyAll();
    RendererDeleteOffscreenFramebuffer();
    Renderer::objects = Renderer::Objects{};
    windowWidth = 0;
    windowHeight = 0;
}
} // namespace kp::test
