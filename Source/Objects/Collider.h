// The Collider component (kind 4): a circle or a box around an object, used by the scene's
// collision pass and by the buttons' mouse test. The shape is kept in window pixels, scaled from
// the 1920 x 1080 reference by the current window size, so that it can be compared with the
// cursor; at a 1920 x 1080 window pixels and reference units agree.
//
// Object-file member "Collider": "Type" (string, required): exactly "Circle" (then "RadiusMod",
// number, required) or exactly "Box" (then "WidthMod" and "HeightMod", numbers, required); any
// other text gives no shape.
//
// Threading: main thread. Ownership: owned by its object; reads the owner's Transform (an object
// without one has no shape and overlaps nothing) and the window size of EngineGlobals.h.
#pragma once

#include "Objects/Component.h"

#include <glm/vec3.hpp>
#include <string>

class Collider : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Collider;

    static constexpr int kShapeNone = 0;
    static constexpr int kShapeCircle = 1;
    static constexpr int kShapeBox = 2;

    Collider() : Component(kType) {}
    Component* Clone() const override;
    // Recomputes the shape from the owner's Transform at the current window size.
    void Update(float dt) override;

    // Reads the member "Collider" of the object file text (JsonFileScope names the file). The
    // owner must already hold its Transform: the first shape is computed from it, in reference
    // units (the first Update brings it to window pixels).
    void Read(const std::string& fileText);

    // Whether the position of `other`'s object lies in this collider's shape. Only this shape
    // counts (the other's shape is ignored), so A.Overlaps(B) and B.Overlaps(A) may differ.
    // Circle: the 3-D distance between the two world translations is at most the radius. Box:
    // left <= x <= right and bottom <= y <= top, inclusive.
    bool Overlaps(const Collider& other) const;

    int shape = kShapeNone;
    float radius = 0.0f;
    glm::vec3 cornerA{0.0f}; // (left, top, 1) of the box
    glm::vec3 cornerB{0.0f}; // (right, bottom, 1) of the box
    float WidthMod = 0.0f;   // box width as a multiple of scale.x
    float HeightMod = 0.0f;  // box height as a multiple of scale.y
    float RadiusMod = 0.0f;  // circle radius as a multiple of scale.x
};
