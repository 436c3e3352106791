// The data holds what the game's code looks up: the objects each scene must hold, the behaviour
// each object's name selects through the factory's word tests, the airship archetypes and their
// children, the towers and the city, and the rows and frames the behaviours show.
#include "AssetTree.h"
#include "BehaviorCascade.h"
#include "GameNames.h"
#include "SpriteSheets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace kp::assets
{
namespace
{
const PlacedObject* FindChild(const PlacedObject& object, const std::string& name)
{
    for (const PlacedObject& child : object.children)
    {
        if (child.name == name)
        {
            return &child;
        }
    }
    return nullptr;
}

std::string SpriteSourceOf(const rapidjson::Value& root)
{
    const rapidjson::Value* sprite = Member(root, "Sprite");
    return sprite != nullptr ? StringMember(*sprite, "SpriteSource").value_or("") : "";
}

std::string BehaviorNameOf(const rapidjson::Value& root)
{
    const rapidjson::Value* behavior = Member(root, "Behavior");
    return behavior != nullptr ? StringMember(*behavior, "Name").value_or("") : "";
}

TEST(GameData, ScenesHoldTheObjectsTheGameFindsByName)
{
    const ObjectLibrary library;
    for (const LookedUpObject& wanted : kLookedUpObjects)
    {
        const auto objects = SceneObjects(wanted.scene);
        ASSERT_TRUE(objects) << wanted.scene;
        EXPECT_NE(std::find(objects->begin(), objects->end(), wanted.object), objects->end())
            << wanted.scene << " lacks \"" << wanted.object << "\"";
        const auto placed = library.Place(wanted.object);
        ASSERT_TRUE(placed) << wanted.object;
        if (wanted.needsAudio)
        {
            EXPECT_NE(Member(*placed->root, "Audio"), nullptr) << wanted.object << " needs \"Audio\"";
        }
        if (wanted.needsText)
        {
            const rapidjson::Value* sprite = Member(*placed->root, "Sprite");
            ASSERT_NE(sprite, nullptr) << wanted.object;
            EXPECT_NE(StringMember(*sprite, "TextMode").value_or("None"), "None") << wanted.object << " draws text";
        }
    }
    const auto selected = library.Place("KorSelected");
    ASSERT_TRUE(selected);
    EXPECT_NE(FindChild(*selected, "KorSelectedIcon"), nullptr);
    // The launches clone the archetypes that the play field adds itself; listed in the scene file,
    // they would be read twice.
    const auto sandbox = SceneObjects("Sandbox").value_or(std::vector<std::string>{});
    for (const AirshipArchetype& airship : kAirships)
    {
        EXPECT_EQ(std::find(sandbox.begin(), sandbox.end(), airship.name), sandbox.end()) << airship.name;
    }
}

// The class each object's behaviour name must select (the factory's word tests run in a fixed
// order, so for example a yes button in a dialog about the main menu must not contain "Yes").
const std::map<std::string, BehaviorChoice> kExpectedBehaviors = {
    {"StartButton", {"PlayButton", 0}},
    {"TutorialButton", {"TutorialButton", 0}},
    {"PauseTutorialButton", {"TutorialButton", 0}},
    {"QuitButton", {"QuitButton", 0}},
    {"PauseQuitButton", {"QuitButton", 0}},
    {"ResumeButton", {"ResumeButton", 0}},
    {"ToCreditsButton", {"CreditButton", 0}},
    {"MainConfirmButton", {"MainConfirm", 0}},
    {"YesButton", {"YesButton", 0}},
    {"NoButton", {"NoButton", 0}},
    {"ToMainMenuConfirmButton", {"MenuButton", 0}},
    {"ToMainMenuButton", {"MenuButton", 0}},
    {"CreditReturnButton", {"CreditReturn", 0}},
    {"BackButton", {"BackButton", 0}},
    {"RetryButton", {"RetryButton", 0}},
    {"CoinButton", {"CoinButton", 0}},
    {"SettingsButton", {"SettingsButton", 0}},
    {"SpawnButtonTop", {"SpawnButton", 0}},
    {"SpawnButtonMid", {"SpawnButton", 1}},
    {"SpawnButtonBot", {"SpawnButton", 2}},
    {"SelectButtonSm", {"KorvaneSelectButton", 1}},
    {"SelectButtonMed", {"KorvaneSelectButton", 2}},
    {"SelectButtonLarge", {"KorvaneSelectButton", 3}},
    {"UpgradeDamageButton", {"UpgradeButton", 0}},
    {"UpgradeHealthButton", {"UpgradeButton", 1}},
    {"UpgradeSpeedButton", {"UpgradeButton", 2}},
    {"VolumeToggle", {"VolumeToggle", 0}},
    {"ScreenToggle", {"ScreenToggle", 0}},
    {"VolumeSliderKnob", {"VolumeSlider", 0}},
    {"MainMenuBackground", {"Background", 0}},
    {"GameBackground", {"Background", 1}},
    {"PauseBackground", {"Background", 2}},
    {"WinBackground", {"Background", 3}},
    {"LoseBackground", {"Background", 4}},
    {"creditMenuBackground", {"Background", 5}},
    {"HalvoSplash", {"Background", 6}},
    {"DwarfCity", {"City", 0}},
    {"WoodTower1", {"Tower", 1}},
    {"WoodTower2", {"Tower", 1}},
    {"WoodTower3", {"Tower", 1}},
    {"StoneTower1", {"Tower", 2}},
    {"StoneTower2", {"Tower", 2}},
    {"TowerBallista", {"Cannon", 0}},
    {"TowerCannon", {"Cannon", 0}},
    {"Cannon", {"Cannon", 0}},
    {"Cannon2", {"Cannon", 0}},
    {"TyrantCannon", {"Cannon", 0}},
    {"CityGun1", {"Cannon", 0}},
    {"CityGun2", {"Cannon", 0}},
    {"FuelGaugeFill", {"RoundTimer", 0}},
    {"GoldCount", {"GoldCounter", 0}},
    {"StarTest", {"Star", 0}},
    {"StarTest1", {"Star", 0}},
    {"StarTest2", {"Star", 0}},
    {"StarTest_Results", {"StarResult", 0}},
    {"StarTest_Results1", {"StarResult", 0}},
    {"StarTest_Results2", {"StarResult", 0}},
    {"TimerResultText", {"TimerResult", 0}},
    {"FPSDisplay", {"FPSDisplay", 0}},
    {"GremlinHealthBar", {"HealthBar", 0}},
    {"BugbearHealthBar", {"HealthBar", 0}},
    {"TyrantHealthBar", {"HealthBar", 0}},
    {"TowerHealthBar", {"HealthBar", 0}},
    {"CityHealthBar", {"HealthBar", 0}},
    {"BlackSquare", {"BehaviorBlackSquare", 0}},
};

TEST(GameData, EveryBehaviorNameSelectsTheIntendedClass)
{
    // The word tests themselves, on the cases where their order decides.
    EXPECT_EQ(ChooseBehavior("DwarfCity"), (BehaviorChoice{"City", 0}));
    EXPECT_EQ(ChooseBehavior("CityTower"), BehaviorChoice{});
    EXPECT_EQ(ChooseBehavior("TowerCannon"), BehaviorChoice{});
    EXPECT_EQ(ChooseBehavior("KorvaneTypeSTypeL"), (BehaviorChoice{"Korvane", 3}));
    EXPECT_EQ(ChooseBehavior("YesNoButton"), (BehaviorChoice{"YesButton", 0}));
    EXPECT_EQ(ChooseBehavior("MainConfirmNoButton"), (BehaviorChoice{"NoButton", 0}));
    EXPECT_EQ(ChooseBehavior("SelectCannonButtonSm"), (BehaviorChoice{"Cannon", 0}));
    EXPECT_EQ(ChooseBehavior("Star_Programer_Results"), (BehaviorChoice{"StarResult", 0}));
    EXPECT_EQ(ChooseBehavior("GameWinBackground"), (BehaviorChoice{"Background", 1}));

    const ObjectLibrary library;
    std::map<std::string, const JsonFile*> files;
    for (const auto* group : {&library.Archetypes(), &library.Children()})
    {
        for (const auto& [stem, file] : *group)
        {
            files[stem] = &file;
        }
    }
    for (const auto& [stem, file] : files)
    {
        const rapidjson::Value* root = GameObjectOf(*file);
        ASSERT_NE(root, nullptr) << stem;
        const auto expected = kExpectedBehaviors.find(stem);
        if (Member(*root, "Behavior") == nullptr)
        {
            EXPECT_EQ(expected, kExpectedBehaviors.end()) << stem << " has no \"Behavior\"";
            continue;
        }
        ASSERT_NE(expected, kExpectedBehaviors.end()) << stem << " has a behaviour nobody expects";
        EXPECT_EQ(ChooseBehavior(BehaviorNameOf(*root)), expected->second)
            << stem << ": \"" << BehaviorNameOf(*root) << "\" selects " << ChooseBehavior(BehaviorNameOf(*root)).className;
    }
    for (const auto& [stem, choice] : kExpectedBehaviors)
    {
        EXPECT_EQ(files.count(stem), 1U) << stem;
    }
}

TEST(GameData, ButtonsCarryEverythingTheirStateMachineUses)
{
    const ObjectLibrary library;
    SpriteSheetCache sheets;
    for (const auto& [stem, choice] : kExpectedBehaviors)
    {
        const bool button = choice.className.find("Button") != std::string::npos ||
                            choice.className == "MainConfirm" || choice.className == "CreditReturn" ||
                            choice.className == "VolumeToggle" || choice.className == "ScreenToggle" ||
                            choice.className == "VolumeSlider";
        if (!button)
        {
            continue;
        }
        const JsonFile* file = library.Archetype(stem) != nullptr ? library.Archetype(stem) : library.Child(stem);
        ASSERT_NE(file, nullptr) << stem;
        const rapidjson::Value& root = *GameObjectOf(*file);
        for (const char* key : {"Sprite", "Transform", "Animation", "Audio", "Collider"})
        {
            EXPECT_NE(Member(root, key), nullptr) << stem << " lacks \"" << key << "\"";
        }
        const rapidjson::Value* collider = Member(root, "Collider");
        EXPECT_EQ(collider != nullptr ? StringMember(*collider, "Type").value_or("") : "", "Box")
            << stem << ": only box colliders answer the mouse";
        const SpriteSheet* sheet = sheets.Get(SpriteSourceOf(root));
        ASSERT_NE(sheet, nullptr) << stem;
        // Rows 0 to 2 are idle, hovered and acting; upgrades add row 3; toggles use four frames.
        if (choice.className == "UpgradeButton")
        {
            EXPECT_GE(sheet->numRows, 4) << stem;
        }
        else if (choice.className == "VolumeToggle" || choice.className == "ScreenToggle")
        {
            EXPECT_GE(sheet->FrameCount(), 4) << stem;
        }
        else if (choice.className != "SpawnButton" && choice.className != "CoinButton" &&
                 choice.className != "VolumeSlider")
        {
            EXPECT_GE(sheet->numRows, 3) << stem;
        }
    }
}

// Whether the point (x, y) lies inside the object's collider at any window size from half to
// twice the reference (the collider is in window pixels, the point in reference units).
bool ColliderMayContain(const PlacedObject& object, double x, double y)
{
    const rapidjson::Value* collider = Member(*object.root, "Collider");
    if (collider == nullptr)
    {
        return false;
    }
    const std::string type = StringMember(*collider, "Type").value_or("");
    for (const double windowScale : {0.5, 1.0, 1.5, 2.0})
    {
        if (type == "Circle")
        {
            const double mod = NumberMember(*collider, "RadiusMod").value_or(0);
            const double radius = std::max(object.scaleX * mod, object.scaleX * 0.5 * mod * windowScale);
            if (std::hypot(object.x - x, object.y - y) <= radius)
            {
                return true;
            }
        }
        else if (type == "Box")
        {
            const double halfWidth = object.scaleX * NumberMember(*collider, "WidthMod").value_or(0) * windowScale / 2;
            const double halfHeight = object.scaleY * NumberMember(*collider, "HeightMod").value_or(0) * windowScale / 2;
            if (std::abs(windowScale * object.x - x) <= halfWidth && std::abs(windowScale * object.y - y) <= halfHeight)
            {
                return true;
            }
        }
    }
    return false;
}

TEST(GameData, AirshipArchetypesCarryTheirPartsAndStayOutOfTheFight)
{
    const ObjectLibrary library;
    SpriteSheetCache sheets;
    std::vector<PlacedObject> sandbox;
    for (const std::string& name : SceneObjects("Sandbox").value_or(std::vector<std::string>{}))
    {
        if (auto placed = library.Place(name))
        {
            sandbox.push_back(std::move(*placed));
        }
    }
    for (const AirshipArchetype& airship : kAirships)
    {
        const auto ship = library.Place(airship.name);
        ASSERT_TRUE(ship) << airship.name;
        const rapidjson::Value& root = *ship->root;
        // A launch adds the airship behaviour; an archetype's own would be a second, uninitialised one.
        EXPECT_EQ(Member(root, "Behavior"), nullptr) << airship.name;
        for (const char* key : {"Sprite", "Transform", "Animation", "Physics", "Collider", "Stats", "Audio"})
        {
            EXPECT_NE(Member(root, key), nullptr) << airship.name << " lacks \"" << key << "\"";
        }
        EXPECT_EQ(NumberMember(*Member(root, "Transform"), "rotation").value_or(0), 0.0)
            << airship.name << " flies along its heading, which must be level";
        // The death sequence stops the wing's animation: every airship carries one.
        std::vector<const char*> parts = {airship.cannon, "KorvaneExplosion", airship.smoke, airship.wing};
        parts.insert(parts.end(), kSpawnClouds.begin(), kSpawnClouds.end());
        for (const char* part : parts)
        {
            EXPECT_NE(FindChild(*ship, part), nullptr) << airship.name << " lacks the child \"" << part << "\"";
        }
        EXPECT_NE(sheets.Get(airship.icon), nullptr) << airship.icon;
        const SpriteSheet* hull = sheets.Get(SpriteSourceOf(root));
        ASSERT_NE(hull, nullptr);
        EXPECT_GE(hull->numRows, 2) << airship.name << " needs its wreck row";
        if (const PlacedObject* cannon = FindChild(*ship, airship.cannon))
        {
            const SpriteSheet* gun = sheets.Get(SpriteSourceOf(*cannon->root));
            ASSERT_NE(gun, nullptr);
            EXPECT_EQ(gun->numRows, 8) << airship.cannon << ": one row per aim direction";
        }
        // Stats: three levels of each upgradable value; a launch needs a cost and a speed.
        const rapidjson::Value& stats = *Member(root, "Stats");
        EXPECT_EQ(IntMember(stats[0], "ListCount").value_or(0), 3) << airship.name;
        EXPECT_GT(IntMember(stats[0], "Cost").value_or(0), 0) << airship.name;
        EXPECT_GT(IntMember(stats[0], "MaxSpeed").value_or(0), 0) << airship.name;
        EXPECT_GT(IntMember(stats[0], "ReloadTime").value_or(0), 0) << airship.name;
        for (rapidjson::SizeType level = 0; level < 3 && level < stats.Size(); ++level)
        {
            for (const char* key : {"MaxHealth", "AttackDamage", "MaxSpeed"})
            {
                const int value = IntMember(stats[level], key).value_or(0);
                EXPECT_GT(value, 0) << airship.name << " level " << level << " " << key;
                if (level > 0)
                {
                    EXPECT_GT(value, IntMember(stats[level - 1], key).value_or(0)) << airship.name << " " << key;
                }
            }
        }
        // The archetype sits in the play field's list: no tower or city may reach it (their hit would
        // land on an airship without its behaviour), and it may reach none of them.
        for (const PlacedObject& other : sandbox)
        {
            EXPECT_FALSE(ColliderMayContain(other, ship->x, ship->y)) << other.name << " reaches " << airship.name;
            EXPECT_FALSE(ColliderMayContain(*ship, other.x, other.y)) << airship.name << " reaches " << other.name;
        }
    }
}

TEST(GameData, TowersAndTheCityCarryWhatTheirBehavioursUse)
{
    const ObjectLibrary library;
    SpriteSheetCache sheets;
    int towers = 0;
    for (const std::string& name : SceneObjects("Sandbox").value_or(std::vector<std::string>{}))
    {
        if (name.find("Tower") == std::string::npos && name != "DwarfCity")
        {
            continue;
        }
        const auto placed = library.Place(name);
        ASSERT_TRUE(placed) << name;
        const rapidjson::Value& root = *placed->root;
        for (const char* key : {"Sprite", "Transform", "Animation", "Collider", "Stats", "Audio", "Behavior"})
        {
            EXPECT_NE(Member(root, key), nullptr) << name << " lacks \"" << key << "\"";
        }
        const SpriteSheet* sheet = sheets.Get(SpriteSourceOf(root));
        ASSERT_NE(sheet, nullptr) << name;
        const rapidjson::Value* stats = Member(root, "Stats");
        ASSERT_NE(stats, nullptr);
        EXPECT_GT(IntMember((*stats)[0], "MaxHealth").value_or(0), 0) << name;
        EXPECT_GT(IntMember((*stats)[0], "AttackDamage").value_or(0), 0) << name;
        EXPECT_GT(IntMember((*stats)[0], "ReloadTime").value_or(0), 0) << name;
        if (name == "DwarfCity")
        {
            EXPECT_GE(sheet->numRows, 3) << "the city shows rows 1 (damaged) and 2 (fallen)";
            for (const PlacedObject& child : placed->children)
            {
                // The city starts the animation of every child with a behaviour.
                if (Member(*child.root, "Behavior") != nullptr)
                {
                    EXPECT_NE(Member(*child.root, "Animation"), nullptr) << child.name;
                }
            }
            // Airships stop at x > 750 in every lane: the city's box must hold them there.
            for (const double laneY : {270.0, 150.0, 0.0})
            {
                EXPECT_TRUE(ColliderMayContain(*placed, 751.0, laneY)) << "lane " << laneY;
            }
            continue;
        }
        ++towers;
        const bool wood = BehaviorNameOf(root).find("Wood") != std::string::npos;
        EXPECT_GE(sheet->numRows, 2) << name << " needs its ruined row";
        EXPECT_TRUE(IntMember((*stats)[0], "RespawnRate").value_or(0) > 0) << name << " comes back after a while";
        const char* gun = wood ? "TowerBallista" : "TowerCannon";
        const PlacedObject* turret = FindChild(*placed, gun);
        ASSERT_NE(turret, nullptr) << name << " lacks \"" << gun << "\"";
        const SpriteSheet* gunSheet = sheets.Get(SpriteSourceOf(*turret->root));
        ASSERT_NE(gunSheet, nullptr);
        EXPECT_EQ(gunSheet->numRows, 8) << gun;
        EXPECT_NE(FindChild(*placed, "WoodTowerExplosion"), nullptr) << name;
        // Towers reach at least one flight lane.
        bool reachesLane = false;
        for (const double laneY : {270.0, 150.0, 0.0})
        {
            reachesLane = reachesLane || ColliderMayContain(*placed, placed->x, laneY);
        }
        EXPECT_TRUE(reachesLane) << name;
    }
    EXPECT_GE(towers, 2);
}

TEST(GameData, SheetsHoldTheRowsAndFramesTheBehavioursShow)
{
    const ObjectLibrary library;
    SpriteSheetCache sheets;
    const std::vector<SheetNeed> needs = {
        {"StarTest", 2, 0},          {"StarTest_Results", 2, 0}, {"GremlinHP", 3, 0}, {"BugbearDM", 3, 0},
        {"TyrantSP", 3, 0},          {"TowerBallista", 8, 0},    {"TowerCannon", 8, 0},
    };
    for (const SheetNeed& need : needs)
    {
        const JsonFile* file = library.Archetype(need.object) ? library.Archetype(need.object) : library.Child(need.object);
        ASSERT_NE(file, nullptr) << need.object;
        const SpriteSheet* sheet = sheets.Get(SpriteSourceOf(*GameObjectOf(*file)));
        ASSERT_NE(sheet, nullptr) << need.object;
        EXPECT_GE(sheet->numRows, need.minRows) << need.object;
    }
    // A stat display shows row (level + FrameCount - 2): FrameCount 2 makes the row the level.
    for (const char* kind : {"Gremlin", "Bugbear", "Tyrant"})
    {
        for (const char* stat : {"HP", "DM", "SP"})
        {
            const JsonFile* file = library.Archetype(std::string(kind) + stat);
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(IntMember(*Member(*GameObjectOf(*file), "Animation"), "FrameCount").value_or(0), 2);
        }
    }
    // Text is drawn glyph by glyph from frame (code - 32).
    const SpriteSheet* font = sheets.Get("Font");
    ASSERT_NE(font, nullptr);
    EXPECT_GE(font->FrameCount(), 96);
    EXPECT_TRUE(font->FrameIsBlank(0)) << "frame 0 is the space";
    EXPECT_FALSE(font->FrameIsBlank('A' - 32));
    // The selection marker's icon is swapped between these three sources.
    for (const char* icon : {"Gremlin", "Bugbear", "Tyrant"})
    {
        EXPECT_NE(sheets.Get(icon), nullptr) << icon;
    }
}

TEST(GameData, OneShotEffectsAndParticleEmittersShowNothingAtRest)
{
    const ObjectLibrary library;
    SpriteSheetCache sheets;
    // An explosion plays its whole sheet once and stays on its last frame: that frame is blank, and
    // the sprite starts on it.
    for (const char* name : {"KorvaneExplosion", "WoodTowerExplosion"})
    {
        const JsonFile* file = library.Child(name);
        ASSERT_NE(file, nullptr) << name;
        const rapidjson::Value& root = *GameObjectOf(*file);
        const SpriteSheet* sheet = sheets.Get(SpriteSourceOf(root));
        ASSERT_NE(sheet, nullptr);
        const rapidjson::Value& animation = *Member(root, "Animation");
        EXPECT_EQ(IntMember(animation, "FrameCount").value_or(0), sheet->FrameCount()) << name;
        EXPECT_FALSE(Member(animation, "IsLooping")->GetBool()) << name;
        EXPECT_FALSE(Member(animation, "DiffAnimations")->GetBool()) << name;
        EXPECT_EQ(IntMember(*Member(root, "Sprite"), "frameIndex").value_or(0), sheet->FrameCount() - 1) << name;
        EXPECT_TRUE(sheet->FrameIsBlank(sheet->FrameCount() - 1)) << name;
        EXPECT_FALSE(sheet->FrameIsBlank(0)) << name;
    }
    // An emitter object draws its own sprite too: that frame is blank, while its particles use
    // their own frame 0.
    for (const auto& [stem, file] : library.Children())
    {
        const rapidjson::Value* root = GameObjectOf(file);
        if (root == nullptr || Member(*root, "Emitter") == nullptr)
        {
            continue;
        }
        const SpriteSheet* sheet = sheets.Get(SpriteSourceOf(*root));
        ASSERT_NE(sheet, nullptr) << stem;
        const int frame = IntMember(*Member(*root, "Sprite"), "frameIndex").value_or(0);
        EXPECT_TRUE(sheet->FrameIsBlank(frame)) << stem;
        EXPECT_FALSE(sheet->FrameIsBlank(0)) << stem;
        const rapidjson::Value* uniform = Member(*Member(*root, "Emitter"), "UniformAnimation");
        EXPECT_TRUE(uniform != nullptr && uniform->IsBool() && !uniform->GetBool()) << stem;
        EXPECT_GT(NumberMember(*Member(*root, "Emitter"), "SpawnRate").value_or(0), 0) << stem;
    }
}

TEST(GameData, StarTimersAndTheVolumeSliderFitTheirBehaviours)
{
    const ObjectLibrary library;
    int previous = 0;
    for (const char* name : {"StarTest", "StarTest1", "StarTest2"})
    {
        const auto time = IntMember(*GameObjectOf(*library.Archetype(name)), "Time");
        ASSERT_TRUE(time) << name;
        EXPECT_GT(*time, previous) << "each star is lost later than the one before";
        previous = *time;
    }
    // The knob follows the cursor's height inside a band of its track (from a sixth of the track's
    // height below its centre to 0.4 of it above) and sets the volume from its own height over 294:
    // the track stands at height 0 and its band reaches 294.
    const auto track = library.Place("VolumeBar");
    ASSERT_TRUE(track);
    const PlacedObject* knob = FindChild(*track, "VolumeSliderKnob");
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(track->y, 0.0);
    EXPECT_GE(0.4 * track->scaleY, 294.0);
    const double knobHeight = knob->y - track->y;
    EXPECT_LE(knobHeight, 294.0);
    EXPECT_GT(knobHeight, -track->scaleY / 6.0);
}
} // namespace
} // namespace kp::assets
