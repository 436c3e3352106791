#include "Engine/Mesh.h"

#include "Engine/MeshManager.h"

#include <glad/gl.h>

namespace
{
// The vertices of a bar mesh that form its right edge.
constexpr int kBarRightEdgeVertices[] = {0, 1, 3};
} // namespace

void Mesh::SetBarWidth(float width)
{
    for (int index : kBarRightEdgeVertices)
    {
        if (index < vertexCount && static_cast<size_t>(index) < vertices.size())
        {
            vertices[static_cast<size_t>(index)].x = width;
        }
    }
    // Only a mesh the registry holds goes back into it: one built elsewhere stays its maker's.
    const bool registered = MeshManager::Remove(this);
    if (vertexArray != 0 && vertexBuffer != 0)
    {
        glDeleteBuffers(1, &vertexBuffer);
        glDeleteVertexArrays(1, &vertexArray);
    }
    CreateBuffers();
    if (registered)
    {
        MeshManager::Add(this);
    }
}

void Mesh::Destroy()
{
    vertexCount = 0;
    name.clear();
    if (vertexArray != 0 && vertexBuffer != 0)
    {
        glDeleteBuffers(1, &vertexBuffer);
        glDeleteVertexArrays(1, &vertexArray);
    }
    vertexArray = 0;
    vertexBuffer = 0;
    xHalfSize = 0.0f;
    yHalfSize = 0.0f;
    vertices.clear();
}

void Mesh::CreateBuffers()
{
    const int count = vertexCount <= static_cast<std::int32_t>(vertices.size())
                          ? vertexCount
                          : static_cast<int>(vertices.size());
    TEResources::CreateMeshBuffers(vertexArray, vertexBuffer, vertices.data(), count);
}
