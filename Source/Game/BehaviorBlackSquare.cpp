#include "Game/BehaviorBlackSquare.h"

#include "Engine/Fade.h"
#include "Objects/GameObject.h"
#include "Objects/Sprite.h"

namespace
{
Sprite* OwnerSprite(const Component& component)
{
    return component.owner != nullptr ? component.owner->GetComponent<Sprite>() : nullptr;
}
} // namespace

void BehaviorBlackSquare::Init()
{
    const Sprite* sprite = OwnerSprite(*this);
    const float alpha = sprite != nullptr ? sprite->alpha : 1.0f;
    // A clear square darkens the screen; any other fades out (a fade toward 0 falls at its fixed rate).
    fade = alpha == 0.0f ? CreateFade(1.0f, kFadeInSeconds, alpha) : CreateFade(0.0f, 1.0f, alpha);
}

Component* BehaviorBlackSquare::Clone() const
{
    auto* copy = new BehaviorBlackSquare();
    copy->CopyFrom(*this);
    copy->fade = fade;
    return copy;
}

void BehaviorBlackSquare::Update(float dt)
{
    Behavior::Update(dt);
    Sprite* sprite = OwnerSprite(*this);
    if (fade != nullptr && fade->active && sprite != nullptr)
    {
        sprite->alpha = fade->value;
    }
}
