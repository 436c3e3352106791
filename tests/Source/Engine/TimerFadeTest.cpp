// Timers and fades as the frame loop ticks them.
#include "Engine/Fade.h"
#include "Engine/Timer.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
class TimerFadeTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        // The engine deletes fades at shutdown; a test that makes its own removes them itself.
        DeleteAllFades();
        DeleteAllTimers();
    }
};

struct TimerCase
{
    std::string name;
    float seconds;
    bool running;
    bool paused;
    std::vector<float> steps;
    float expectRemaining;
    bool expectDone;
};

TEST_F(TimerFadeTest, TimerTicksAsATable)
{
    const std::vector<TimerCase> cases = {
        {"counts down while running", 1.0f, true, false, {0.25f, 0.25f}, 0.5f, false},
        {"zero seconds is done after the first tick", 0.0f, true, false, {0.016f}, -0.016f, true},
        {"zero seconds is done even with a zero step", 0.0f, true, false, {0.0f}, 0.0f, true},
        {"done exactly at zero", 0.5f, true, false, {0.25f, 0.25f}, 0.0f, true},
        {"paused keeps its time", 1.0f, true, true, {0.5f, 0.5f, 0.5f}, 1.0f, false},
        {"stopped keeps its time", 1.0f, false, false, {5.0f}, 1.0f, false},
        {"stopped and already run out is marked done", -1.0f, false, false, {0.1f}, -1.0f, true},
        {"paused and already run out is marked done", 0.0f, true, true, {0.1f}, 0.0f, true},
        {"a long first frame runs it out at once", 10.0f, true, false, {12.0f}, -2.0f, true},
    };
    for (const TimerCase& row : cases)
    {
        SCOPED_TRACE(row.name);
        Timer* timer = CreateTimer(row.seconds);
        EXPECT_TRUE(timer->running);
        EXPECT_FALSE(timer->paused);
        EXPECT_FALSE(timer->done);
        timer->running = row.running;
        timer->paused = row.paused;
        for (float step : row.steps)
        {
            TickTimers(step);
        }
        EXPECT_FLOAT_EQ(timer->remaining, row.expectRemaining);
        EXPECT_EQ(timer->done, row.expectDone);
        DeleteAllTimers();
    }
}

TEST_F(TimerFadeTest, DoneStaysSetAfterTheTimerIsStoppedAndCanBeRestartedByItsOwner)
{
    Timer* timer = CreateTimer(0.1f);
    TickTimers(0.2f);
    ASSERT_TRUE(timer->done);
    timer->running = false;
    TickTimers(0.2f);
    EXPECT_TRUE(timer->done);

    // An owner restarts a timer by writing its time and clearing done.
    timer->running = true;
    timer->remaining = 1.0f;
    timer->done = false;
    TickTimers(0.5f);
    EXPECT_FALSE(timer->done);
    EXPECT_FLOAT_EQ(timer->remaining, 0.5f);
}

TEST_F(TimerFadeTest, NewTimersGoToTheFrontAndNewFadesToTheBack)
{
    Timer* first = CreateTimer(1.0f);
    Timer* second = CreateTimer(2.0f);
    ASSERT_EQ(timers.size(), 2u);
    EXPECT_EQ(timers.front(), second);
    EXPECT_EQ(timers.back(), first);

    Fade* fadeA = CreateFade(1.0f, 1.0f, 0.0f);
    Fade* fadeB = CreateFade(1.0f, 1.0f, 0.0f);
    ASSERT_EQ(fades.size(), 2u);
    EXPECT_EQ(fades.front(), fadeA);
    EXPECT_EQ(fades.back(), fadeB);
    // Each fade brings its own timer, at the front of the timer list.
    EXPECT_EQ(timers.front(), fadeB->timer);
    EXPECT_EQ(timers.size(), 4u);

    DeleteAllTimers();
    EXPECT_TRUE(timers.empty());
}

TEST_F(TimerFadeTest, CreateFadeSetsItsFields)
{
    Fade* fade = CreateFade(2.0f, 4.0f, 0.5f);
    EXPECT_FLOAT_EQ(fade->target, 2.0f);
    EXPECT_FLOAT_EQ(fade->rate, 0.5f);
    EXPECT_FLOAT_EQ(fade->value, 0.5f);
    EXPECT_FLOAT_EQ(fade->start, 0.5f);
    EXPECT_EQ(fade->mode, kFadeAdd);
    EXPECT_FALSE(fade->rising);
    EXPECT_TRUE(fade->active);
    ASSERT_NE(fade->timer, nullptr);
    EXPECT_FLOAT_EQ(fade->timer->remaining, 4.0f);
}

struct FadeStepCase
{
    std::string name;
    float target;
    float duration;
    float start;
    std::int32_t mode;
    std::vector<float> steps;
    float expectValue;
};

