// City: the defended city ("DwarfCity"). It fires back at an airship inside its collider at its
// reload rate (its guns play), its health falls under the airships' shots (row 1 at half health,
// row 2 when fallen), and its fall wins the round: the fall plays, the round clock stops, and 5 s
// later the win screen shows the stars kept (3 less the star clocks run out by then) and the
// seconds left when the city fell.
//
// States: 0 standing, 1 fired back, 2 damaged, 3 fallen (kept until the win screen).
//
// Threading: main thread. Ownership: reads and writes its own and the airships' Stats; the win
// timer belongs to the timer list.
#pragma once

#include "Game/Behavior.h"

struct Timer;

class City final : public CopyCloned<City>
{
public:
    static constexpr int kStanding = 0;
    static constexpr int kFiredBack = 1;
    static constexpr int kDamaged = 2;
    static constexpr int kFallen = 3;
    // The rows of the damaged and the fallen city.
    static constexpr int kDamagedRow = 1;
    static constexpr int kFallenRow = 2;
    // Seconds from the fall to the win screen.
    static constexpr float kWinDelaySeconds = 5.0f;

    City() : CopyCloned(kUnnamed, 0) {}

    void Init() override { SetStateZero(); }
    void Update(float dt) override;
    // An airship inside the collider: fire back when loaded.
    void OnCollision(GameObject* other) override;

    // One step of the win sequence: the fall (first step), then the switch to the win screen.
    void Win();

    int winPending = 0; // 1 from the airship's killing shot until the first win step
    Timer* winTimer = nullptr;
};
