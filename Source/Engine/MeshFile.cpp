// The mesh file reader of TEResources.
#include "Engine/JsonAsset.h"
#include "Engine/Mesh.h"

namespace TEResources
{
Mesh ReadMeshFile(const std::string& path)
{
    trindle::JsonFileScope scope(path);
    return ParseMeshFile(ReadTextFile(path));
}

Mesh ParseMeshFile(const std::string& text)
{
    const rapidjson::Document document = trindle::ParseJsonAsset(text);
    const rapidjson::Value& root = trindle::JsonObject(document, "Mesh");

    Mesh mesh;
    mesh.name = trindle::JsonString(root, "name");
    mesh.xHalfSize = trindle::JsonFloat(root, "xHalfSize");
    mesh.yHalfSize = trindle::JsonFloat(root, "yHalfSize");
    const std::int32_t count = trindle::JsonInt(root, "VerteciesCount");
    const rapidjson::Value& list = trindle::JsonArray(root, "Vertecies");
    if (count < 0)
    {
        trindle::JsonKeyCheckFailed("VerteciesCount", "is not negative");
    }
    if (static_cast<rapidjson::SizeType>(count) > list.Size())
    {
        trindle::JsonKeyCheckFailed("VerteciesCount", "is at most the length of \"Vertecies\"");
    }

    mesh.vertexCount = count;
    mesh.vertices.reserve(static_cast<size_t>(count));
    for (rapidjson::SizeType index = 0; index < static_cast<rapidjson::SizeType>(count); ++index)
    {
        const rapidjson::Value& element = list[index];
        const std::string where = "Vertecies[" + std::to_string(index) + "]";
        trindle::RequireJsonObject(element, where);
        auto number = [&](const char* key)
        { return trindle::JsonFloatValue(trindle::JsonMember(element, key), where + "." + key); };
        Mesh::Vertex vertex{};
        vertex.x = number("position_x");
        vertex.y = number("position_y");
        vertex.u = number("u");
        vertex.v = number("v");
        vertex.r = number("r");
        vertex.g = number("g");
        vertex.b = number("b");
        vertex.a = number("a");
        mesh.vertices.push_back(vertex);
    }
    return mesh;
}
} // namespace TEResources
