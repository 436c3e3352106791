// Object files read into objects: the components created by their keys (each reading its own
// keys, the collider after the transform), children read once and copied, the class and name of
// the behaviour each name creates, and broken files that stop naming the file and the key.
#include "Objects/GameObject.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Timer.h"
#include "Game/Background.h"
#include "Game/Cannon.h"
#include "Game/City.h"
#include "Game/EmitterDeath.h"
#include "Game/Korvane.h"
#include "Game/PlayButton.h"
#include "Game/SpawnButton.h"
#include "Game/Star.h"
#include "Game/StarResult.h"
#include "Game/Tower.h"
#include "Game/UpgradeButton.h"
#include "ObjectAssets.h"
#include "Objects/Audio.h"
#include "Objects/Emitter.h"
#include "Objects/Animation.h"
#include "Objects/Collider.h"
#include "Objects/Physics.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"

#include <gtest/gtest.h>
#include <string>
#include <typeinfo>
#include <utility>

namespace
{
using kp::test::AssetFolder;
using kp::test::TransformMember;
using kp::test::WorkingFolder;

class GameObjectFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windowWidth = 1920;
        windowHeight = 1080;
    }
    void TearDown() override
    {
        DeleteAllTimers();
        windowWidth = 0;
        windowHeight = 0;
    }

    AssetFolder m_folder;
    WorkingFolder m_working{m_folder.Root()};
};

TEST_F(GameObjectFileTest, EachKeyCreatesItsComponentWhichReadsItsOwnKeys)
{
    kp::test::WriteArchetype(m_folder, "Tower1",
                             TransformMember(300, -100, 200, 100) + R"(,
        "Animation": {"FrameCount": 4, "FrameDuration": 0.25, "IsLooping": true, "DiffAnimations": false},
        "Physics": {"velocity": [5, 6, 0]},
        "Collider": {"Type": "Box", "WidthMod": 0.5, "HeightMod": 2},
        "Stats": [{"ListCount": 1, "MaxHealth": 80}],
        "Audio": null,
        "Emitter": {},
        "EmitterBehavior": "OnDeath",
        "Behavior": {"Name": "WoodTower"})");
    GameObject object;
    object.ReadFromFile("./Assets/GameObjects/Tower1.json");

    EXPECT_EQ(object.name, "Tower1");
    const auto* transform = object.GetComponent<Transform>();
    ASSERT_NE(transform, nullptr);
    EXPECT_EQ(transform->translation, glm::vec3(300, -100, 0));
    const auto* animation = object.GetComponent<Animation>();
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->FrameCount, 4);
    const auto* physics = object.GetComponent<Physics>();
    ASSERT_NE(physics, nullptr);
    EXPECT_EQ(physics->velocity, glm::vec3(5, 6, 0));
    const auto* stats = object.GetComponent<Stats>();
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->MaxHealth, 80);
    // The collider was read after the transform: its box surrounds the object's position.
    const auto* collider = object.GetComponent<Collider>();
    ASSERT_NE(collider, nullptr);
    EXPECT_EQ(collider->shape, Collider::kShapeBox);
    EXPECT_FLOAT_EQ(collider->cornerA.x, 250.0f);
    EXPECT_FLOAT_EQ(collider->cornerB.x, 350.0f);
    EXPECT_FLOAT_EQ(collider->cornerA.y, 0.0f);
    EXPECT_FLOAT_EQ(collider->cornerB.y, -200.0f);
    for (Component* component : object.components)
    {
        if (component != nullptr)
        {
            EXPECT_EQ(component->owner, &object);
        }
    }
    // No key, no sprite. A null "Audio" still makes the component; an empty "Emitter" keeps its
    // defaults; the particle behaviour and the behaviour are those their texts select.
    EXPECT_EQ(object.GetComponent(ComponentType::Sprite), nullptr);
    EXPECT_NE(object.GetComponent<Audio>(), nullptr);
    const auto* emitter = object.GetComponent<Emitter>();
    ASSERT_NE(emitter, nullptr);
    EXPECT_TRUE(emitter->uniformAnimation);
    EXPECT_EQ(emitter->spawnRate, 0.0f);
    const auto* burst = object.GetComponent<EmitterDeath>();
    ASSERT_NE(burst, nullptr);
    EXPECT_EQ(burst->name, "EmitterDeath");
    const auto* tower = object.GetComponent<Tower>();
    ASSERT_NE(tower, nullptr);
    EXPECT_EQ(tower->name, "WoodTower");
    EXPECT_EQ(tower->kind, Tower::kWood);
}

TEST_F(GameObjectFileTest, OnlyTheNameIsRequired)
{
    kp::test::WriteArchetype(m_folder, "Bare");
    GameObject object;
    object.ReadFromFile("./Assets/GameObjects/Bare.json");
    EXPECT_EQ(object.name, "Bare");
    for (Component* component : object.components)
    {
        EXPECT_EQ(component, nullptr);
    }
    EXPECT_TRUE(object.children.empty());
}

