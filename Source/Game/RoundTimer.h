// RoundTimer: the round's clock, on the play field's fuel bar ("FuelGaugeFill"). A round lasts 600
// s; the bar shrinks with the time left (its right edge from 0.5 of the bar's scale at the start
// to -0.5 when the time is out). When the time runs out no lane launches any more, and 6 s later
// the lose screen replaces the play field. The clock stops when the city falls, and stands still
// while the game is paused.
//
// Threading: main thread. Ownership: both timers belong to the timer list; every RoundTimer (a
// clone too) makes its own round clock.
#pragma once

#include "Game/Behavior.h"

struct Timer;

class RoundTimer final : public Behavior
{
public:
    static constexpr float kRoundSeconds = 600.0f;
    // Seconds from the end of the round to the lose screen.
    static constexpr float kLoseDelaySeconds = 6.0f;
    // The bar's right edge is the share of the round left minus this.
    static constexpr float kBarOffset = 0.5f;

    // Starts the round clock.
    RoundTimer();

    void Init() override { StartAtStateZero(); }
    // A new round timer with a clock of its own, and the base fields.
    Component* Clone() const override;
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    // Whether the round's time has run out.
    bool IsOver() const;
    // Seconds left of the round.
    float SecondsLeft() const;
    // Stops the round clock where it stands (the city fell).
    void Stop();

    Timer* roundTimer = nullptr;
    Timer* loseTimer = nullptr; // null until the time runs out
    float roundLength = kRoundSeconds;
    bool loseStarted = false;
};
