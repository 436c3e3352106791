// A mesh: the vertex list of a flat shape (in practice a textured rectangle of two triangles),
// read from a mesh file and uploaded once into a vertex array and buffer that the sprite program
// draws as triangles. A bar mesh (health and timer bars) moves its right edge with SetBarWidth.
//
// Mesh file "./Assets/Mesh/<name>.json": {"Mesh": {"name", "xHalfSize", "yHalfSize",
// "VerteciesCount", "Vertecies": [{"position_x", "position_y", "u", "v", "r", "g", "b", "a"}...]}},
// every key required; vertices past "VerteciesCount" are ignored.
//
// Threading: main thread, with the window's context current for anything that touches GL objects.
// Ownership: a mesh owns its vertices and its GL objects (released by Destroy, not by the
// destructor, so that a mesh can be dropped without a context); the registry of MeshManager.h
// owns the meshes it holds.
#pragma once

#include "Engine/TEResources.h"

#include <cstdint>
#include <string>
#include <vector>

class Mesh
{
public:
    // The position, texture coordinate and colour of one vertex, in the sprite program's layout.
    using Vertex = TEResources::MeshVertex;

    // The name of a mesh that has not been read yet.
    static constexpr const char* kUnreadName = "nullptr";

    Mesh() = default;
    Mesh(Mesh&&) = default;
    Mesh& operator=(Mesh&&) = default;
    // Copies would share GL objects; no code copies a mesh.
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // Sets the x of vertices 0, 1 and 3 (the right edge of the bar) to `width`, then rebuilds the
    // GL objects from the changed vertices. A mesh held by the registry is moved to its front.
    // Vertices the mesh does not have are left alone.
    void SetBarWidth(float width);

    // Releases the GL objects and clears the mesh (shutdown, before it is deleted).
    void Destroy();

    // Creates the vertex array and buffer from `vertices` (the first vertexCount of them).
    void CreateBuffers();

    std::string name = kUnreadName;
    unsigned vertexArray = 0;  // GL vertex array, 0 when none
    unsigned vertexBuffer = 0; // GL buffer, 0 when none
    std::int32_t vertexCount = 0;
    float xHalfSize = 0.0f;
    float yHalfSize = 0.0f;
    std::vector<Vertex> vertices;
};

namespace TEResources
{
// Parses the mesh file at `path` into a new mesh: name, half sizes, count and vertices, without GL
// objects. A missing or malformed file, a missing key, a key of the wrong type, a negative count or
// a count larger than the vertex array stops the program with a message naming the file and key.
Mesh ReadMeshFile(const std::string& path);
// The same from the text of a mesh file; failures name the file that JsonFileScope set.
Mesh ParseMeshFile(const std::string& text);
} // namespace TEResources
