// The Transform component: its world matrix against glm, the parent chain, the cached matrix and
// the reader.
#include "Objects/Transform.h"

#include "ObjectFileText.h"
#include "Objects/GameObject.h"

#include <glm/ext/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace
{
using kp::test::ObjectFile;

void ExpectMatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int column = 0; column < 4; ++column)
    {
        for (int row = 0; row < 4; ++row)
        {
            EXPECT_NEAR(actual[column][row], expected[column][row], 1e-4f)
                << "column " << column << " row " << row;
        }
    }
}

// glm's own composition: translate(t) x rotateZ(degrees) x scale(sx, sy, 1).
glm::mat4 GlmWorld(glm::vec3 t, float degrees, glm::vec3 scale)
{
    return glm::translate(glm::mat4(1.0f), t) *
           glm::rotate(glm::mat4(1.0f), glm::radians(degrees), glm::vec3(0.0f, 0.0f, 1.0f)) *
           glm::scale(glm::mat4(1.0f), glm::vec3(scale.x, scale.y, 1.0f));
}

TEST(Transform, WorldMatrixOfATopLevelObjectAgreesWithGlm)
{
    struct MatrixCase
    {
        glm::vec3 translation;
        float rotation;
        glm::vec3 scale;
    };
    const MatrixCase cases[] = {
        {{0, 0, 0}, 0, {1, 1, 1}},
        {{0, 0, 0}, 90, {2, 3, 1}},
        {{10, 20, 5}, 0, {1, 1, 1}},          // z of a top-level translation is not used
        {{-300, 125.5f, 0}, 45, {64, 48, 7}}, // z of the scale is not used
        {{7, -8, 0}, -30, {-1, 2, 1}},
        {{0, 0, 0}, 720, {1, 1, 1}},
    };
    for (const MatrixCase& row : cases)
    {
        SCOPED_TRACE(::testing::Message()
                     << "rotation " << row.rotation << " translation " << row.translation.x);
        GameObject object;
        auto* transform = new Transform();
        object.AddComponent(transform);
        transform->translation = row.translation;
        transform->rotation = row.rotation;
        transform->scale = row.scale;
        ExpectMatrixNear(
            transform->GetMatrix(),
            GlmWorld(glm::vec3(row.translation.x, row.translation.y, 0.0f), row.rotation, row.scale));
        EXPECT_FALSE(transform->dirty);
    }

    // Rotation 90 with scale (2, 3, 1) turns the x axis into (0, 2) and the y axis into (-3, 0).
    Transform alone;
    alone.rotation = 90;
    alone.scale = {2, 3, 1};
    const glm::mat4& world = alone.GetMatrix();
    EXPECT_NEAR(world[0][0], 0.0f, 1e-6f);
    EXPECT_NEAR(world[0][1], 2.0f, 1e-6f);
    EXPECT_NEAR(world[1][0], -3.0f, 1e-6f);
    EXPECT_NEAR(world[1][1], 0.0f, 1e-6f);
}

TEST(Transform, AChildAddsItsParentChainsTranslationButNotItsRotationOrScale)
{
    GameObject grandparent;
    auto* top = new Transform();
    top->translation = {1, 1, 1};
    top->rotation = 60;
    top->scale = {5, 5, 5};
    grandparent.AddComponent(top);

    auto* parent = new GameObject();
    parent->parent = &grandparent;
    grandparent.children.push_back(parent);
    auto* middle = new Transform();
    middle->translation = {10, 20, 5};
    parent->AddComponent(middle);

    auto* child = new GameObject();
    child->parent = parent;
    parent->children.push_back(child);
    auto* leaf = new Transform();
    leaf->translation = {100, -50, 2};
    leaf->rotation = 90;
    leaf->scale = {2, 3, 1};
    child->AddComponent(leaf);

    // (10, 20, 5) on a child of an object at (1, 1, 1) gives (11, 21, 6): z is kept for children.
    EXPECT_EQ(middle->GetWorldTranslation(), glm::vec3(11, 21, 6));
    EXPECT_EQ(middle->GetMatrix()[3], glm::vec4(11, 21, 6, 1));
    EXPECT_EQ(leaf->GetWorldTranslation(), glm::vec3(111, -29, 8));
    ExpectMatrixNear(leaf->GetMatrix(), GlmWorld({111, -29, 8}, 90, {2, 3, 1}));

    // The cached matrix stays until the child is marked dirty, even though the parent moved.
    top->translation = {0, 0, 0};
    EXPECT_EQ(leaf->GetMatrix()[3], glm::vec4(111, -29, 8, 1));
    leaf->dirty = true;
    EXPECT_EQ(leaf->GetMatrix()[3], glm::vec4(110, -30, 7, 1));

    // A parent without a Transform adds nothing.
    GameObject bare;
    auto* orphan = new GameObject();
    orphan->parent = &bare;
    bare.children.push_back(orphan);
    auto* own = new Transform();
    own->translation = {3, 4, 5};
    orphan->AddComponent(own);
    EXPECT_EQ(own->GetWorldTranslation(), glm::vec3(3, 4, 5));
    EXPECT_EQ(own->GetMatrix()[3], glm::vec4(3, 4, 5, 1));
}

