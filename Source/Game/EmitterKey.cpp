#include "Game/EmitterKey.h"

#include "Engine/Input.h"

void EmitterKey::Update(float dt)
{
    EmitterBehavior::Update(dt);
    if (Input::StaysDown(kStreamKey))
    {
        Stream(dt);
    }
}
