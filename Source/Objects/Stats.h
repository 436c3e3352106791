// The Stats component (kind 7): the fighting numbers of an airship, a tower or the city (health
// and its maximum, damage, speed, reload and respawn times, launch cost) and, for the airship
// archetypes, the upgrade ladders of health, speed and damage. Behaviours read and change the
// values; the component itself counts down the reload and respawn clocks and notices when health
// fell. An upgrade moves a value one step up its ladder.
//
// Object-file member "Stats": an array of level objects. Element 0 holds "ListCount" (integer),
// the number of elements read, at most the array's length. Every element read may hold
// "MaxHealth", "MaxSpeed" and "AttackDamage" (integers), appended to their ladders in order.
// Element 0 also gives the starting values, each optional: "MaxHealth" (also health),
// "AttackDamage", "RespawnRate", "ReloadTime", "Cost", "MaxSpeed" (integers) and "ObjectType"
// (string).
//
// Threading: main thread. Ownership: owned by its object; plain values.
#pragma once

#include "Objects/Component.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class Stats : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Stats;

    // The respawn countdown of a new Stats, in seconds.
    static constexpr float kInitialRespawnRemaining = -90.0f;

    Stats() : Component(kType) {}
    // Every value and ladder copied; the copy is alive, undamaged, not reloading, at full health.
    Component* Clone() const override;
    // The reload clock, the respawn clock of a dead object, and the damaged flag.
    void Update(float dt) override;

    // Reads the member "Stats" of the object file text (JsonFileScope names the file).
    void Read(const std::string& fileText);

    // Each moves its value to the entry after the current value on its ladder (see Upgrade).
    void UpgradeHealth();
    void UpgradeSpeed();
    void UpgradeAttack();

    // The level of `value` on `ladder`: the ladder is scanned from its start, an entry of 0 stops
    // the scan at level 0 and an entry equal to `value` at its index; none when neither is met.
    static std::optional<size_t> LevelOf(int value, const std::vector<int>& ladder);

    int MaxHealth = 0;   // full health: the current upgrade level's value
    int ReloadTime = 0;  // seconds between shots
    int RespawnRate = 0; // seconds of the respawn countdown; 0 means none
    int AttackDamage = 0;
    int MaxSpeed = 0;
    int Cost = 0;      // launch cost in gold
    int ListCount = 0; // level entries read
    int health = 0;
    int previousHealth = 0; // health as the last update saw it
    float reloadRemaining = 0.0f;
    float respawnRemaining = kInitialRespawnRemaining;
    bool damaged = false;   // health fell since the previous update
    bool dead = false;      // set by behaviours
    bool reloading = false; // set by behaviours when they fire; cleared by the update
    std::vector<int> healthLevels;
    std::vector<int> speedLevels;
    std::vector<int> damageLevels;
    std::string ObjectType;

private:
    // `value` becomes the entry after its level (LevelOf), when it has a level and there is one.
    static void Upgrade(int& value, const std::vector<int>& ladder);
};
