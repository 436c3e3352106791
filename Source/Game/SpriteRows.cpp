#include "Game/SpriteRows.h"

#include "Engine/SpriteSource.h"
#include "Objects/Animation.h"
#include "Objects/GameObject.h"
#include "Objects/Sprite.h"

namespace
{
const SpriteSource* SheetOf(const GameObject* object)
{
    const Sprite* sprite = object != nullptr ? object->GetComponent<Sprite>() : nullptr;
    return sprite != nullptr ? sprite->spriteSource : nullptr;
}

int ColumnsOf(const SpriteSource& sheet)
{
    return sheet.numCols > 0 ? sheet.numCols : 1;
}

void SetFrame(GameObject* object, int frame)
{
    if (auto* animation = object->GetComponent<Animation>())
    {
        animation->frameIndex = frame;
    }
    if (auto* sprite = object->GetComponent<Sprite>())
    {
        sprite->frameIndex = frame;
    }
}
} // namespace

void ShowRow(GameObject* object, int row)
{
    const SpriteSource* sheet = SheetOf(object);
    if (sheet == nullptr || row < 0 || sheet->numRows <= row)
    {
        return;
    }
    SetFrame(object, row * ColumnsOf(*sheet));
}

int CurrentRow(const GameObject* object)
{
    const SpriteSource* sheet = SheetOf(object);
    if (sheet == nullptr)
    {
        return -1;
    }
    const auto* animation = object->GetComponent<Animation>();
    const int frame = animation != nullptr ? animation->frameIndex : object->GetComponent<Sprite>()->frameIndex;
    return frame / ColumnsOf(*sheet);
}

int RowCount(const GameObject* object)
{
    const SpriteSource* sheet = SheetOf(object);
    return sheet != nullptr ? sheet->numRows : 0;
}

void ShowNextRow(GameObject* object)
{
    const int row = CurrentRow(object);
    if (row >= 0)
    {
        ShowRow(object, row + 1);
    }
}

void RestartAnimation(GameObject* object)
{
    auto* animation = object != nullptr ? object->GetComponent<Animation>() : nullptr;
    if (animation == nullptr)
    {
        return;
    }
    animation->frameIndex = 0;
    animation->clock = animation->FrameDuration;
    animation->IsLooping = false;
    animation->finished = false;
    animation->playing = true;
    if (auto* sprite = object->GetComponent<Sprite>())
    {
        sprite->frameIndex = 0;
    }
}

void SetAnimationPlaying(GameObject* object, bool playing)
{
    if (auto* animation = object != nullptr ? object->GetComponent<Animation>() : nullptr)
    {
        animation->playing = playing;
    }
}

void SetAlpha(GameObject* object, float alpha)
{
    if (auto* sprite = object != nullptr ? object->GetComponent<Sprite>() : nullptr)
    {
        sprite->alpha = alpha;
    }
}

void SetSpriteFrame(GameObject* object, int frame)
{
    if (auto* sprite = object != nullptr ? object->GetComponent<Sprite>() : nullptr)
    {
        sprite->frameIndex = frame;
    }
}
