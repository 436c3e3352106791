// Tower: a wooden (kind 1) or stone (kind 2) tower of the defended side. It shoots at airships
// inside its collider at its reload rate, turning its gun ("TowerBallista" or "TowerCannon")
// toward them; the airships' shots bring its health down, and the shot after its health reached 0
// destroys it: the explosion plays, the player is paid 50 gold for a wooden tower and 100 for any
// other, and the tower shows its ruined row until its respawn countdown brings it back at full
// health. A tower without a "RespawnRate" stays down.
//
// States: 0 idle, 1 fired (back to 0 next update), 2 damaged, 4 destroyed.
//
// Threading: main thread. Ownership: reads and writes its own and the airships' Stats.
#pragma once

#include "Game/Behavior.h"

class Tower final : public CopyCloned<Tower>
{
public:
    static constexpr int kIdle = 0;
    static constexpr int kFired = 1;
    static constexpr int kDamaged = 2;
    static constexpr int kDestroyed = 4;
    static constexpr int kWood = 1;
    static constexpr int kStone = 2;
    // Gold paid for a destroyed wooden tower, and for any other.
    static constexpr int kWoodBounty = 50;
    static constexpr int kStoneBounty = 100;

    explicit Tower(int towerKind) : CopyCloned(kUnnamed, 0), kind(towerKind) {}

    void Init() override { SetStateZero(); }
    void Update(float dt) override;
    // An airship (an object with the airship behaviour) inside the collider: aim, and shoot when
    // loaded.
    void OnCollision(GameObject* other) override;

    // Turns the gun toward `other` and works its animation.
    void Attack(GameObject* other);
    // One update of the destroyed state: the explosion after the killing shot, and the respawn.
    void Explode();

    bool explodePending = false; // set by the airship's killing shot
    int kind;
};
