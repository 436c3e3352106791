// The play field's airship controls on a play field built in code: the first sorting of the stat
// displays, choosing a type (the displays swapped between the lists in the order HP, SP, DM, the
// marker's icon, the launch cost), upgrades at 60 and 75 gold bought only with strictly more gold
// (row 3 while they cannot be), launches paid with strictly more gold than the cost, each lane
// resting 1 s after a launch, no launch once the round is over, and upgrades carried by later
// launches.
#include "GameTestKit.h"
#include "Engine/SpriteSourceManager.h"
#include "Game/Korvane.h"
#include "Game/RoundTimer.h"
#include "Game/UpgradeButton.h"

#include <array>

namespace
{
using kp::test::MakeBehavior;
using kp::test::ObjectBuilder;
using kp::test::SoundCall;

constexpr float kStep = 0.05f;

struct ButtonAt
{
    const char* name;
    BehaviorClass kind;
    int argument;
    float x, y;
};
constexpr std::array kSelectButtons = {ButtonAt{"SelectButtonSm", BehaviorClass::KorvaneSelectButton, 1, -800, -400},
                                       ButtonAt{"SelectButtonMed", BehaviorClass::KorvaneSelectButton, 2, -600, -400},
                                       ButtonAt{"SelectButtonLarge", BehaviorClass::KorvaneSelectButton, 3, -400, -400}};
constexpr std::array kSpawnButtons = {ButtonAt{"SpawnButtonTop", BehaviorClass::SpawnButton, 0, -800, 300},
                                      ButtonAt{"SpawnButtonMid", BehaviorClass::SpawnButton, 1, -800, 150},
                                      ButtonAt{"SpawnButtonBot", BehaviorClass::SpawnButton, 2, -800, 0}};
constexpr std::array kUpgradeButtons = {ButtonAt{"UpgradeDamageButton", BehaviorClass::UpgradeButton, 0, 300, -400},
                                        ButtonAt{"UpgradeHealthButton", BehaviorClass::UpgradeButton, 1, 500, -400},
                                        ButtonAt{"UpgradeSpeedButton", BehaviorClass::UpgradeButton, 2, 700, -400}};

class AirshipControlsTest : public kp::test::GameFixture
{
protected:
    void SetUp() override
    {
        for (const char* icon : {"Gremlin", "Bugbear", "Tyrant"})
        {
            auto* source = new SpriteSource();
            source->name = icon;
            SpriteSourceManager::Add(source);
        }
        m_playField = &AddScene("Sandbox");
        Scene& field = *m_playField;
        Place(field, ObjectBuilder("FuelGaugeFill").With(MakeBehavior(BehaviorClass::RoundTimer)).Build());
        for (const ButtonAt& button : kSpawnButtons)
        {
            PlaceButton(button);
        }
        for (const ButtonAt& button : kSelectButtons)
        {
            PlaceButton(button);
        }
        ObjectBuilder marker("KorSelected");
        marker.Child(ObjectBuilder("KorSelectedIcon").Showing(SpriteSourceManager::Find("Gremlin")).Build());
        Place(field, marker.Build());
        ObjectBuilder cost("DeployCostNumber");
        cost.Showing(Sheet(6, 16));
        Place(field, cost.Build());
        for (const ButtonAt& button : kUpgradeButtons)
        {
            PlaceButton(button);
        }
        for (const char* type : {"Gremlin", "Bugbear", "Tyrant"})
        {
            for (const char* stat : {"DM", "HP", "SP"})
            {
                ObjectBuilder display(std::string(type) + stat);
                display.Showing(Sheet(4, 1)).Animated(2);
                Place(field, display.Build());
            }
        }
        // The archetypes the play field adds: costs 20, 40, 70; three levels of each stat.
        const int costs[] = {20, 40, 70};
        for (int type = 1; type <= 3; ++type)
        {
            ObjectBuilder archetype("Korvane" + std::to_string(type));
            archetype.At(-2400, -1500).WithStats(60 * type).WithPhysics();
            auto* stats = archetype.Get()->GetComponent<Stats>();
            stats->Cost = costs[type - 1];
            stats->AttackDamage = 6 * type;
            stats->MaxSpeed = 90;
            stats->healthLevels = {60 * type, 80 * type, 100 * type};
            stats->damageLevels = {6 * type, 9 * type, 12 * type};
            stats->speedLevels = {90, 115, 140};
            Place(field, archetype.Build());
        }
        field.objects.InitAll();
    }
    void TearDown() override { SpriteSourceManager::DestroyAll(); }

