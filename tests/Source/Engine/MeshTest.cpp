// Mesh files, the mesh registry and bar meshes.
#include "Engine/Mesh.h"

#include "AssetFolder.h"
#include "Engine/Engine.h"
#include "Engine/MeshManager.h"
#include "Engine/SpriteSourceManager.h"
#include "support/GlContext.h"

#include <glad/gl.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
using kp::test::AssetFolder;
using kp::test::WorkingFolder;

TEST(ReadMeshFile, ReadsEveryKeyAndIgnoresVerticesPastTheCount)
{
    AssetFolder folder;
    folder.Write("Assets/Mesh/Tri.json",
                 R"({"Mesh": {"name": "Triangle", "xHalfSize": 12.5, "yHalfSize": 0.25,
        "VerteciesCount": 2, "Vertecies": [
          {"position_x": -1, "position_y": 2.5, "u": 0, "v": 1, "r": 0.1, "g": 0.2, "b": 0.3, "a": 0.4},
          {"position_x": 3, "position_y": -4, "u": 1, "v": 0.5, "r": 1, "g": 0, "b": 1, "a": 1},
          {"position_x": 99, "position_y": 99, "u": 9, "v": 9, "r": 9, "g": 9, "b": 9, "a": 9}]}})");
    WorkingFolder here(folder.Root());

    const Mesh mesh = TEResources::ReadMeshFile("./Assets/Mesh/Tri.json");
    EXPECT_EQ(mesh.name, "Triangle"); // the name inside the file, not the file's name
    EXPECT_FLOAT_EQ(mesh.xHalfSize, 12.5f);
    EXPECT_FLOAT_EQ(mesh.yHalfSize, 0.25f);
    EXPECT_EQ(mesh.vertexCount, 2);
    ASSERT_EQ(mesh.vertices.size(), 2u);
    const Mesh::Vertex& first = mesh.vertices[0];
    EXPECT_EQ(std::vector<float>({first.x, first.y, first.u, first.v, first.r, first.g, first.b, first.a}),
              std::vector<float>({-1.0f, 2.5f, 0.0f, 1.0f, 0.1f, 0.2f, 0.3f, 0.4f}));
    EXPECT_FLOAT_EQ(mesh.vertices[1].y, -4.0f);
    EXPECT_EQ(mesh.vertexArray, 0u); // reading makes no GL objects
    EXPECT_EQ(mesh.vertexBuffer, 0u);
}

// Each broken file stops the program with a message naming the file and what is wrong with it.
TEST(ReadMeshFileDeathTest, BrokenFilesStopNamingTheFileAndKey)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string vertex =
        R"({"position_x": 0, "position_y": 0, "u": 0, "v": 0, "r": 1, "g": 1, "b": 1, "a": 1})";
    struct BrokenCase
    {
        const char* file;
        std::string text; // empty: the file is not written
        const char* expected;
    };
    const BrokenCase cases[] = {
        {"Missing", "", "Missing\\.json.*exists"},
        {"NotJson", "{\"Mesh\": {\"name\": ", "NotJson\\.json.*valid JSON"},
        {"NoMesh", R"({"Meshes": {}})", "NoMesh\\.json.*\"Mesh\" is present"},
        // A NUL byte would end the text for the parser: the file would read as empty, or what
        // follows would be ignored.
        {"NulFirst", std::string("\0{\"Mesh\": {}}", 13), "NulFirst\\.json.*holds no NUL byte .one is at byte 0"},
        {"NulInside", std::string(R"({"Mesh": 1})") + '\0' + " trailing",
         "NulInside\\.json.*holds no NUL byte .one is at byte 11"},
        {"DeeplyNested", std::string(200000, '['), "DeeplyNested\\.json.*valid JSON"},
        {"MeshNotObject", R"({"Mesh": [1, 2]})", "MeshNotObject\\.json.*\"Mesh\" is an object"},
        {"NameNumber",
         R"({"Mesh": {"name": 5, "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": 0, "Vertecies": []}})",
         "NameNumber\\.json.*\"name\" is a string"},
        {"FloatCount",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": 1.5, "Vertecies": []}})",
         "FloatCount\\.json.*\"VerteciesCount\" is a 32-bit integer"},
        {"CountTooLarge",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": 2, "Vertecies": [)" +
             vertex + "]}}",
         "CountTooLarge\\.json.*\"VerteciesCount\" is at most the length"},
        {"NegativeCount",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": -1, "Vertecies": []}})",
         "NegativeCount\\.json.*\"VerteciesCount\" is not negative"},
        {"CorrectSpelling",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerticesCount": 0, "Vertices": []}})",
         "CorrectSpelling\\.json.*\"VerteciesCount\" is present"},
        {"VertexMissingU",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": 1, "Vertecies": [
            {"position_x": 0, "position_y": 0, "v": 0, "r": 1, "g": 1, "b": 1, "a": 1}]}})",
         "VertexMissingU\\.json.*\"u\" is present"},
        {"VertexText",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": 1, "Vertecies": [
            {"position_x": "0", "position_y": 0, "u": 0, "v": 0, "r": 1, "g": 1, "b": 1, "a": 1}]}})",
         "VertexText\\.json.*Vertecies\\[0\\]\\.position_x\" is a number"},
        {"VertexNotObject",
         R"({"Mesh": {"name": "m", "xHalfSize": 1, "yHalfSize": 1, "VerteciesCount": 1, "Vertecies": [7]}})",
         "VertexNotObject\\.json.*Vertecies\\[0\\]\" is an object"},
    };
    AssetFolder folder;
    for (const BrokenCase& broken : cases)
    {
        if (!broken.text.empty())
        {
            folder.Write(std::string("Assets/Mesh/") + broken.file + ".json", broken.text);
        }
    }
    WorkingFolder here(folder.Root());
    for (const BrokenCase& broken : cases)
    {
        SCOPED_TRACE(broken.file);
        const std::string path = std::string("./Assets/Mesh/") + broken.file + ".json";
        EXPECT_DEATH(TEResources::ReadMeshFile(path),
                     std::string("Malformed JSON asset.*") + broken.expected);
    }
}

class MeshManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_context.IsReady()) << m_context.Error();
        m_folder.Write("Assets/Mesh/Quad.json", kp::test::RectangleMeshJson("Quad", 0.5f, 0.5f));
        m_folder.Write("Assets/Mesh/Bar_Mesh.json", kp::test::RectangleMeshJson("Bar_Mesh", 0.5f, 0.5f));
    }
    void TearDown() override { MeshManager::DestroyAll(); }

    // The vertices the mesh's GL buffer holds.
    static std::vector<Mesh::Vertex> BufferVertices(const Mesh& mesh)
    {
        std::vector<Mesh::Vertex> vertices(static_cast<size_t>(mesh.vertexCount));
        glBindBuffer(GL_ARRAY_BUFFER, mesh.vertexBuffer);
        glGetBufferSubData(GL_ARRAY_BUFFER, 0,
                           static_cast<GLsizeiptr>(vertices.size() * sizeof(Mesh::Vertex)), vertices.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return vertices;
    }

    kp::test::GlContext m_context{16, 16};
    AssetFolder m_folder;
    WorkingFolder m_here{m_folder.Root()};
};

TEST_F(MeshManagerTest, SameNameSharesOneMeshAndLookUpIsExact)
{
    Mesh* quad = MeshManager::Get("Quad");
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->name, "Quad");
    EXPECT_EQ(quad->vertexCount, 6);
    EXPECT_NE(quad->vertexArray, 0u);
    EXPECT_NE(quad->vertexBuffer, 0u);

    // The second request reads no file: with the file gone it still answers the same mesh.
    std::filesystem::remove(m_folder.Root() / "Assets/Mesh/Quad.json");
    EXPECT_EQ(MeshManager::Get("Quad"), quad);
    EXPECT_EQ(MeshManager::Entries().size(), 1u);

    EXPECT_EQ(MeshManager::Find("Quad"), quad);
    for (const char* other : {"quad", "QUAD", "Quad ", "Qua", ""})
    {
        EXPECT_EQ(MeshManager::Find(other), nullptr) << '"' << other << '"';
    }
}

TEST_F(MeshManagerTest, EveryBarMeshRequestGivesANewMesh)
{
    Mesh* quad = MeshManager::Get("Quad");
    Mesh* first = MeshManager::Get("Bar_Mesh");
    Mesh* second = MeshManager::Get("Bar_Mesh");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->vertexArray, second->vertexArray);
    EXPECT_NE(first->vertexBuffer, second->vertexBuffer);
    // New entries go to the front; a look-up answers the newest bar.
    EXPECT_EQ(MeshManager::Entries(), (std::vector<Mesh*>{second, first, quad}));
    EXPECT_EQ(MeshManager::Find("Bar_Mesh"), second);
}

