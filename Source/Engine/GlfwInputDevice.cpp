#include "Engine/GlfwInputDevice.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

namespace trindle
{
int GlfwInputDevice::MouseButton(int button)
{
    if (m_window == nullptr || button < GLFW_MOUSE_BUTTON_1 || button > GLFW_MOUSE_BUTTON_LAST)
    {
        return GLFW_RELEASE;
    }
    return glfwGetMouseButton(m_window, button);
}

int GlfwInputDevice::Key(int key)
{
    // GLFW has no keys below Space; asking for one would only raise a GLFW error, and the answer
    // would be "released" all the same.
    if (m_window == nullptr || key < GLFW_KEY_SPACE || key > GLFW_KEY_LAST)
    {
        return GLFW_RELEASE;
    }
    return glfwGetKey(m_window, key);
}

void GlfwInputDevice::CursorPosition(double& x, double& y)
{
    x = 0.0;
    y = 0.0;
    if (m_window != nullptr)
    {
        glfwGetCursorPos(m_window, &x, &y);
    }
}
} // namespace trindle
