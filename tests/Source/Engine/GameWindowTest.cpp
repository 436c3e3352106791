// The real start-up under Xvfb: the full-screen window, frames of the frame loop, the title and
// the frames-per-second value, the frame read back from the window, '[' leaving and re-entering
// full screen, the whole program ending with 0 when its window is asked to close, and a clear
// failure when there is no display.
#include "Engine/GameWindow.h"

#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/Fade.h"
#include "Engine/FrameLoop.h"
#include "Engine/GameProgram.h"
#include "Engine/Input.h"
#include "Engine/Renderer.h"
#include "Engine/StickyKeys.h"
#include "Engine/Timer.h"
#include "AssetFolder.h"
#include "ScriptedInputDevice.h"
#include "X11WindowTitle.h"
#include "support/FramebufferPng.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <glad/gl.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;

// Enough frames for any machine to pass 0.11 s; the loop stops as soon as the meter fires.
constexpr int kFrameLimit = 1000000;

// Each test starts from the engine's state before start-up, in a folder of its own holding the
// game's shaders and a first scene without objects, so the frame shows the clear colour.
class GameWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.CopyShaders();
        m_folder.Write("Assets/Spaces/SplashScreen.json", R"({"Objects": []})");
        m_previousFolder = fs::current_path();
        fs::current_path(m_folder.Root());
        framesPerSecond = 0.0f;
        isMuted = false;
        wasFullscreen = false;
        Renderer::objects = Renderer::Objects{};
        Input::ClearState();
    }
    void TearDown() override
    {
        Input::SetDevice(nullptr);
        if (window != nullptr)
        {
            CloseGameWindow();
        }
        fs::current_path(m_previousFolder);
    }

    void OpenAndStart()
    {
        std::string error;
        ASSERT_TRUE(OpenGameWindow(error)) << error;
        EngineInit();
    }

    // Runs frames until the frames-per-second value is written; returns the frames run.
    static int FramesUntilTheMeterFires(FrameLoop& loop)
    {
        const float before = framesPerSecond;
        for (int frame = 1; frame <= kFrameLimit; ++frame)
        {
            framesPerSecond = before;
            const int framesBefore = loop.Meter().FramesInWindow();
            loop.RunFrame();
            if (loop.Meter().FramesInWindow() == 0)
            {
                EXPECT_EQ(framesBefore + 1, frame);
                return frame;
            }
        }
        ADD_FAILURE() << "the meter never fired";
        return 0;
    }

    kp::test::AssetFolder m_folder;
    fs::path m_previousFolder;
    kp::test::ScriptedInputDevice m_device;
    // The sound engine starts with the engine: into no sound card (the folder holds no banks).
    ZK::Platform::ScopedVirtualAudioSystem m_noSoundCard;
};

