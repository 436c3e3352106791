// FPSDisplay: the frame rate, shown on demand. It starts hidden; each release of the key 'F' shows
// or hides it. Its text is the frame loop's frames-per-second value, as a whole number.
//
// Threading: main thread. Ownership: writes the owner's Sprite.
#pragma once

#include "Game/Behavior.h"

class FPSDisplay final : public CopyCloned<FPSDisplay>
{
public:
    static constexpr int kToggleKey = 70; // 'F'

    FPSDisplay() : CopyCloned(kUnnamed, 0) {}

    void Init() override { hidden = true; }
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    bool hidden = false;
};
