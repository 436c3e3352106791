#include "Engine/Engine.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Fade.h"
#include "Engine/GameWindow.h"
#include "Engine/Input.h"
#include "Engine/MeshManager.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSourceManager.h"
#include "Engine/Timer.h"
#include "Objects/SceneManager.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

void EngineInit()
{
    RendererInit(window);
    // The sound engine's start-up and the game's banks follow here, before the first scene.
    SceneManager::OpenFirstScene(kFirstSceneName);
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
    SceneManager::Update(dt);
    if (Input::WentDown(kFullscreenKey))
    {
        ToggleFullscreen();
    }
}

void RenderFrame()
{
    Renderer::BeginDrawPass();
    SceneManager::DrawActiveScenes();
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
    SceneManager::DestroyAll();
    // Fades outlive the frame loop only as long as the behaviours that point at them: their records
    // (whose timers were just deleted) go once the scenes are gone, so nothing is left dangling.
    DeleteAllFades();
    // The sound engine is taken down here once it exists.
    RendererDeleteOffscreenFramebuffer();
}
