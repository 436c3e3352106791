#include "Game/StateMachineComponent.h"

void StateMachineComponent::Update(float dt)
{
    static_cast<void>(dt);
    currentState = nextState;
}

void StateMachineComponent::CopyFrom(const StateMachineComponent& source)
{
    type = source.type;
    owner = source.owner;
    name = source.name;
    currentState = source.currentState;
    nextState = source.nextState;
}
