#include "Game/TimerResult.h"

#include "Game/Background.h"
#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Objects/SceneManager.h"
#include "Objects/Sprite.h"

#include <cstdio>

void TimerResult::Init()
{
    SetStateZero();
    if (const auto* result =
            ComponentOf<Background>(FindSceneObject(SceneManager::kPlayField, ObjectNames::kGameBackground)))
    {
        seconds = result->roundTimeLeft;
    }
}

void TimerResult::Update(float dt)
{
    Behavior::Update(dt);
    if (auto* sprite = Own<Sprite>())
    {
        char text[64];
        std::snprintf(text, sizeof text, "%f", static_cast<double>(seconds));
        sprite->SetText(text);
    }
}
