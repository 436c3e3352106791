// Every scene, object, child and mesh file parses and has the keys its readers require, with the
// right types; every name a file refers to exists.
#include "AssetTree.h"
#include "GameNames.h"
#include "ObjectFileCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

namespace kp::assets
{
namespace
{
std::string Join(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
    {
        text += "\n  " + line;
    }
    return text;
}

TEST(AssetFiles, EveryObjectAndChildFileIsWellFormed)
{
    const ObjectLibrary library;
    SpriteSheetCache sheets;
    ASSERT_FALSE(library.Archetypes().empty());
    ASSERT_FALSE(library.Children().empty());
    for (const auto* files : {&library.Archetypes(), &library.Children()})
    {
        for (const auto& [stem, file] : *files)
        {
            const std::vector<std::string> problems = CheckObjectFile(stem, file, library, sheets);
            EXPECT_TRUE(problems.empty()) << stem << ".json:" << Join(problems);
        }
    }
}

TEST(AssetFiles, EverySceneListsExistingObjectsOverAFullScreenBackground)
{
    const ObjectLibrary library;
    std::vector<std::string> expected = kSceneNames;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListStems(AssetRoot() / "Spaces", ".json"), expected) << "exactly the game's scenes have files";
    for (const std::string& scene : kSceneNames)
    {
        const auto objects = SceneObjects(scene);
        ASSERT_TRUE(objects) << scene << ": not a JSON object with the array of strings \"Objects\"";
        ASSERT_FALSE(objects->empty()) << scene;
        for (const std::string& name : *objects)
        {
            EXPECT_NE(library.Archetype(name), nullptr) << scene << " lists the missing object \"" << name << "\"";
            EXPECT_TRUE(library.Place(name)) << scene << ": \"" << name << "\" or one of its children cannot be read";
        }
        // The first object is drawn first: a picture that covers the whole 1920 x 1080 screen.
        const auto background = library.Place(objects->front());
        ASSERT_TRUE(background) << scene;
        EXPECT_NE(Member(*background->root, "Sprite"), nullptr) << scene;
        EXPECT_EQ(background->x, 0.0) << scene;
        EXPECT_EQ(background->y, 0.0) << scene;
        EXPECT_GE(background->scaleX, 1920.0) << scene;
        EXPECT_GE(background->scaleY, 1080.0) << scene;
    }
}

TEST(AssetFiles, EveryObjectFileIsUsedByASceneALaunchOrAParent)
{
    const ObjectLibrary library;
    std::set<std::string> archetypes;
    std::set<std::string> children;
    std::function<void(const PlacedObject&)> visit = [&](const PlacedObject& object)
    {
        for (const PlacedObject& child : object.children)
        {
            children.insert(child.name);
            visit(child);
        }
    };
    std::vector<std::string> roots;
    for (const std::string& scene : kSceneNames)
    {
        for (const std::string& name : SceneObjects(scene).value_or(std::vector<std::string>{}))
        {
            roots.push_back(name);
        }
    }
    for (const AirshipArchetype& airship : kAirships)
    {
        roots.emplace_back(airship.name);
    }
    for (const std::string& name : roots)
    {
        archetypes.insert(name);
        if (const auto placed = library.Place(name))
        {
            visit(*placed);
        }
    }
    for (const auto& [stem, file] : library.Archetypes())
    {
        EXPECT_EQ(archetypes.count(stem), 1U) << "GameObjects/" << stem << ".json is never used";
    }
    for (const auto& [stem, file] : library.Children())
    {
        EXPECT_EQ(children.count(stem), 1U) << "GameObjects/Children/" << stem << ".json is never used";
    }
}

struct Vertex
{
    double x, y, u, v;
};

std::vector<Vertex> ReadMesh(const std::string& name)
{
    const JsonFile file = LoadJson(MeshPath(name));
    EXPECT_TRUE(file.ok) << name << ": " << file.error;
    const rapidjson::Value* mesh = file.ok ? Member(file.document, "Mesh") : nullptr;
    if (mesh == nullptr || !mesh->IsObject())
    {
        ADD_FAILURE() << name << " has no object \"Mesh\"";
        return {};
    }
    EXPECT_EQ(StringMember(*mesh, "name").value_or(""), name);
    EXPECT_TRUE(NumberMember(*mesh, "xHalfSize")) << name;
    EXPECT_TRUE(NumberMember(*mesh, "yHalfSize")) << name;
    const auto count = IntMember(*mesh, "VerteciesCount");
    const rapidjson::Value* list = Member(*mesh, "Vertecies");
    if (!count || list == nullptr || !list->IsArray() || *count < 0 ||
        static_cast<rapidjson::SizeType>(*count) > list->Size())
    {
        ADD_FAILURE() << name << ": \"VerteciesCount\" and \"Vertecies\" do not agree";
        return {};
    }
    std::vector<Vertex> vertices;
    for (int index = 0; index < *count; ++index)
    {
        const rapidjson::Value& element = (*list)[static_cast<rapidjson::SizeType>(index)];
        for (const char* key : {"position_x", "position_y", "u", "v", "r", "g", "b", "a"})
        {
            EXPECT_TRUE(NumberMember(element, key)) << name << " vertex " << index << " key " << key;
        }
        vertices.push_back({NumberMember(element, "position_x").value_or(0), NumberMember(element, "position_y").value_or(0),
                            NumberMember(element, "u").value_or(0), NumberMember(element, "v").value_or(0)});
    }
    return vertices;
}

// Twice the signed area of a triangle; positive when counter-clockwise.
double Area2(const Vertex& a, const Vertex& b, const Vertex& c)
{
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

TEST(AssetFiles, MeshesAreAUnitQuadAndABarWithItsRightEdgeWhereTheBarWidthMovesIt)
{
    for (const std::string& name : {std::string("Quad"), std::string("Bar_Mesh")})
    {
        const std::vector<Vertex> vertices = ReadMesh(name);
        ASSERT_EQ(vertices.size(), 6U) << name;
        double area = 0;
        for (size_t first = 0; first < vertices.size(); first += 3)
        {
            area += std::abs(Area2(vertices[first], vertices[first + 1], vertices[first + 2])) / 2.0;
        }
        EXPECT_DOUBLE_EQ(area, 1.0) << name << " covers the unit square";
        for (const Vertex& vertex : vertices)
        {
            // Images are stored top row first, so the top of the quad takes the top of the frame.
            EXPECT_DOUBLE_EQ(vertex.u, vertex.x + 0.5) << name;
            EXPECT_DOUBLE_EQ(vertex.v, 0.5 - vertex.y) << name;
        }
    }
    const std::vector<Vertex> bar = ReadMesh("Bar_Mesh");
    ASSERT_EQ(bar.size(), 6U);
    for (const size_t right : {0U, 1U, 3U})
    {
        EXPECT_DOUBLE_EQ(bar[right].x, 0.5) << "vertex " << right << " is on the right edge";
    }
    for (const size_t left : {2U, 4U, 5U})
    {
        EXPECT_DOUBLE_EQ(bar[left].x, -0.5) << "vertex " << left << " is on the left edge";
    }
    // Moving the right edge keeps both triangles non-degenerate for any positive width.
    EXPECT_NE(bar[0].y, bar[1].y);
    EXPECT_NE(Area2(bar[3], bar[4], bar[5]), 0.0);
}
} // namespace
} // namespace kp::assets
