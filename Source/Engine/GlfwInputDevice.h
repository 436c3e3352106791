// The input device of the game: the state GLFW keeps for the window handed to the input module.
//
// Threading: main thread (GLFW's input functions are main-thread only). Ownership: borrows the
// window; with no window every input reads as released and the cursor as (0, 0).
#pragma once

#include "Engine/InputDevice.h"

struct GLFWwindow;

namespace trindle
{
class GlfwInputDevice final : public InputDevice
{
public:
    void SetWindow(GLFWwindow* window) { m_window = window; }

    int MouseButton(int button) override;
    int Key(int key) override;
    void CursorPosition(double& x, double& y) override;

private:
    GLFWwindow* m_window = nullptr;
};
} // namespace trindle
