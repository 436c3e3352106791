// Reads a GLFW window's title back from the X server (GLFW 3.3 has no call that returns it).
#pragma once

#include <string>

struct GLFWwindow;

namespace kp::test
{
// The window's WM_NAME as the X server holds it; "(unreadable)" when it cannot be read.
std::string X11WindowTitle(GLFWwindow* window);
} // namespace kp::test
