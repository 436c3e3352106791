#include "Objects/Transform.h"

#include "Objects/GameObject.h"
#include "Objects/ObjectFileJson.h"

#include <cmath>

Component* Transform::Clone() const
{
    return new Transform(*this);
}

void Transform::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& member = trindle::JsonObject(trindle::ObjectFileRoot(document), "Transform");
    if (trindle::FindJsonMember(member, "translation") != nullptr)
    {
        translation = trindle::JsonVec3(member, "translation");
    }
    if (trindle::FindJsonMember(member, "rotation") != nullptr)
    {
        rotation = trindle::JsonFloat(member, "rotation");
    }
    if (trindle::FindJsonMember(member, "scale") != nullptr)
    {
        scale = trindle::JsonVec3(member, "scale");
    }
    dirty = true;
}

Transform* Transform::ParentTransform() const
{
    if (owner == nullptr || owner->parent == nullptr)
    {
        return nullptr;
    }
    return owner->parent->GetComponent<Transform>();
}

const glm::mat4& Transform::GetMatrix()
{
    if (!dirty)
    {
        return world;
    }
    const float angle = rotation * kRadiansPerDegree;
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    world[0] = glm::vec4(scale.x * c, scale.x * s, 0.0f, 0.0f);
    world[1] = glm::vec4(-scale.y * s, scale.y * c, 0.0f, 0.0f);
    world[2] = glm::vec4(0.0f, 0.0f, 1.0f, 0.0f);
    if (owner != nullptr && owner->parent != nullptr)
    {
        const Transform* parentTransform = ParentTransform();
        const glm::vec3 t = translation + (parentTransform != nullptr ? parentTransform->GetWorldTranslation()
                                                                      : glm::vec3(0.0f));
        world[3] = glm::vec4(t, 1.0f);
    }
    else
    {
        world[3] = glm::vec4(translation.x, translation.y, 0.0f, 1.0f);
    }
    dirty = false;
    return world;
}

glm::vec3 Transform::GetWorldTranslation() const
{
    const Transform* parentTransform = ParentTransform();
    return parentTransform != nullptr ? translation + parentTransform->GetWorldTranslation() : translation;
}
