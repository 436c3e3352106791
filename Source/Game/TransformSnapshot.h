// A copy of an object's placement taken once (by a button's or a background's Init), so that
// looks that scale the object always start from the same size and never accumulate.
//
// Threading and ownership: a plain value.
#pragma once

#include <glm/vec3.hpp>

class GameObject;

struct TransformSnapshot
{
    glm::vec3 translation{0.0f};
    float rotation = 0.0f;
    glm::vec3 scale{1.0f};

    // The object's Transform as it stands; an object without one gives the defaults.
    static TransformSnapshot Of(const GameObject* object);
    // Sets the object's Transform scale to this scale times `factor` and marks it dirty.
    void ApplyScale(GameObject* object, float factor) const;
};
