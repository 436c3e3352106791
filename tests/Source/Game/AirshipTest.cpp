// The airship behaviour on an airship built in code, as a launch makes it: its first look, the
// launch clouds, flight along its heading, the halt in front of the city, shots at towers and at
// the city at its reload rate, the damage it takes (the health test before the subtraction), and
// its death: the explosion, the wreck sounds, and the move to the stash 2.5 s later.
#include "GameTestKit.h"
#include "Game/City.h"
#include "Game/Korvane.h"
#include "Game/Tower.h"
#include "Objects/Emitter.h"

#include <array>
#include <cmath>

namespace
{
using kp::test::MakeBehavior;
using kp::test::ObjectBuilder;
using kp::test::SoundCall;

constexpr float kStep = 0.05f;
constexpr ZkUniqueID kEngine = 3826206711;
constexpr ZkUniqueID kHit = 2023560711;
constexpr ZkUniqueID kDeath = 914471075;
constexpr ZkUniqueID kGremlinFire = 2152679746;
constexpr ZkUniqueID kGremlinWreck = 2688475861;
constexpr std::array<const char*, 6> kClouds = {"Particle_SpawnCloud1", "Particle_SpawnCloud2", "Particle_SpawnCloud3",
                                                "Particle_SpawnCloud4", "Particle_SpawnCloud5", "Particle_SpawnCloud6"};

class AirshipTest : public kp::test::GameFixture
{
protected:
    void SetUp() override { m_playField = &AddScene("Sandbox"); }

    std::unique_ptr<GameObject> Emitting(const char* name, float rate)
    {
        auto* emitter = new Emitter();
        emitter->spawnRate = rate;
        return ObjectBuilder(name).With(emitter).Build();
    }

    // A Gremlin at (x, y) with `health`, hitting for 10 every second, flying at 90, with the
    // parts a launch copies; its behaviour added and initialised as a launch does.
    GameObject* Launch(float x, float y, int health = 60, float rotation = 0.0f)
    {
        ObjectBuilder airship("Korvane1-launched");
        airship.At(x, y).Scaled(160, 90).Showing(Sheet(2, 4), 1).Animated(4, 0.15f).WithPhysics().Circle(0.9f)
            .WithStats(60, 10, 1).WithAudio();
        airship.Get()->GetComponent<Transform>()->rotation = rotation;
        auto* stats = airship.Get()->GetComponent<Stats>();
        stats->health = health;
        stats->previousHealth = health;
        stats->MaxSpeed = 90;
        ObjectBuilder gun("Cannon");
        gun.Showing(Sheet(8, 4)).Animated(4, 0.08f).With(MakeBehavior(BehaviorClass::Cannon));
        gun.Get()->GetComponent<Animation>()->playing = false;
        airship.Child(gun.Build());
        ObjectBuilder explosion("KorvaneExplosion");
        explosion.Showing(Sheet(1, 8), 7).Animated(8, 0.08f, false);
        explosion.Get()->GetComponent<Animation>()->playing = false;
        airship.Child(explosion.Build());
        airship.Child(ObjectBuilder("GremlinWing").Showing(Sheet(1, 4)).Animated(4, 0.04f, false).Build());
        airship.Child(Emitting("Particle_Smoke", 8.0f));
        for (const char* cloud : kClouds)
        {
            airship.Child(Emitting(cloud, 30.0f));
        }
        auto* behavior = new Korvane(1);
        airship.With(behavior);
        GameObject* placed = Place(*m_playField, airship.Build());
        behavior->Init();
        behavior->nextState = Korvane::kFlying;
        return placed;
    }

    GameObject* PlaceTower(float x, float y, int health, const char* name = "WoodTower1", int kind = Tower::kWood)
    {
        ObjectBuilder tower(name);
        tower.At(x, y).Scaled(130, 190).Showing(Sheet(2, 4)).Animated(4, 0.12f).Circle(2.0f).WithStats(120, 6, 1, 25)
            .WithAudio().With(MakeBehavior(BehaviorClass::Tower, kind));
        tower.Get()->GetComponent<Stats>()->health = health;
        tower.Get()->GetComponent<Stats>()->previousHealth = health;
        tower.Get()->GetComponent<Animation>()->playing = false;
        GameObject* placed = Place(*m_playField, tower.Build());
        placed->GetComponent<Behavior>()->Init();
        return placed;
    }

