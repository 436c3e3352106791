// A hidden GLFW window with an OpenGL 3.3 core context, for tests that draw and read pixels back.
// Tests run under Xvfb (make test); the context is current on the creating thread.
#pragma once

#include <string>

struct GLFWwindow;

namespace kp::test
{
class GlContext
{
public:
    GlContext(int width, int height);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    // False when GLFW, the window or the loader could not be set up; Error() says which.
    bool IsReady() const { return m_window != nullptr; }
    const std::string& Error() const { return m_error; }
    GLFWwindow* Window() const { return m_window; }

private:
    GLFWwindow* m_window = nullptr;
    std::string m_error;
};
} // namespace kp::test
