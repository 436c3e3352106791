// GoldCounter: the player's gold grows and is shown. The first gold comes 1 s after the counter
// is built, then one every 0.2 s (the tick restarts from the frame it is seen done, so a long
// frame's overshoot is lost); the text shows the gold as it was before this frame's tick.
//
// Threading: main thread. Ownership: the tick belongs to the timer list; every GoldCounter (a clone
// too) makes its own.
#pragma once

#include "Game/Behavior.h"

struct Timer;

class GoldCounter final : public Behavior
{
public:
    static constexpr float kFirstGoldSeconds = 1.0f;
    static constexpr float kGoldIntervalSeconds = 0.2f;

    // Starts the tick.
    GoldCounter();

    void Init() override { StartAtStateZero(); }
    // A new counter with a tick of its own, and the base fields.
    Component* Clone() const override;
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    Timer* tick = nullptr;
};