TEST_F(MeshManagerTest, ABarMeshIsReleasedAloneAndASharedMeshNever)
{
    Mesh* quad = MeshManager::Get("Quad");
    Mesh* first = MeshManager::Get("Bar_Mesh");
    Mesh* second = MeshManager::Get("Bar_Mesh");
    const unsigned firstBuffer = first->vertexBuffer;
    MeshManager::ReleaseBarMesh(first);
    EXPECT_EQ(MeshManager::Entries(), (std::vector<Mesh*>{second, quad}));
    EXPECT_FALSE(glIsBuffer(firstBuffer)) << "its GL objects are deleted";
    EXPECT_TRUE(glIsBuffer(second->vertexBuffer));

    MeshManager::ReleaseBarMesh(quad);
    MeshManager::ReleaseBarMesh(nullptr);
    EXPECT_EQ(MeshManager::Entries(), (std::vector<Mesh*>{second, quad})) << "shared meshes stay";

    // At shutdown the registry goes first and the sprites after it: their bar meshes are gone.
    MeshManager::DestroyAll();
    MeshManager::ReleaseBarMesh(second);
    EXPECT_TRUE(MeshManager::Entries().empty());
}

TEST_F(MeshManagerTest, SetBarWidthMovesTheRightEdgeOnly)
{
    Mesh* bar = MeshManager::Get("Bar_Mesh");
    Mesh* other = MeshManager::Get("Bar_Mesh");
    Mesh* quad = MeshManager::Get("Quad");
    ASSERT_EQ(MeshManager::Entries(), (std::vector<Mesh*>{quad, other, bar}));
    const std::vector<Mesh::Vertex> before = bar->vertices;

    bar->SetBarWidth(3.75f);

    ASSERT_EQ(bar->vertices.size(), before.size());
    for (size_t index = 0; index < before.size(); ++index)
    {
        SCOPED_TRACE(index);
        const bool moved = index == 0 || index == 1 || index == 3;
        EXPECT_EQ(bar->vertices[index].x, moved ? 3.75f : before[index].x);
        EXPECT_EQ(bar->vertices[index].y, before[index].y);
        EXPECT_EQ(bar->vertices[index].u, before[index].u);
        EXPECT_EQ(bar->vertices[index].v, before[index].v);
    }
    // The GPU holds the changed vertices, and the bar moved to the front of the registry.
    const std::vector<Mesh::Vertex> uploaded = BufferVertices(*bar);
    for (size_t index = 0; index < uploaded.size(); ++index)
    {
        EXPECT_EQ(uploaded[index].x, bar->vertices[index].x) << index;
    }
    EXPECT_EQ(MeshManager::Entries(), (std::vector<Mesh*>{bar, quad, other}));
    // The other bar is untouched.
    EXPECT_EQ(other->vertices[0].x, -0.5f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshManagerTest, SetBarWidthOnAMeshOutsideTheRegistryLeavesTheRegistryAlone)
{
    Mesh* quad = MeshManager::Get("Quad");
    Mesh own = TEResources::ReadMeshFile("./Assets/Mesh/Bar_Mesh.json");
    own.CreateBuffers();
    own.SetBarWidth(2.0f);
    EXPECT_EQ(own.vertices[3].x, 2.0f);
    EXPECT_EQ(MeshManager::Entries(), (std::vector<Mesh*>{quad}));
    own.Destroy();
}

TEST_F(MeshManagerTest, DestroyClearsTheMeshAndShutdownEmptiesBothRegistries)
{
    Mesh* quad = MeshManager::Get("Quad");
    const unsigned vertexArray = quad->vertexArray;
    quad->Destroy();
    EXPECT_EQ(quad->vertexCount, 0);
    EXPECT_EQ(quad->name, "");
    EXPECT_EQ(quad->vertexArray, 0u);
    EXPECT_EQ(quad->vertexBuffer, 0u);
    EXPECT_EQ(quad->xHalfSize, 0.0f);
    EXPECT_EQ(glIsVertexArray(vertexArray), GL_FALSE);

    MeshManager::Get("Bar_Mesh");
    EngineShutdown();
    EXPECT_TRUE(MeshManager::Entries().empty());
    EXPECT_TRUE(SpriteSourceManager::Entries().empty());
}

TEST(MeshManagerDeathTest, AMissingMeshFileStopsNamingItsPath)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    AssetFolder folder;
    WorkingFolder here(folder.Root());
    // The file is read before any GL object is made, so no context is needed to see it stop.
    EXPECT_DEATH(MeshManager::Get("Nowhere"), "Malformed JSON asset \"\\./Assets/Mesh/Nowhere\\.json\"");
}
} // namespace
