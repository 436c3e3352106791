// Linked into the game in its sanitizer builds and into every OpenGL test program, never into the
// engine library. Mesa unloads its driver when the last context goes away; LeakSanitizer, which
// runs at exit, then cannot name the driver's own small leaks (it reports an unknown module, which
// no suppression matches) and the program exits with an error after a clean run. Loading the
// driver once at start-up with RTLD_NODELETE keeps it mapped for the life of the program, so its
// leaks can be suppressed by name, here (the program needs no suppression file) and in
// tests/lsan.supp. Only the driver is pinned: pinning libGLX_mesa too leaves GLFW without a
// frame-buffer configuration when it starts again, and a program that opens a second context fails.
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

// LeakSanitizer's built-in suppressions: the leaks inside the system's OpenGL driver, which the
// program cannot free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:swrast_dri.so\n";
}
