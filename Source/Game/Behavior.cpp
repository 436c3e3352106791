#include "Game/Behavior.h"

void Behavior::Update(float dt)
{
    static_cast<void>(dt);
    currentState = nextState;
}

void Behavior::CopyFrom(const Behavior& source)
{
    type = source.type;
    owner = source.owner;
    name = source.name;
    currentState = source.currentState;
    nextState = source.nextState;
}
