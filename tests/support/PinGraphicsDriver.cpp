// Linked into every OpenGL test program. Mesa unloads its driver when the last context goes away;
// LeakSanitizer then cannot name the driver's own small leaks (it reports an unknown module, which
// no suppression matches). Loading the driver once at start-up with RTLD_NODELETE keeps it mapped
// for the life of the program, so tests/lsan.supp can suppress it by name. Only the driver is
// pinned: pinning libGLX_mesa too leaves GLFW without a frame-buffer configuration when it starts
// again, and a program that opens a second context fails.
#include <dlfcn.h>
#include <glob.h>

namespace
{
void Pin(const char* path)
{
    dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

struct PinGraphicsDriver
{
    PinGraphicsDriver()
    {
        glob_t drivers{};
        if (glob("/usr/lib/*/dri/swrast_dri.so", 0, nullptr, &drivers) == 0)
        {
            for (size_t i = 0; i < drivers.gl_pathc; ++i)
                Pin(drivers.gl_pathv[i]);
        }
        globfree(&drivers);
    }
};

const PinGraphicsDriver pinGraphicsDriver;
} // namespace
