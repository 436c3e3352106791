// The object model: component slots, children, the update and draw order, the parent-alpha rule,
// child look-up and the copy rules.
#include "Objects/GameObject.h"

#include "Objects/Sprite.h"
#include "Objects/Transform.h"
#include "ProbeComponent.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace
{
using kp::test::ProbeComponent;
using Log = std::vector<std::string>;

GameObject* AddChild(GameObject& parent, const std::string& name)
{
    auto* child = new GameObject();
    child->name = name;
    child->parent = &parent;
    parent.children.push_back(child);
    return child;
}

TEST(GameObject, ComponentsGoToTheSlotOfTheirKind)
{
    Log log;
    GameObject object;
    auto* stats = new ProbeComponent(ComponentType::Stats, "stats", log);
    EXPECT_EQ(stats->owner, nullptr); // not added yet
    object.AddComponent(stats);
    EXPECT_EQ(stats->owner, &object);
    EXPECT_EQ(object.components[7], stats);
    EXPECT_EQ(object.GetComponent(ComponentType::Stats), stats);
    object.AddComponent(nullptr); // nothing happens
    for (int slot = 0; slot < kComponentSlotCount; ++slot)
    {
        EXPECT_EQ(object.components[static_cast<size_t>(slot)] != nullptr, slot == 7) << slot;
    }

    // A second component of the same kind leaves only the second in the slot; the first, which
    // nothing else owns, is deleted rather than lost.
    auto* second = new ProbeComponent(ComponentType::Stats, "second", log);
    object.AddComponent(second);
    EXPECT_EQ(object.components[7], second);
    EXPECT_EQ(log, (Log{"delete stats"}));
    object.AddComponent(second); // adding the same one again keeps it
    EXPECT_EQ(object.components[7], second);
    EXPECT_EQ(log.size(), 1u);

    // The typed look-up answers only a component of the class asked for.
    EXPECT_EQ(object.GetComponent<Transform>(), nullptr);
    object.AddComponent(new ProbeComponent(ComponentType::Transform, "not a transform", log));
    EXPECT_EQ(object.GetComponent<Transform>(), nullptr);
}

TEST(GameObject, UpdatesAndDrawsComponentsInSlotOrderThenChildren)
{
    Log log;
    {
        GameObject parent;
        parent.name = "parent";
        // Added out of order; empty slots are skipped.
        for (ComponentType kind : {ComponentType::EmitterBehavior, ComponentType::Behavior,
                                   ComponentType::Transform, ComponentType::Collider})
        {
            parent.AddComponent(new ProbeComponent(kind, "p" + std::to_string(SlotOf(kind)), log));
        }
        GameObject* first = AddChild(parent, "first");
        first->AddComponent(new ProbeComponent(ComponentType::Audio, "c1", log));
        GameObject* grandchild = AddChild(*first, "grandchild");
        grandchild->AddComponent(new ProbeComponent(ComponentType::Sprite, "g", log));
        GameObject* second = AddChild(parent, "second");
        second->AddComponent(new ProbeComponent(ComponentType::Physics, "c2", log));

        parent.Update(0.016f);
        EXPECT_EQ(log, (Log{"update p0", "update p4", "update p6", "update p9", "update c1", "update g",
                            "update c2"}));
        log.clear();
        parent.Draw();
        EXPECT_EQ(log, (Log{"draw p0", "draw p4", "draw p6", "draw p9", "draw c1", "draw g", "draw c2"}));
        log.clear();
    }
    // The destructor deletes the components in slot order, then the children in order.
    EXPECT_EQ(
        log, (Log{"delete p0", "delete p4", "delete p6", "delete p9", "delete c1", "delete g", "delete c2"}));
}

TEST(GameObject, ChildSpritesTakeTheParentAlphaAsATable)
{
    struct AlphaCase
    {
        const char* what;
        bool hasParent;
        bool parentHasSprite;
        const char* childName;
        float expected;
    };
    const AlphaCase cases[] = {
        {"child under a sprite", true, true, "Flag", 0.25f},
        {"the explosion keeps its own", true, true, "KorvaneExplosion", 0.8f},
        {"a name containing the explosion's follows", true, true, "KorvaneExplosion2", 0.25f},
        {"a name inside the explosion's follows", true, true, "BigKorvaneExplosion", 0.25f},
        {"parent without a sprite", true, false, "Flag", 0.8f},
        {"top-level object", false, false, "Flag", 0.8f},
    };
    for (const AlphaCase& row : cases)
    {
        SCOPED_TRACE(row.what);
        GameObject parent;
        if (row.parentHasSprite)
        {
            auto* parentSprite = new Sprite();
            parentSprite->alpha = 0.25f;
            parent.AddComponent(parentSprite);
        }
        GameObject* child = row.hasParent ? AddChild(parent, row.childName) : &parent;
        auto* childSprite = new Sprite();
        childSprite->alpha = 0.8f;
        if (row.hasParent)
        {
            child->AddComponent(childSprite);
        }
        else
        {
            parent.name = row.childName;
            parent.AddComponent(childSprite);
        }
        parent.Update(0.0f);
        EXPECT_FLOAT_EQ(childSprite->alpha, row.expected);
    }
}

TEST(GameObject, FindChildIsExactAndFindChildContainingIsASubstringSearch)
{
    GameObject tower;
    GameObject* flag = AddChild(tower, "Flag");
    GameObject* cannon2 = AddChild(tower, "Cannon2");
    GameObject* cannon = AddChild(tower, "Cannon");
    GameObject* nested = AddChild(*flag, "Nested");

    EXPECT_EQ(tower.FindChild("Cannon"), cannon);
    EXPECT_EQ(tower.FindChild("Cannon2"), cannon2);
    EXPECT_EQ(tower.FindChild("cannon"), nullptr);
    EXPECT_EQ(tower.FindChild("Cann"), nullptr);
    EXPECT_EQ(tower.FindChild("Nested"), nullptr);           // direct children only
    EXPECT_EQ(tower.FindChildContaining("Cannon"), cannon2); // the first in order
    EXPECT_EQ(tower.FindChildContaining("ag"), flag);
    EXPECT_EQ(tower.FindChildContaining("Nest"), nullptr);
    EXPECT_EQ(flag->FindChild("Nested"), nested);
}

// A prototype with a rotated transform, a probe component and two children, one of which carries
// an emitter and has a child of its own.
struct Prototype
{
    explicit Prototype(Log& log)
    {
        root.name = "Tower";
        root.destroyed = true;
        auto* transform = new Transform();
        transform->translation = {10, 20, 0};
        transform->rotation = 30;
        transform->scale = {2, 3, 1};
        root.AddComponent(transform);
        root.AddComponent(new ProbeComponent(ComponentType::Behavior, "behaviour", log));

        plain = AddChild(root, "Flag");
        auto* plainTransform = new Transform();
        plainTransform->translation = {1, 2, 3};
        plainTransform->rotation = 45;
        plainTransform->scale = {4, 5, 6};
        plainTransform->GetMatrix();
        plain->AddComponent(plainTransform);
        plain->AddComponent(new ProbeComponent(ComponentType::Stats, "flag stats", log));

        smoke = AddChild(root, "Smoke");
        auto* smokeTransform = new Transform();
        smokeTransform->rotation = 90;
        smoke->AddComponent(smokeTransform);
        smoke->AddComponent(new ProbeComponent(ComponentType::Emitter, "emitter", log));
        ember = AddChild(*smoke, "Ember");
        ember->AddComponent(new ProbeComponent(ComponentType::Sprite, "ember sprite", log));
    }

    GameObject root;
    GameObject* plain = nullptr;
    GameObject* smoke = nullptr;
    GameObject* ember = nullptr;
};

TEST(GameObjectCopy, CopiesComponentsChildrenAndGrandchildrenUnderTheNewParents)
{
    Log log;
    Prototype prototype(log);
    GameObject copy;
    copy.CopyConstruct(prototype.root);

    EXPECT_EQ(copy.name, "Tower");
    EXPECT_EQ(copy.parent, nullptr);
    EXPECT_TRUE(copy.destroyed);
    // Clones run in slot order, then Init of every component in slot order, then the children.
    EXPECT_EQ(log, (Log{"clone behaviour", "init behaviour'", "clone flag stats", "init flag stats'",
                        "clone emitter", "init emitter'", "clone ember sprite", "init ember sprite'"}));

    ASSERT_EQ(copy.children.size(), 2u);
    GameObject* flag = copy.children[0];
    GameObject* smoke = copy.children[1];
    EXPECT_EQ(flag->name, "Flag");
    EXPECT_EQ(smoke->name, "Smoke");
    EXPECT_NE(flag, prototype.plain);
    EXPECT_EQ(flag->parent, &copy);
    EXPECT_EQ(smoke->parent, &copy);
    ASSERT_EQ(smoke->children.size(), 1u);
    EXPECT_NE(smoke->children[0], prototype.ember);
    EXPECT_EQ(smoke->children[0]->parent, smoke);
    EXPECT_EQ(smoke->children[0]->name, "Ember");

    // Every copied component belongs to the copy, never to the prototype.
    for (const GameObject* object : {&copy, flag, smoke, smoke->children[0]})
    {
        for (const Component* component : object->components)
        {
            if (component != nullptr)
            {
                EXPECT_EQ(component->owner, object) << object->name;
            }
        }
    }
    EXPECT_EQ(static_cast<ProbeComponent*>(copy.components[6])->Label(), "behaviour'");
}

TEST(GameObjectCopy, TransformsFollowTheCopyRules)
{
    Log log;
    Prototype prototype(log);
    GameObject copy;
    copy.CopyConstruct(prototype.root);

    // A top-level object keeps everything, rotation included.
    const auto* top = copy.GetComponent<Transform>();
    ASSERT_NE(top, nullptr);
    EXPECT_NE(top, prototype.root.GetComponent<Transform>());
    EXPECT_EQ(top->translation, glm::vec3(10, 20, 0));
    EXPECT_EQ(top->rotation, 30.0f);
    EXPECT_EQ(top->scale, glm::vec3(2, 3, 1));

    // A child keeps translation and scale, starts unrotated, with its matrix to be rebuilt.
    const auto* flag = copy.children[0]->GetComponent<Transform>();
    ASSERT_NE(flag, nullptr);
    EXPECT_EQ(flag->translation, glm::vec3(1, 2, 3));
    EXPECT_EQ(flag->scale, glm::vec3(4, 5, 6));
    EXPECT_EQ(flag->rotation, 0.0f);
    EXPECT_TRUE(flag->dirty);
    EXPECT_EQ(flag->world, glm::mat4(0.0f));

    // A child with an emitter keeps its rotation.
    const auto* smoke = copy.children[1]->GetComponent<Transform>();
    ASSERT_NE(smoke, nullptr);
    EXPECT_EQ(smoke->rotation, 90.0f);
}

TEST(GameObjectCopy, ACopyOfAChildKeepsItsParent)
{
    Log log;
    Prototype prototype(log);
    GameObject copy;
    copy.CopyConstruct(*prototype.plain);
    EXPECT_EQ(copy.parent, &prototype.root); // the caller replaces it where needed
    EXPECT_EQ(copy.GetComponent<Transform>()->rotation, 0.0f);
    EXPECT_FALSE(copy.destroyed);
}
} // namespace
