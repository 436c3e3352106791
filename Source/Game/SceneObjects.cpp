#include "Game/SceneObjects.h"

#include "Objects/GameObject.h"
#include "Objects/GameObjectList.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"

namespace
{
void Move(GameObjectList& from, GameObjectList& to, GameObject* object)
{
    if (object == nullptr)
    {
        return;
    }
    from.Remove(object);
    to.entries.push_back(object);
}
} // namespace

GameObject* FindSceneObject(const std::string& scene, const std::string& name)
{
    const Scene* found = SceneManager::Find(scene);
    return found != nullptr ? found->objects.Find(name) : nullptr;
}

void StashObject(Scene& scene, const std::string& name)
{
    Move(scene.objects, scene.stash, scene.objects.Find(name));
}

void StashObject(Scene& scene, const GameObject* object)
{
    for (GameObject* held : scene.objects.entries)
    {
        if (held == object)
        {
            Move(scene.objects, scene.stash, held);
            return;
        }
    }
}

void UnstashObject(Scene& scene, const std::string& name)
{
    Move(scene.stash, scene.objects, scene.stash.Find(name));
}
