// A test input device: the test says which keys and buttons are down and where the cursor is, and
// the input poll reads that instead of a keyboard. An optional hook runs at every poll (after the
// mouse buttons, at the first key read), so a test can act from inside the frame loop.
#pragma once

#include "Engine/InputDevice.h"

#include <functional>
#include <set>

namespace kp::test
{
class ScriptedInputDevice final : public trindle::InputDevice
{
public:
    void Press(int code) { m_down.insert(code); }
    void Release(int code) { m_down.erase(code); }
    void SetCursor(double x, double y)
    {
        m_cursorX = x;
        m_cursorY = y;
    }
    void SetPollHook(std::function<void()> hook) { m_pollHook = std::move(hook); }
    int Polls() const { return m_polls; }

    int MouseButton(int button) override { return m_down.count(button) != 0 ? 1 : 0; }
    int Key(int key) override
    {
        if (key == kFirstKey)
        {
            ++m_polls;
            if (m_pollHook)
            {
                m_pollHook();
            }
        }
        return m_down.count(key) != 0 ? 1 : 0;
    }
    void CursorPosition(double& x, double& y) override
    {
        x = m_cursorX;
        y = m_cursorY;
    }

private:
    static constexpr int kFirstKey = 8;
    std::set<int> m_down;
    double m_cursorX = 0.0;
    double m_cursorY = 0.0;
    std::function<void()> m_pollHook;
    int m_polls = 0;
};
} // namespace kp::test