    void PlaceButton(const ButtonAt& button)
    {
        ObjectBuilder builder(button.name);
        builder.At(button.x, button.y).Scaled(150, 100).Showing(Sheet(4, 1)).Animated().Box().WithAudio().With(
            MakeBehavior(button.kind, button.argument));
        builder.Get()->GetComponent<Animation>()->playing = false;
        Place(*m_playField, builder.Build());
    }

    // A click on the named control; the update after the release acts.
    void Click(const ButtonAt& button)
    {
        PointAt(button.x, button.y);
        for (const bool down : {false, false, true, false, false})
        {
            down ? m_input.Press(kMouse) : m_input.Release(kMouse);
            Frame(kStep);
        }
        PointAway();
    }
    void Wait(float seconds)
    {
        for (float waited = 0.0f; waited < seconds; waited += kStep)
        {
            Frame(kStep);
        }
    }

    std::vector<std::string> Names(const GameObjectList& list, const std::string& containing) const
    {
        std::vector<std::string> names;
        for (const GameObject* object : list.entries)
        {
            if (object->name.find(containing) != std::string::npos)
            {
                names.push_back(object->name);
            }
        }
        return names;
    }
    int FrameOf(const std::string& name) const
    {
        return m_playField->objects.Find(name)->GetComponent<Sprite>()->frameIndex;
    }
    Stats& ArchetypeStats(int type) const
    {
        return *m_playField->objects.Find("Korvane" + std::to_string(type))->GetComponent<Stats>();
    }
    std::vector<GameObject*> Launched() const
    {
        std::vector<GameObject*> launched;
        for (GameObject* object : m_playField->objects.entries)
        {
            if (object->name.size() > std::string("Korvane1").size() && object->name.starts_with("Korvane"))
            {
                launched.push_back(object);
            }
        }
        return launched;
    }

