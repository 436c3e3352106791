#include "Game/Airships.h"

#include "Game/GameObjectNames.h"
#include "Objects/Stats.h"

#include <array>
#include <vector>

namespace Airships
{
namespace
{
constexpr std::array<const char*, 4> kTypeWords = {"", "Gremlin", "Bugbear", "Tyrant"};
constexpr std::array<glm::vec3, 3> kLaneStarts = {glm::vec3(-546.0f, 270.0f, 1.0f), glm::vec3(-600.0f, 150.0f, 1.0f),
                                                  glm::vec3(-695.0f, 0.0f, 1.0f)};

std::optional<int> LevelIn(int value, const std::vector<int>& ladder)
{
    const std::optional<size_t> level = Stats::LevelOf(value, ladder);
    return level ? std::optional<int>(static_cast<int>(*level)) : std::nullopt;
}
} // namespace

const char* TypeWord(int type)
{
    return IsType(type) ? kTypeWords[static_cast<size_t>(type)] : "";
}

std::string ArchetypeName(int type)
{
    return ObjectNames::kAirshipWord + std::to_string(type);
}

std::optional<glm::vec3> LaneStart(int lane)
{
    if (lane < 0 || lane >= static_cast<int>(kLaneStarts.size()))
    {
        return std::nullopt;
    }
    return kLaneStarts[static_cast<size_t>(lane)];
}

std::optional<int> LevelOf(const Stats& stats, Stat stat)
{
    switch (stat)
    {
    case Stat::Damage:
        return LevelIn(stats.AttackDamage, stats.damageLevels);
    case Stat::Health:
        return LevelIn(stats.MaxHealth, stats.healthLevels);
    case Stat::Speed:
        return LevelIn(stats.MaxSpeed, stats.speedLevels);
    }
    return std::nullopt;
}

void Upgrade(Stats& stats, Stat stat)
{
    switch (stat)
    {
    case Stat::Damage:
        stats.UpgradeAttack();
        break;
    case Stat::Health:
        stats.UpgradeHealth();
        break;
    case Stat::Speed:
        stats.UpgradeSpeed();
        break;
    }
}
} // namespace Airships
