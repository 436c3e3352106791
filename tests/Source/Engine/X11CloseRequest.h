// Closes another program's window the way a player does, through the X server: the window
// manager's close message (WM_DELETE_WINDOW) sent to the program's top-level window.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>

namespace kp::test
{
// Waits until process `pid` shows a top-level window titled `title` (found by its _NET_WM_PID),
// then sends it the close message and returns true. Looks again every 50 ms until `patience` runs
// out or `stopWaiting` returns true; then returns false.
bool RequestCloseOfWindow(pid_t pid, const std::string& title, std::chrono::milliseconds patience,
                          const std::function<bool()>& stopWaiting);
} // namespace kp::test
