// The renderer's two draws for components: one frame of a sprite source on a mesh, placed by an
// object's Transform (sprites and text glyphs) or by a ready world matrix (particles). Both are
// Renderer::DrawMeshFrame with the sheet's texture and frame layout and the mesh's vertices; they
// sit beside the components because the sprite draw reads the Transform's world matrix.
//
// Threading: main thread, with the window's context current, inside the draw pass.
// Ownership: borrows everything it is given. A null argument draws nothing.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec4.hpp>

class Mesh;
class SpriteSource;
class Transform;

namespace Renderer
{
// Frame `frame` of `source` on `mesh`, placed by the transform's world matrix (rebuilt first when
// dirty), tinted by `colour` (r, g, b, alpha).
void DrawSprite(const SpriteSource* source, const Mesh* mesh, Transform* transform, unsigned frame,
                const glm::vec4* colour);
// The same with the world matrix supplied by the caller.
void DrawParticle(const SpriteSource* source, const Mesh* mesh, const glm::mat4* world, unsigned frame,
                  const glm::vec4* colour);
} // namespace Renderer
