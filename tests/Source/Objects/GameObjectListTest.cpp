// Object lists: creating by archetype name (read once, then copied), finding, removing and moving,
// initialising behaviours, the ordered-pair collision pass, and launching airships under unique
// names.
#include "Objects/GameObjectList.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Timer.h"
#include "Game/Korvane.h"
#include "ObjectAssets.h"
#include "Objects/GameObject.h"
#include "Objects/Transform.h"
#include "ProbeBehavior.h"

#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::AttachProbe;
using kp::test::TransformMember;
using kp::test::WorkingFolder;
using Log = std::vector<std::string>;

class GameObjectListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windowWidth = 1920;
        windowHeight = 1080;
    }
    void TearDown() override
    {
        m_list.DestroyAll();
        m_other.DestroyAll();
        DeleteAllTimers();
        windowWidth = 0;
        windowHeight = 0;
    }

    AssetFolder m_folder;
    WorkingFolder m_working{m_folder.Root()};
    GameObjectList m_list;
    GameObjectList m_other;
};

TEST_F(GameObjectListTest, CreatingANameTwiceReadsItsFileOnceAndCopiesTheFirst)
{
    kp::test::WriteArchetype(m_folder, "Rock", TransformMember(10, 20));
    GameObject* first = m_list.CreateFromFile("Rock");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->listPosition, 1);

    // The file changes, but the second object is a copy of the first, not a new read.
    kp::test::WriteArchetype(m_folder, "Rock", TransformMember(99, 99));
    GameObject* second = m_list.CreateFromFile("Rock");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->name, "Rock");
    EXPECT_EQ(second->listPosition, 2);
    EXPECT_EQ(second->GetComponent<Transform>()->translation, glm::vec3(10, 20, 0));
    EXPECT_EQ(m_list.Find("Rock"), first);
    EXPECT_EQ(m_list.entries, (std::deque<GameObject*>{first, second}));

    EXPECT_EQ(m_list.CreateFromFile(nullptr), nullptr);
    EXPECT_EQ(m_list.entries.size(), 2u);
}

TEST_F(GameObjectListTest, FindIsExactAndLooksAtTopLevelObjectsOnly)
{
    kp::test::WriteChild(m_folder, "Hidden");
    kp::test::WriteArchetype(m_folder, "Cannon2", R"("Children": ["Hidden"])");
    kp::test::WriteArchetype(m_folder, "Cannon");
    m_list.CreateFromFile("Cannon2");
    GameObject* cannon = m_list.CreateFromFile("Cannon");
    m_list.entries.push_front(nullptr); // skipped by every operation
    EXPECT_EQ(m_list.Find("Cannon"), cannon);
    EXPECT_EQ(m_list.Find("Hidden"), nullptr);
    EXPECT_EQ(m_list.Find("cannon"), nullptr);
    EXPECT_EQ(m_list.Find(""), nullptr);
    m_list.InitAll();
    m_list.CollideAll();
    m_list.entries.pop_front();
}

TEST_F(GameObjectListTest, RemoveTakesAnObjectOutWithoutDeletingIt)
{
    kp::test::WriteArchetype(m_folder, "Display");
    GameObject* display = m_list.CreateFromFile("Display");
    GameObject* other = m_list.CreateFromFile("Display");

    GameObject stranger;
    m_list.Remove(&stranger);
    EXPECT_EQ(m_list.entries.size(), 2u) << "an object that is not in the list changes nothing";

    // Moving to another list moves the very object.
    m_list.Remove(display);
    m_other.entries.push_back(display);
    EXPECT_EQ(m_list.entries, (std::deque<GameObject*>{other}));
    EXPECT_EQ(m_other.Find("Display"), display);
    EXPECT_EQ(display->name, "Display");

    m_list.DestroyAll();
    EXPECT_TRUE(m_list.entries.empty());
    EXPECT_EQ(m_other.Find("Display"), display) << "objects of other lists are untouched";
}

