#include "Objects/RendererDraws.h"

#include "Engine/Mesh.h"
#include "Engine/Renderer.h"
#include "Engine/SpriteSource.h"
#include "Objects/Transform.h"

namespace Renderer
{
void DrawSprite(const SpriteSource* source, const Mesh* mesh, Transform* transform, unsigned frame,
                const glm::vec4* colour)
{
    if (transform == nullptr)
    {
        return;
    }
    const glm::mat4& world = transform->GetMatrix();
    DrawParticle(source, mesh, &world, frame, colour);
}

void DrawParticle(const SpriteSource* source, const Mesh* mesh, const glm::mat4* world, unsigned frame,
                  const glm::vec4* colour)
{
    if (source == nullptr || mesh == nullptr || world == nullptr || colour == nullptr)
    {
        return;
    }
    DrawMeshFrame(source->texture, static_cast<unsigned>(source->numCols),
                  static_cast<unsigned>(source->numRows), mesh->vertexArray, mesh->vertexCount, *world, frame,
                  *colour);
}
} // namespace Renderer
