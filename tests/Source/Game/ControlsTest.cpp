// The pause menu's controls: the mute toggle acting on the press (a held press or a second one
// within 0.15 s toggles nothing more), with both volume parameters written in the game's form and
// by the mute rule; the volume knob following the cursor only inside its band and sending its
// level on every held update, unclamped; the full-screen toggle's frames on both sides of a switch.
#include "GameTestKit.h"
#include "Game/Button.h"
#include "Game/ScreenToggle.h"
#include "support/GlContext.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

namespace
{
using kp::test::MakeBehavior;
using kp::test::ObjectBuilder;
using kp::test::SoundCall;

constexpr float kStep = 0.05f;
constexpr ZkUniqueID kVolume1 = 1006694123;
constexpr ZkUniqueID kVolume2 = 1564184899;

class ControlsTest : public kp::test::GameFixture
{
protected:
    GameObject* MakeControl(BehaviorClass kind, float x, float y)
    {
        ObjectBuilder control("Control");
        control.At(x, y).Scaled(100, 50).Showing(Sheet(4, 1), 3).Box().WithAudio().With(MakeBehavior(kind));
        GameObject* object = Keep(control.Build());
        object->GetComponent<Behavior>()->Init();
        return object;
    }
    void Step(GameObject* object, bool down)
    {
        down ? m_input.Press(kMouse) : m_input.Release(kMouse);
        FrameOf({object}, kStep);
    }
    // The volume writes since the last look, as (parameter, value) pairs, each checked for the
    // game's form: every game object, no transition, the linear curve, interpolated.
    std::vector<std::pair<ZkUniqueID, float>> VolumeWrites()
    {
        std::vector<std::pair<ZkUniqueID, float>> writes;
        for (const SoundCall& call : m_sound.Calls(SoundCall::Kind::SetRTPCValue))
        {
            EXPECT_EQ(call.gameObject, 0xFFFFFFFFFFFFFFFFull);
            EXPECT_EQ(call.transitionMs, 0);
            EXPECT_EQ(call.curve, ZkCurveInterpolation_Linear);
            EXPECT_FALSE(call.bypass);
            writes.emplace_back(call.id, call.value);
        }
        m_sound.ForgetCalls();
        return writes;
    }
};

using Writes = std::vector<std::pair<ZkUniqueID, float>>;

TEST_F(ControlsTest, MuteActsOnThePressOnceAndRestsForAShortWhile)
{
    volumeLevel1 = 80.0f;
    volumeLevel2 = 60.0f;
    GameObject* toggle = MakeControl(BehaviorClass::VolumeToggle, 0, 0);
    PointAt(0, 0);
    Step(toggle, false);
    Step(toggle, false);
    m_sound.ForgetCalls();
    Step(toggle, true); // the press
    Step(toggle, true); // acts on the update after the press edge
    EXPECT_TRUE(isMuted);
    EXPECT_EQ(VolumeWrites(), (Writes{{kVolume1, 0.0f}, {kVolume2, 0.0f}}));
    EXPECT_EQ(toggle->GetComponent<Sprite>()->frameIndex, 0);
    for (int held = 0; held < 10; ++held)
    {
        Step(toggle, true);
    }
    EXPECT_TRUE(isMuted) << "holding it toggles once";
    Step(toggle, false);
    Step(toggle, true); // a new press, 0.15 s after... acts once the rest is over
    Step(toggle, true);
    EXPECT_FALSE(isMuted);
    EXPECT_EQ(VolumeWrites(), (Writes{{kVolume1, 80.0f}, {kVolume2, 60.0f}})) << "the saved levels";
    EXPECT_EQ(toggle->GetComponent<Sprite>()->frameIndex, 1);
    // A second press within 0.15 s is ignored.
    Step(toggle, false);
    Step(toggle, true);
    Step(toggle, true);
    EXPECT_FALSE(isMuted);
    EXPECT_TRUE(VolumeWrites().empty());
}

TEST_F(ControlsTest, TheKnobFollowsTheCursorInsideItsBandAndSendsItsLevelUnclamped)
{
    // The track at height 0, 600 high: the band runs from -100 to 240, both ends out.
    ObjectBuilder knob("VolumeSliderKnob");
    knob.At(0, 147).Scaled(90, 44).Box().WithAudio().With(MakeBehavior(BehaviorClass::VolumeSlider));
    ObjectBuilder track("VolumeBar");
    track.At(0, 0).Scaled(40, 600).Child(knob.Build());
    GameObject* bar = Keep(track.Build());
    GameObject* slider = bar->children.front();
    slider->GetComponent<Behavior>()->Init();
    auto height = [slider] { return slider->GetComponent<Transform>()->translation.y; };

    PointAt(0, 147);
    FrameOf({bar}, kStep);
    FrameOf({bar}, kStep);
    m_input.Press(kMouse);
    FrameOf({bar}, kStep);
    m_sound.ForgetCalls();
    // The cursor moves in steps small enough to stay over the knob, up past the band's top and
    // down past its bottom.
    std::vector<float> path;
    for (float y = 160.0f; y <= 250.0f; y += 10.0f)
    {
        path.push_back(y);
    }
    path.push_back(239.0f);
    for (float y = 230.0f; y >= -110.0f; y -= 10.0f)
    {
        path.push_back(y);
    }
    path.push_back(-99.0f);
    path.push_back(-100.0f);
    float expectedHeight = 147.0f;
    for (const float cursorY : path)
    {
        SCOPED_TRACE(cursorY);
        PointAt(0, cursorY);
        FrameOf({bar}, kStep);
        if (cursorY < 240.0f && cursorY > -100.0f)
        {
            expectedHeight = cursorY;
        }
        EXPECT_EQ(height(), expectedHeight);
        const float level = expectedHeight / 294.0f * 100.0f;
        EXPECT_EQ(VolumeWrites(), (Writes{{kVolume1, level}, {kVolume2, level}})) << "sent on every held update";
        EXPECT_EQ(volumeLevel1, level);
        EXPECT_EQ(volumeLevel2, level);
    }
    EXPECT_EQ(height(), -99.0f);
    EXPECT_LT(volumeLevel1, 0.0f) << "below the track's centre the level is negative";

    // At 294 the level is 100, at 0 it is 0; muted, dragging makes the game audible without
    // clearing the mute flag.
    isMuted = true;
    for (const float y : {0.0f, 294.0f})
    {
        slider->GetComponent<Transform>()->translation.y = y;
        slider->GetComponent<Transform>()->dirty = true;
        PointAt(0, y);
        FrameOf({bar}, kStep);
        EXPECT_EQ(VolumeWrites(), (Writes{{kVolume1, y / 2.94f}, {kVolume2, y / 2.94f}}));
    }
    EXPECT_TRUE(isMuted);
    EXPECT_FLOAT_EQ(volumeLevel1, 100.0f);

    // Released, it sends nothing.
    m_input.Release(kMouse);
    FrameOf({bar}, kStep);
    FrameOf({bar}, kStep);
    EXPECT_TRUE(VolumeWrites().empty());
}

class ScreenToggleTest : public ControlsTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        window = m_context.Window();
    }
    void TearDown() override { window = nullptr; }

    kp::test::GlContext m_context{static_cast<int>(kWindowWidth), static_cast<int>(kWindowHeight)};
};