    Scene* m_playField = nullptr;
};

TEST_F(AirshipControlsTest, TheFirstUpdateShowsTheGremlinDisplaysAndCost)
{
    Frame(kStep);
    EXPECT_EQ(Names(m_playField->objects, "Gremlin"), (std::vector<std::string>{"GremlinDM", "GremlinHP", "GremlinSP"}));
    EXPECT_EQ(Names(m_playField->stash, ""),
              (std::vector<std::string>{"BugbearHP", "BugbearSP", "BugbearDM", "TyrantHP", "TyrantSP", "TyrantDM"}));
    EXPECT_EQ(m_playField->objects.Find("DeployCostNumber")->GetComponent<Sprite>()->text, "20");
    EXPECT_EQ(gSelectedArchetype, m_playField->objects.Find("Korvane1"));
    EXPECT_EQ(gShownStatType, 1);
    EXPECT_EQ(gStatDisplayType, 1);
    // Row = level + FrameCount - 2: level 0 shows row 0.
    EXPECT_EQ(FrameOf("GremlinHP"), 0);
}

TEST_F(AirshipControlsTest, ChoosingTheBugbearSwapsTheDisplaysInTheOrderHpSpDm)
{
    Frame(kStep);
    Click(kSelectButtons[1]);
    EXPECT_EQ(gSelectedType, 2);
    EXPECT_EQ(Names(m_playField->objects, "Bugbear"), (std::vector<std::string>{"BugbearHP", "BugbearSP", "BugbearDM"}));
    EXPECT_TRUE(Names(m_playField->objects, "Gremlin").empty());
    const std::vector<std::string> stashed = Names(m_playField->stash, "");
    ASSERT_GE(stashed.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(stashed.end() - 3, stashed.end()),
              (std::vector<std::string>{"GremlinHP", "GremlinSP", "GremlinDM"}));
    const GameObject* icon = m_playField->objects.Find("KorSelected")->FindChild("KorSelectedIcon");
    EXPECT_EQ(icon->GetComponent<Sprite>()->spriteSource, SpriteSourceManager::Find("Bugbear"));
    EXPECT_EQ(m_playField->objects.Find("DeployCostNumber")->GetComponent<Sprite>()->text, "40");
    EXPECT_EQ(gSelectedArchetype, m_playField->objects.Find("Korvane2"));
    EXPECT_EQ(gShownStatType, 2);
    EXPECT_EQ(m_sound.PostCount(1713356578u), 1u);
}

TEST_F(AirshipControlsTest, UpgradesCostSixtyThenSeventyFiveAndNeedStrictlyMoreGold)
{
    Frame(kStep);
    const ButtonAt& health = kUpgradeButtons[1];
    const struct
    {
        int gold;
        int maxHealthAfter;
        int goldAfter;
        int idleRow; // before the click
    } steps[] = {
        {60, 60, 60, 3},  // exactly the price: refused
        {61, 80, 1, 0},   // bought, 1 left
        {75, 80, 75, 3},  // the second level costs 75
        {76, 100, 1, 0},
        {500, 100, 500, 3}, // nothing after the second level
    };
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.gold);
        gGold = step.gold;
        Frame(kStep);
        Frame(kStep);
        EXPECT_EQ(FrameOf(health.name), step.idleRow);
        const size_t cues = m_sound.PostCount(2043821631u);
        Click(health);
        EXPECT_EQ(ArchetypeStats(1).MaxHealth, step.maxHealthAfter);
        EXPECT_EQ(gGold, step.goldAfter);
        EXPECT_EQ(m_sound.PostCount(2043821631u), cues + (step.goldAfter == 1 ? 1 : 0));
        Wait(0.3f);
    }
    // The health display shows the level: row 2.
    EXPECT_EQ(FrameOf("GremlinHP"), 2);
}

TEST_F(AirshipControlsTest, ALaunchNeedsStrictlyMoreGoldThanTheCostAndEachLaneRestsOneSecond)
{
    Wait(1.1f); // the lanes' first rest after the play field was built
    const ButtonAt& top = kSpawnButtons[0];
    gGold = 20;
    Click(top);
    EXPECT_TRUE(Launched().empty()) << "gold equal to the cost";
    EXPECT_EQ(gGold, 20);

    gGold = 100;
    Click(top);
    ASSERT_EQ(Launched().size(), 1u);
    EXPECT_EQ(gGold, 80);
    const GameObject* airship = Launched()[0];
    EXPECT_NE(airship->GetComponent<Korvane>(), nullptr);
    EXPECT_EQ(airship->GetComponent<Transform>()->translation, glm::vec3(-546, 270, 1));
    EXPECT_EQ(m_sound.PostCount(3643286168u), 1u) << "the Gremlin's launch cue";

    Click(top); // 0.25 s later, same lane
    EXPECT_EQ(Launched().size(), 1u);
    // Another lane has its own rest; each launches at its lane's start.
    Click(kSpawnButtons[1]);
    ASSERT_EQ(Launched().size(), 2u);
    EXPECT_EQ(Launched()[1]->GetComponent<Transform>()->translation, glm::vec3(-600, 150, 1));
    Click(kSpawnButtons[2]);
    ASSERT_EQ(Launched().size(), 3u);
    EXPECT_EQ(Launched()[2]->GetComponent<Transform>()->translation, glm::vec3(-695, 0, 1));
    Wait(1.0f);
    Click(top);
    EXPECT_EQ(Launched().size(), 4u);
    EXPECT_EQ(gGold, 20);
}

