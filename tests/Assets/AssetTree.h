// Reading the game's asset folder for the asset checks: JSON files parsed on their own (without the
// engine's readers, whose failed checks stop the program), file listings, and small typed look-ups
// that never trip RapidJSON's assertions (every access is checked first).
//
// Threading: test thread only. Ownership: documents are owned by the JsonFile values.
#pragma once

#include "Engine/Json.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kp::assets
{
namespace fs = std::filesystem;

// The asset folder of the repository (tests run from the repository root).
fs::path AssetRoot();
fs::path ObjectPath(const std::string& name);
fs::path ChildPath(const std::string& name);
fs::path ScenePath(const std::string& name);
fs::path MeshPath(const std::string& name);
fs::path SpriteSourcePath(const std::string& name);

struct JsonFile
{
    bool ok = false;
    std::string error; // why it could not be read or parsed
    rapidjson::Document document;
};

// Reads and parses a file; a missing file or a parse error gives ok false with the reason.
JsonFile LoadJson(const fs::path& path);

// The stems of the files with extension `extension` directly in `folder`, sorted.
std::vector<std::string> ListStems(const fs::path& folder, const std::string& extension);

// Checked look-ups: null, or the member when `object` is an object holding `key`.
const rapidjson::Value* Member(const rapidjson::Value& object, const char* key);
std::optional<std::string> StringMember(const rapidjson::Value& object, const char* key);
std::optional<int> IntMember(const rapidjson::Value& object, const char* key);
std::optional<double> NumberMember(const rapidjson::Value& object, const char* key);
// An array of exactly three numbers.
std::optional<std::vector<double>> Vec3Member(const rapidjson::Value& object, const char* key);

// The "GameObject" member of an object file, or null.
const rapidjson::Value* GameObjectOf(const JsonFile& file);

// An object as the scenes use it: the archetype and, recursively, its children, with world
// translations (a child's translation adds its parent's).
struct PlacedObject
{
    std::string name;
    const rapidjson::Value* root = nullptr; // "GameObject"
    double x = 0;
    double y = 0;
    double scaleX = 1;
    double scaleY = 1;
    std::vector<PlacedObject> children;
};

// All object files (archetypes and children) by name, loaded once.
class ObjectLibrary
{
public:
    ObjectLibrary();
    const JsonFile* Archetype(const std::string& name) const;
    const JsonFile* Child(const std::string& name) const;
    const std::map<std::string, JsonFile>& Archetypes() const { return m_archetypes; }
    const std::map<std::string, JsonFile>& Children() const { return m_children; }
    // The archetype with its children placed, or nullopt when a file is missing or malformed.
    std::optional<PlacedObject> Place(const std::string& archetype) const;

private:
    std::optional<PlacedObject> PlaceFile(const std::string& name, const JsonFile* file, double parentX,
                                          double parentY, int depth) const;
    std::map<std::string, JsonFile> m_archetypes;
    std::map<std::string, JsonFile> m_children;
};

// The object names a scene file lists, in order; nullopt when it cannot be read.
std::optional<std::vector<std::string>> SceneObjects(const std::string& scene);
} // namespace kp::assets
