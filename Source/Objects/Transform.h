// The Transform component (kind 0): places an object in the 2-D world by translation, rotation
// about the screen normal in degrees (counter-clockwise) and scale, and caches the world matrix the
// renderer uses, rebuilding it only when marked dirty. Positions are in units of the 1920 x 1080
// reference screen with the origin at its centre. A child's translation is relative to its parent:
// the translations up the parent chain are added; rotation and scale are not inherited.
//
// Object-file member "Transform", every key optional: "translation" [x, y, z], "rotation"
// (degrees), "scale" [x, y, z]; the arrays hold exactly three numbers.
//
// Threading: main thread. Ownership: owned by its object. Every writer of translation, rotation or
// scale sets `dirty`.
#pragma once

#include "Objects/Component.h"

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <string>

// Degrees to radians, as a single-precision constant.
constexpr float kRadiansPerDegree = 0.017453292f;

class Transform : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Transform;

    Transform() : Component(kType) {}
    // Every field copied, the cached matrix and dirty flag included.
    Component* Clone() const override;

    // Reads the member "Transform" of the object file text (JsonFileScope names the file).
    void Read(const std::string& fileText);

    // The world matrix, rebuilt first when dirty: translate(t) x rotateZ(rotation) x
    // scale(scale.x, scale.y, 1), where t is the translation plus the parent chain's world
    // translation for a child, and (translation.x, translation.y, 0) for a top-level object. A
    // clean matrix is returned as cached, even when a parent has moved since.
    const glm::mat4& GetMatrix();

    // The translation plus the parent's world translation, recursively up the chain. A parent
    // without a Transform adds nothing and ends the chain.
    glm::vec3 GetWorldTranslation() const;

    glm::vec3 translation{0.0f};
    float rotation = 0.0f; // degrees
    glm::vec3 scale{1.0f};
    glm::mat4 world{0.0f}; // cached world matrix, column-major
    bool dirty = true;     // world must be rebuilt before use

private:
    // The parent's Transform, or null for a top-level object or a parent without one.
    Transform* ParentTransform() const;
};
