#include "Engine/Input.h"

#include "Engine/EngineGlobals.h"
#include "Engine/GlfwInputDevice.h"

#include <cstddef>

InputState inputState;

namespace
{
trindle::GlfwInputDevice g_windowDevice;
trindle::InputDevice* g_testDevice = nullptr;

trindle::InputDevice& ActiveDevice()
{
    if (g_testDevice != nullptr)
    {
        return *g_testDevice;
    }
    g_windowDevice.SetWindow(inputState.window);
    return g_windowDevice;
}

const InputPair* PairOf(int code)
{
    if (code < 0 || code >= kInputCodeCount)
    {
        return nullptr;
    }
    return &inputState.codes[static_cast<std::size_t>(code)];
}
} // namespace

namespace Input
{
void SetWindow(GLFWwindow* window)
{
    inputState.window = window;
}

void Poll()
{
    trindle::InputDevice& device = ActiveDevice();
    for (int code = 0; code < kMouseButtonCount; ++code)
    {
        InputPair& pair = inputState.codes[static_cast<std::size_t>(code)];
        pair.previous = pair.current;
        pair.current = device.MouseButton(code);
    }
    for (int code = kFirstKeyCode; code < kInputCodeCount; ++code)
    {
        InputPair& pair = inputState.codes[static_cast<std::size_t>(code)];
        pair.previous = pair.current;
        pair.current = device.Key(code);
    }
}

bool IsHeld(int code)
{
    const InputPair* pair = PairOf(code);
    return pair != nullptr && pair->current == 1;
}

bool WentDown(int code)
{
    const InputPair* pair = PairOf(code);
    return pair != nullptr && pair->current == 1 && pair->previous == 0;
}

bool WentUp(int code)
{
    const InputPair* pair = PairOf(code);
    return pair != nullptr && pair->previous == 1 && pair->current == 0;
}

bool StaysDown(int code)
{
    const InputPair* pair = PairOf(code);
    return pair != nullptr && pair->previous == 1 && pair->current == 1;
}

bool IsTriggered(int code)
{
    return WentUp(code);
}

float GetCursorX()
{
    double x = 0.0;
    double y = 0.0;
    ActiveDevice().CursorPosition(x, y);
    // The width is truncated to whole pixels before halving: an odd width has a half-pixel centre.
    return static_cast<float>(x - static_cast<int>(windowWidth) * 0.5);
}

float GetCursorY()
{
    double x = 0.0;
    double y = 0.0;
    ActiveDevice().CursorPosition(x, y);
    return -static_cast<float>(y - static_cast<int>(windowHeight) * 0.5);
}

void SetDevice(trindle::InputDevice* device)
{
    g_testDevice = device;
}

void ClearState()
{
    inputState.codes.fill(InputPair{0, 0});
}
} // namespace Input