TEST_F(TimerFadeTest, FadeStepsAsATable)
{
    const std::vector<FadeStepCase> cases = {
        {"add climbs by dt x rate", 1.0f, 2.0f, 0.0f, kFadeAdd, {0.5f, 0.5f}, 0.5f},
        {"add above its target steps down", 1.0f, 1.0f, 1.0f, kFadeAdd, {0.25f}, 0.75f},
        {"multiply below the target scales by the step", 1.0f, 1.0f, 0.5f, kFadeMultiply, {0.5f}, 0.25f},
        {"multiply at or above the target divides by the step",
         1.0f,
         1.0f,
         2.0f,
         kFadeMultiply,
         {0.5f},
         4.0f},
        {"ping-pong at its start first steps down", 1.0f, 1.0f, 0.2f, kFadePingPong, {0.1f}, 0.1f},
        {"an unknown mode leaves the value", 1.0f, 1.0f, 0.3f, 7, {0.5f, 0.5f}, 0.3f},
        {"a target of 0 falls at 0.4 per second (duration 0.5)", 0.0f, 0.5f, 1.0f, kFadeAdd, {1.0f}, 0.6f},
        {"a target of 0 falls at 0.4 per second (duration 100)", 0.0f, 100.0f, 1.0f, kFadeAdd, {1.0f}, 0.6f},
        {"a long first frame moves it far at once", 1.0f, 1.0f, -10.0f, kFadeAdd, {8.0f}, -2.0f},
    };
    for (const FadeStepCase& row : cases)
    {
        SCOPED_TRACE(row.name);
        Fade* fade = CreateFade(row.target, row.duration, row.start);
        fade->mode = row.mode;
        for (float step : row.steps)
        {
            TickFades(step);
        }
        EXPECT_NEAR(fade->value, row.expectValue, 1e-5f);
        fade->active = false;
    }
}

TEST_F(TimerFadeTest, InactiveFadeIsNotTicked)
{
    Fade* fade = CreateFade(1.0f, 1.0f, 0.0f);
    fade->active = false;
    TickFades(0.5f);
    EXPECT_FLOAT_EQ(fade->value, 0.0f);
}

TEST_F(TimerFadeTest, FadeToZeroFallsThenHoversWithinOneStep)
{
    constexpr float kStep = 0.1f;
    for (float duration : {0.25f, 1.0f, 30.0f})
    {
        SCOPED_TRACE(duration);
        Fade* fade = CreateFade(0.0f, duration, 1.0f);
        // 2 s at 0.4 per second: from 1 down to 0.2.
        for (int tick = 0; tick < 20; ++tick)
        {
            TickFades(kStep);
        }
        EXPECT_NEAR(fade->value, 0.2f, 1e-5f);
        for (int tick = 0; tick < 5; ++tick)
        {
            TickFades(kStep);
        }
        for (int tick = 0; tick < 200; ++tick)
        {
            TickFades(kStep);
            ASSERT_LE(std::fabs(fade->value), 0.4f * kStep + 1e-5f) << "tick " << tick;
        }
        fade->active = false;
    }
}

TEST_F(TimerFadeTest, AddFadeClimbsToItsTargetThenHoversWithinOneStep)
{
    Fade* fade = CreateFade(1.0f, 2.0f, 0.0f);
    constexpr float kStep = 0.1f; // 0.05 per tick
    for (int tick = 0; tick < 20; ++tick)
    {
        TickFades(kStep);
    }
    EXPECT_NEAR(fade->value, 1.0f, 1e-5f);
    for (int tick = 0; tick < 100; ++tick)
    {
        TickFades(kStep);
        ASSERT_NEAR(fade->value, 1.0f, 0.05f + 1e-5f) << "tick " << tick;
    }
    // The timer only tells when the duration has passed; the fade goes on.
    TickTimers(2.0f);
    EXPECT_TRUE(fade->timer->done);
    EXPECT_TRUE(fade->active);
}

TEST_F(TimerFadeTest, PingPongSwingsBetweenStartAndTarget)
{
    Fade* fade = CreateFade(1.0f, 1.0f, 0.2f);
    fade->mode = kFadePingPong;
    constexpr float kStep = 0.05f;
    TickFades(kStep);
    EXPECT_LT(fade->value, 0.2f) << "first goes below its start";

    // Count the turns at the top (reaching the target) and at the bottom (below the start).
    int topTurns = 0;
    int bottomTurns = 0;
    bool goingUp = false;
    float previous = fade->value;
    for (int tick = 0; tick < 200; ++tick)
    {
        TickFades(kStep);
        const bool nowUp = fade->value > previous;
        if (nowUp != goingUp)
        {
            if (nowUp)
            {
                ++bottomTurns;
                EXPECT_LT(previous, 0.2f) << "turns upward only below its start";
            }
            else
            {
                ++topTurns;
                EXPECT_GE(previous, 1.0f) << "turns downward only at its target";
            }
            goingUp = nowUp;
        }
        ASSERT_GT(fade->value, 0.2f - 2 * kStep);
        ASSERT_LT(fade->value, 1.0f + 2 * kStep);
        previous = fade->value;
    }
    EXPECT_GE(topTurns, 3);
    EXPECT_GE(bottomTurns, 3);
}
} // namespace
