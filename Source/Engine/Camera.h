// The camera: the sprite program's view and orthographic projection, and the viewport matrix of
// the present pass. Set once at start-up for the window's size; a later change of the window's size
// does not move the camera.
//
// Threading: main thread, with the window's context current. Ownership: writes the renderer's
// viewport matrix and the sprite program's uniforms; owns nothing.
#pragma once

struct GLFWwindow;

namespace Camera
{
// The reference resolution that game positions are laid out for, and its aspect ratio.
constexpr float kReferenceWidth = 1920.0f;
constexpr float kReferenceHeight = 1080.0f;
constexpr int kAspectNumerator = 16;
constexpr int kAspectDenominator = 9;

// Keeps the window at 16:9; view: eye (0, 0, 1) looking at the origin, y up; projection:
// orthographic over width x height pixels centred on the origin, depth -1 to 1; viewport matrix:
// translation (0, 0, 1) x scale (window width / 1920, window height / 1080, 1).
void Set(GLFWwindow* window, int width, int height);
} // namespace Camera
