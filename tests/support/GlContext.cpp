#include "support/GlContext.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace kp::test
{
namespace
{
// Mesa unloads its driver when the last context goes away. LeakSanitizer then cannot name the
// driver's own small leaks (it reports an unknown module, which no suppression matches), so the
// driver libraries are pinned in memory for the life of the test program; tests/lsan.supp then
// suppresses them by name.
int PinDriverLibrary(dl_phdr_info* info, size_t, void*)
{
    if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, "/dri/") != nullptr)
    {
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return 0;
}
} // namespace

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
    dl_iterate_phdr(PinDriverLibrary, nullptr);
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
