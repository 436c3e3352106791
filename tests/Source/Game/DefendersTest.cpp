// Towers, cannons and the city: every row of the aim table for tower and airship carriers with its
// ties, the towers' shots, the bounty and the respawn (or none), the city firing back, and objects
// the data may not give a behaviour what it reaches for: an archetype inside a tower's and the
// city's colliders, a cannon without a carrier, a health bar whose parent has no Stats.
#include "GameTestKit.h"
#include "Game/Cannon.h"
#include "Game/City.h"
#include "Game/HealthBar.h"
#include "Game/Korvane.h"
#include "Game/Tower.h"

namespace
{
using kp::test::MakeBehavior;
using kp::test::ObjectBuilder;
using kp::test::SoundCall;

constexpr float kStep = 0.05f;
// Gun sheets: 8 rows of 4 frames; the gun starts on frame 9 (row 2).
constexpr int kGunColumns = 4;
constexpr int kStartFrame = 9;

class DefendersTest : public kp::test::GameFixture
{
protected:
    void SetUp() override { m_playField = &AddScene("Sandbox"); }

    // A carrier named `name` at (x, y) with Stats, carrying a gun.
    GameObject* Carrier(const std::string& name, float x, float y, bool withStats = true)
    {
        ObjectBuilder carrier(name);
        carrier.At(x, y);
        if (withStats)
        {
            carrier.WithStats(100, 10, 1);
        }
        ObjectBuilder gun("Gun");
        gun.Showing(Sheet(8, kGunColumns), kStartFrame).Animated(4, 0.1f).With(MakeBehavior(BehaviorClass::Cannon));
        gun.Get()->GetComponent<Animation>()->playing = false;
        carrier.Child(gun.Build());
        return Keep(carrier.Build());
    }
    static Cannon& GunOf(GameObject* carrier) { return *carrier->children.front()->GetComponent<Cannon>(); }
    static int GunFrame(GameObject* carrier) { return carrier->children.front()->GetComponent<Sprite>()->frameIndex; }

    GameObject* Target(const std::string& name, float x, float y, float width)
    {
        return Keep(ObjectBuilder(name).At(x, y).Scaled(width, 10).Build());
    }

    GameObject* PlaceTower(int kind, float x, int health, int respawnSeconds)
    {
        ObjectBuilder tower(kind == Tower::kWood ? "WoodTower1" : "StoneTower1");
        tower.At(x, 0).Scaled(130, 190).Showing(Sheet(2, 4)).Animated(4, 0.12f).Circle(2.0f)
            .WithStats(120, 6, 1, respawnSeconds).WithAudio().With(MakeBehavior(BehaviorClass::Tower, kind));
        tower.Get()->GetComponent<Stats>()->health = health;
        tower.Get()->GetComponent<Stats>()->previousHealth = health;
        tower.Get()->GetComponent<Animation>()->playing = false;
        ObjectBuilder gun(kind == Tower::kWood ? "TowerBallista" : "TowerCannon");
        gun.Showing(Sheet(8, 4)).Animated(4, 0.08f).With(MakeBehavior(BehaviorClass::Cannon));
        gun.Get()->GetComponent<Animation>()->playing = false;
        tower.Child(gun.Build());
        tower.Child(ObjectBuilder("WoodTowerExplosion").Showing(Sheet(1, 8), 7).Animated(8, 0.08f, false).Build());
        GameObject* placed = Place(*m_playField, tower.Build());
        placed->GetComponent<Behavior>()->Init();
        return placed;
    }

    // An airship with its behaviour, as launched, at (x, y).
    GameObject* PlaceAirship(float x, float y, int health = 60)
    {
        ObjectBuilder airship("Korvane1-x");
        airship.At(x, y).Scaled(160, 90).WithPhysics().Circle(0.9f).WithStats(health, 10, 1).WithAudio();
        auto* behavior = new Korvane(1);
        airship.With(behavior);
        GameObject* placed = Place(*m_playField, airship.Build());
        behavior->Init();
        return placed;
    }

    void Run(float seconds)
    {
        for (float ran = 0.0f; ran < seconds - 1e-4f; ran += kStep)
        {
            Frame(kStep);
        }
    }

