#include "Game/FPSDisplay.h"

#include "Engine/EngineGlobals.h"
#include "Engine/Input.h"
#include "Objects/Sprite.h"

#include <string>

void FPSDisplay::Update(float dt)
{
    Behavior::Update(dt);
    if (Input::WentUp(kToggleKey))
    {
        hidden = !hidden;
    }
    if (auto* sprite = Own<Sprite>())
    {
        sprite->alpha = hidden ? 0.0f : 1.0f;
        sprite->SetText(std::to_string(static_cast<int>(framesPerSecond)));
    }
}
