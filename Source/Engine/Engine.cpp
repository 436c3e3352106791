#include "Engine/Engine.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Fade.h"
#include "Engine/GameSound.h"
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
    Sound().StartUp();
    SceneManager::OpenFirstScene(kFirstSceneName);
}

void EngineUpdate(float dt)
{
    TickFades(dt);
    Input::Poll();
    if (Input::WentDown(kMuteKey))
    {
        isMuted = !isMuted;
        ApplyMuteRule();
    }
    Sound().RenderAudio();
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
    Sound().ShutDown();
    RendererDeleteOffscreenFramebuffer();
}
