#include "AssetTree.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kp::assets
{
namespace
{
constexpr int kMaxChildDepth = 8; // deeper nesting means a file lists itself as a child
} // namespace

fs::path AssetRoot()
{
    return fs::path(KP_SOURCE_DIR) / "Assets";
}
fs::path ObjectPath(const std::string& name)
{
    return AssetRoot() / "GameObjects" / (name + ".json");
}
fs::path ChildPath(const std::string& name)
{
    return AssetRoot() / "GameObjects" / "Children" / (name + ".json");
}
fs::path ScenePath(const std::string& name)
{
    return AssetRoot() / "Spaces" / (name + ".json");
}
fs::path MeshPath(const std::string& name)
{
    return AssetRoot() / "Mesh" / (name + ".json");
}
fs::path SpriteSourcePath(const std::string& name)
{
    return AssetRoot() / "Art" / (name + ".json");
}

JsonFile LoadJson(const fs::path& path)
{
    JsonFile file;
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
    {
        file.error = "cannot be opened";
        return file;
    }
    std::stringstream text;
    text << stream.rdbuf();
    const std::string content = text.str();
    file.document.Parse(content.c_str(), content.size());
    if (file.document.HasParseError())
    {
        file.error = "is not JSON (error " + std::to_string(file.document.GetParseError()) + " at offset " +
                     std::to_string(file.document.GetErrorOffset()) + ")";
        return file;
    }
    file.ok = true;
    return file;
}

std::vector<std::string> ListStems(const fs::path& folder, const std::string& extension)
{
    std::vector<std::string> stems;
    if (!fs::is_directory(folder))
    {
        return stems;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    {
        if (entry.is_regular_file() && entry.path().extension() == extension)
        {
            stems.push_back(entry.path().stem().string());
        }
    }
    std::sort(stems.begin(), stems.end());
    return stems;
}

const rapidjson::Value* Member(const rapidjson::Value& object, const char* key)
{
    if (!object.IsObject())
    {
        return nullptr;
    }
    const auto found = object.FindMember(key);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

std::optional<std::string> StringMember(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = Member(object, key);
    if (value == nullptr || !value->IsString())
    {
        return std::nullopt;
    }
    return std::string(value->GetString(), value->GetStringLength());
}

std::optional<int> IntMember(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = Member(object, key);
    if (value == nullptr || !value->IsInt())
    {
        return std::nullopt;
    }
    return value->GetInt();
}

std::optional<double> NumberMember(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = Member(object, key);
    if (value == nullptr || !value->IsNumber())
    {
        return std::nullopt;
    }
    return value->GetDouble();
}

std::optional<std::vector<double>> Vec3Member(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = Member(object, key);
    if (value == nullptr || !value->IsArray() || value->Size() != 3)
    {
        return std::nullopt;
    }
    std::vector<double> result;
    for (const rapidjson::Value& element : value->GetArray())
    {
        if (!element.IsNumber())
        {
            return std::nullopt;
        }
        result.push_back(element.GetDouble());
    }
    return result;
}

const rapidjson::Value* GameObjectOf(const JsonFile& file)
{
    if (!file.ok)
    {
        return nullptr;
    }
    const rapidjson::Value* root = Member(file.document, "GameObject");
    return root != nullptr && root->IsObject() ? root : nullptr;
}

ObjectLibrary::ObjectLibrary()
{
    for (const std::string& stem : ListStems(AssetRoot() / "GameObjects", ".json"))
    {
        m_archetypes.emplace(stem, LoadJson(ObjectPath(stem)));
    }
    for (const std::string& stem : ListStems(AssetRoot() / "GameObjects" / "Children", ".json"))
    {
        m_children.emplace(stem, LoadJson(ChildPath(stem)));
    }
}

const JsonFile* ObjectLibrary::Archetype(const std::string& name) const
{
    const auto found = m_archetypes.find(name);
    return found == m_archetypes.end() ? nullptr : &found->second;
}

const JsonFile* ObjectLibrary::Child(const std::string& name) const
{
    const auto found = m_children.find(name);
    return found == m_children.end() ? nullptr : &found->second;
}

std::optional<PlacedObject> ObjectLibrary::Place(const std::string& archetype) const
{
    return PlaceFile(archetype, Archetype(archetype), 0.0, 0.0, 0);
}

std::optional<PlacedObject> ObjectLibrary::PlaceFile(const std::string& name, const JsonFile* file, double parentX,
                                                     double parentY, int depth) const
{
    const rapidjson::Value* root = file != nullptr ? GameObjectOf(*file) : nullptr;
    if (root == nullptr || depth > kMaxChildDepth)
    {
        return std::nullopt;
    }
    PlacedObject placed;
    placed.name = name;
    placed.root = root;
    placed.x = parentX;
    placed.y = parentY;
    if (const rapidjson::Value* transform = Member(*root, "Transform"))
    {
        if (const auto translation = Vec3Member(*transform, "translation"))
        {
            placed.x += (*translation)[0];
            placed.y += (*translation)[1];
        }
        if (const auto scale = Vec3Member(*transform, "scale"))
        {
            placed.scaleX = (*scale)[0];
            placed.scaleY = (*scale)[1];
        }
    }
    if (const rapidjson::Value* children = Member(*root, "Children"); children != nullptr && children->IsArray())
    {
        for (const rapidjson::Value& child : children->GetArray())
        {
            if (!child.IsString())
            {
                return std::nullopt;
            }
            const std::string childName = child.GetString();
            auto placedChild = PlaceFile(childName, Child(childName), placed.x, placed.y, depth + 1);
            if (!placedChild)
            {
                return std::nullopt;
            }
            placed.children.push_back(std::move(*placedChild));
        }
    }
    return placed;
}

std::optional<std::vector<std::string>> SceneObjects(const std::string& scene)
{
    const JsonFile file = LoadJson(ScenePath(scene));
    const rapidjson::Value* objects = file.ok ? Member(file.document, "Objects") : nullptr;
    if (objects == nullptr || !objects->IsArray())
    {
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (const rapidjson::Value& name : objects->GetArray())
    {
        if (!name.IsString())
        {
            return std::nullopt;
        }
        names.emplace_back(name.GetString());
    }
    return names;
}
} // namespace kp::assets