TEST_F(GameWindowTest, StartUpFramesAndShutdown)
{
    const trindle::StickyKeysRecord desktop = trindle::StickyKeysSetting::Read();
    OpenAndStart();
    ASSERT_NE(window, nullptr);

    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = glfwGetVideoMode(primary);
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(glfwGetWindowMonitor(window), primary) << "full screen on the primary monitor";
    int width = 0;
    int height = 0;
    glfwGetWindowSize(window, &width, &height);
    EXPECT_EQ(width, mode->width);
    EXPECT_EQ(height, mode->height);
    EXPECT_EQ(windowWidth, static_cast<float>(mode->width));
    EXPECT_EQ(windowHeight, static_cast<float>(mode->height));
    // Mesa may hand out a newer core context than the 3.3 asked for.
    EXPECT_GE(glfwGetWindowAttrib(window, GLFW_CONTEXT_VERSION_MAJOR) * 10 +
                  glfwGetWindowAttrib(window, GLFW_CONTEXT_VERSION_MINOR),
              33);
    EXPECT_EQ(glfwGetWindowAttrib(window, GLFW_OPENGL_PROFILE), GLFW_OPENGL_CORE_PROFILE);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(inputState.window, window);
    EXPECT_EQ(kp::test::X11WindowTitle(window), "Trindle_Engine");
    EXPECT_NE(Renderer::objects.spriteProgram, 0u);
    EXPECT_NE(Renderer::objects.viewportProgram, 0u);
    EXPECT_NE(Renderer::objects.offscreenFramebuffer, 0u);

    // The first measuring window: its first frame carries the whole start-up time.
    FrameLoop loop;
    const int firstWindowFrames = FramesUntilTheMeterFires(loop);
    ASSERT_GT(firstWindowFrames, 0);
    EXPECT_EQ(framesPerSecond, static_cast<float>(firstWindowFrames * 10));
    EXPECT_GE(previousTime, kFrameRateWindowSeconds);
    EXPECT_EQ(kp::test::X11WindowTitle(window), "Korvane Pellar");

    // A second window, of ordinary frames only.
    const int secondWindowFrames = FramesUntilTheMeterFires(loop);
    ASSERT_GT(secondWindowFrames, 0);
    EXPECT_EQ(framesPerSecond, static_cast<float>(secondWindowFrames * 10));

    // The window shows the off-screen clear colour, presented through the viewport program, in
    // every corner and in the centre (read from the back buffer, before the swap).
    RenderFrame();
    glFinish();
    const int w = static_cast<int>(windowWidth);
    const int h = static_cast<int>(windowHeight);
    const std::array<std::array<int, 2>, 5> points = {
        {{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}}};
    for (const auto& point : points)
    {
        std::array<unsigned char, 4> pixel{};
        glReadPixels(point[0], point[1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
        EXPECT_NEAR(pixel[0], 26, 1) << point[0] << "," << point[1];
        EXPECT_NEAR(pixel[1], 26, 1) << point[0] << "," << point[1];
        EXPECT_NEAR(pixel[2], 26, 1) << point[0] << "," << point[1];
    }
    EXPECT_FALSE(kp::test::WriteFramebufferPng("game_window_empty_frame", w, h).empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    CreateTimer(3.0f);
    CreateFade(0.0f, 1.0f, 1.0f);
    EngineShutdown();
    EXPECT_TRUE(timers.empty());
    EXPECT_TRUE(fades.empty());
    EXPECT_EQ(Renderer::objects.offscreenFramebuffer, 0u);
    CloseGameWindow();
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(trindle::StickyKeysSetting::Read().flags, desktop.flags);
}

TEST_F(GameWindowTest, BracketKeyLeavesAndReturnsToFullScreen)
{
    OpenAndStart();
    ASSERT_NE(window, nullptr);
    Input::SetDevice(&m_device);
    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = glfwGetVideoMode(primary);
    FrameLoop loop;
    loop.RunFrame();
    ASSERT_EQ(glfwGetWindowMonitor(window), primary);

    m_device.Press(kFullscreenKey);
    loop.RunFrame();
    EXPECT_EQ(glfwGetWindowMonitor(window), nullptr) << "the first '[' leaves full screen";
    EXPECT_TRUE(wasFullscreen);

    loop.RunFrame(); // still held: no second toggle
    EXPECT_EQ(glfwGetWindowMonitor(window), nullptr);
    m_device.Release(kFullscreenKey);
    loop.RunFrame();
    EXPECT_EQ(glfwGetWindowMonitor(window), nullptr);

    m_device.Press(kFullscreenKey);
    loop.RunFrame();
    EXPECT_EQ(glfwGetWindowMonitor(window), primary) << "the second '[' returns to full screen";
    EXPECT_FALSE(wasFullscreen);
    EXPECT_EQ(fullscreenMonitor, primary);
    m_device.Release(kFullscreenKey);
    loop.RunFrame();
    int width = 0;
    int height = 0;
    glfwGetWindowSize(window, &width, &height);
    EXPECT_EQ(width, mode->width);
    EXPECT_EQ(height, mode->height);

    EngineShutdown();
}

TEST_F(GameWindowTest, TheProgramEndsWithZeroWhenItsWindowIsAskedToClose)
{
    const trindle::StickyKeysRecord desktop = trindle::StickyKeysSetting::Read();
    std::optional<std::uint32_t> flagsWhileRunning;
    Input::SetDevice(&m_device);
    constexpr int kFramesBeforeClosing = 5;
    m_device.SetPollHook(
        [&]
        {
            flagsWhileRunning = trindle::StickyKeysSetting::Read().flags;
            if (m_device.Polls() == kFramesBeforeClosing)
            {
                // What the quit confirmation does.
                glfwSetWindowShouldClose(inputState.window, GLFW_TRUE);
            }
        });

    EXPECT_EQ(RunGame(), 0);
    EXPECT_EQ(m_device.Polls(), kFramesBeforeClosing) << "the loop ends after the frame that asked";
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(Renderer::objects.offscreenFramebuffer, 0u);
    ASSERT_TRUE(flagsWhileRunning.has_value());
    EXPECT_EQ(*flagsWhileRunning & (trindle::kStickyKeysHotKeyActive | trindle::kStickyKeysConfirmHotKey), 0u)
        << "the shortcut is off while the game runs";
    EXPECT_EQ(trindle::StickyKeysSetting::Read().flags, desktop.flags) << "and restored at exit";
}

TEST_F(GameWindowTest, WithoutADisplayTheProgramStopsBeforeTheEngineWithAMessage)
{
    const trindle::StickyKeysRecord desktop = trindle::StickyKeysSetting::Read();
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    ::testing::internal::CaptureStderr();
    const int result = RunGame();
    const std::string message = ::testing::internal::GetCapturedStderr();
    if (!savedDisplay.empty())
    {
        setenv("DISPLAY", savedDisplay.c_str(), 1);
    }

    EXPECT_EQ(result, kExitNoWindow);
    EXPECT_NE(message.find("Korvane Pellar cannot start"), std::string::npos) << message;
    EXPECT_NE(message.find("DISPLAY"), std::string::npos) << "GLFW's reason is passed on: " << message;
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(Renderer::objects.spriteProgram, 0u) << "the engine was never started";
    EXPECT_EQ(Renderer::objects.offscreenFramebuffer, 0u);
    EXPECT_EQ(trindle::StickyKeysSetting::Read().flags, desktop.flags);
}

// The mute key and the focus callback change the mute state; no window is needed for them.
TEST_F(GameWindowTest, MuteKeyTogglesOnceWhileHeldAndFocusOverridesIt)
{
    Input::SetDevice(&m_device);
    EngineUpdate(0.016f);
    ASSERT_FALSE(isMuted);

    m_device.Press(kMuteKey);
    for (int frame = 0; frame < 4; ++frame)
    {
        EngineUpdate(0.016f);
        EXPECT_TRUE(isMuted) << "held for frame " << frame;
    }
    m_device.Release(kMuteKey);
    EngineUpdate(0.016f);
    EXPECT_TRUE(isMuted);
    m_device.Press(kMuteKey);
    EngineUpdate(0.016f);
    EXPECT_FALSE(isMuted) << "pressing again unmutes";
    m_device.Release(kMuteKey);
    EngineUpdate(0.016f);

    OnWindowFocus(nullptr, GLFW_FALSE);
    EXPECT_TRUE(isMuted) << "losing focus mutes";
    OnWindowFocus(nullptr, GLFW_TRUE);
    EXPECT_FALSE(isMuted) << "gaining focus unmutes";

    m_device.Press(kMuteKey);
    EngineUpdate(0.016f);
    ASSERT_TRUE(isMuted);
    OnWindowFocus(nullptr, GLFW_TRUE);
    EXPECT_FALSE(isMuted) << "gaining focus unmutes even after the player muted";
}

TEST(FrameRateMeter, FiresOnceAMeasuringWindowIsFullAsATable)
{
    struct MeterCase
    {
        const char* name;
        std::vector<float> steps;
        int expectFiredAfter; // frames until it fires, 0 = not within the steps
        float expectValue;
    };
    const MeterCase cases[] = {
        {"six frames of 0.02 s", std::vector<float>(6, 0.02f), 6, 60.0f},
        {"one long first frame", {2.5f}, 1, 10.0f},
        {"just past 0.11 in two frames", {0.1f, 0.0100001f}, 2, 20.0f},
        // The sum is kept in float and compared in double: 0.11f is a little under 0.11.
        {"a float 0.11 is under the limit", {0.11f}, 0, 0.0f},
        {"tiny frames never reach it", std::vector<float>(100, 0.001f), 0, 0.0f},
    };
    for (const MeterCase& row : cases)
    {
        SCOPED_TRACE(row.name);
        framesPerSecond = 0.0f;
        FrameRateMeter meter;
        int firedAfter = 0;
        for (size_t frame = 0; frame < row.steps.size(); ++frame)
        {
            if (meter.AddFrame(row.steps[frame]) && firedAfter == 0)
            {
                firedAfter = static_cast<int>(frame) + 1;
            }
        }
        EXPECT_EQ(firedAfter, row.expectFiredAfter);
        EXPECT_EQ(framesPerSecond, row.expectValue);
    }
    framesPerSecond = 0.0f;
}
} // namespace
