// What every behaviour has, in the behaviour slot (Behavior.h) or the particle behaviour slot
// (EmitterBehavior.h): a name, a small state machine with a one-frame lag (`nextState` is written
// now and becomes `currentState` at the start of the next update), a reset, and the collision hook
// the scene's collision pass calls.
//
// Threading: main thread. Ownership: owned by its object like every component.
#pragma once

#include "Objects/Component.h"

#include <string>

class GameObject;

class StateMachineComponent : public Component
{
public:
    // The name every constructor gives; the object reader overwrites it for some classes.
    static constexpr const char* kUnnamed = "BIG ERROR";
    // currentState before the first Init or update.
    static constexpr int kStateUninitialised = -1;

    // The first step of every class's update: currentState := nextState.
    void Update(float dt) override;
    // Puts the behaviour back to its starting look; nothing unless a class says otherwise.
    virtual void Reset() {}
    // The scene's collision pass found `other` inside this object's collider, or this object
    // inside `other`'s (each ordered pair is reported to both sides).
    virtual void OnCollision(GameObject* other) = 0;

    std::string name;
    int currentState = kStateUninitialised;
    int nextState = 0;

protected:
    StateMachineComponent(ComponentType kind, std::string behaviorName, int firstState)
        : Component(kind), name(std::move(behaviorName)), nextState(firstState)
    {
    }
    StateMachineComponent(const StateMachineComponent&) = default;
    // Copies the base fields of `source` (owner included; adding the clone to an object sets it).
    void CopyFrom(const StateMachineComponent& source);
};
