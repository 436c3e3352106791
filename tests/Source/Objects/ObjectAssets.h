// Object and scene files written into a test's own asset folder (AssetFolder.h), laid out as the
// game reads them: archetypes in "Assets/GameObjects", children in "Assets/GameObjects/Children",
// scenes in "Assets/Spaces".
#pragma once

#include "Source/Engine/AssetFolder.h"

#include <initializer_list>
#include <string>

namespace kp::test
{
// {"GameObject": {"name": <name>, <members>}}
inline std::string NamedObjectFile(const std::string& name, const std::string& members = "")
{
    return R"({"GameObject": {"name": ")" + name + "\"" + (members.empty() ? std::string() : ", " + members) +
           "}}";
}

// "Transform": {"translation": [x, y, 0], "scale": [sx, sy, 1]}
inline std::string TransformMember(float x, float y, float scaleX = 1.0f, float scaleY = 1.0f)
{
    return R"("Transform": {"translation": [)" + std::to_string(x) + ", " + std::to_string(y) +
           R"(, 0], "scale": [)" + std::to_string(scaleX) + ", " + std::to_string(scaleY) + ", 1]}";
}

inline void WriteArchetype(const AssetFolder& folder, const std::string& name, const std::string& members = "")
{
    folder.Write("Assets/GameObjects/" + name + ".json", NamedObjectFile(name, members));
}

inline void WriteChild(const AssetFolder& folder, const std::string& name, const std::string& members = "")
{
    folder.Write("Assets/GameObjects/Children/" + name + ".json", NamedObjectFile(name, members));
}

// A scene file listing `objects` in order.
inline void WriteScene(const AssetFolder& folder, const std::string& name, std::initializer_list<const char*> objects)
{
    std::string list;
    for (const char* object : objects)
    {
        list += (list.empty() ? "\"" : ", \"") + std::string(object) + "\"";
    }
    folder.Write("Assets/Spaces/" + name + ".json", R"({"Objects": [)" + list + "]}");
}
} // namespace kp::test