TEST_F(GameObjectListTest, InitAllReachesChildrenButNotGrandchildren)
{
    kp::test::WriteChild(m_folder, "Grandchild");
    kp::test::WriteChild(m_folder, "Child", R"("Children": ["Grandchild"])");
    kp::test::WriteArchetype(m_folder, "Parent", R"("Children": ["Child"])");
    Log log;
    GameObject* parent = m_list.CreateFromFile("Parent");
    GameObject* child = parent->children[0];
    AttachProbe(*parent, log);
    AttachProbe(*child, log);
    AttachProbe(*child->children[0], log);
    auto* burst = new kp::test::ProbeBehavior("burst", log);
    burst->type = ComponentType::EmitterBehavior;
    child->AddComponent(burst);

    m_list.InitAll();
    EXPECT_EQ(log, (Log{"init Parent", "init Child", "init burst"}));
}

// Objects for the collision pass: a name, a position and a collider.
struct Placed
{
    const char* name;
    float x;
    float y;
    const char* collider; // the "Collider" member, or empty for none
    bool hasBehavior;
};

TEST_F(GameObjectListTest, CollisionsAreReportedForEveryOrderedPair)
{
    constexpr const char* kCircle = R"("Collider": {"Type": "Circle", "RadiusMod": 100})";
    constexpr const char* kSmallBox = R"("Collider": {"Type": "Box", "WidthMod": 10, "HeightMod": 10})";
    const struct
    {
        const char* label;
        std::vector<Placed> objects;
        Log expected;
    } cases[] = {
        {"one object", {{"A", 0, 0, kCircle, true}}, {}},
        {"only A's circle holds B: one call on each side",
         {{"A", 0, 0, kCircle, true}, {"B", 50, 0, kSmallBox, true}},
         {"A hit B", "B hit A"}},
        {"only B's circle holds A, found on the pair (B, A)",
         {{"A", 50, 0, kSmallBox, true}, {"B", 0, 0, kCircle, true}},
         {"B hit A", "A hit B"}},
        {"each holds the other: two calls on each side",
         {{"A", 0, 0, kCircle, true}, {"B", 50, 0, kCircle, true}},
         {"A hit B", "B hit A", "B hit A", "A hit B"}},
        {"too far apart", {{"A", 0, 0, kCircle, true}, {"B", 500, 0, kCircle, true}}, {}},
        {"B without a collider", {{"A", 0, 0, kCircle, true}, {"B", 50, 0, "", true}}, {}},
        {"A without a behaviour: only B hears", {{"A", 0, 0, kCircle, false}, {"B", 50, 0, kSmallBox, true}},
         {"B hit A"}},
        {"three in a row: pairs in list order",
         {{"A", 0, 0, kCircle, true}, {"B", 1000, 0, kSmallBox, true}, {"C", 60, 0, kSmallBox, true}},
         {"A hit C", "C hit A"}},
    };
    for (const auto& row : cases)
    {
        SCOPED_TRACE(row.label);
        Log log;
        for (const Placed& placed : row.objects)
        {
            std::string members = TransformMember(placed.x, placed.y);
            if (*placed.collider != '\0')
            {
                members += std::string(", ") + placed.collider;
            }
            kp::test::WriteArchetype(m_folder, placed.name, members);
            GameObject* object = m_list.CreateFromFile(placed.name);
            if (placed.hasBehavior)
            {
                AttachProbe(*object, log);
            }
        }
        m_list.CollideAll();
        EXPECT_EQ(log, row.expected);
        m_list.DestroyAll();
    }
}

TEST_F(GameObjectListTest, ChildrenAndOtherListsNeverCollide)
{
    constexpr const char* kCircle = R"("Collider": {"Type": "Circle", "RadiusMod": 100})";
    kp::test::WriteChild(m_folder, "Turret", TransformMember(0, 0) + ", " + kCircle);
    kp::test::WriteArchetype(m_folder, "Ship", TransformMember(0, 0) + R"(, "Children": ["Turret"])");
    kp::test::WriteArchetype(m_folder, "Rock", TransformMember(10, 0) + ", " + kCircle);
    Log log;
    GameObject* ship = m_list.CreateFromFile("Ship");
    AttachProbe(*ship->children[0], log);
    AttachProbe(*m_other.CreateFromFile("Rock"), log);
    AttachProbe(*m_list.CreateFromFile("Rock"), log);
    m_list.CollideAll();
    EXPECT_TRUE(log.empty()) << log.front();
}

