// Object files read into objects: the components created by their keys (each reading its own
// keys, the collider after the transform), children read once and copied, behaviour names that
// create nothing while their classes are not built, and broken files that stop naming the file and
// the key.
#include "Objects/GameObject.h"

#include "Engine/EngineGlobals.h"
#include "ObjectAssets.h"
#include "Objects/Animation.h"
#include "Objects/Collider.h"
#include "Objects/Physics.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"

#include <gtest/gtest.h>
#include <string>

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
    // Not built yet, so nothing in their slots: the sprite (no key), the Audio and Emitter
    // components, the tower behaviour and the death burst.
    for (ComponentType absent : {ComponentType::Sprite, ComponentType::Audio, ComponentType::Behavior,
                                 ComponentType::Emitter, ComponentType::EmitterBehavior})
    {
        EXPECT_EQ(object.GetComponent(absent), nullptr) << static_cast<int>(absent);
    }
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

TEST_F(GameObjectFileTest, BehaviourNamesCreateNothingWhileTheirClassesAreNotBuilt)
{
    // Names from every row of the cascade, the Star's "Time" among them: each object is read in
    // full and its behaviour slot stays empty.
    const char* names[] = {"WoodTower", "KorvaneTypeSTypeL", "Cannon", "UpgradeHealth", "GameBackground",
                           "DwarfCity", "Star", "Star_Programer_Results", "StartButton", "SpawnButtonTop",
                           "NoMatchAtAll"};
    for (const char* behaviorName : names)
    {
        SCOPED_TRACE(behaviorName);
        kp::test::WriteArchetype(m_folder, "Holder",
                                 TransformMember(0, 0) + R"(, "Time": 45, "Behavior": {"Name": ")" + behaviorName + "\"}");
        GameObject object;
        object.ReadFromFile("./Assets/GameObjects/Holder.json");
        EXPECT_EQ(object.name, "Holder");
        EXPECT_NE(object.GetComponent<Transform>(), nullptr);
        EXPECT_EQ(object.GetComponent(ComponentType::Behavior), nullptr);
    }
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
