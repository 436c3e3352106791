// The camera: the sprite program's view and orthographic projection, and the viewport matrix of
// the present pass. World units are pixels of the 1920 x 1080 reference screen, origin at its
// centre. The projection always spans that reference screen, so the off-screen image (the window's
// size) holds the whole picture scaled to the window, at the window's own resolution: a unit is
// window width / 1920 pixels across and window height / 1080 pixels up, the scale the colliders and
// with them the mouse areas use. Set once at start-up; since the projection does not depend on the
// window, the picture keeps filling the window when its size changes.
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
// orthographic over the reference screen centred on the origin, depth -1 to 1; viewport matrix:
// translation (0, 0, 1) x scale (width / 1920, height / 1080, 1) for the window's width x height.
void Set(GLFWwindow* window, int width, int height);
} // namespace Camera
