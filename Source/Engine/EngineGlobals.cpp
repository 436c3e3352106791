#include "Engine/EngineGlobals.h"

GLFWwindow* window = nullptr;
float windowWidth = 0.0f;
float windowHeight = 0.0f;
float windowX = 0.0f;
float windowY = 0.0f;
GLFWmonitor* fullscreenMonitor = nullptr;
bool wasFullscreen = false;
float framesPerSecond = 0.0f;
double previousTime = 0.0;
bool isMuted = false;
float volumeLevel1 = 0.0f;
float volumeLevel2 = 0.0f;
