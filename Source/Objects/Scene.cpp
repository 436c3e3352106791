#include "Objects/Scene.h"

#include "Engine/JsonAsset.h"
#include "Engine/TEResources.h"
#include "Objects/AssetPaths.h"
#include "Objects/GameObject.h"

#include <algorithm>
#include <array>

namespace
{
constexpr std::array<const char*, 3> kAirshipArchetypes = {"Korvane1", "Korvane2", "Korvane3"};

// The archetype names of a scene file, in order.
std::vector<std::string> ReadObjectNames(const std::string& path)
{
    trindle::JsonFileScope scope(path);
    const rapidjson::Document document = trindle::ParseJsonAsset(TEResources::ReadTextFile(path));
    const rapidjson::Value& list = trindle::JsonArray(document, "Objects");
    std::vector<std::string> names;
    names.reserve(list.Size());
    for (rapidjson::SizeType index = 0; index < list.Size(); ++index)
    {
        names.push_back(trindle::JsonStringValue(list[index], "Objects[" + std::to_string(index) + "]"));
    }
    return names;
}
} // namespace

Scene::Scene(std::string sceneName) : name(std::move(sceneName))
{
    const std::string path = trindle::ScenePath(name);
    for (const std::string& objectName : ReadObjectNames(path))
    {
        // The scene file stays named while its objects are read, so a name that is too long for
        // an object path is reported against it.
        trindle::JsonFileScope scope(path);
        objects.CreateFromFile(objectName.c_str());
    }
    objects.InitAll();
    stash.InitAll();
}

void Scene::AddStartingUnits()
{
    if (name != kPlayFieldName)
    {
        return;
    }
    for (const char* archetype : kAirshipArchetypes)
    {
        objects.CreateFromFile(archetype);
    }
}

void Scene::Update(float dt)
{
    if (!active)
    {
        return;
    }
    objects.CollideAll();
    // An update may add objects to this list or move them to another (a button showing and hiding
    // displays), so the pass walks the objects that were there when it began and updates each one
    // only while it is still in the list.
    m_passObjects.assign(objects.entries.begin(), objects.entries.end());
    for (GameObject* object : m_passObjects)
    {
        auto held = std::find(objects.entries.begin(), objects.entries.end(), object);
        if (object == nullptr || held == objects.entries.end())
        {
            continue;
        }
        object->Update(dt);
        if (!object->destroyed)
        {
            continue;
        }
        held = std::find(objects.entries.begin(), objects.entries.end(), object);
        if (held != objects.entries.end())
        {
            objects.entries.erase(held);
            delete object;
        }
    }
    m_passObjects.clear();
}

void Scene::DestroyObjects()
{
    objects.DestroyAll();
    stash.DestroyAll();
}
