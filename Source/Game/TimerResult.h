// TimerResult: the win screen's display of the round's seconds left, read from the play field's
// "GameBackground" when the win screen is built and shown with six decimals.
//
// Threading: main thread. Ownership: reads the play field's objects while they still exist.
#pragma once

#include "Game/Behavior.h"

class TimerResult final : public CopyCloned<TimerResult>
{
public:
    TimerResult() : CopyCloned(kUnnamed, 0) {}

    void Init() override;
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    float seconds = 0.0f;
};