    static Korvane& Behaviour(GameObject* airship) { return *airship->GetComponent<Korvane>(); }
    static Stats& StatsOf(GameObject* object) { return *object->GetComponent<Stats>(); }
    void Run(float seconds)
    {
        for (float ran = 0.0f; ran < seconds - 1e-4f; ran += kStep)
        {
            Frame(kStep);
        }
    }

    Scene* m_playField = nullptr;
};

TEST_F(AirshipTest, ALaunchShowsTheGunAtRestAndTheCloudsStopAfterATenthOfASecond)
{
    GameObject* airship = Launch(-600, 150);
    EXPECT_EQ(Behaviour(airship).currentState, Korvane::kHalted);
    EXPECT_EQ(airship->FindChild("Cannon")->GetComponent<Sprite>()->frameIndex, 5 * 4) << "row 5";
    Frame(kStep);
    EXPECT_EQ(airship->FindChild("Particle_SpawnCloud1")->GetComponent<Emitter>()->spawnRate, 30.0f);
    Frame(kStep);
    Frame(kStep);
    for (const char* cloud : kClouds)
    {
        EXPECT_EQ(airship->FindChild(cloud)->GetComponent<Emitter>()->spawnRate, 0.0f) << cloud;
    }
    EXPECT_EQ(airship->FindChild("Particle_Smoke")->GetComponent<Emitter>()->spawnRate, 8.0f);
}

TEST_F(AirshipTest, AnAirshipFliesAlongItsHeadingInDegreesAtItsSpeed)
{
    for (const float heading : {0.0f, 30.0f, 90.0f})
    {
        SCOPED_TRACE(heading);
        GameObject* airship = Launch(-600, 0, 60, heading);
        Frame(kStep);
        Frame(kStep);
        const glm::vec3 velocity = airship->GetComponent<Physics>()->velocity;
        EXPECT_NEAR(velocity.x, 90.0f * std::cos(heading * 3.14159265f / 180.0f), 1e-3f);
        EXPECT_NEAR(velocity.y, 90.0f * std::sin(heading * 3.14159265f / 180.0f), 1e-3f);
        m_playField->objects.Remove(airship);
        delete airship;
    }
    EXPECT_GE(m_sound.PostCount(kEngine), 3u) << "the engine sound while flying";
}

TEST_F(AirshipTest, PastXSevenHundredFiftyAnAirshipStopsEvenWhileAttacking)
{
    GameObject* airship = Launch(740, 0);
    Run(0.5f);
    EXPECT_EQ(Behaviour(airship).currentState, Korvane::kHalted);
    EXPECT_EQ(airship->GetComponent<Physics>()->velocity, glm::vec3(0.0f));
    const float x = airship->GetComponent<Transform>()->translation.x;
    EXPECT_GT(x, 750.0f);
    EXPECT_LT(x, 750.0f + 90.0f * kStep + 1e-3f);

    // Firing (state 3) past 750 goes back to halted, not to flying.
    Behaviour(airship).nextState = Korvane::kAttacking;
    Frame(kStep);
    EXPECT_EQ(Behaviour(airship).nextState, Korvane::kHalted);
    Frame(kStep);
    EXPECT_EQ(Behaviour(airship).currentState, Korvane::kHalted);
}

TEST_F(AirshipTest, TheHealthTestComesBeforeTheSubtraction)
{
    const struct
    {
        int health;
        float shot;
        bool diesOnThisShot;
        int healthAfter;
    } cases[] = {
        // Health is whole: 0 is at or below 0.5, so the next shot kills without damage.
        {0, 5.0f, true, 0},
        // 1 is above 0.5: the shot takes it to 0 or below and the airship lives until the next.
        {1, 5.0f, false, -4},
        {1, 0.6f, false, 0},
        {-3, 5.0f, true, -3},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(testing::Message() << row.health << " hit by " << row.shot);
        GameObject* airship = Launch(-600, 0, row.health);
        m_sound.ForgetCalls();
        Behaviour(airship).TakeDamage(row.shot);
        EXPECT_EQ(StatsOf(airship).dead, row.diesOnThisShot);
        EXPECT_EQ(StatsOf(airship).health, row.healthAfter);
        EXPECT_EQ(Behaviour(airship).nextState, row.diesOnThisShot ? Korvane::kDying : Korvane::kHalted);
        EXPECT_EQ(m_sound.PostCount(kHit), row.diesOnThisShot ? 0u : 1u);
        if (!row.diesOnThisShot)
        {
            Behaviour(airship).TakeDamage(row.shot);
            EXPECT_TRUE(StatsOf(airship).dead) << "the next shot kills";
            EXPECT_TRUE(Behaviour(airship).dying);
        }
        Behaviour(airship).TakeDamage(row.shot);
        EXPECT_TRUE(StatsOf(airship).dead) << "a dead airship takes nothing more";
        m_playField->objects.Remove(airship);
        delete airship;
    }
}

TEST_F(AirshipTest, ShotsAtATowerComeAtTheReloadRateAndTheShotAfterZeroDestroysIt)
{
    GameObject* airship = Launch(-600, 0);
    GameObject* tower = PlaceTower(-500, 0, 25);
    auto& towerBehaviour = *tower->GetComponent<Tower>();
    Behaviour(airship).OnCollision(tower);
    EXPECT_EQ(StatsOf(tower).health, 15);
    EXPECT_TRUE(StatsOf(airship).reloading);
    EXPECT_EQ(Behaviour(airship).nextState, Korvane::kAttacking);
    EXPECT_EQ(m_sound.Posted(airship->GetComponent<Audio>()->emitterId).back(), kGremlinFire);
    EXPECT_EQ(m_sound.PostCount(300927168u), 1u) << "the wooden tower's hit";
    EXPECT_TRUE(airship->FindChild("Cannon")->GetComponent<Animation>()->playing) << "the gun fires";

    // Reloading: touching the tower neither fires nor changes the state.
    airship->FindChild("Cannon")->GetComponent<Animation>()->playing = false;
    Behaviour(airship).nextState = Korvane::kHalted;
    Behaviour(airship).OnCollision(tower);
    EXPECT_EQ(StatsOf(tower).health, 15);
    EXPECT_EQ(Behaviour(airship).nextState, Korvane::kHalted);
    EXPECT_FALSE(airship->FindChild("Cannon")->GetComponent<Animation>()->playing);
    EXPECT_EQ(m_sound.PostCount(kGremlinFire), 1u);

    for (const int expected : {5, -5})
    {
        StatsOf(airship).reloading = false;
        Behaviour(airship).OnCollision(tower);
        EXPECT_EQ(StatsOf(tower).health, expected);
    }
    EXPECT_FALSE(StatsOf(tower).dead) << "at 0 or below, the tower stands until the next shot";
    StatsOf(airship).reloading = false;
    Behaviour(airship).OnCollision(tower);
    EXPECT_TRUE(StatsOf(tower).dead);
    EXPECT_TRUE(towerBehaviour.explodePending);
    EXPECT_EQ(towerBehaviour.nextState, Tower::kDestroyed);

    // A destroyed tower is flown past.
    StatsOf(airship).reloading = false;
    Behaviour(airship).OnCollision(tower);
    EXPECT_EQ(Behaviour(airship).nextState, Korvane::kFlying);
}

// The city fires back as soon as an airship enters its box, a few units before the halting line:
// the airship, halted by the hit, stops at the line instead of drifting through the city.
TEST_F(AirshipTest, AnAirshipHaltedAtTheCityKeepsHittingItAndItsLastShotWins)
{
    ObjectBuilder city("DwarfCity");
    city.At(830, 120).Scaled(300, 520).Showing(Sheet(3, 4)).Animated(4, 0.25f).Box(0.57f, 1.0f).WithStats(35, 0, 100)
        .WithAudio().With(MakeBehavior(BehaviorClass::City));
    GameObject* theCity = Place(*m_playField, city.Build());
    theCity->GetComponent<Behavior>()->Init();
    GameObject* airship = Launch(700, 120);

    std::vector<float> hitsAt;
    float time = 0.0f;
    int health = StatsOf(theCity).health;
    while (!StatsOf(theCity).dead && time < 10.0f)
    {
        Frame(kStep);
        time += kStep;
        if (StatsOf(theCity).health != health)
        {
            health = StatsOf(theCity).health;
            hitsAt.push_back(time);
        }
    }
    ASSERT_EQ(hitsAt.size(), 4u) << "35 health, 10 a shot";
    for (size_t shot = 1; shot < hitsAt.size(); ++shot)
    {
        EXPECT_NEAR(hitsAt[shot] - hitsAt[shot - 1], 1.0f, 2 * kStep + 1e-3f) << "once per reload";
    }
    // The city's own update in the same frame took the first step of the win.
    EXPECT_EQ(theCity->GetComponent<City>()->currentState, City::kFallen);
    EXPECT_NE(theCity->GetComponent<City>()->winTimer, nullptr);
    EXPECT_EQ(m_sound.PostCount(3873832695u), 1u) << "the city falls";
    EXPECT_EQ(theCity->GetComponent<Sprite>()->frameIndex, 2 * 4) << "the fallen row";
    const float x = airship->GetComponent<Transform>()->translation.x;
    EXPECT_GT(x, 750.0f);
    EXPECT_LT(x, 750.0f + 90.0f * kStep + 1e-3f) << "stopped at the line";
}

TEST_F(AirshipTest, ADeadAirshipExplodesAndLeavesForTheStashAfterTwoAndAHalfSeconds)
{
    GameObject* airship = Launch(-600, 0, 0);
    Frame(kStep);
    Behaviour(airship).TakeDamage(1.0f);
    m_sound.ForgetCalls();
    Frame(kStep);
    EXPECT_EQ(Behaviour(airship).currentState, Korvane::kDying);
    EXPECT_EQ(airship->GetComponent<Sprite>()->alpha, 0.0f);
    EXPECT_EQ(airship->GetComponent<Physics>()->velocity, glm::vec3(0.0f));
    EXPECT_EQ(m_sound.PostCount(kDeath), 1u);
    const Animation& boom = *airship->FindChild("KorvaneExplosion")->GetComponent<Animation>();
    EXPECT_TRUE(boom.playing);
    EXPECT_FALSE(boom.IsLooping);
    EXPECT_EQ(airship->FindChild("KorvaneExplosion")->GetComponent<Sprite>()->alpha, 1.0f) << "its own alpha";
    EXPECT_EQ(airship->GetComponent<Animation>()->frameIndex / 4, 1) << "the wreck's row";
    EXPECT_FALSE(airship->FindChild("GremlinWing")->GetComponent<Animation>()->playing);
    EXPECT_EQ(airship->FindChild("Particle_Smoke")->GetComponent<Emitter>()->spawnRate, 0.0f);

    Run(2.4f);
    EXPECT_NE(m_playField->objects.Find(airship->name), nullptr);
    Run(0.2f);
    EXPECT_EQ(m_playField->objects.Find(airship->name), nullptr);
    EXPECT_EQ(m_playField->stash.Find(airship->name), airship);
    // The wreck sound of its type on every update of the death, posted whether or not it plays.
    const size_t wrecks = m_sound.PostCount(kGremlinWreck);
    EXPECT_NEAR(static_cast<double>(wrecks), 2.6 / kStep + 1, 2.0);
    EXPECT_EQ(m_sound.PostCount(kDeath), 1u);
    Run(1.0f);
    EXPECT_EQ(m_sound.PostCount(kGremlinWreck), wrecks) << "stashed, it is no longer updated";
}
} // namespace
