// The Collider component: bounds in window pixels at the current window size, the shapes read
// from a file in reference units, and the one-sided overlap test.
#include "Objects/Collider.h"

#include "Engine/EngineGlobals.h"
#include "ObjectFileText.h"
#include "Objects/GameObject.h"
#include "Objects/Transform.h"

#include <gtest/gtest.h>
#include <memory>

namespace
{
using kp::test::ObjectFile;

class ColliderTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        windowWidth = 0;
        windowHeight = 0;
    }

    // A top-level object at `position` with `scale` and a collider of `shape`.
    static std::unique_ptr<GameObject> MakeObject(glm::vec3 position, glm::vec3 scale, int shape,
                                                  float widthMod, float heightMod, float radiusMod)
    {
        auto object = std::make_unique<GameObject>();
        auto* transform = new Transform();
        transform->translation = position;
        transform->scale = scale;
        object->AddComponent(transform);
        auto* collider = new Collider();
        collider->shape = shape;
        collider->WidthMod = widthMod;
        collider->HeightMod = heightMod;
        collider->RadiusMod = radiusMod;
        object->AddComponent(collider);
        return object;
    }
};

TEST_F(ColliderTest, BoundsFollowTheWindowSizeAsATable)
{
    struct BoundsCase
    {
        float windowW;
        float windowH;
        glm::vec3 position;
        glm::vec3 scale;
        float widthMod;
        float heightMod;
        float left, right, top, bottom;
    };
    const BoundsCase cases[] = {
        // At 1280 x 720 a 200 x 100 box at (300, 0) spans 133.33 to 266.67 by -33.33 to 33.33.
        {1280, 720, {300, 0, 0}, {200, 100, 1}, 1, 1, 133.3333f, 266.6667f, 33.3333f, -33.3333f},
        {1920, 1080, {300, 0, 0}, {200, 100, 1}, 1, 1, 200, 400, 50, -50},
        {1920, 1080, {-100, 50, 0}, {200, 100, 1}, 0.5f, 2, -150, -50, 150, -50},
        // The window size is truncated to whole pixels before scaling.
        {1280.9f, 720.9f, {300, 0, 0}, {200, 100, 1}, 1, 1, 133.3333f, 266.6667f, 33.3333f, -33.3333f},
    };
    for (const BoundsCase& row : cases)
    {
        SCOPED_TRACE(::testing::Message() << row.windowW << "x" << row.windowH << " at " << row.position.x);
        windowWidth = row.windowW;
        windowHeight = row.windowH;
        auto object =
            MakeObject(row.position, row.scale, Collider::kShapeBox, row.widthMod, row.heightMod, 0);
        object->Update(0.016f);
        const auto* collider = object->GetComponent<Collider>();
        EXPECT_NEAR(collider->cornerA.x, row.left, 1e-3f);
        EXPECT_NEAR(collider->cornerB.x, row.right, 1e-3f);
        EXPECT_NEAR(collider->cornerA.y, row.top, 1e-3f);
        EXPECT_NEAR(collider->cornerB.y, row.bottom, 1e-3f);
    }

    // A circle's radius is half the scaled width times its modifier.
    windowWidth = 1280;
    windowHeight = 720;
    auto circle = MakeObject({0, 0, 0}, {90, 10, 1}, Collider::kShapeCircle, 0, 0, 2);
    circle->Update(0.016f);
    EXPECT_NEAR(circle->GetComponent<Collider>()->radius, 60.0f, 1e-4f);
}

TEST_F(ColliderTest, OverlapAsksOnlyAboutThisShapeAndTheOtherPosition)
{
    windowWidth = 1920;
    windowHeight = 1080;
    auto big = MakeObject({0, 0, 0}, {100, 100, 1}, Collider::kShapeCircle, 0, 0, 1);  // radius 50
    auto small = MakeObject({40, 0, 0}, {20, 20, 1}, Collider::kShapeCircle, 0, 0, 1); // radius 10
    auto box = MakeObject({0, 100, 0}, {200, 100, 1}, Collider::kShapeBox, 1, 1, 0); // x -100..100, y 50..150
    auto lowerCase = MakeObject({0, 0, 0}, {100, 100, 1}, Collider::kShapeNone, 0, 0, 1);
    for (auto* object : {big.get(), small.get(), box.get(), lowerCase.get()})
    {
        object->Update(0.016f);
    }
    const Collider& bigCollider = *big->GetComponent<Collider>();
    const Collider& smallCollider = *small->GetComponent<Collider>();
    const Collider& boxCollider = *box->GetComponent<Collider>();
    const Collider& noShape = *lowerCase->GetComponent<Collider>();

    EXPECT_TRUE(bigCollider.Overlaps(smallCollider));  // 40 <= 50
    EXPECT_FALSE(smallCollider.Overlaps(bigCollider)); // 40 > 10
    EXPECT_TRUE(bigCollider.Overlaps(noShape));        // the other's shape does not matter
    EXPECT_FALSE(noShape.Overlaps(bigCollider));       // no shape never overlaps

    // The box contains the other's point (inclusive edges); the other's box is never consulted.
    auto onEdge = MakeObject({100, 50, 0}, {1, 1, 1}, Collider::kShapeBox, 1000, 1000, 0);
    onEdge->Update(0.016f);
    EXPECT_TRUE(boxCollider.Overlaps(*onEdge->GetComponent<Collider>()));
    auto outside = MakeObject({100.01f, 50, 0}, {1000, 1000, 1}, Collider::kShapeBox, 1, 1, 0);
    outside->Update(0.016f);
    EXPECT_FALSE(boxCollider.Overlaps(*outside->GetComponent<Collider>()));
    EXPECT_TRUE(outside->GetComponent<Collider>()->Overlaps(boxCollider)); // its own big box holds (0, 100)
    EXPECT_FALSE(boxCollider.Overlaps(bigCollider));                       // (0, 0) is below the box

    // The circle's distance is measured in three dimensions.
    auto deep = MakeObject({30, 0, 45}, {1, 1, 1}, Collider::kShapeNone, 0, 0, 0);
    EXPECT_FALSE(bigCollider.Overlaps(*deep->GetComponent<Collider>())); // sqrt(30^2 + 45^2) > 50
    deep->GetComponent<Transform>()->translation.z = 40;
    EXPECT_TRUE(bigCollider.Overlaps(*deep->GetComponent<Collider>())); // exactly 50

    // A collider without an owner or a transform overlaps nothing.
    Collider loose;
    EXPECT_FALSE(bigCollider.Overlaps(loose));
    EXPECT_FALSE(loose.Overlaps(bigCollider));
}

