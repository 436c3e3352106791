#include "support/GlContext.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

namespace kp::test
{
GlContext::GlContext(int width, int height)
{
    if (!glfwInit())
    {
        m_error = "glfwInit failed (is DISPLAY set? run the tests under Xvfb)";
        return;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    m_window = glfwCreateWindow(width, height, "test", nullptr, nullptr);
    if (m_window == nullptr)
    {
        m_error = "glfwCreateWindow failed for an OpenGL 3.3 core context";
        glfwTerminate();
        return;
    }
    glfwMakeContextCurrent(m_window);
    if (gladLoadGL(glfwGetProcAddress) == 0)
    {
        m_error = "gladLoadGL failed";
        glfwDestroyWindow(m_window);
        m_window = nullptr;
        glfwTerminate();
    }
}

GlContext::~GlContext()
{
    if (m_window != nullptr)
    {
        glfwDestroyWindow(m_window);
        glfwTerminate();
    }
}
} // namespace kp::test
