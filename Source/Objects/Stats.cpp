#include "Objects/Stats.h"

#include "Objects/ObjectFileJson.h"

Component* Stats::Clone() const
{
    auto* copy = new Stats(*this);
    copy->damaged = false;
    copy->dead = false;
    copy->reloading = false;
    copy->health = MaxHealth;
    copy->previousHealth = MaxHealth;
    return copy;
}

void Stats::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& levels = trindle::JsonArray(trindle::ObjectFileRoot(document), "Stats");
    if (levels.Empty())
    {
        trindle::JsonKeyCheckFailed("Stats", "holds the level 0 object with \"ListCount\"");
    }
    trindle::RequireJsonObject(levels[0], "Stats[0]");
    ListCount = trindle::JsonInt(levels[0], "ListCount");
    if (ListCount < 0 || static_cast<rapidjson::SizeType>(ListCount) > levels.Size())
    {
        trindle::JsonKeyCheckFailed("ListCount", "is between 0 and the length of \"Stats\"");
    }

    for (rapidjson::SizeType index = 0; index < static_cast<rapidjson::SizeType>(ListCount); ++index)
    {
        const rapidjson::Value& level = levels[index];
        trindle::RequireJsonObject(level, "Stats[" + std::to_string(index) + "]");
        auto append = [&level](const char* key, std::vector<int>& ladder)
        {
            if (trindle::FindJsonMember(level, key) != nullptr)
            {
                ladder.push_back(trindle::JsonInt(level, key));
            }
        };
        append("MaxHealth", healthLevels);
        append("MaxSpeed", speedLevels);
        append("AttackDamage", damageLevels);
        if (index != 0)
        {
            continue;
        }
        auto starting = [&level](const char* key, int& value)
        {
            if (trindle::FindJsonMember(level, key) != nullptr)
            {
                value = trindle::JsonInt(level, key);
                return true;
            }
            return false;
        };
        if (starting("MaxHealth", MaxHealth))
        {
            health = MaxHealth;
            previousHealth = MaxHealth;
        }
        starting("AttackDamage", AttackDamage);
        if (starting("RespawnRate", RespawnRate))
        {
            respawnRemaining = static_cast<float>(RespawnRate);
        }
        if (starting("ReloadTime", ReloadTime))
        {
            reloadRemaining = static_cast<float>(ReloadTime);
        }
        starting("Cost", Cost);
        starting("MaxSpeed", MaxSpeed);
        if (trindle::FindJsonMember(level, "ObjectType") != nullptr)
        {
            ObjectType = trindle::JsonString(level, "ObjectType");
        }
    }
}

void Stats::Update(float dt)
{
    if (reloading)
    {
        reloadRemaining -= dt;
        if (reloadRemaining < 0.0f)
        {
            reloading = false;
            reloadRemaining = static_cast<float>(ReloadTime);
        }
    }
    if (dead && RespawnRate != 0)
    {
        respawnRemaining -= dt;
    }
    if (previousHealth > health)
    {
        damaged = true;
        previousHealth = health;
    }
    else if (previousHealth == health)
    {
        damaged = false;
    }
    else if (previousHealth <= 0 && health == MaxHealth)
    {
        previousHealth = health;
    }
}

std::optional<size_t> Stats::LevelOf(int value, const std::vector<int>& ladder)
{
    for (size_t index = 0; index < ladder.size(); ++index)
    {
        if (ladder[index] == 0)
        {
            return 0;
        }
        if (ladder[index] == value)
        {
            return index;
        }
    }
    return std::nullopt;
}

void Stats::Upgrade(int& value, const std::vector<int>& ladder)
{
    const std::optional<size_t> level = LevelOf(value, ladder);
    if (level && *level + 1 < ladder.size())
    {
        value = ladder[*level + 1];
    }
}

void Stats::UpgradeHealth()
{
    Upgrade(MaxHealth, healthLevels);
}

void Stats::UpgradeSpeed()
{
    Upgrade(MaxSpeed, speedLevels);
}

void Stats::UpgradeAttack()
{
    Upgrade(AttackDamage, damageLevels);
}