    Scene* m_playField = nullptr;
};

TEST_F(DefendersTest, GunsTurnToTheRowThatFacesTheTarget)
{
    const struct
    {
        const char* label;
        const char* carrier;
        glm::vec2 target; // the carrier is at (0, 0)
        float width;
        int row; // -1: the gun keeps its row
    } cases[] = {
        {"tower, aligned above", "WoodTower1", {10, 100}, 40, 4},
        {"tower, aligned below", "WoodTower1", {10, -100}, 40, 0},
        {"tower, right above", "WoodTower1", {100, 50}, 40, 3},
        {"tower, right below", "WoodTower1", {100, -50}, 40, 1},
        {"tower, left above", "WoodTower1", {-100, 50}, 40, 5},
        {"tower, left below", "WoodTower1", {-100, -50}, 40, 7},
        {"airship, aligned above", "Korvane1-x", {-10, 100}, 40, 3},
        {"airship, aligned below", "Korvane1-x", {-10, -100}, 40, 6},
        {"airship, right above", "Korvane1-x", {100, 50}, 40, 2},
        {"airship, right below", "Korvane1-x", {100, -50}, 40, 1},
        {"airship, left above", "Korvane1-x", {-100, 50}, 40, 4},
        {"airship, left below", "Korvane1-x", {-100, -50}, 40, 5},
        // Ties: half the width exactly is not aligned; equal heights and a target straight above
        // that is not aligned (no width) keep the row.
        {"tower, left edge of the target at the carrier", "WoodTower1", {20, 100}, 40, 3},
        {"tower, right edge of the target at the carrier", "WoodTower1", {-20, 100}, 40, 5},
        {"airship, equal heights", "Korvane1-x", {100, 0}, 40, -1},
        {"tower, straight above without width", "WoodTower1", {0, 100}, 0, -1},
        {"neither a tower nor an airship", "DwarfCity", {100, 50}, 40, -1},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.label);
        GameObject* carrier = Carrier(row.carrier, 0, 0);
        const GameObject* target = Target("Target", row.target.x, row.target.y, row.width);
        GunOf(carrier).AimAt(*target->GetComponent<Transform>());
        // A gun already on its row keeps its frame.
        const bool keeps = row.row < 0 || row.row == kStartFrame / kGunColumns;
        EXPECT_EQ(GunFrame(carrier), keeps ? kStartFrame : row.row * kGunColumns);
    }
}

TEST_F(DefendersTest, AnAirshipGunPastSevenHundredFacesTheCityStraight)
{
    const GameObject* city = Target("DwarfCity", 830, 120, 40);
    const GameObject* notCity = Target("DwarfCityGate", 830, 120, 40);
    GameObject* pastLine = Carrier("Korvane3-x", 710, 0);
    GunOf(pastLine).AimAt(*city->GetComponent<Transform>());
    EXPECT_EQ(GunFrame(pastLine), 0);
    GameObject* other = Carrier("Korvane3-y", 710, 0);
    GunOf(other).AimAt(*notCity->GetComponent<Transform>());
    EXPECT_EQ(GunFrame(other), kStartFrame) << "only the exact name; otherwise right and above (row 2)";
    GameObject* before = Carrier("Korvane3-z", 690, 0);
    GunOf(before).AimAt(*city->GetComponent<Transform>());
    EXPECT_EQ(GunFrame(before), kStartFrame);
}

TEST_F(DefendersTest, AReloadingCarrierOrOneWithoutStatsDoesNotTurnItsGun)
{
    const GameObject* target = Target("Target", 100, 50, 40);
    GameObject* reloading = Carrier("WoodTower1", 0, 0);
    reloading->GetComponent<Stats>()->reloading = true;
    GunOf(reloading).AimAt(*target->GetComponent<Transform>());
    EXPECT_EQ(GunFrame(reloading), kStartFrame);
    GameObject* bare = Carrier("WoodTower2", 0, 0, false);
    GunOf(bare).AimAt(*target->GetComponent<Transform>());
    EXPECT_EQ(GunFrame(bare), kStartFrame);
}

