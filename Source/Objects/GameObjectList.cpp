#include "Objects/GameObjectList.h"

#include "Engine/SystemRandom.h"
#include "Game/Behavior.h"
#include "Objects/AssetPaths.h"
#include "Objects/Collider.h"
#include "Objects/ComponentFactory.h"
#include "Objects/GameObject.h"
#include "Objects/Transform.h"

#include <algorithm>

namespace
{
// The airship archetypes are named "Korvane" followed by the type.
constexpr const char* kAirshipNamePrefix = "Korvane";
// The state of a launched airship's behaviour: flying.
constexpr int kAirshipFlyingState = 1;

void InitBehaviors(GameObject& object)
{
    for (ComponentType slot : {ComponentType::Behavior, ComponentType::EmitterBehavior})
    {
        if (Component* behavior = object.GetComponent(slot))
        {
            behavior->Init();
        }
    }
}

// Moves the object to `position`; an object without a Transform stays where it is.
void PlaceAt(GameObject& object, const glm::vec3& position)
{
    if (auto* transform = object.GetComponent<Transform>())
    {
        transform->translation = position;
        transform->dirty = true;
    }
}

// A new airship behaviour of `type`, added to `object` (replacing any behaviour it had) and
// initialised; null, with the object's behaviour left as it was, while the class is not built.
Behavior* AddAirshipBehavior(GameObject& object, int type)
{
    Behavior* airship = CreateBehavior(BehaviorChoice{BehaviorClass::Korvane, type, {}, 0.0f, {}});
    if (airship == nullptr)
    {
        return nullptr;
    }
    object.AddComponent(airship);
    airship->Init();
    return airship;
}
} // namespace

void GameObjectList::InitAll()
{
    // By index: an Init may append to the list.
    for (size_t index = 0; index < entries.size(); ++index)
    {
        GameObject* object = entries[index];
        if (object == nullptr)
        {
            continue;
        }
        InitBehaviors(*object);
        for (size_t child = 0; child < object->children.size(); ++child)
        {
            if (GameObject* each = object->children[child])
            {
                InitBehaviors(*each);
            }
        }
    }
}

void GameObjectList::CollideAll()
{
    // By index and re-checked on every step: a collision handler may change the list.
    for (size_t a = 0; a < entries.size(); ++a)
    {
        for (size_t b = 0; b < entries.size() && a < entries.size(); ++b)
        {
            GameObject* first = entries[a];
            GameObject* second = entries[b];
            if (first == nullptr || second == nullptr || first == second)
            {
                continue;
            }
            const auto* firstCollider = first->GetComponent<Collider>();
            const auto* secondCollider = second->GetComponent<Collider>();
            if (firstCollider == nullptr || secondCollider == nullptr || !firstCollider->Overlaps(*secondCollider))
            {
                continue;
            }
            if (auto* behavior = first->GetComponent<Behavior>())
            {
                behavior->OnCollision(second);
            }
            if (auto* behavior = second->GetComponent<Behavior>())
            {
                behavior->OnCollision(first);
            }
        }
    }
}

GameObject* GameObjectList::Find(const std::string& name) const
{
    for (GameObject* object : entries)
    {
        if (object != nullptr && object->name == name)
        {
            return object;
        }
    }
    return nullptr;
}

GameObject* GameObjectList::CreateFromFile(const char* name)
{
    if (name == nullptr)
    {
        return nullptr;
    }
    auto* object = new GameObject();
    if (const GameObject* prototype = Find(name))
    {
        object->CopyConstruct(*prototype);
    }
    else
    {
        object->ReadFromFile(trindle::ArchetypePath(name, name).c_str());
    }
    Append(object);
    return object;
}

GameObject* GameObjectList::SpawnKorvane(const glm::vec3& position, int type)
{
    const std::string archetypeName = kAirshipNamePrefix + std::to_string(type);
    auto* airship = new GameObject();
    if (const GameObject* archetype = Find(archetypeName))
    {
        // Every airship gets a name of its own that still holds "Korvane" and its type.
        const std::string uniqueName = archetypeName + trindle::RandomUuidText();
        airship->CopyConstruct(*archetype);
        airship->name = uniqueName;
        PlaceAt(*airship, position);
        if (Behavior* behavior = AddAirshipBehavior(*airship, type))
        {
            behavior->nextState = kAirshipFlyingState;
        }
        Append(airship);
        return airship;
    }
    airship->ReadFromFile(trindle::AirshipArchetypePath(type).c_str());
    Append(airship);
    AddAirshipBehavior(*airship, type);
    PlaceAt(*airship, position);
    return airship;
}

void GameObjectList::Remove(const GameObject* object)
{
    const auto found = std::find(entries.begin(), entries.end(), object);
    if (found != entries.end())
    {
        entries.erase(found);
    }
}

void GameObjectList::DestroyAll()
{
    // Taken out of the list before it is deleted, so nothing reached from a destructor finds it.
    while (!entries.empty())
    {
        GameObject* object = entries.front();
        entries.pop_front();
        delete object;
    }
}

void GameObjectList::Append(GameObject* object)
{
    entries.push_back(object);
    object->listPosition = static_cast<int>(entries.size());
}
