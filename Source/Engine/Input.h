// The input table: keyboard and mouse buttons polled once per frame into {previous, current}
// pairs, so every reader in a frame sees the same snapshot and can ask for a level (held) or an
// edge (went down, went up) without callbacks. Also converts the cursor to window pixels centred
// on the window.
//
// Input codes: 0 to 7 are mouse buttons 0 to 7 (0 left, 1 right); 8 to 347 are GLFW key codes
// (printable keys by their character: 48 '0', 91 '[', 256 Escape). A state is 1 pressed, 0
// released. Codes outside 0..347 read as released.
//
// Threading: main thread only. Ownership: the table is one global; the window and any device set
// with Input::SetDevice are borrowed.
#pragma once

#include <array>
#include <cstdint>

struct GLFWwindow;

namespace trindle
{
class InputDevice;
}

struct InputPair
{
    std::int32_t previous; // the state of the last frame
    std::int32_t current;  // the state of this frame
};

constexpr int kInputCodeCount = 348;
constexpr int kMouseButtonCount = 8;
constexpr int kFirstKeyCode = 8;

struct InputState
{
    std::array<InputPair, kInputCodeCount> codes{};
    GLFWwindow* window = nullptr; // the window that polling reads
};

extern InputState inputState;

namespace Input
{
// Hands the game's window to the input module.
void SetWindow(GLFWwindow* window);
// Shifts every pair (previous := current) and reads the new current states: mouse buttons 0 to 7,
// then keys 8 to 347 in increasing order.
void Poll();

// Level and edges of one code.
bool IsHeld(int code);   // current = 1
bool WentDown(int code); // current = 1 and previous = 0
bool WentUp(int code);   // previous = 1 and current = 0
bool StaysDown(int code); // previous = 1 and current = 1: held since the last frame
// The went-up test (true on the frame the key comes back up), as the screen flow uses it.
bool IsTriggered(int code);

// Cursor in window pixels with 0 at the window's centre, x to the right and y upwards, using the
// window size the frame loop stored at the top of the frame. Not scaled to the reference size.
float GetCursorX();
float GetCursorY();

// Reads from this device instead of the window (tests); null returns to the window.
void SetDevice(trindle::InputDevice* device);
// Zeroes every pair, as before the first poll.
void ClearState();
} // namespace Input
