#include "Engine/FrameLoop.h"

#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/GameWindow.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

bool FrameRateMeter::AddFrame(float dt)
{
    ++m_frames;
    m_accumulated += dt;
    if (static_cast<double>(m_accumulated) < kFrameRateWindowSeconds)
    {
        return false;
    }
    framesPerSecond = static_cast<float>(m_frames * kFrameRateScale);
    m_accumulated = 0.0f;
    m_frames = 0;
    return true;
}

void FrameLoop::RunFrame()
{
    // The first frame's step is the time since glfwInit, start-up included.
    const double now = glfwGetTime();
    const float dt = static_cast<float>(now - previousTime);
    previousTime = now;

    int width = 0;
    int height = 0;
    glfwGetWindowSize(window, &width, &height);
    windowWidth = static_cast<float>(width);
    windowHeight = static_cast<float>(height);

    EngineUpdate(dt);
    EngineRender();
    glfwPollEvents();

    if (m_meter.AddFrame(dt))
    {
        glfwSetWindowTitle(window, kGameWindowTitle);
    }
}

void FrameLoop::Run()
{
    while (glfwWindowShouldClose(window) == GLFW_FALSE)
    {
        RunFrame();
    }
}
