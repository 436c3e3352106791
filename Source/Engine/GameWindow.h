// The game's window: opening it full screen with an OpenGL 3.3 core context, closing it, switching
// between full screen and a window, and what focus changes do.
//
// Threading: main thread (GLFW requires it for windows and callbacks).
// Ownership: the window is kept in the global `window` (EngineGlobals.h) from OpenGameWindow to
// CloseGameWindow; GLFW is initialised and terminated with it.
#pragma once

#include <string>

struct GLFWwindow;

// The title the window is created with, and the title the frame loop gives it once it runs.
constexpr const char* kStartupWindowTitle = "Trindle_Engine";
constexpr const char* kGameWindowTitle = "Korvane Pellar";

// Initialises GLFW, opens the window full screen on the primary monitor at its current video mode
// with an OpenGL 3.3 core context (current, focused, no vertical sync), loads the OpenGL entry
// points, sets blending, registers the focus callback, stores the window's size and position and
// hands the window to the input module. On failure GLFW is left terminated, `error` says what
// failed and the result is false.
bool OpenGameWindow(std::string& error);

// Destroys the window and terminates GLFW.
void CloseGameWindow();

// Leaves full screen for a 16:9 window at the stored position and size (maximised when that size
// is the monitor's mode), or enters full screen on the primary monitor at its current mode.
// Records in `wasFullscreen` whether it began in full screen.
void ToggleFullscreen();

// Focus callback. Gaining focus unmutes and restores both saved volume levels (even after the mute
// key); losing focus, while the play field "Sandbox" is on the scene stack, opens "PauseMenu" on
// top, and in every case mutes (both volume game parameters to 0).
void OnWindowFocus(GLFWwindow* focusWindow, int focused);
