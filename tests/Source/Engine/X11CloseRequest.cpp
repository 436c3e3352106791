#include "X11CloseRequest.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <optional>
#include <thread>

namespace kp::test
{
namespace
{
constexpr std::chrono::milliseconds kPollInterval{50};

// Other tests open and close windows on the same X server while the search walks the root's
// children, so a window listed by XQueryTree may be gone when its properties are read. Xlib's
// default handler would end this process on that BadWindow; the search treats it as "not this one".
int IgnoreVanishedWindow(Display*, XErrorEvent*)
{
    return 0;
}

std::optional<unsigned long> CardinalProperty(Display* display, Window window, Atom property)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &remaining, &data) != Success ||
        data == nullptr)
    {
        return std::nullopt;
    }
    std::optional<unsigned long> value;
    if (format == 32 && count == 1)
    {
        value = *reinterpret_cast<unsigned long*>(data);
    }
    XFree(data);
    return value;
}

std::string Title(Display* display, Window window)
{
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) != 0 && name != nullptr)
    {
        title = name;
        XFree(name);
    }
    return title;
}

// The top-level window of process `pid` titled `title`, if there is one yet.
std::optional<Window> WindowOf(Display* display, pid_t pid, const char* title)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    std::optional<Window> found;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
    {
        return found;
    }
    for (unsigned index = 0; index < count && !found; ++index)
    {
        if (CardinalProperty(display, children[index], pidAtom) == static_cast<unsigned long>(pid) &&
            Title(display, children[index]) == title)
        {
            found = children[index];
        }
    }
    XFree(children);
    return found;
}

// What a window manager sends when the player clicks the window's close button.
void SendCloseRequest(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

} // namespace

bool RequestCloseOfWindow(pid_t pid, const std::string& title, std::chrono::milliseconds patience,
                          const std::function<bool()>& stopWaiting)
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        return false;
    }
    const auto previousHandler = XSetErrorHandler(IgnoreVanishedWindow);
    std::optional<Window> window;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!window && std::chrono::steady_clock::now() < deadline && !stopWaiting())
    {
        std::this_thread::sleep_for(kPollInterval);
        window = WindowOf(display, pid, title.c_str());
    }
    if (window)
    {
        SendCloseRequest(display, *window);
    }
    XCloseDisplay(display);
    XSetErrorHandler(previousHandler);
    return window.has_value();
}
} // namespace kp::test
