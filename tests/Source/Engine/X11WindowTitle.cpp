#include "X11WindowTitle.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

// GLFW's native-access calls, declared here rather than through its native header, which would
// also want the XRandR development headers.
extern "C" Display* glfwGetX11Display(void);
extern "C" Window glfwGetX11Window(GLFWwindow* window);

namespace kp::test
{
std::string X11WindowTitle(GLFWwindow* window)
{
    // libX11 is already in the process (GLFW uses it); the test program is not linked to it.
    void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        return "(unreadable)";
    }
    using FetchName = Status (*)(Display*, Window, char**);
    using FreeMemory = int (*)(void*);
    const auto fetchName = reinterpret_cast<FetchName>(dlsym(library, "XFetchName"));
    const auto freeMemory = reinterpret_cast<FreeMemory>(dlsym(library, "XFree"));
    std::string title = "(unreadable)";
    char* name = nullptr;
    if (fetchName != nullptr && freeMemory != nullptr &&
        fetchName(glfwGetX11Display(), glfwGetX11Window(window), &name) != 0 && name != nullptr)
    {
        title = name;
        freeMemory(name);
    }
    dlclose(library);
    return title;
}
} // namespace kp::test
