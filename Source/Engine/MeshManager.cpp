#include "Engine/MeshManager.h"

#include "Engine/Mesh.h"

#include <algorithm>

namespace MeshManager
{
namespace
{
std::vector<Mesh*>& Registry()
{
    static std::vector<Mesh*> meshes;
    return meshes;
}
} // namespace

Mesh* Get(const std::string& name)
{
    if (name != kBarMeshName)
    {
        if (Mesh* found = Find(name))
        {
            return found;
        }
    }
    Mesh* mesh = new Mesh(TEResources::ReadMeshFile(kMeshFolder + name + ".json"));
    Add(mesh);
    mesh->CreateBuffers();
    return mesh;
}

Mesh* Find(const std::string& name)
{
    for (Mesh* mesh : Registry())
    {
        if (mesh->name == name)
        {
            return mesh;
        }
    }
    return nullptr;
}

void Add(Mesh* mesh)
{
    if (mesh != nullptr)
    {
        Registry().insert(Registry().begin(), mesh);
    }
}

bool Remove(Mesh* mesh)
{
    std::vector<Mesh*>& meshes = Registry();
    const auto entry = std::find(meshes.begin(), meshes.end(), mesh);
    if (entry == meshes.end())
    {
        return false;
    }
    meshes.erase(entry);
    return true;
}

void ReleaseBarMesh(Mesh* mesh)
{
    std::vector<Mesh*>& meshes = Registry();
    const auto entry = std::find(meshes.begin(), meshes.end(), mesh);
    if (entry == meshes.end() || (*entry)->name != kBarMeshName)
    {
        return;
    }
    meshes.erase(entry);
    mesh->Destroy();
    delete mesh;
}

void DestroyAll()
{
    for (Mesh* mesh : Registry())
    {
        mesh->Destroy();
        delete mesh;
    }
    Registry().clear();
}

const std::vector<Mesh*>& Entries()
{
    return Registry();
}
} // namespace MeshManager