TEST_F(ColliderTest, ReadingComputesTheShapeInReferenceUnits)
{
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    struct ReadCase
    {
        std::string members;
        int shape;
        float radius;
        glm::vec3 cornerA;
        glm::vec3 cornerB;
    };
    const ReadCase cases[] = {
        {R"("Collider": {"Type": "Circle", "RadiusMod": 0.5})",
         Collider::kShapeCircle,
         100,
         {0, 0, 0},
         {0, 0, 0}},
        {R"("Collider": {"Type": "Box", "WidthMod": 0.5, "HeightMod": 2})",
         Collider::kShapeBox,
         0,
         {250, 120, 1},
         {350, -80, 1}},
        {R"("Collider": {"Type": "box", "WidthMod": 1, "HeightMod": 1})",
         Collider::kShapeNone,
         0,
         {0, 0, 0},
         {0, 0, 0}},
        {R"("Collider": {"Type": "Circle "})", Collider::kShapeNone, 0, {0, 0, 0}, {0, 0, 0}},
    };
    for (const ReadCase& row : cases)
    {
        SCOPED_TRACE(row.members);
        // An object at (300, 20) with scale (200, 100), as the object reader builds it: the
        // Transform first, then the collider added and read.
        GameObject object;
        auto* transform = new Transform();
        transform->translation = {300, 20, 0};
        transform->scale = {200, 100, 1};
        object.AddComponent(transform);
        auto* collider = new Collider();
        object.AddComponent(collider);
        collider->Read(ObjectFile(row.members));
        EXPECT_EQ(collider->shape, row.shape);
        EXPECT_FLOAT_EQ(collider->radius, row.radius);
        EXPECT_EQ(collider->cornerA, row.cornerA);
        EXPECT_EQ(collider->cornerB, row.cornerB);
    }

    // Without a Transform the shape stays none, whatever the type.
    GameObject bare;
    auto* collider = new Collider();
    bare.AddComponent(collider);
    collider->Read(ObjectFile(R"("Collider": {"Type": "Circle", "RadiusMod": 1})"));
    EXPECT_EQ(collider->shape, Collider::kShapeNone);
    EXPECT_EQ(collider->RadiusMod, 0.0f);
}

TEST(ColliderReadDeathTest, MissingModifiersStopNamingTheKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    const struct
    {
        const char* members;
        const char* expected;
    } cases[] = {
        {R"("Collider": {"Type": "Box", "WidthMod": 1})", "\"HeightMod\" is present"},
        {R"("Collider": {"Type": "Circle", "RadiusMod": true})", "\"RadiusMod\" is a number"},
        {R"("Collider": {"type": "Circle"})", "\"Type\" is present"},
    };
    for (const auto& broken : cases)
    {
        SCOPED_TRACE(broken.members);
        GameObject object;
        object.AddComponent(new Transform());
        auto* collider = new Collider();
        object.AddComponent(collider);
        EXPECT_DEATH(collider->Read(ObjectFile(broken.members)),
                     std::string("Inline\\.json.*") + broken.expected);
    }
}

TEST(Collider, CloneCopiesEveryField)
{
    Collider collider;
    collider.shape = Collider::kShapeBox;
    collider.radius = 1;
    collider.cornerA = {2, 3, 1};
    collider.cornerB = {4, 5, 1};
    collider.WidthMod = 6;
    collider.HeightMod = 7;
    collider.RadiusMod = 8;
    std::unique_ptr<Collider> copy(static_cast<Collider*>(collider.Clone()));
    EXPECT_EQ(copy->type, ComponentType::Collider);
    EXPECT_EQ(copy->shape, Collider::kShapeBox);
    EXPECT_EQ(copy->radius, 1.0f);
    EXPECT_EQ(copy->cornerA, collider.cornerA);
    EXPECT_EQ(copy->cornerB, collider.cornerB);
    EXPECT_EQ(copy->WidthMod, 6.0f);
    EXPECT_EQ(copy->HeightMod, 7.0f);
    EXPECT_EQ(copy->RadiusMod, 8.0f);
}
} // namespace