TEST_F(ScreenToggleTest, TheToggleShowsFullScreenAndWindowedFramesAroundASwitch)
{
    GameObject* toggle = MakeControl(BehaviorClass::ScreenToggle, 0, 0);
    auto frame = [toggle] { return toggle->GetComponent<Sprite>()->frameIndex; };
    auto scaleX = [toggle] { return toggle->GetComponent<Transform>()->scale.x; };
    // The game starts full screen: its last switch did not begin in full screen.
    PointAway();
    Step(toggle, false);
    EXPECT_EQ(frame(), 3);
    PointAt(0, 0);
    Step(toggle, false);
    Step(toggle, false);
    EXPECT_EQ(frame(), 3) << "hovered in full screen";
    EXPECT_FLOAT_EQ(scaleX(), 105.0f);
    EXPECT_EQ(m_sound.PostCount(66789758u), 1u);

    // This window is not full screen, so the switch enters it; switching again leaves it.
    Step(toggle, true);
    Step(toggle, true);
    EXPECT_EQ(frame(), 2) << "switching";
    ASSERT_NE(glfwGetWindowMonitor(window), nullptr);
    EXPECT_FALSE(wasFullscreen);
    for (int rest = 0; rest < 5; ++rest)
    {
        Step(toggle, false);
    }
    Step(toggle, true);
    Step(toggle, true);
    EXPECT_TRUE(wasFullscreen) << "the switch began in full screen";
    EXPECT_EQ(glfwGetWindowMonitor(window), nullptr);
    // Windowed now: frame 0, hovered frame 1, no scale-up; a press-in that does not accumulate.
    PointAway();
    for (int rest = 0; rest < 5; ++rest)
    {
        Step(toggle, false);
    }
    EXPECT_EQ(frame(), 0);
    PointAt(0, 0);
    Step(toggle, false);
    Step(toggle, false);
    EXPECT_EQ(frame(), 1);
    EXPECT_FLOAT_EQ(scaleX(), 100.0f);
}
} // namespace
