// The base of every piece of game logic: a component in the behaviour slot (kind 6) of an object,
// driven by the object's update, told by the scene's collision pass which objects it touches, and
// built by the object reader's name cascade. Each class keeps a small state machine with a one-frame
// lag: `nextState` is written now and becomes `currentState` at the start of the next update.
//
// Threading: main thread. Ownership: owned by its object like every component; a behaviour owns
// nothing else (timers and fades belong to their global lists).
#pragma once

#include "Game/StateMachineComponent.h"
#include "Objects/GameObject.h"

#include <string>

class Behavior : public StateMachineComponent
{
public:
    static constexpr ComponentType kType = ComponentType::Behavior;

    // Makes a copy of the same class (its constructor, then CopyFrom, then its own fields).
    Component* Clone() const override = 0;

    // The owner's component of class T, or null (also before the behaviour has an owner).
    template <class T> T* Own() const { return ComponentOf<T>(owner); }

protected:
    Behavior(std::string behaviorName, int firstState) : StateMachineComponent(kType, std::move(behaviorName), firstState)
    {
    }
    Behavior(const Behavior&) = default;
    // The Init most classes share: an uninitialised behaviour starts from state 0 at its next
    // update. (Others set currentState itself; each class says which.)
    void StartAtStateZero()
    {
        if (currentState == kStateUninitialised)
        {
            nextState = 0;
        }
    }
    // The other form: the state itself is 0 from now on.
    void SetStateZero()
    {
        if (currentState == kStateUninitialised)
        {
            currentState = 0;
        }
    }
};

// The Clone of a class whose copy is a copy of every field (timers shared with the original): a
// copy-constructed instance of `Derived`, the most derived class.
template <class Derived, class Base = Behavior>
class CopyCloned : public Base
{
public:
    Component* Clone() const override { return new Derived(static_cast<const Derived&>(*this)); }

protected:
    using Base::Base;
    CopyCloned(const CopyCloned&) = default;
};
