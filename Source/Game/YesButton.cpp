#include "Game/YesButton.h"

#include "Engine/EngineGlobals.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

void YesButton::Act()
{
    if (window != nullptr)
    {
        glfwSetWindowShouldClose(window, GLFW_TRUE);
    }
}
