#include "Engine/Engine.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Fade.h"
#include "Engine/GameWindow.h"
#include "Engine/Input.h"
#include "Engine/MeshManager.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSourceManager.h"
#include "Engine/Timer.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

void EngineInit()
{
    RendererInit(window);
    // The sound engine's start-up and the game's banks follow here, then the first scene.
}

void EngineUpdate(float dt)
{
    TickFades(dt);
    Input::Poll();
    if (Input::WentDown(kMuteKey))
    {
        isMuted = !isMuted;
        // The two volume game parameters follow the mute rule here once sound exists.
    }
    // The frame's batch of sound requests is closed here once sound exists.
    TickTimers(dt);
    // The scene manager's screen flow and scene updates run here once scenes exist.
    if (Input::WentDown(kFullscreenKey))
    {
        ToggleFullscreen();
    }
}

void RenderFrame()
{
    Renderer::BeginDrawPass();
    // The active scenes are drawn here, in stack order, once scenes exist.
    Renderer::PresentOffscreenImage();
}

void EngineRender()
{
    RenderFrame();
    glfwSwapBuffers(Renderer::objects.renderWindow);
}

void EngineShutdown()
{
    SpriteSourceManager::DestroyAll();
    DeleteAllTimers();
    MeshManager::DestroyAll();
    // The scenes and their objects, and the sound engine are taken down here once they exist.
    RendererDeleteOffscreenFramebuffer();
}
