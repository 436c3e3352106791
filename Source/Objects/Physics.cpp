#include "Objects/Physics.h"

#include "Objects/GameObject.h"
#include "Objects/ObjectFileJson.h"
#include "Objects/Transform.h"

Component* Physics::Clone() const
{
    return new Physics(*this);
}

void Physics::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& member = trindle::JsonObject(trindle::ObjectFileRoot(document), "Physics");
    if (trindle::FindJsonMember(member, "velocity") != nullptr)
    {
        velocity = trindle::JsonVec3(member, "velocity");
    }
}

void Physics::Update(float dt)
{
    Transform* transform = owner != nullptr ? owner->GetComponent<Transform>() : nullptr;
    if (transform == nullptr)
    {
        return;
    }
    if (owner->parent != nullptr)
    {
        if (const auto* parentPhysics = owner->parent->GetComponent<Physics>())
        {
            transform->rotation += dt * parentPhysics->rotationalVelocity;
            transform->dirty = true;
            lastTranslation = transform->translation + dt * parentPhysics->velocity;
        }
        else
        {
            lastTranslation = transform->translation;
        }
        return;
    }
    velocity += dt * acceleration;
    const glm::vec3 moved = transform->translation + dt * velocity;
    transform->rotation += dt * rotationalVelocity;
    lastTranslation = moved;
    transform->translation = moved;
    transform->dirty = true;
}
