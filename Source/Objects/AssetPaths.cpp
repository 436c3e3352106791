#include "Objects/AssetPaths.h"

#include "Engine/JsonAsset.h"

#include <array>
#include <cstdio>

namespace trindle
{
namespace
{
std::string FormatObjectPath(const char* format, const std::string& name, const std::string& what)
{
    std::array<char, kObjectPathCapacity> path{};
    const int length = std::snprintf(path.data(), path.size(), format, name.c_str());
    if (length < 0 || static_cast<std::size_t>(length) >= path.size())
    {
        JsonKeyCheckFailed(what, "names an object whose file path fits 260 characters");
    }
    return std::string(path.data(), static_cast<std::size_t>(length));
}
} // namespace

std::string ArchetypePath(const std::string& name, const std::string& what)
{
    return FormatObjectPath("./Assets/GameObjects/%s.json", name, what);
}

std::string ChildPath(const std::string& name, const std::string& what)
{
    return FormatObjectPath("./Assets/GameObjects/Children/%s.json", name, what);
}

std::string AirshipArchetypePath(int type)
{
    return "./Assets/GameObjects/Korvane" + std::to_string(type) + ".json";
}

std::string ScenePath(const std::string& name)
{
    return "./Assets/Spaces/" + name + ".json";
}
} // namespace trindle
