// Where the input poll reads the keyboard, the mouse buttons and the cursor. The game reads them
// from its GLFW window (GlfwInputDevice); tests put a scripted device in its place with
// Input::SetDevice, so they can press keys without a keyboard.
//
// Threading: main thread. Ownership: the input module only borrows a device.
#pragma once

namespace trindle
{
class InputDevice
{
public:
    virtual ~InputDevice() = default;
    // 1 while pressed, 0 while released (GLFW's values).
    virtual int MouseButton(int button) = 0;
    virtual int Key(int key) = 0;
    // Cursor position in client pixels, origin top left.
    virtual void CursorPosition(double& x, double& y) = 0;
};
} // namespace trindle
