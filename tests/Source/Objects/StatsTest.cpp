// The Stats component: upgrade ladders, damage, reload and respawn clocks, cloning and the reader.
#include "Objects/Stats.h"

#include "ObjectFileText.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace
{
using kp::test::ObjectFile;

TEST(Stats, UpgradesClimbTheirLaddersAsATable)
{
    struct LadderCase
    {
        const char* what;
        std::vector<int> ladder;
        int start;
        std::vector<int> afterEachUpgrade;
    };
    const LadderCase cases[] = {
        {"one step, then the top", {100, 150, 200}, 150, {200, 200}},
        {"from the bottom", {100, 150, 200}, 100, {150, 200, 200}},
        {"a 0 entry stops the scan at index 0", {100, 0, 200}, 200, {0, 0}},
        {"no entry matches: no change", {100, 150}, 120, {120}},
        {"empty ladder: no change", {}, 50, {50}},
        {"a 0 first entry restarts at the entry after it", {0, 40, 60}, 60, {40, 40}},
    };
    for (const LadderCase& row : cases)
    {
        SCOPED_TRACE(row.what);
        // The three upgrades share one algorithm over their own value and ladder.
        Stats stats;
        stats.healthLevels = row.ladder;
        stats.speedLevels = row.ladder;
        stats.damageLevels = row.ladder;
        stats.MaxHealth = row.start;
        stats.MaxSpeed = row.start;
        stats.AttackDamage = row.start;
        stats.health = 7;
        for (int expected : row.afterEachUpgrade)
        {
            stats.UpgradeHealth();
            stats.UpgradeSpeed();
            stats.UpgradeAttack();
            EXPECT_EQ(stats.MaxHealth, expected);
            EXPECT_EQ(stats.MaxSpeed, expected);
            EXPECT_EQ(stats.AttackDamage, expected);
        }
        EXPECT_EQ(stats.health, 7); // an upgrade never heals
    }

    // Each upgrade uses its own ladder.
    Stats stats;
    stats.healthLevels = {10, 20};
    stats.speedLevels = {1, 2};
    stats.MaxHealth = 10;
    stats.MaxSpeed = 1;
    stats.UpgradeSpeed();
    EXPECT_EQ(stats.MaxSpeed, 2);
    EXPECT_EQ(stats.MaxHealth, 10);
}

TEST(Stats, DamageIsNoticedForOneUpdateAsATable)
{
    struct HealthStep
    {
        int health; // set before the update
        bool damaged;
        int previousHealth;
    };
    Stats stats;
    stats.MaxHealth = 100;
    stats.health = 100;
    stats.previousHealth = 100;
    const HealthStep steps[] = {
        {80, true, 80},                    // fell: damaged
        {80, false, 80},                   // stayed: cleared
        {60, true, 60},    {70, true, 60}, // rose, not to a respawn: nothing changes
        {70, true, 60},    {0, true, 0},   // killed
        {100, true, 100},                  // back to full from 0 (a respawn): health followed, flag untouched
        {100, false, 100},
    };
    for (const HealthStep& step : steps)
    {
        SCOPED_TRACE(step.health);
        stats.health = step.health;
        stats.Update(0.016f);
        EXPECT_EQ(stats.damaged, step.damaged);
        EXPECT_EQ(stats.previousHealth, step.previousHealth);
    }
}

TEST(Stats, TheReloadEndsOnceMoreThanItsTimeHasPassed)
{
    Stats stats;
    stats.ReloadTime = 2;
    stats.reloadRemaining = 2.0f;
    stats.reloading = true; // a behaviour fired
    for (int update = 1; update <= 4; ++update)
    {
        stats.Update(0.5f);
        EXPECT_TRUE(stats.reloading) << "after " << update * 0.5f << " s";
    }
    stats.Update(0.5f); // 2.5 s
    EXPECT_FALSE(stats.reloading);
    EXPECT_EQ(stats.reloadRemaining, 2.0f);
    stats.Update(0.5f); // not reloading: the clock rests
    EXPECT_EQ(stats.reloadRemaining, 2.0f);
}

TEST(Stats, TheRespawnClockRunsOnlyForADeadObjectWithARespawnRate)
{
    Stats stats;
    EXPECT_EQ(stats.respawnRemaining, -90.0f);
    stats.RespawnRate = 5;
    stats.respawnRemaining = 5.0f;
    stats.Update(1.0f);
    EXPECT_EQ(stats.respawnRemaining, 5.0f); // alive
    stats.dead = true;
    stats.Update(1.0f);
    stats.Update(1.0f);
    EXPECT_EQ(stats.respawnRemaining, 3.0f);
    stats.RespawnRate = 0;
    stats.Update(1.0f);
    EXPECT_EQ(stats.respawnRemaining, 3.0f);
}

TEST(Stats, ACopyOfADeadDamagedArchetypeIsAliveAndWhole)
{
    Stats stats;
    stats.MaxHealth = 150;
    stats.health = 0;
    stats.previousHealth = 10;
    stats.damaged = true;
    stats.dead = true;
    stats.reloading = true;
    stats.AttackDamage = 12;
    stats.Cost = 30;
    stats.respawnRemaining = 1.5f;
    stats.healthLevels = {100, 150};
    stats.ObjectType = "Airship";
    std::unique_ptr<Stats> copy(static_cast<Stats*>(stats.Clone()));
    EXPECT_EQ(copy->type, ComponentType::Stats);
    EXPECT_FALSE(copy->dead);
    EXPECT_FALSE(copy->damaged);
    EXPECT_FALSE(copy->reloading);
    EXPECT_EQ(copy->health, 150);
    EXPECT_EQ(copy->previousHealth, 150);
    EXPECT_EQ(copy->AttackDamage, 12);
    EXPECT_EQ(copy->Cost, 30);
    EXPECT_EQ(copy->respawnRemaining, 1.5f);
    EXPECT_EQ(copy->healthLevels, (std::vector<int>{100, 150}));
    EXPECT_EQ(copy->ObjectType, "Airship");
}

TEST(Stats, ReadTakesStartingValuesFromLevel0AndLaddersFromEveryLevelRead)
{
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    Stats stats;
    stats.Read(ObjectFile(R"("Stats": [
        {"ListCount": 3, "MaxHealth": 100, "AttackDamage": 10, "RespawnRate": 8, "ReloadTime": 2, "Cost": 25,
         "MaxSpeed": 60, "ObjectType": "Airship", "MaxDamage": 99},
        {"MaxHealth": 150, "AttackDamage": 15},
        {"MaxHealth": 200, "MaxSpeed": 90, "AttackDamage": 20},
        {"MaxHealth": 999, "MaxSpeed": 999, "AttackDamage": 999}])"));
    EXPECT_EQ(stats.ListCount, 3);
    EXPECT_EQ(stats.MaxHealth, 100);
    EXPECT_EQ(stats.health, 100);
    EXPECT_EQ(stats.previousHealth, 100);
    EXPECT_EQ(stats.AttackDamage, 10);
    EXPECT_EQ(stats.RespawnRate, 8);
    EXPECT_EQ(stats.respawnRemaining, 8.0f);
    EXPECT_EQ(stats.ReloadTime, 2);
    EXPECT_EQ(stats.reloadRemaining, 2.0f);
    EXPECT_EQ(stats.Cost, 25);
    EXPECT_EQ(stats.MaxSpeed, 60);
    EXPECT_EQ(stats.ObjectType, "Airship");
    EXPECT_EQ(stats.healthLevels, (std::vector<int>{100, 150, 200}));
    EXPECT_EQ(stats.speedLevels, (std::vector<int>{60, 90}));
    EXPECT_EQ(stats.damageLevels, (std::vector<int>{10, 15, 20}));

    // A tower's one level without optional keys keeps the construction values.
    Stats tower;
    tower.Read(ObjectFile(R"("Stats": [{"ListCount": 1, "MaxHealth": 500}])"));
    EXPECT_EQ(tower.health, 500);
    EXPECT_EQ(tower.respawnRemaining, -90.0f);
    EXPECT_EQ(tower.ReloadTime, 0);
    EXPECT_TRUE(tower.speedLevels.empty());
}

TEST(StatsReadDeathTest, MalformedLevelsStopNamingTheKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    const struct
    {
        const char* members;
        const char* expected;
    } cases[] = {
        {R"("Stats": [{"ListCount": 3}, {}])", "\"ListCount\" is between 0 and the length"},
        {R"("Stats": [{"ListCount": -1}])", "\"ListCount\" is between 0 and the length"},
        {R"("Stats": [{"MaxHealth": 5}])", "\"ListCount\" is present"},
        {R"("Stats": [])", "\"Stats\" holds the level 0 object"},
        {R"("Stats": {"ListCount": 1})", "\"Stats\" is an array"},
        {R"("Stats": [{"ListCount": 2}, 5])", "\"Stats\\[1\\]\" is an object"},
        {R"("Stats": [{"ListCount": 1, "MaxHealth": "100"}])", "\"MaxHealth\" is a 32-bit integer"},
        {R"("Stats": [{"ListCount": 1, "ObjectType": 3}])", "\"ObjectType\" is a string"},
    };
    for (const auto& broken : cases)
    {
        SCOPED_TRACE(broken.members);
        Stats stats;
        EXPECT_DEATH(stats.Read(ObjectFile(broken.members)),
                     std::string("Inline\\.json.*") + broken.expected);
    }
}
} // namespace
