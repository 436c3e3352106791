// The three airship types and what the launch, selection and upgrade controls know of them: the
// type's word (in the names of its stat displays and selection icon), its archetype in the play
// field ("Korvane" and the type), the launch lanes, and the levels of the three upgradable stats.
//
// Types: 1 "Gremlin", 2 "Bugbear", 3 "Tyrant". Lanes: 0 "Top", 1 "Mid", 2 "Bot". A stat's level is
// the index of its current value in its ladder (Stats.h), scanned from the start; a 0 entry met
// first gives level 0, and a ladder holding neither gives no level.
//
// Threading: main thread. Ownership: borrows the Stats it reads and upgrades.
#pragma once

#include <glm/vec3.hpp>
#include <optional>
#include <string>

class Stats;

namespace Airships
{
constexpr int kFirstType = 1;
constexpr int kLastType = 3;
constexpr bool IsType(int type)
{
    return type >= kFirstType && type <= kLastType;
}

// "Gremlin", "Bugbear" or "Tyrant"; empty for any other value.
const char* TypeWord(int type);
// "Korvane" followed by the decimal type.
std::string ArchetypeName(int type);

// Where an airship launched into a lane starts, in world units; none for a lane outside 0 to 2.
std::optional<glm::vec3> LaneStart(int lane);

// The upgradable stats, in the order of the upgrade buttons' kinds.
enum class Stat
{
    Damage = 0, // AttackDamage, the damage ladder
    Health = 1, // MaxHealth, the health ladder
    Speed = 2,  // MaxSpeed, the speed ladder
};

// The stat's level, or none.
std::optional<int> LevelOf(const Stats& stats, Stat stat);
// Moves the stat one step up its ladder (Stats::UpgradeAttack, UpgradeHealth, UpgradeSpeed).
void Upgrade(Stats& stats, Stat stat);
} // namespace Airships
