// Scenes: built from their files (an archetype named twice is read once), the play field's
// starting units, the update pass (inactive scenes stand still, destroyed objects go, and an
// update that moves objects between lists leaves the pass safe), and broken scene files.
#include "Objects/Scene.h"

#include "Engine/EngineGlobals.h"
#include "ObjectAssets.h"
#include "Objects/GameObject.h"
#include "Objects/Transform.h"
#include "ProbeBehavior.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::AttachProbe;
using kp::test::TransformMember;
using kp::test::WorkingFolder;
using Log = std::vector<std::string>;

class SceneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windowWidth = 1920;
        windowHeight = 1080;
        for (const char* name : {"Sky", "Hill", "Korvane1", "Korvane2", "Korvane3"})
        {
            kp::test::WriteArchetype(m_folder, name, TransformMember(0, 0));
        }
    }
    void TearDown() override
    {
        windowWidth = 0;
        windowHeight = 0;
    }

    static std::vector<std::string> Names(const GameObjectList& list)
    {
        std::vector<std::string> names;
        for (const GameObject* object : list.entries)
        {
            names.push_back(object->name);
        }
        return names;
    }

    AssetFolder m_folder;
    WorkingFolder m_working{m_folder.Root()};
};

TEST_F(SceneTest, ASceneIsBuiltInactiveFromItsFile)
{
    kp::test::WriteScene(m_folder, "Meadow", {"Sky", "Hill", "Sky"});
    Scene scene("Meadow");
    EXPECT_FALSE(scene.active);
    EXPECT_EQ(scene.name, "Meadow");
    EXPECT_EQ(Names(scene.objects), (std::vector<std::string>{"Sky", "Hill", "Sky"}));
    EXPECT_NE(scene.objects.entries[0], scene.objects.entries[2]);
    EXPECT_TRUE(scene.stash.entries.empty());
    EXPECT_EQ(scene.objects.entries[2]->listPosition, 3);
    scene.DestroyObjects();
    EXPECT_TRUE(scene.objects.entries.empty());
}

TEST_F(SceneTest, OnlyThePlayFieldGetsTheAirshipArchetypesEachTime)
{
    kp::test::WriteScene(m_folder, "Sandbox", {"Hill"});
    kp::test::WriteScene(m_folder, "Sandbox2", {"Hill"});
    Scene playField("Sandbox");
    playField.AddStartingUnits();
    EXPECT_EQ(Names(playField.objects), (std::vector<std::string>{"Hill", "Korvane1", "Korvane2", "Korvane3"}));
    playField.AddStartingUnits();
    EXPECT_EQ(playField.objects.entries.size(), 7u) << "opened again: three more copies";

    Scene lookalike("Sandbox2");
    lookalike.AddStartingUnits();
    EXPECT_EQ(Names(lookalike.objects), (std::vector<std::string>{"Hill"}));
    playField.DestroyObjects();
    lookalike.DestroyObjects();
}

TEST_F(SceneTest, UpdateCollidesThenUpdatesAndDeletesDestroyedObjects)
{
    kp::test::WriteArchetype(m_folder, "Ball",
                             TransformMember(0, 0) + R"(, "Collider": {"Type": "Circle", "RadiusMod": 10})");
    kp::test::WriteScene(m_folder, "Court", {"Ball", "Hill", "Ball"});
    Scene scene("Court");
    Log log;
    for (GameObject* object : scene.objects.entries)
    {
        AttachProbe(*object, log);
    }
    GameObject* hill = scene.objects.entries[1];

    scene.Update(0.5f);
    EXPECT_TRUE(log.empty()) << "an inactive scene does nothing";

    scene.active = true;
    hill->destroyed = true;
    scene.Update(0.5f);
    EXPECT_EQ(log, (Log{"Ball hit Ball", "Ball hit Ball", "Ball hit Ball", "Ball hit Ball", "update Ball",
                        "update Hill", "update Ball"}));
    EXPECT_EQ(Names(scene.objects), (std::vector<std::string>{"Ball", "Ball"})) << "the destroyed one is gone";
    scene.DestroyObjects();
}

TEST_F(SceneTest, UpdatesThatMoveObjectsBetweenListsKeepThePassSafe)
{
    kp::test::WriteScene(m_folder, "Menu", {"Sky", "Hill", "Korvane1", "Korvane2"});
    Scene scene("Menu");
    scene.active = true;
    Log log;
    GameObject* sky = scene.objects.entries[0];
    GameObject* hill = scene.objects.entries[1];
    GameObject* first = scene.objects.entries[2];
    GameObject* second = scene.objects.entries[3];
    for (GameObject* object : scene.objects.entries)
    {
        AttachProbe(*object, log);
    }
    // The first object hides the next one and shows a new one, as the selection buttons do with
    // their stat displays; a later one takes itself out of the list.
    sky->GetComponent<kp::test::ProbeBehavior>()->SetOnUpdate(
        [&]
        {
            scene.objects.Remove(hill);
            scene.stash.entries.push_back(hill);
            scene.objects.CreateFromFile("Korvane3");
        });
    first->GetComponent<kp::test::ProbeBehavior>()->SetOnUpdate(
        [&]
        {
            scene.objects.Remove(first);
            scene.stash.entries.push_back(first);
        });

    scene.Update(0.1f);
    EXPECT_EQ(log, (Log{"update Sky", "update Korvane1", "update Korvane2"}))
        << "the hidden object is skipped; the new one waits for the next frame";
    EXPECT_EQ(Names(scene.objects), (std::vector<std::string>{"Sky", "Korvane2", "Korvane3"}));
    EXPECT_EQ(Names(scene.stash), (std::vector<std::string>{"Hill", "Korvane1"}));
    EXPECT_EQ(scene.objects.entries[1], second);
    scene.DestroyObjects();
}

using SceneDeathTest = SceneTest;

TEST_F(SceneDeathTest, BrokenSceneFilesStopNamingTheFileAndTheKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct
    {
        const char* label;
        const char* text; // null: no file
        const char* expected;
    } cases[] = {
        {"missing", nullptr, "Spaces/Broken\\.json.*the file exists and is not empty"},
        {"not JSON", "{\"Objects\": [", "Spaces/Broken\\.json.*valid JSON"},
        {"root not an object", "[\"Sky\"]", "Spaces/Broken\\.json.*\"Objects\" is looked up in something"},
        {"no list", R"({"objects": ["Sky"]})", "Spaces/Broken\\.json.*\"Objects\" is present"},
        {"list not an array", R"({"Objects": "Sky"})", "Spaces/Broken\\.json.*\"Objects\" is an array"},
        {"name not a string", R"({"Objects": ["Sky", 2]})", "Spaces/Broken\\.json.*\"Objects\\[1\\]\" is a string"},
        {"missing archetype", R"({"Objects": ["Sky", "Nowhere"]})",
         "GameObjects/Nowhere\\.json.*the file exists and is not empty"},
    };
    for (const auto& broken : cases)
    {
        SCOPED_TRACE(broken.label);
        std::filesystem::remove(m_folder.Root() / "Assets/Spaces/Broken.json");
        if (broken.text != nullptr)
        {
            m_folder.Write("Assets/Spaces/Broken.json", broken.text);
        }
        EXPECT_DEATH(Scene scene("Broken"), broken.expected);
    }
}
} // namespace