TEST_F(AirshipControlsTest, NoLaneLaunchesOnceTheRoundIsOver)
{
    Wait(1.1f);
    auto* clock = m_playField->objects.Find("FuelGaugeFill")->GetComponent<RoundTimer>();
    clock->roundTimer->remaining = 0.01f;
    Frame(kStep);
    ASSERT_TRUE(clock->IsOver());
    gGold = 500;
    for (const ButtonAt& lane : kSpawnButtons)
    {
        Click(lane);
    }
    EXPECT_TRUE(Launched().empty());
    EXPECT_EQ(gGold, 500);
}

TEST_F(AirshipControlsTest, LaterLaunchesCarryTheUpgradesOfTheirType)
{
    Frame(kStep);
    Click(kSelectButtons[2]);
    gGold = 200;
    Click(kUpgradeButtons[1]);
    Wait(0.3f);
    Click(kUpgradeButtons[0]);
    ASSERT_EQ(gGold, 200 - 60 - 60);
    gGold = 100;
    Wait(1.0f);
    Click(kSpawnButtons[1]);
    ASSERT_EQ(Launched().size(), 1u);
    const Stats& launched = *Launched()[0]->GetComponent<Stats>();
    EXPECT_EQ(launched.MaxHealth, 240);
    EXPECT_EQ(launched.health, 240);
    EXPECT_EQ(launched.AttackDamage, 27);
    EXPECT_EQ(gGold, 30);
    EXPECT_EQ(m_sound.PostCount(2917290866u), 1u) << "the Tyrant's launch cue";
}

TEST_F(AirshipControlsTest, AStatOffItsLadderShowsRowZeroAndBuysNothing)
{
    Frame(kStep);
    ArchetypeStats(1).MaxSpeed = 95; // on no level of [90, 115, 140]
    gGold = 500;
    Frame(kStep);
    Frame(kStep);
    EXPECT_EQ(FrameOf(kUpgradeButtons[2].name), 0);
    Click(kUpgradeButtons[2]);
    EXPECT_EQ(ArchetypeStats(1).MaxSpeed, 95);
    EXPECT_EQ(gGold, 500);
}

// The archetype the upgrade buttons named belongs to the play field that was: a new play field's
// upgrade buttons forget it, so that one updated before the select buttons (which find the new
// archetype) never reads the old one.
TEST_F(AirshipControlsTest, ANewPlayFieldsUpgradeButtonsForgetTheOldArchetype)
{
    Frame(kStep);
    ASSERT_NE(gSelectedArchetype, nullptr);
    ClearScenes(); // the play field and its archetypes are gone
    Scene& field = AddScene("Sandbox");
    GameObject* upgrade = Place(field, ObjectBuilder("UpgradeDamageButton").With(MakeBehavior(BehaviorClass::UpgradeButton)).Build());
    field.objects.InitAll();
    EXPECT_EQ(gSelectedArchetype, nullptr);
    Frame(kStep);
    EXPECT_EQ(upgrade->GetComponent<Behavior>()->currentState, 0);
}

TEST_F(AirshipControlsTest, WithoutTheArchetypesNothingLaunchesOrUpgrades)
{
    for (int type = 1; type <= 3; ++type)
    {
        GameObject* archetype = m_playField->objects.Find("Korvane" + std::to_string(type));
        m_playField->objects.Remove(archetype);
        delete archetype;
    }
    Wait(1.1f);
    gGold = 500;
    EXPECT_EQ(gSelectedArchetype, nullptr);
    Click(kSpawnButtons[0]);
    Click(kUpgradeButtons[0]);
    Click(kSelectButtons[1]);
    EXPECT_TRUE(Launched().empty());
    EXPECT_EQ(gGold, 500);
}
} // namespace
