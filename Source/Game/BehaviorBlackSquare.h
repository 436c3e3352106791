// A full-screen black sprite that fades the screen in or out: an opaque square fades away at 0.4 per
// second when its scene starts; a transparent one darkens the screen over one second. The play button
// takes the fade over (it clears `fade->active` and drives the alpha itself).
//
// Threading: main thread. Ownership: the fade belongs to the global fade list.
#pragma once

#include "Game/Behavior.h"

struct Fade;

class BehaviorBlackSquare : public Behavior
{
public:
    // Seconds an opaque square takes to darken a clear screen.
    static constexpr float kFadeInSeconds = 1.0f;

    BehaviorBlackSquare() : Behavior(kUnnamed, 0) {}

    void Init() override;
    Component* Clone() const override;
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    Fade* fade = nullptr;
};
