#include "Engine/GameWindow.h"

#include "Engine/Camera.h"
#include "Engine/EngineGlobals.h"
#include "Engine/GameSound.h"
#include "Engine/Input.h"
#include "Objects/SceneManager.h"

#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

namespace
{
constexpr int kOpenGlMajorVersion = 3;
constexpr int kOpenGlMinorVersion = 3;

// GLFW's own description of its last error, for the start-up failure message.
std::string g_lastGlfwError;

void RememberGlfwError(int code, const char* description)
{
    g_lastGlfwError =
        "GLFW error " + std::to_string(code) + ": " + (description != nullptr ? description : "");
}

std::string WithGlfwReason(const std::string& what)
{
    return g_lastGlfwError.empty() ? what : what + " (" + g_lastGlfwError + ")";
}
} // namespace

bool OpenGameWindow(std::string& error)
{
    g_lastGlfwError.clear();
    glfwSetErrorCallback(RememberGlfwError);
    if (glfwInit() == GLFW_FALSE)
    {
        error = WithGlfwReason("GLFW cannot be initialised; is there a display?");
        return false;
    }
    // GLFW's clock starts at glfwInit: the first frame's step is the time since then.
    previousTime = 0.0;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, kOpenGlMajorVersion);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, kOpenGlMinorVersion);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);

    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = primary != nullptr ? glfwGetVideoMode(primary) : nullptr;
    if (mode == nullptr)
    {
        error = WithGlfwReason("no monitor or video mode to open a full-screen window on");
        glfwTerminate();
        return false;
    }
    window = glfwCreateWindow(mode->width, mode->height, kStartupWindowTitle, primary, nullptr);
    if (window == nullptr)
    {
        error = WithGlfwReason("the full-screen window with an OpenGL 3.3 core context cannot be created");
        glfwTerminate();
        return false;
    }
    glfwMakeContextCurrent(window);
    glfwFocusWindow(window);
    glfwSwapInterval(0);
    if (gladLoadGL(glfwGetProcAddress) == 0)
    {
        error = "the OpenGL 3.3 core entry points cannot be loaded";
        glfwDestroyWindow(window);
        window = nullptr;
        glfwTerminate();
        return false;
    }

    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    int x = 0;
    int y = 0;
    glfwGetWindowPos(window, &x, &y);
    glfwSetWindowFocusCallback(window, OnWindowFocus);
    windowWidth = static_cast<float>(mode->width);
    windowHeight = static_cast<float>(mode->height);
    windowX = static_cast<float>(x);
    windowY = static_cast<float>(y);

    Input::SetWindow(window);
    return true;
}

void CloseGameWindow()
{
    glfwDestroyWindow(window);
    window = nullptr;
    Input::SetWindow(nullptr);
    glfwTerminate();
}

void ToggleFullscreen()
{
    GLFWmonitor* monitor = glfwGetWindowMonitor(window);
    wasFullscreen = monitor != nullptr;
    if (monitor != nullptr)
    {
        glfwSetWindowMonitor(window, nullptr, static_cast<int>(windowX), static_cast<int>(windowY),
                             static_cast<int>(windowWidth), static_cast<int>(windowHeight), 0);
        glfwSetWindowAspectRatio(window, Camera::kAspectNumerator, Camera::kAspectDenominator);
        // The frame loop keeps the size current, so leaving full screen normally ends maximised.
        const GLFWvidmode* mode = glfwGetVideoMode(glfwGetPrimaryMonitor());
        if (mode != nullptr && windowWidth == static_cast<float>(mode->width) &&
            windowHeight == static_cast<float>(mode->height))
        {
            glfwMaximizeWindow(window);
        }
        return;
    }
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    glfwGetWindowSize(window, &width, &height);
    glfwGetWindowPos(window, &x, &y);
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);
    windowX = static_cast<float>(x);
    windowY = static_cast<float>(y);
    fullscreenMonitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = glfwGetVideoMode(fullscreenMonitor);
    if (mode == nullptr)
    {
        return;
    }
    glfwSetWindowMonitor(window, fullscreenMonitor, 0, 0, mode->width, mode->height, mode->refreshRate);
    glfwSetWindowAspectRatio(window, Camera::kAspectNumerator, Camera::kAspectDenominator);
}

void OnWindowFocus(GLFWwindow* /*focusWindow*/, int focused)
{
    if (focused != 0)
    {
        // The saved levels come back even when the player had muted with the mute key.
        isMuted = false;
        WriteVolumeLevels(volumeLevel1, volumeLevel2);
        return;
    }
    // Losing focus during a game brings up the pause menu; the play field's update stops while it
    // is shown.
    if (SceneManager::Exists(SceneManager::kPlayField))
    {
        SceneManager::Open(SceneManager::kPauseMenu);
        SceneManager::BringToFront(SceneManager::kPauseMenu);
    }
    isMuted = true;
    ApplyMuteRule();
}
