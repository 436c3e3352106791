// The Physics component (kind 3): moves a top-level object each frame by integrating acceleration
// into velocity and velocity into its Transform's translation, and turns it by a rotational
// velocity. A child does not move on its own (it moves with its parent through the parent chain);
// under a parent with Physics it turns with the parent's rotational velocity.
//
// Object-file member "Physics": "velocity" [x, y, z], optional. Acceleration and rotational
// velocity are set by game code only.
//
// Threading: main thread. Ownership: owned by its object; works on the owner's Transform and does
// nothing on an object without one.
#pragma once

#include "Objects/Component.h"

#include <glm/vec3.hpp>
#include <string>

class Physics : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Physics;

    Physics() : Component(kType) {}
    Component* Clone() const override;
    void Update(float dt) override;

    // Reads the member "Physics" of the object file text (JsonFileScope names the file).
    void Read(const std::string& fileText);

    glm::vec3 velocity{0.0f};        // units per second
    glm::vec3 acceleration{0.0f};    // units per second squared
    glm::vec3 lastTranslation{0.0f}; // the translation the last step produced
    float rotationalVelocity = 0.0f; // degrees per second
};
