// The engine's global window state: the one window, its size and windowed-mode position, the
// frames-per-second value, and the mute flag with the two saved volume levels that the mute key,
// the focus callback and the volume controls share.
//
// Threading: main thread only (GLFW callbacks run on it too, inside glfwPollEvents).
// Ownership: `window` is created by OpenGameWindow and destroyed by CloseGameWindow; everything
// else is plain data. All values are zero before start-up.
#pragma once

struct GLFWwindow;
struct GLFWmonitor;

// The one window; also handed to the input module and the renderer.
extern GLFWwindow* window;
// Current client size in pixels: the video mode at start-up, then glfwGetWindowSize every frame.
extern float windowWidth;
extern float windowHeight;
// Windowed-mode position in screen pixels, written at start-up and on entering full screen.
extern float windowX;
extern float windowY;
// The monitor last used for full screen.
extern GLFWmonitor* fullscreenMonitor;
// True when the last ToggleFullscreen began in full screen, that is, it has just left full screen.
extern bool wasFullscreen;
// Frames counted in the last measuring window times 10.
extern float framesPerSecond;
// glfwGetTime of the previous frame; 0.0 before the first frame.
extern double previousTime;
// Mute state shared by the mute key, the focus callback and the volume controls.
extern bool isMuted;
// The saved levels of the two volume game parameters.
extern float volumeLevel1;
extern float volumeLevel2;

// The sound engine's game parameters that hold the two volume levels.
constexpr unsigned kVolumeParameter1Id = 1006694123u;
constexpr unsigned kVolumeParameter2Id = 1564184899u;