class AirshipLaunchTest : public GameObjectListTest
{
protected:
    // "Korvane1" followed by a version-4 UUID in lowercase, 8-4-4-4-12.
    const std::regex m_launchedName{"Korvane1[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}"};
};

TEST_F(AirshipLaunchTest, LaunchesCopyTheArchetypeUnderAUniqueName)
{
    kp::test::WriteChild(m_folder, "Cannon", TransformMember(5, 0));
    kp::test::WriteArchetype(m_folder, "Korvane1", TransformMember(-2000, 0, 64, 32) + R"(,
        "Stats": [{"ListCount": 1, "MaxHealth": 30}], "Children": ["Cannon"])");
    GameObject* archetype = m_list.CreateFromFile("Korvane1");

    GameObject* first = m_list.SpawnKorvane(glm::vec3(-800, 120, 0), 1);
    GameObject* second = m_list.SpawnKorvane(glm::vec3(-800, -120, 0), 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(std::regex_match(first->name, m_launchedName)) << first->name;
    EXPECT_TRUE(std::regex_match(second->name, m_launchedName)) << second->name;
    EXPECT_NE(first->name, second->name);
    EXPECT_EQ(archetype->name, "Korvane1") << "the archetype keeps its name";
    EXPECT_EQ(m_list.Find("Korvane1"), archetype);
    EXPECT_EQ(m_list.entries, (std::deque<GameObject*>{archetype, first, second}));
    EXPECT_EQ(first->listPosition, 2);
    EXPECT_EQ(second->listPosition, 3);

    const auto* transform = first->GetComponent<Transform>();
    EXPECT_EQ(transform->translation, glm::vec3(-800, 120, 0));
    EXPECT_EQ(transform->scale, glm::vec3(64, 32, 1));
    EXPECT_TRUE(transform->dirty);
    EXPECT_EQ(archetype->GetComponent<Transform>()->translation, glm::vec3(-2000, 0, 0));
    ASSERT_EQ(first->children.size(), 1u);
    EXPECT_EQ(first->children[0]->parent, first);
    EXPECT_EQ(first->children[0]->GetComponent<Transform>()->GetWorldTranslation(), glm::vec3(-795, 120, 0));
    // A new airship behaviour of the type, initialised (state 0, a launch-cloud timer) and flying
    // from its first update.
    const auto* airship = first->GetComponent<Korvane>();
    ASSERT_NE(airship, nullptr);
    EXPECT_EQ(airship->type, 1);
    EXPECT_EQ(airship->currentState, Korvane::kHalted);
    EXPECT_EQ(airship->nextState, Korvane::kFlying);
    EXPECT_NE(airship->startTimer, nullptr);

    // Many launches, no name twice.
    std::set<std::string> names;
    for (int launch = 0; launch < 64; ++launch)
    {
        names.insert(m_list.SpawnKorvane(glm::vec3(0), 1)->name);
    }
    EXPECT_EQ(names.size(), 64u);
}

TEST_F(AirshipLaunchTest, WithoutTheArchetypeInTheListItsFileIsReadUnderItsOwnName)
{
    kp::test::WriteArchetype(m_folder, "Korvane2", TransformMember(-2000, 0));
    GameObject* airship = m_list.SpawnKorvane(glm::vec3(-700, 40, 0), 2);
    ASSERT_NE(airship, nullptr);
    EXPECT_EQ(airship->name, "Korvane2");
    EXPECT_EQ(airship->listPosition, 1);
    EXPECT_EQ(airship->GetComponent<Transform>()->translation, glm::vec3(-700, 40, 0));
}

TEST_F(AirshipLaunchTest, AnArchetypeWithoutATransformLaunchesWithoutOne)
{
    // The position has nowhere to go; the launch must not fail on the missing component.
    kp::test::WriteArchetype(m_folder, "Korvane3");
    GameObject* fromFile = m_list.SpawnKorvane(glm::vec3(1, 2, 0), 3);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->GetComponent<Transform>(), nullptr);
    GameObject* copied = m_list.SpawnKorvane(glm::vec3(1, 2, 0), 3);
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->name.rfind("Korvane3", 0), 0u);
    EXPECT_EQ(copied->name.size(), std::string("Korvane3").size() + 36);
}
} // namespace