TEST_F(GameObjectFileTest, AChildListedTwiceIsReadOnceAndCopied)
{
    // The wing is turned in its file; a copied child starts unturned, so the second wing shows
    // that it was copied from the first rather than read again.
    kp::test::WriteChild(m_folder, "Wing", R"("Transform": {"translation": [10, 20, 0], "rotation": 30})");
    kp::test::WriteChild(m_folder, "Smoke", R"("Children": ["Puff"])");
    kp::test::WriteChild(m_folder, "Puff", TransformMember(1, 2));
    kp::test::WriteArchetype(m_folder, "Airship", TransformMember(100, 0) + R"(, "Children": ["Wing", "Smoke", "Wing"])");

    GameObject airship;
    airship.ReadFromFile("./Assets/GameObjects/Airship.json");
    ASSERT_EQ(airship.children.size(), 3u);
    const GameObject* first = airship.children[0];
    const GameObject* smoke = airship.children[1];
    const GameObject* second = airship.children[2];
    EXPECT_EQ(first->name, "Wing");
    EXPECT_EQ(smoke->name, "Smoke");
    EXPECT_EQ(second->name, "Wing");
    EXPECT_NE(first, second);
    for (const GameObject* child : airship.children)
    {
        EXPECT_EQ(child->parent, &airship);
    }
    EXPECT_EQ(first->GetComponent<Transform>()->rotation, 30.0f);
    EXPECT_EQ(second->GetComponent<Transform>()->rotation, 0.0f) << "a copy, not a second read";
    EXPECT_EQ(second->GetComponent<Transform>()->translation, glm::vec3(10, 20, 0));
    // A child's position is relative to its parent from the moment it is read.
    EXPECT_EQ(first->GetComponent<Transform>()->GetWorldTranslation(), glm::vec3(110, 20, 0));
    ASSERT_EQ(smoke->children.size(), 1u);
    EXPECT_EQ(smoke->children[0]->name, "Puff");
    EXPECT_EQ(smoke->children[0]->parent, smoke);
}

TEST_F(GameObjectFileTest, BehaviourNamesCreateTheirClassesUnderTheirNames)
{
    // Names from every row of the cascade, the Star's "Time" among them: the class created, and the
    // name it carries (the factory's where it gives one, else the constructor's).
    const struct
    {
        const char* behaviorName;
        const std::type_info& expected;
        const char* storedName;
    } cases[] = {
        {"WoodTower", typeid(Tower), "WoodTower"},
        {"KorvaneTypeSTypeL", typeid(Korvane), "KorvaneL"},
        {"Cannon", typeid(Cannon), "Cannon"},
        {"UpgradeHealth", typeid(UpgradeButton), "BIG ERROR"},
        {"GameBackground", typeid(Background), "GameBackground"},
        {"DwarfCity", typeid(City), "Tower"},
        {"Star", typeid(Star), "BIG ERROR"},
        {"Star_Programer_Results", typeid(StarResult), "BIG ERROR"},
        {"StartButton", typeid(PlayButton), "BIG ERROR"},
        {"SpawnButtonTop", typeid(SpawnButton), "BIG ERROR"},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.behaviorName);
        kp::test::WriteArchetype(m_folder, "Holder",
                                 TransformMember(0, 0) + R"(, "Time": 45, "Behavior": {"Name": ")" + row.behaviorName + "\"}");
        GameObject object;
        object.ReadFromFile("./Assets/GameObjects/Holder.json");
        EXPECT_EQ(object.name, "Holder");
        EXPECT_NE(object.GetComponent<Transform>(), nullptr);
        const auto* behavior = object.GetComponent<Behavior>();
        ASSERT_NE(behavior, nullptr);
        EXPECT_EQ(typeid(*behavior), row.expected);
        EXPECT_EQ(behavior->name, row.storedName);
        EXPECT_EQ(behavior->owner, &object);
    }
    // The airship type of the last of "TypeS", "TypeM", "TypeL" wins; a Star takes "Time", else 30 s.
    kp::test::WriteArchetype(m_folder, "Holder", R"("Behavior": {"Name": "KorvaneTypeSTypeL"})");
    GameObject airship;
    airship.ReadFromFile("./Assets/GameObjects/Holder.json");
    EXPECT_EQ(airship.GetComponent<Korvane>()->type, 3);
    for (const auto& [members, seconds] : {std::pair{R"("Time": 45, )", 45.0f}, std::pair{"", 30.0f}})
    {
        kp::test::WriteArchetype(m_folder, "Holder", std::string(members) + R"("Behavior": {"Name": "StarTest"})");
        GameObject star;
        star.ReadFromFile("./Assets/GameObjects/Holder.json");
        ASSERT_NE(star.GetComponent<Star>(), nullptr);
        EXPECT_EQ(star.GetComponent<Star>()->seconds, seconds);
        EXPECT_EQ(star.GetComponent<Star>()->timer->remaining, seconds);
    }
    // A name that matches no row creates nothing.
    kp::test::WriteArchetype(m_folder, "Holder", R"("Behavior": {"Name": "NoMatchAtAll"})");
    GameObject none;
    none.ReadFromFile("./Assets/GameObjects/Holder.json");
    EXPECT_EQ(none.GetComponent(ComponentType::Behavior), nullptr);
    // "Time" is read only for a Star, so a malformed one elsewhere goes unnoticed.
    kp::test::WriteArchetype(m_folder, "Holder", R"("Time": "soon", "Behavior": {"Name": "DwarfCity"})");
    GameObject city;
    city.ReadFromFile("./Assets/GameObjects/Holder.json");
    EXPECT_EQ(city.name, "Holder");
}

