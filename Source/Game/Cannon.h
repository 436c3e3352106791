// Cannon: a gun turret on a carrier (its parent: a tower, an airship or the city). It turns toward
// what its carrier shoots at by showing the row of its sheet that faces the target, and follows
// its carrier's life: hidden while the carrier is down, back with it.
//
// Aim rows (the carrier at P, the target at T, w the target's width; aligned means
// T.x - w/2 < P.x < T.x + w/2):
//                     tower  airship
//   aligned, above      4      3
//   aligned, below      0      6
//   right, above        3      2
//   right, below        1      1
//   left, above         5      4
//   left, below         7      5
// Equal heights, a target straight above or below but not aligned, or a carrier that is neither a
// tower nor an airship keep the row. An airship past x 700 aiming at the city shows row 0.
//
// Threading: main thread. Ownership: reads its carrier's Stats; a cannon without a carrier or a
// carrier without Stats does nothing.
#pragma once

#include "Game/Behavior.h"

class Transform;

class Cannon final : public CopyCloned<Cannon>
{
public:
    // Past this x an airship's gun aimed at the city faces it straight (row 0).
    static constexpr float kCityFacingX = 700.0f;

    Cannon() : CopyCloned(kUnnamed, 0) {}

    void Init() override { SetStateZero(); }
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}

    // Turns toward the object of `target`, unless the carrier is reloading.
    void AimAt(const Transform& target);
};