TEST_F(DefendersTest, ATowerShootsAnAirshipInReachAtItsReloadRate)
{
    for (const int kind : {Tower::kWood, Tower::kStone})
    {
        SCOPED_TRACE(kind);
        ClearScenes();
        m_playField = &AddScene("Sandbox");
        GameObject* tower = PlaceTower(kind, 0, 120, 25);
        GameObject* airship = PlaceAirship(-50, 0, 1000);
        airship->GetComponent<Korvane>()->currentState = Korvane::kHalted;
        airship->GetComponent<Korvane>()->nextState = Korvane::kHalted;
        airship->GetComponent<Stats>()->reloading = true; // the airship does not shoot back here
        airship->GetComponent<Stats>()->reloadRemaining = 1000.0f;
        Frame(kStep);
        EXPECT_EQ(airship->GetComponent<Stats>()->health, 994);
        EXPECT_TRUE(tower->GetComponent<Stats>()->reloading);
        EXPECT_EQ(tower->GetComponent<Tower>()->currentState, Tower::kFired);
        EXPECT_TRUE(tower->GetComponent<Animation>()->playing);
        const ZkUniqueID fire = kind == Tower::kWood ? 737768043u : 1205173799u;
        EXPECT_EQ(m_sound.Posted(tower->GetComponent<Audio>()->emitterId), std::vector<ZkUniqueID>{fire});
        Frame(kStep);
        EXPECT_EQ(tower->GetComponent<Tower>()->currentState, Tower::kIdle) << "back the next update";
        Run(2.0f);
        EXPECT_EQ(airship->GetComponent<Stats>()->health, 994 - 2 * 6) << "once a second";
    }
}

TEST_F(DefendersTest, ADestroyedTowerPaysItsBountyOnceAndComesBackAfterItsRespawnTime)
{
    const struct
    {
        int kind;
        int bounty;
        ZkUniqueID destroyed;
    } cases[] = {{Tower::kWood, 50, 2816493517u}, {Tower::kStone, 100, 2592254617u}};
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.kind);
        ClearScenes();
        m_playField = &AddScene("Sandbox");
        gGold = 0;
        GameObject* tower = PlaceTower(row.kind, 0, 0, 25);
        GameObject* airship = PlaceAirship(-600, 300);
        airship->GetComponent<Korvane>()->OnCollision(tower); // the shot after 0 destroys it
        m_sound.ForgetCalls();
        Frame(kStep);
        EXPECT_EQ(gGold, row.bounty);
        EXPECT_EQ(m_sound.Posted(tower->GetComponent<Audio>()->emitterId),
                  (std::vector<ZkUniqueID>{row.destroyed, 853173628u}));
        EXPECT_TRUE(tower->FindChild("WoodTowerExplosion")->GetComponent<Animation>()->playing);
        EXPECT_EQ(tower->GetComponent<Sprite>()->frameIndex, 4) << "the ruined row";
        EXPECT_EQ(tower->GetComponent<Tower>()->currentState, Tower::kDestroyed);
        Run(20.0f);
        EXPECT_EQ(gGold, row.bounty) << "paid once";
        EXPECT_TRUE(tower->GetComponent<Stats>()->dead);
        Run(5.5f);
        EXPECT_FALSE(tower->GetComponent<Stats>()->dead) << "back after 25 s";
        EXPECT_EQ(tower->GetComponent<Stats>()->health, 120);
        EXPECT_EQ(tower->GetComponent<Sprite>()->frameIndex, 0);
        EXPECT_EQ(tower->GetComponent<Stats>()->respawnRemaining, 25.0f);
        Frame(kStep);
        EXPECT_EQ(tower->GetComponent<Tower>()->currentState, Tower::kIdle);
    }
}

TEST_F(DefendersTest, ATowerWithoutARespawnRateStaysDown)
{
    GameObject* tower = PlaceTower(Tower::kWood, 0, 0, 0);
    ASSERT_EQ(tower->GetComponent<Stats>()->respawnRemaining, Stats::kInitialRespawnRemaining);
    PlaceAirship(-600, 300)->GetComponent<Korvane>()->OnCollision(tower);
    Run(120.0f);
    EXPECT_TRUE(tower->GetComponent<Stats>()->dead);
    EXPECT_EQ(tower->GetComponent<Sprite>()->frameIndex, 4);
}