TEST(Transform, CloneCopiesEveryFieldWithoutTheOwner)
{
    GameObject object;
    auto* transform = new Transform();
    object.AddComponent(transform);
    transform->translation = {1, 2, 3};
    transform->rotation = 15;
    transform->scale = {4, 5, 6};
    const glm::mat4 world = transform->GetMatrix();
    transform->translation = {9, 9, 9}; // changed but not yet marked: the clone keeps the stale cache
    std::unique_ptr<Transform> copy(static_cast<Transform*>(transform->Clone()));
    EXPECT_EQ(copy->type, ComponentType::Transform);
    EXPECT_EQ(copy->owner, nullptr);
    EXPECT_EQ(copy->translation, glm::vec3(9, 9, 9));
    EXPECT_EQ(copy->rotation, 15.0f);
    EXPECT_EQ(copy->scale, glm::vec3(4, 5, 6));
    EXPECT_EQ(copy->world, world);
    EXPECT_FALSE(copy->dirty);
}

TEST(TransformRead, KeysAreOptionalAndReadAsFloats)
{
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    struct ReadCase
    {
        std::string members;
        glm::vec3 translation;
        float rotation;
        glm::vec3 scale;
    };
    const ReadCase cases[] = {
        {R"("Transform": {})", {0, 0, 0}, 0, {1, 1, 1}},
        {R"("Transform": {"translation": [-400, 250.5, 0]})", {-400, 250.5f, 0}, 0, {1, 1, 1}},
        {R"("Transform": {"rotation": 90, "scale": [64, 32.5, 1]})", {0, 0, 0}, 90, {64, 32.5f, 1}},
        {R"("Sprite": {}, "Transform": {"translation": [1, 2, 3], "rotation": -12.25, "scale": [4, 5, 6]})",
         {1, 2, 3},
         -12.25f,
         {4, 5, 6}},
    };
    for (const ReadCase& row : cases)
    {
        SCOPED_TRACE(row.members);
        Transform transform;
        transform.Read(ObjectFile(row.members));
        EXPECT_EQ(transform.translation, row.translation);
        EXPECT_EQ(transform.rotation, row.rotation);
        EXPECT_EQ(transform.scale, row.scale);
        EXPECT_TRUE(transform.dirty);
    }
}

TEST(TransformReadDeathTest, MalformedMembersStopNamingTheFileAndKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    trindle::JsonFileScope scope(kp::test::kInlineObjectFile);
    struct BrokenCase
    {
        std::string text;
        const char* expected;
    };
    const BrokenCase cases[] = {
        {ObjectFile(R"("Transform": {"translation": [1, 2, 3, 4]})"), "\"translation\" holds exactly three"},
        {ObjectFile(R"("Transform": {"scale": [1, 2]})"), "\"scale\" holds exactly three"},
        {ObjectFile(R"("Transform": {"rotation": "90"})"), "\"rotation\" is a number"},
        {ObjectFile(R"("Transform": {"translation": [1, "2", 3]})"), "\"translation\\[1\\]\" is a number"},
        {ObjectFile(R"("Transform": [1, 2, 3])"), "\"Transform\" is an object"},
        {ObjectFile(""), "\"Transform\" is present"},
        {R"({"Object": {}})", "\"GameObject\" is present"},
        {"", "exists and is not empty"},
    };
    for (const BrokenCase& broken : cases)
    {
        SCOPED_TRACE(broken.text);
        Transform transform;
        EXPECT_DEATH(transform.Read(broken.text),
                     std::string("Malformed JSON asset \"\\./Assets/GameObjects/Inline\\.json\".*") +
                         broken.expected);
    }
}
} // namespace
