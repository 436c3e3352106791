#include "Objects/Collider.h"

#include "Engine/Camera.h"
#include "Engine/EngineGlobals.h"
#include "Objects/GameObject.h"
#include "Objects/ObjectFileJson.h"
#include "Objects/Transform.h"

#include <cmath>

namespace
{
const Transform* TransformOf(const GameObject* object)
{
    return object != nullptr ? object->GetComponent<Transform>() : nullptr;
}

// Window pixels per reference unit, from the window size truncated to whole pixels.
float WidthScale()
{
    return static_cast<float>(static_cast<int>(windowWidth)) / Camera::kReferenceWidth;
}
float HeightScale()
{
    return static_cast<float>(static_cast<int>(windowHeight)) / Camera::kReferenceHeight;
}
} // namespace

Component* Collider::Clone() const
{
    return new Collider(*this);
}

void Collider::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& member = trindle::JsonObject(trindle::ObjectFileRoot(document), "Collider");
    const std::string kind = trindle::JsonString(member, "Type");
    const Transform* transform = TransformOf(owner);
    if (transform == nullptr)
    {
        return;
    }
    const glm::vec3 position = transform->GetWorldTranslation();
    const glm::vec3& scale = transform->scale;
    if (kind == "Circle")
    {
        shape = kShapeCircle;
        RadiusMod = trindle::JsonFloat(member, "RadiusMod");
        radius = scale.x * RadiusMod;
    }
    else if (kind == "Box")
    {
        shape = kShapeBox;
        WidthMod = trindle::JsonFloat(member, "WidthMod");
        HeightMod = trindle::JsonFloat(member, "HeightMod");
        cornerA = glm::vec3(position.x - scale.x * 0.5f, position.y + scale.y * 0.5f, 1.0f);
        cornerB = glm::vec3(position.x + scale.x * 0.5f, position.y - scale.y * 0.5f, 1.0f);
        // Resized about its centre by the width and height modifiers.
        const float centreX = (cornerA.x + cornerB.x) * 0.5f;
        const float centreY = (cornerA.y + cornerB.y) * 0.5f;
        const float halfWidth = scale.x * WidthMod * 0.5f;
        const float halfHeight = scale.y * HeightMod * 0.5f;
        cornerA.x = centreX - halfWidth;
        cornerB.x = centreX + halfWidth;
        cornerA.y = centreY + halfHeight;
        cornerB.y = centreY - halfHeight;
    }
}

void Collider::Update(float dt)
{
    static_cast<void>(dt);
    const Transform* transform = TransformOf(owner);
    if (transform == nullptr)
    {
        return;
    }
    const float ws = WidthScale();
    const float hs = HeightScale();
    const glm::vec3& scale = transform->scale;
    if (shape == kShapeBox)
    {
        const glm::vec3 position = transform->GetWorldTranslation();
        const float halfWidth = scale.x * WidthMod * ws * 0.5f;
        const float halfHeight = scale.y * HeightMod * hs * 0.5f;
        cornerA.x = ws * position.x - halfWidth;
        cornerB.x = ws * position.x + halfWidth;
        cornerA.y = hs * position.y + halfHeight;
        cornerB.y = hs * position.y - halfHeight;
    }
    else if (shape == kShapeCircle)
    {
        radius = scale.x * 0.5f * RadiusMod * ws;
    }
}

bool Collider::Overlaps(const Collider& other) const
{
    const Transform* own = TransformOf(owner);
    const Transform* theirs = TransformOf(other.owner);
    if (own == nullptr || theirs == nullptr)
    {
        return false;
    }
    const glm::vec3 point = theirs->GetWorldTranslation();
    if (shape == kShapeCircle)
    {
        const glm::vec3 d = own->GetWorldTranslation() - point;
        return radius >= std::sqrt(d.y * d.y + d.x * d.x + d.z * d.z);
    }
    if (shape == kShapeBox)
    {
        return cornerA.x <= point.x && point.x <= cornerB.x && cornerB.y <= point.y && point.y <= cornerA.y;
    }
    return false;
}
