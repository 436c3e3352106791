// HealthBar: a bar sized to its parent's health: the bar's right edge is at 100 at full health,
// in proportion below it, and at 0 when the parent is dead or its health is 0 or below. A parent
// without Stats leaves the bar as it is; a parent whose MaxHealth is 0 gives width 0.
//
// Threading: main thread. Ownership: the bar's mesh is the owner Sprite's own bar mesh.
#pragma once

#include "Game/Behavior.h"

class HealthBar final : public CopyCloned<HealthBar>
{
public:
    // The bar's right edge at full health.
    static constexpr float kFullWidth = 100.0f;

    HealthBar() : CopyCloned(kUnnamed, 0) {}

    void Init() override { SetStateZero(); }
    void Update(float dt) override;
    void OnCollision(GameObject*) override {}
};
