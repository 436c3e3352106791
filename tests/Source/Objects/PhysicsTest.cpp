// The Physics component: the integration step of a top-level object, children that turn with
// their parent, cloning and the reader.
#include "Objects/Physics.h"

#include "ObjectFileText.h"
#include "Objects/GameObject.h"
#include "Objects/Transform.h"

#include <gtest/gtest.h>
#include <memory>

namespace
{
using kp::test::ObjectFile;

void ExpectVecNear(glm::vec3 actual, glm::vec3 expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
    EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

TEST(Physics, OneStepOfATopLevelObjectAsATable)
{
    struct StepCase
    {
        glm::vec3 start;
        glm::vec3 velocity;
        glm::vec3 acceleration;
        float rotationalVelocity;
        float dt;
        glm::vec3 expectVelocity;
        glm::vec3 expectTranslation;
        float expectRotation;
    };
    const StepCase cases[] = {
        // Velocity takes the acceleration first; the move uses the new velocity.
        {{0, 0, 0}, {100, 0, 0}, {0, -10, 0}, 0, 0.5f, {100, -5, 0}, {50, -2.5f, 0}, 0},
        {{10, 20, 1}, {0, 0, 0}, {0, 0, 0}, 90, 0.25f, {0, 0, 0}, {10, 20, 1}, 22.5f},
        {{-5, 5, 0}, {-20, 40, 2}, {4, 0, 0}, -30, 0.1f, {-19.6f, 40, 2}, {-6.96f, 9, 0.2f}, -3},
        {{1, 2, 3}, {7, 8, 9}, {1, 1, 1}, 10, 0.0f, {7, 8, 9}, {1, 2, 3}, 0},
    };
    for (const StepCase& row : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << "velocity " << row.velocity.x << "," << row.velocity.y << " dt " << row.dt);
        GameObject object;
        auto* transform = new Transform();
        transform->translation = row.start;
        object.AddComponent(transform);
        transform->GetMatrix(); // clean, so the step must mark it
        auto* physics = new Physics();
        physics->velocity = row.velocity;
        physics->acceleration = row.acceleration;
        physics->rotationalVelocity = row.rotationalVelocity;
        object.AddComponent(physics);

        object.Update(row.dt);
        ExpectVecNear(physics->velocity, row.expectVelocity);
        ExpectVecNear(transform->translation, row.expectTranslation);
        ExpectVecNear(physics->lastTranslation, row.expectTranslation);
        EXPECT_NEAR(transform->rotation, row.expectRotation, 1e-4f);
        EXPECT_TRUE(transform->dirty);
    }
}

TEST(Physics, AChildTurnsWithItsParentButNeverMovesItself)
{
    GameObject parent;
    auto* parentTransform = new Transform();
    parent.AddComponent(parentTransform);
    auto* parentPhysics = new Physics();
    parentPhysics->velocity = {10, 0, 0};
    parentPhysics->rotationalVelocity = 40;
    parent.AddComponent(parentPhysics);

    auto* child = new GameObject();
    child->parent = &parent;
    parent.children.push_back(child);
    auto* childTransform = new Transform();
    childTransform->translation = {5, 6, 0};
    child->AddComponent(childTransform);
    auto* childPhysics = new Physics();
    childPhysics->velocity = {999, 999, 0}; // a child's own motion is not used
    childPhysics->acceleration = {1, 1, 1};
    childPhysics->rotationalVelocity = 1000;
    child->AddComponent(childPhysics);

    parent.Update(0.5f);
    EXPECT_EQ(parentTransform->translation, glm::vec3(5, 0, 0));
    EXPECT_EQ(childTransform->translation, glm::vec3(5, 6, 0));
    EXPECT_EQ(childTransform->rotation, 20.0f);
    EXPECT_TRUE(childTransform->dirty);
    EXPECT_EQ(childPhysics->lastTranslation, glm::vec3(10, 6, 0));
    EXPECT_EQ(childPhysics->velocity, glm::vec3(999, 999, 0));
    // It still moves in the world through its parent.
    EXPECT_EQ(childTransform->GetWorldTranslation(), glm::vec3(10, 6, 0));

    // Under a parent without Physics a child only records where it is.
    parent.AddComponent(new Transform()); // replaces the parent's transform: origin again
    delete parent.components[3];
    parent.components[3] = nullptr;
    childTransform->rotation = 0;
    parent.Update(0.5f);
    EXPECT_EQ(childTransform->rotation, 0.0f);
    EXPECT_EQ(childPhysics->lastTranslation, glm::vec3(5, 6, 0));
}

TEST(Physics, WithoutATransformNothingHappens)
{
    GameObject object;
    auto* physics = new Physics();
    physics->velocity = {1, 2, 3};
    object.AddComponent(physics);
    object.Update(1.0f);
    EXPECT_EQ(physics->velocity, glm::vec3(1, 2, 3));
    EXPECT_EQ(physics->lastTranslation, glm::vec3(0, 0, 0));
}

TEST(Physics, CloneCopiesEveryFieldAndReadTakesTheVelocity)
{
    Physics physics;
    physics.velocity = {1, 2, 3};
    physics.acceleration = {4, 5, 6};
    physics.lastTranslation = {7, 8, 9};
    physics.rotationalVelocity = 10;
    std::unique_ptr<Physics> copy(static_cast<Physics*>(physics.Clone()));
    EXPECT_EQ(copy->type, ComponentType::Physics);
    EXPECT_EQ(copy->velocity, physics.velocity);
    EXPECT_EQ(copy->acceleration, physics.acceleration);
    EXPECT_EQ(copy->lastTranslation, physics.lastTranslation);
    EXPECT_EQ(copy->rotationalVelocity, 10.0f);

    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    Physics read;
    read.Read(ObjectFile(R"("Physics": {"velocity": [0, -150.5, 0]})"));
    EXPECT_EQ(read.velocity, glm::vec3(0, -150.5f, 0));
    Physics defaults;
    defaults.Read(ObjectFile(R"("Physics": {})"));
    EXPECT_EQ(defaults.velocity, glm::vec3(0, 0, 0));
}

TEST(PhysicsReadDeathTest, AVelocityOfTheWrongShapeStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    Physics physics;
    EXPECT_DEATH(physics.Read(ObjectFile(R"("Physics": {"velocity": 5})")),
                 "Inline\\.json.*\"velocity\" is an array");
}
} // namespace
