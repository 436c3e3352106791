// A seeded run of random input through every screen of the game, heard on a virtual speaker: clicks
// anywhere in the 1920 x 1080 reference area, the keys the game answers ('B', '0', 'P', 'F', '[',
// Escape, Enter, Space) and the window losing and regaining focus. Nothing may crash or be reported
// by a sanitizer, every sample the speaker receives is finite, and the engine never has more voices
// than Init.bnk allows. When "Quit" and "Yes" end the
// game, it is started again, as a player would.
//
// The run lasts KP_SOAK_SECONDS of game time (60 by default: the share of a CI run; `make soak`
// runs the long ones). The seed is printed; KP_SOAK_SEED replays a run. One run drives the engine
// without its thread, the other ("Threaded", which ThreadSanitizer runs) with its threads.
#include "HeardGame.h"

#include "Engine/EngineGlobals.h"
#include "Engine/GameWindow.h"
#include "Source/Engine/ScriptedInputDevice.h"
#include "support/GlContext.h"

#include "Platform/PlatformLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace
{
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kDefaultSeconds = 60.0;
constexpr int kDrawEvery = 8;          // frames: drawing is the slow part and sound does not need it
constexpr int kCaptureCheckEvery = 256; // frames between looks at the speaker's capture
constexpr int kMouse = 0;
constexpr uint32_t kVoiceLimit = 64; // Init.bnk's max_voices
constexpr std::array<int, 8> kKeys = {'B', '0', 'P', 'F', '[', 256 /* Escape */, 257 /* Enter */, ' '};

double SoakSeconds()
{
    const char* text = std::getenv("KP_SOAK_SECONDS");
    return text != nullptr ? std::atof(text) : kDefaultSeconds;
}

uint32_t SoakSeed()
{
    const char* text = std::getenv("KP_SOAK_SEED");
    return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : std::random_device{}();
}

// Every sample finite; the first one that is not, with its place.
::testing::AssertionResult AllFinite(const std::vector<float>& samples, long long frame)
{
    for (size_t index = 0; index < samples.size(); ++index)
    {
        if (!std::isfinite(samples[index]))
            return ::testing::AssertionFailure() << "sample " << index << " before frame " << frame << " is "
                                                 << samples[index];
    }
    return ::testing::AssertionSuccess();
}

// Which inputs are down, and for how many more frames.
struct HeldInput
{
    int code;
    int framesLeft;
};

void RunSoak(bool engineThread)
{
    const uint32_t seed = SoakSeed();
    const double seconds = SoakSeconds();
    std::printf("soak seed %u, %.0f s of game time (replay: KP_SOAK_SEED=%u)\n", seed, seconds, seed);
    std::fflush(stdout);
    ::testing::Test::RecordProperty("seed", std::to_string(seed));

    kp::test::GlContext context(kWidth, kHeight);
    ASSERT_TRUE(context.IsReady()) << context.Error();
    kp::test::ScriptedInputDevice input;
    kp::test::HeardGame game(engineThread);
    game.Start(context.Window(), kWidth, kHeight, input);

    std::mt19937 random(seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_real_distribution<double> x(0.0, kWidth);
    std::uniform_real_distribution<double> y(0.0, kHeight);
    std::uniform_int_distribution<size_t> key(0, kKeys.size() - 1);
    std::uniform_int_distribution<int> holdFrames(1, 4);
    std::vector<HeldInput> held;

    const auto frames = static_cast<long long>(seconds * kp::test::kHeardRateHz / kp::test::kHeardFramesPerGameFrame);
    int restarts = 0;
    uint32_t mostVoices = 0;
    for (long long frame = 0; frame < frames; ++frame)
    {
        for (HeldInput& down : held)
        {
            if (--down.framesLeft == 0)
                input.Release(down.code);
        }
        std::erase_if(held, [](const HeldInput& each) { return each.framesLeft <= 0; });
        if (chance(random) < 0.2)
            input.SetCursor(x(random), y(random));
        if (chance(random) < 0.08)
        {
            input.Press(kMouse);
            held.push_back({kMouse, holdFrames(random)});
        }
        if (chance(random) < 0.03)
        {
            const int code = kKeys[key(random)];
            input.Press(code);
            held.push_back({code, holdFrames(random)});
        }
        if (chance(random) < 0.002)
            OnWindowFocus(window, chance(random) < 0.5 ? GLFW_FALSE : GLFW_TRUE);

        game.Frame(frame % kDrawEvery == 0);
        {
            // The engine's thread renders under the global engine lock.
            ZK::Platform::ZkScopedLock engine(ZK::SoundEngine::g_EngineLock);
            mostVoices = std::max(mostVoices, ZK::SoundEngine::CZkAudioRenderer::VoiceCount());
        }

        if (frame % kCaptureCheckEvery == 0)
        {
            ASSERT_TRUE(AllFinite(game.TakeCapture().written, frame)) << "seed " << seed;
        }
        // "Quit" and "Yes": the program would end here; the player starts it again.
        if (glfwWindowShouldClose(window) != 0)
        {
            game.Stop();
            glfwSetWindowShouldClose(context.Window(), GLFW_FALSE);
            game.Start(context.Window(), kWidth, kHeight, input);
            ++restarts;
        }
    }
    EXPECT_TRUE(AllFinite(game.TakeCapture().written, frames)) << "seed " << seed;
    EXPECT_LE(mostVoices, kVoiceLimit) << "seed " << seed;
    game.Stop();
    std::printf("soak seed %u: %lld frames, %d restarts after quitting, at most %u voices\n", seed, frames, restarts,
                mostVoices);
}

TEST(GameSoak, RandomInputThroughEveryScreenOnTheEngineWithoutItsThread)
{
    RunSoak(false);
}
// Under ThreadSanitizer this also checks that the engine's end takes its locks in the order its
// threads take them (the engine lock before a node table's), however the run ends.
TEST(ThreadedGameSoak, RandomInputThroughEveryScreenOnTheEngineWithItsThreads)
{
    RunSoak(true);
}
} // namespace
