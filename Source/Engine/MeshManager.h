// The mesh registry: every mesh the game uses, found by exact, case-sensitive name and loaded from
// "./Assets/Mesh/<name>.json" on first use, so that sprites naming the same mesh share it. The
// bar mesh is the exception: each request loads a new one, so that every bar can change its width
// on its own.
//
// Threading: main thread, with the window's context current (loading creates GL objects).
// Ownership: the registry owns its meshes from Add until DestroyAll (shutdown). Sprites borrow the
// shared meshes. A bar mesh is made for one sprite and goes with it: the sprite hands it back with
// ReleaseBarMesh, so building and tearing down screens with bars does not pile meshes up.
#pragma once

#include <string>
#include <vector>

class Mesh;

namespace MeshManager
{
// The name whose every request loads a new mesh.
constexpr const char* kBarMeshName = "Bar_Mesh";
// Where mesh files are found, relative to the working folder.
constexpr const char* kMeshFolder = "./Assets/Mesh/";

// The registered mesh named `name`, else a new one read from its file, registered and uploaded.
// "Bar_Mesh" is always read anew and registered once more.
Mesh* Get(const std::string& name);
// The first registered mesh whose name equals `name` exactly, or null.
Mesh* Find(const std::string& name);
// Inserts `mesh` at the front of the registry, which takes ownership of it.
void Add(Mesh* mesh);
// Takes the first entry holding `mesh` out of the registry without deleting it; false when the
// registry does not hold it.
bool Remove(Mesh* mesh);
// Takes `mesh` out of the registry, releases its GL objects and deletes it, when it is a bar mesh
// the registry holds. Nothing for a shared mesh (any other name), for null, or for a mesh the
// registry no longer holds (after DestroyAll, at shutdown): the pointer is only compared until it
// is found in the registry.
void ReleaseBarMesh(Mesh* mesh);
// Destroys and deletes every mesh and empties the registry (shutdown).
void DestroyAll();
// The registry, front first.
const std::vector<Mesh*>& Entries();
} // namespace MeshManager
