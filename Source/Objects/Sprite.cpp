#include "Objects/Sprite.h"

#include "Engine/Mesh.h"
#include "Engine/MeshManager.h"
#include "Engine/SpriteSourceManager.h"
#include "Objects/GameObject.h"
#include "Objects/ObjectFileJson.h"
#include "Objects/RendererDraws.h"
#include "Objects/Transform.h"

#include <glm/vec4.hpp>

namespace
{
constexpr rapidjson::SizeType kColourChannels = 3;
} // namespace

Sprite::~Sprite()
{
    MeshManager::ReleaseBarMesh(mesh);
}

Component* Sprite::Clone() const
{
    auto* copy = new Sprite(*this);
    if (mesh != nullptr && mesh->name == MeshManager::kBarMeshName)
    {
        copy->mesh = MeshManager::Get(MeshManager::kBarMeshName);
    }
    return copy;
}

void Sprite::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& member = trindle::JsonObject(trindle::ObjectFileRoot(document), "Sprite");
    const int readFrame = trindle::JsonInt(member, "frameIndex");
    const float readAlpha = trindle::JsonFloat(member, "alpha");
    if (trindle::FindJsonMember(member, "RGB") != nullptr)
    {
        const rapidjson::Value& rgb = trindle::JsonArray(member, "RGB");
        if (rgb.Size() > kColourChannels)
        {
            trindle::JsonKeyCheckFailed("RGB", "holds at most three numbers");
        }
        colour = glm::vec3(0.0f);
        for (rapidjson::SizeType index = 0; index < rgb.Size(); ++index)
        {
            colour[static_cast<glm::length_t>(index)] =
                trindle::JsonFloatValue(rgb[index], "RGB[" + std::to_string(index) + "]");
        }
    }
    const std::string meshName = trindle::JsonString(member, "Mesh");
    const std::string sourceName = trindle::JsonString(member, "SpriteSource");
    if (trindle::FindJsonMember(member, "Text") != nullptr)
    {
        text = trindle::JsonString(member, "Text");
    }
    if (trindle::FindJsonMember(member, "TextMode") != nullptr)
    {
        textMode = trindle::JsonString(member, "TextMode");
    }
    frameIndex = readFrame;
    alpha = readAlpha;
    MeshManager::ReleaseBarMesh(mesh);
    mesh = MeshManager::Get(meshName);
    spriteSource = SpriteSourceManager::Get(sourceName);
}

void Sprite::Draw()
{
    Transform* transform = owner != nullptr ? owner->GetComponent<Transform>() : nullptr;
    if (spriteSource == nullptr || mesh == nullptr || transform == nullptr)
    {
        return;
    }
    const glm::vec4 tint(colour, alpha);
    if (textMode == kNoTextMode)
    {
        Renderer::DrawSprite(spriteSource, mesh, transform, static_cast<unsigned>(frameIndex), &tint);
        return;
    }

    const glm::vec3 start = transform->translation;
    int line = 0;
    for (const char character : text)
    {
        if (character == kLineBreak)
        {
            line -= 1;
            transform->translation = glm::vec3(
                start.x, start.y + kLineHeight * (static_cast<float>(line) * transform->scale.y), start.z);
            transform->dirty = true;
            continue;
        }
        transform->translation.x += kGlyphAdvance * transform->scale.x;
        transform->dirty = true;
        const unsigned code = static_cast<unsigned char>(character);
        Renderer::DrawSprite(spriteSource, mesh, transform, code - kFirstGlyphCode, &tint);
    }
    transform->translation = start;
    transform->dirty = true;
}
