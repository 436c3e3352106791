// Holds one connection to the X server for the whole test program. Xvfb resets itself when its last
// client leaves, and a window opened while it resets fails to connect; the tests here open and
// close many windows one after another, so the server is kept from resetting between them.
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace
{
class XServerKeepAlive final : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // The test program is not linked to libX11; GLFW already loaded it into the process.
        m_library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (m_library == nullptr)
        {
            return;
        }
        // The display is only held, never looked into: an opaque pointer is enough.
        using OpenDisplay = void* (*)(const char*);
        const auto openDisplay = reinterpret_cast<OpenDisplay>(dlsym(m_library, "XOpenDisplay"));
        m_display = openDisplay != nullptr ? openDisplay(nullptr) : nullptr;
    }
    void TearDown() override
    {
        if (m_display != nullptr)
        {
            using CloseDisplay = int (*)(void*);
            const auto closeDisplay = reinterpret_cast<CloseDisplay>(dlsym(m_library, "XCloseDisplay"));
            if (closeDisplay != nullptr)
            {
                closeDisplay(m_display);
            }
            m_display = nullptr;
        }
        if (m_library != nullptr)
        {
            dlclose(m_library);
            m_library = nullptr;
        }
    }

private:
    void* m_library = nullptr;
    void* m_display = nullptr;
};

[[maybe_unused]] ::testing::Environment* const g_keepAlive =
    ::testing::AddGlobalTestEnvironment(new XServerKeepAlive);
} // namespace