TEST_F(DefendersTest, TheCityFiresBackWithItsGuns)
{
    ObjectBuilder city("DwarfCity");
    city.At(830, 120).Scaled(300, 520).Showing(Sheet(3, 4)).Animated(4, 0.25f).Box(0.57f, 1.0f).WithStats(1500, 15, 2)
        .WithAudio().With(MakeBehavior(BehaviorClass::City));
    for (const char* gun : {"CityGun1", "CityGun2"})
    {
        ObjectBuilder child(gun);
        child.Showing(Sheet(8, 4)).Animated(4, 0.1f).With(MakeBehavior(BehaviorClass::Cannon));
        child.Get()->GetComponent<Animation>()->playing = false;
        city.Child(child.Build());
    }
    city.Child(ObjectBuilder("CityHealthBack").Showing(Sheet(1, 1)).Animated().Build());
    city.Get()->children.back()->GetComponent<Animation>()->playing = false;
    GameObject* theCity = Place(*m_playField, city.Build());
    theCity->GetComponent<Behavior>()->Init();
    GameObject* airship = PlaceAirship(800, 120, 100);
    airship->GetComponent<Stats>()->reloading = true;
    airship->GetComponent<Stats>()->reloadRemaining = 1000.0f;
    Frame(kStep);
    EXPECT_EQ(airship->GetComponent<Stats>()->health, 85);
    EXPECT_TRUE(theCity->GetComponent<Stats>()->reloading);
    EXPECT_EQ(theCity->GetComponent<City>()->currentState, City::kFiredBack);
    EXPECT_EQ(m_sound.PostCount(1205173799u), 1u);
    EXPECT_TRUE(theCity->FindChild("CityGun1")->GetComponent<Animation>()->playing);
    EXPECT_TRUE(theCity->FindChild("CityGun2")->GetComponent<Animation>()->playing);
    EXPECT_FALSE(theCity->FindChild("CityHealthBack")->GetComponent<Animation>()->playing) << "no behaviour";
    Run(2.1f);
    EXPECT_EQ(airship->GetComponent<Stats>()->health, 70) << "every two seconds";
}

// An airship archetype sits in the play field's list without the airship behaviour. Inside a
// tower's or the city's reach it is not an airship to fight: nothing reaches for the behaviour it
// does not have.
TEST_F(DefendersTest, AnArchetypeInsideATowersAndTheCitysReachIsNotFought)
{
    GameObject* tower = PlaceTower(Tower::kWood, 0, 120, 25);
    ObjectBuilder city("DwarfCity");
    city.At(830, 120).Scaled(300, 520).Box(0.57f, 1.0f).WithStats(1500, 15, 2).With(MakeBehavior(BehaviorClass::City));
    GameObject* theCity = Place(*m_playField, city.Build());
    for (const auto& [x, y] : {std::pair{-50.0f, 0.0f}, std::pair{800.0f, 120.0f}})
    {
        ObjectBuilder archetype("Korvane1");
        archetype.At(x, y).Scaled(160, 90).Circle(0.9f).WithStats(60, 6, 1).WithPhysics().WithAudio();
        Place(*m_playField, archetype.Build());
    }
    Run(1.0f);
    EXPECT_FALSE(tower->GetComponent<Stats>()->reloading) << "it did not shoot";
    EXPECT_FALSE(theCity->GetComponent<Stats>()->reloading);
    for (const GameObject* object : m_playField->objects.entries)
    {
        if (object->name == "Korvane1")
        {
            EXPECT_EQ(object->GetComponent<Stats>()->health, 60);
        }
    }
}

TEST_F(DefendersTest, ACannonWithoutACarrierAndABarWithoutStatsDoNothing)
{
    ObjectBuilder loose("Gun");
    loose.Showing(Sheet(8, 4), kStartFrame).Animated().With(MakeBehavior(BehaviorClass::Cannon));
    GameObject* gun = Keep(loose.Build());
    gun->GetComponent<Animation>()->playing = false;
    const GameObject* target = Target("Target", 100, 50, 40);
    gun->GetComponent<Cannon>()->AimAt(*target->GetComponent<Transform>());
    ObjectBuilder parent("Sign");
    parent.Child(ObjectBuilder("SignHealthBar").Showing(Sheet(1, 1)).With(MakeBehavior(BehaviorClass::HealthBar)).Build());
    GameObject* sign = Keep(parent.Build());
    for (int frame = 0; frame < 3; ++frame)
    {
        FrameOf({gun, sign}, kStep);
    }
    EXPECT_EQ(gun->GetComponent<Sprite>()->frameIndex, kStartFrame);
    EXPECT_EQ(gun->GetComponent<Sprite>()->alpha, 1.0f);
}

TEST_F(DefendersTest, AGunHidesWhileItsTowerIsDownAndShowsWhenItIsBack)
{
    GameObject* tower = PlaceTower(Tower::kStone, 0, 0, 3);
    GameObject* gun = tower->FindChild("TowerCannon");
    PlaceAirship(-600, 300)->GetComponent<Korvane>()->OnCollision(tower);
    Run(1.0f);
    EXPECT_EQ(gun->GetComponent<Cannon>()->currentState, 3);
    EXPECT_EQ(gun->GetComponent<Sprite>()->alpha, 0.0f);
    Run(2.5f);
    EXPECT_FALSE(tower->GetComponent<Stats>()->dead);
    EXPECT_EQ(gun->GetComponent<Sprite>()->alpha, 1.0f);
}
} // namespace
