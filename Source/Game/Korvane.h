// Korvane: the behaviour of a launched airship of type 1 (Gremlin), 2 (Bugbear) or 3 (Tyrant). The
// airship flies along its heading at its MaxSpeed and halts past x 750 (at the city); it fires its
// gun at the towers and the city it touches, at its reload rate; towers and the city shoot back
// (TakeDamage) and each hit halts it until its next shot. When its health has come down to 0.5 or
// below, the next hit kills it: the hull disappears, its explosion plays, and 2.5 s later the
// wreck leaves the play field for its stash.
//
// States: 0 halted, 1 flying, 3 attacking (fired this update), 5 dying. A hit sets the halted
// state without stopping the airship's motion; past x 750 it stops in every state but dying's.
// A hit that takes the health to 0 or below leaves the airship alive until the next hit: the test
// comes first.
//
// The heading is the Transform's rotation, in degrees as the world matrix reads it.
//
// Threading: main thread. Ownership: reads and writes its own Stats and those of the towers and the
// city it hits; the timers belong to the timer list (a clone shares them until its Init).
#pragma once

#include "Game/Behavior.h"

struct Timer;

class Korvane final : public CopyCloned<Korvane>
{
public:
    static constexpr int kHalted = 0;
    static constexpr int kFlying = 1;
    static constexpr int kAttacking = 3;
    static constexpr int kDying = 5;
    // Airships halt past this x, in front of the city.
    static constexpr float kHaltX = 750.0f;
    // A hit on an airship whose health is this or lower kills it.
    static constexpr float kDeathHealth = 0.5f;
    static constexpr float kDeathSeconds = 2.5f;
    // The launch clouds stop this long after a launch.
    static constexpr float kLaunchCloudSeconds = 0.1f;
    // The row the gun shows when the airship is first initialised.
    static constexpr int kGunRestRow = 5;

    explicit Korvane(int airshipType) : CopyCloned(kUnnamed, kFlying), type(airshipType) {}

    // Starts the launch-cloud timer; the first time, the state is 0 and the gun shows its rest row.
    void Init() override;
    void Update(float dt) override;
    void OnCollision(GameObject* other) override;

    // A shot of `amount` from a tower or the city.
    void TakeDamage(float amount);
    // Aims the gun at `other` and plays its firing animation, unless reloading.
    void FireCannons(GameObject* other);
    // Hits the city with this airship's AttackDamage, unless reloading or dead.
    void DamageCity(GameObject* city);
    // One update of the death sequence.
    void Die();

    int type;
    bool dying = false; // set by the killing hit, cleared after the first death step
    Timer* deathTimer = nullptr;
    Timer* startTimer = nullptr;

private:
    // After a shot: reloading, and the type's fire sound.
    void Reloaded();
    void Fly();
    void HitTower(GameObject* tower);
    // Whether the airship's world x is past kHaltX.
    bool PastHaltLine() const;
    // Velocity 0.
    void Stop();
};
