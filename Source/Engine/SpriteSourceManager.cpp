#include "Engine/SpriteSourceManager.h"

#include "Engine/SpriteSource.h"

namespace SpriteSourceManager
{
namespace
{
std::vector<SpriteSource*>& Registry()
{
    static std::vector<SpriteSource*> sources;
    return sources;
}
} // namespace

SpriteSource* Get(const std::string& name)
{
    if (SpriteSource* found = Find(name))
    {
        return found;
    }
    auto* source = new SpriteSource();
    source->Load(SpriteSource::kArtFolder + name + ".json");
    Add(source);
    return source;
}

SpriteSource* Find(const std::string& name)
{
    for (SpriteSource* source : Registry())
    {
        if (source->name == name)
        {
            return source;
        }
    }
    return nullptr;
}

void Add(SpriteSource* source)
{
    if (source != nullptr)
    {
        Registry().insert(Registry().begin(), source);
    }
}

void DestroyAll()
{
    for (SpriteSource* source : Registry())
    {
        delete source;
    }
    Registry().clear();
}

const std::vector<SpriteSource*>& Entries()
{
    return Registry();
}
} // namespace SpriteSourceManager
