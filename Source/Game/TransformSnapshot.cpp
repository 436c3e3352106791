#include "Game/TransformSnapshot.h"

#include "Objects/GameObject.h"
#include "Objects/Transform.h"

TransformSnapshot TransformSnapshot::Of(const GameObject* object)
{
    TransformSnapshot snapshot;
    if (const auto* transform = ComponentOf<Transform>(object))
    {
        snapshot.translation = transform->translation;
        snapshot.rotation = transform->rotation;
        snapshot.scale = transform->scale;
    }
    return snapshot;
}

void TransformSnapshot::ApplyScale(GameObject* object, float factor) const
{
    if (auto* transform = ComponentOf<Transform>(object))
    {
        transform->scale = scale * factor;
        transform->dirty = true;
    }
}