TEST_F(GameObjectFileTest, ANullPathReadsNothing)
{
    GameObject object;
    object.ReadFromFile(nullptr);
    EXPECT_TRUE(object.name.empty());
}

using GameObjectFileDeathTest = GameObjectFileTest;

TEST_F(GameObjectFileDeathTest, BrokenFilesStopNamingTheFileAndTheKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kp::test::WriteChild(m_folder, "Wing");
    const std::string longName(260, 'x');
    const struct
    {
        const char* label;
        std::string text; // empty: no file at all
        const char* expected;
    } cases[] = {
        {"missing file", "", "Broken\\.json.*the file exists and is not empty"},
        {"not JSON", "{\"GameObject\": ", "Broken\\.json.*valid JSON"},
        {"no GameObject", R"({"Object": {"name": "Broken"}})", "Broken\\.json.*\"GameObject\" is present"},
        {"no name", R"({"GameObject": {"Transform": {}}})", "Broken\\.json.*\"name\" is present"},
        {"name not a string", R"({"GameObject": {"name": 7}})", "Broken\\.json.*\"name\" is a string"},
        {"behaviour without Name", R"({"GameObject": {"name": "B", "Behavior": {"name": "Star"}}})",
         "Broken\\.json.*\"Name\" is present"},
        {"behaviour not an object", R"({"GameObject": {"name": "B", "Behavior": "Star"}})",
         "Broken\\.json.*\"Behavior\" is an object"},
        {"behaviour name not a string", R"({"GameObject": {"name": "B", "Behavior": {"Name": 3}}})",
         "Broken\\.json.*\"Name\" is a string"},
        {"particle behaviour not a string", R"({"GameObject": {"name": "B", "EmitterBehavior": {}}})",
         "Broken\\.json.*\"EmitterBehavior\" is a string"},
        {"children not an array", R"({"GameObject": {"name": "B", "Children": "Wing"}})",
         "Broken\\.json.*\"Children\" is an array"},
        {"child name not a string", R"({"GameObject": {"name": "B", "Children": ["Wing", 4]}})",
         "Broken\\.json.*\"Children\\[1\\]\" is a string"},
        {"missing child file", R"({"GameObject": {"name": "B", "Children": ["Nowhere"]}})",
         "Children/Nowhere\\.json.*the file exists and is not empty"},
        {"child name too long for a path", R"({"GameObject": {"name": "B", "Children": [")" + longName + "\"]}}",
         "Broken\\.json.*\"Children\\[0\\]\" names an object whose file path fits 260 characters"},
        {"star time not an integer", R"({"GameObject": {"name": "B", "Time": 4.5, "Behavior": {"Name": "Star"}}})",
         "Broken\\.json.*\"Time\" is a 32-bit integer"},
        {"a component's own key", R"({"GameObject": {"name": "B", "Physics": {"velocity": [1]}}})",
         "Broken\\.json.*\"velocity\" holds exactly three numbers"},
    };
    for (const auto& broken : cases)
    {
        SCOPED_TRACE(broken.label);
        std::filesystem::remove(m_folder.Root() / "Assets/GameObjects/Broken.json");
        if (!broken.text.empty())
        {
            m_folder.Write("Assets/GameObjects/Broken.json", broken.text);
        }
        GameObject object;
        EXPECT_DEATH(object.ReadFromFile("./Assets/GameObjects/Broken.json"), broken.expected);
    }
}

TEST_F(GameObjectFileDeathTest, AChildThatContainsItselfStopsInsteadOfReadingForever)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    kp::test::WriteChild(m_folder, "Link", R"("Children": ["Ring"])");
    kp::test::WriteChild(m_folder, "Ring", R"("Children": ["Link"])");
    kp::test::WriteArchetype(m_folder, "Chain", R"("Children": ["Link"])");
    GameObject chain;
    EXPECT_DEATH(chain.ReadFromFile("./Assets/GameObjects/Chain.json"),
                 "Children/Ring\\.json.*\"Children\\[0\\]\" names a child whose file is not already being read");
}
} // namespace
