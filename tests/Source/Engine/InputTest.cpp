// The input table: press and release edges over a sequence of polls, and the cursor conversion.
#include "Engine/Input.h"

#include "Engine/EngineGlobals.h"
#include "ScriptedInputDevice.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
class InputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Input::ClearState();
        Input::SetDevice(&m_device);
    }
    void TearDown() override
    {
        Input::SetDevice(nullptr);
        Input::ClearState();
        windowWidth = 0.0f;
        windowHeight = 0.0f;
    }

    kp::test::ScriptedInputDevice m_device;
};

struct EdgeCase
{
    std::string name;
    int code;
    std::vector<bool> downAtPoll; // the device's state at each poll
    std::vector<bool> expectHeld; // after each poll
    std::vector<bool> expectWentDown;
    std::vector<bool> expectWentUp; // also Input::IsTriggered
};

TEST_F(InputTest, EdgesFollowEachPollAsATable)
{
    const std::vector<EdgeCase> cases = {
        {"key held for three frames: one press edge, then one release edge",
         48,
         {true, true, true, false, false},
         {true, true, true, false, false},
         {true, false, false, false, false},
         {false, false, false, true, false}},
        {"left mouse button tapped for one frame",
         0,
         {false, true, false},
         {false, true, false},
         {false, true, false},
         {false, false, true}},
        {"pressed twice: two separate press edges",
         91,
         {true, false, true, true},
         {true, false, true, true},
         {true, false, true, false},
         {false, true, false, false}},
        {"last key code, Menu (347)", 347, {true, false}, {true, false}, {true, false}, {false, true}},
        {"highest mouse button (7)", 7, {true, true}, {true, true}, {true, false}, {false, false}},
    };
    for (const EdgeCase& edge : cases)
    {
        SCOPED_TRACE(edge.name);
        Input::ClearState();
        for (size_t poll = 0; poll < edge.downAtPoll.size(); ++poll)
        {
            SCOPED_TRACE("poll " + std::to_string(poll));
            if (edge.downAtPoll[poll])
            {
                m_device.Press(edge.code);
            }
            else
            {
                m_device.Release(edge.code);
            }
            Input::Poll();
            EXPECT_EQ(Input::IsHeld(edge.code), edge.expectHeld[poll]);
            EXPECT_EQ(Input::WentDown(edge.code), edge.expectWentDown[poll]);
            EXPECT_EQ(Input::WentUp(edge.code), edge.expectWentUp[poll]);
            EXPECT_EQ(Input::IsTriggered(edge.code), edge.expectWentUp[poll]);
        }
        m_device.Release(edge.code);
    }
}

TEST_F(InputTest, PressAndReleaseBetweenPollsIsNeverSeen)
{
    Input::Poll();
    m_device.Press(32);
    m_device.Release(32);
    Input::Poll();
    EXPECT_FALSE(Input::IsHeld(32));
    EXPECT_FALSE(Input::WentDown(32));
    EXPECT_FALSE(Input::WentUp(32));
}

TEST_F(InputTest, BeforeTheFirstPollNothingIsHeldOrTriggered)
{
    for (int code = 0; code < kInputCodeCount; ++code)
    {
        ASSERT_FALSE(Input::IsHeld(code)) << code;
        ASSERT_FALSE(Input::WentDown(code)) << code;
        ASSERT_FALSE(Input::IsTriggered(code)) << code;
    }
}

TEST_F(InputTest, MouseCodesAreButtonsAndKeyCodesAreKeys)
{
    // The device answers the same code for a button and for a key; the poll must ask the right one.
    class SplitDevice final : public trindle::InputDevice
    {
    public:
        int MouseButton(int button) override { return button == 1 ? 1 : 0; }
        int Key(int key) override { return key == 1 || key == 256 ? 1 : 0; }
        void CursorPosition(double& x, double& y) override { x = y = 0.0; }
    } device;
    Input::SetDevice(&device);
    Input::Poll();
    EXPECT_TRUE(Input::IsHeld(1));   // right mouse button
    EXPECT_TRUE(Input::IsHeld(256)); // Escape
    EXPECT_FALSE(Input::IsHeld(0));
    Input::SetDevice(&m_device);
}

TEST_F(InputTest, CodesOutsideTheTableReadAsReleased)
{
    for (int code : {-1, kInputCodeCount, 100000})
    {
        EXPECT_FALSE(Input::IsHeld(code)) << code;
        EXPECT_FALSE(Input::WentDown(code)) << code;
        EXPECT_FALSE(Input::IsTriggered(code)) << code;
    }
}

struct CursorCase
{
    float width;
    float height;
    double x;
    double y;
    float expectX;
    float expectY;
};

TEST_F(InputTest, CursorIsCentredOnTheWindowInWindowPixels)
{
    const CursorCase cases[] = {
        {1920, 1080, 960, 540, 0.0f, 0.0f},        // centre
        {1920, 1080, 0, 0, -960.0f, 540.0f},       // top left corner
        {1920, 1080, 1920, 1080, 960.0f, -540.0f}, // bottom right edge
        {1919, 1079, 959, 539, -0.5f, 0.5f},       // odd size: the centre is half a pixel off
        {1280, 720, 1280, 0, 640.0f, 360.0f},      // not scaled to the 1920 x 1080 reference
        {1919.9f, 1080, 0, 0, -959.5f, 540.0f},    // the width is truncated before halving
    };
    for (const CursorCase& cursor : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << cursor.width << "x" << cursor.height << " at " << cursor.x << "," << cursor.y);
        windowWidth = cursor.width;
        windowHeight = cursor.height;
        m_device.SetCursor(cursor.x, cursor.y);
        EXPECT_FLOAT_EQ(Input::GetCursorX(), cursor.expectX);
        EXPECT_FLOAT_EQ(Input::GetCursorY(), cursor.expectY);
    }
}
} // namespace
