#include "Objects/Animation.h"

#include "Engine/SpriteSource.h"
#include "Objects/GameObject.h"
#include "Objects/ObjectFileJson.h"
#include "Objects/Sprite.h"

Component* Animation::Clone() const
{
    return new Animation(*this);
}

void Animation::Read(const std::string& fileText)
{
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& member = trindle::JsonObject(trindle::ObjectFileRoot(document), "Animation");
    FrameCount = trindle::JsonInt(member, "FrameCount");
    FrameDuration = trindle::JsonFloat(member, "FrameDuration");
    IsLooping = trindle::JsonBool(member, "IsLooping");
    DiffAnimations = trindle::JsonBool(member, "DiffAnimations");
}

void Animation::Update(float dt)
{
    finished = false;
    if (!playing)
    {
        return;
    }
    clock -= dt;
    if (clock <= 0.0f)
    {
        StepFrame();
    }
}

int Animation::SheetColumns() const
{
    const Sprite* sprite = owner != nullptr ? owner->GetComponent<Sprite>() : nullptr;
    if (sprite == nullptr || sprite->spriteSource == nullptr || sprite->spriteSource->numCols < 1)
    {
        return 1;
    }
    return sprite->spriteSource->numCols;
}

void Animation::StepFrame()
{
    if (DiffAnimations)
    {
        const int columns = SheetColumns();
        const int old = frameIndex;
        frameIndex = old + 1;
        if ((old + 1) / columns != old / columns)
        {
            if (IsLooping)
            {
                frameIndex = old + 1 - columns; // back to the row's first frame
            }
            else
            {
                playing = false;
                frameIndex = (old / columns) * columns;
            }
            finished = true;
        }
    }
    else
    {
        frameIndex += 1;
        if (frameIndex >= FrameCount)
        {
            if (!IsLooping)
            {
                playing = false;
            }
            frameIndex = 0;
            finished = true;
        }
    }

    if (playing)
    {
        if (Sprite* sprite = owner != nullptr ? owner->GetComponent<Sprite>() : nullptr)
        {
            sprite->frameIndex = frameIndex;
        }
        clock += FrameDuration;
    }
    else
    {
        clock = 0.0f;
    }
}
