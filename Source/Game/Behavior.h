// The base of every piece of game logic: a component in the behaviour slot (kind 6) of an object,
// driven by the object's update, told by the scene's collision pass which objects it touches, and
// built by the object reader's name cascade. Each class keeps a small state machine with a one-frame
// lag: `nextState` is written now and becomes `currentState` at the start of the next update.
//
// Threading: main thread. Ownership: owned by its object like every component; a behaviour owns
// nothing else (timers and fades belong to their global lists).
#pragma once

#include "Objects/Component.h"
#include "Objects/GameObject.h"

#include <string>

class Behavior : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Behavior;
    // The name every constructor gives; the object reader overwrites it for some classes.
    static constexpr const char* kUnnamed = "BIG ERROR";
    // currentState before the first Init or update.
    static constexpr int kStateUninitialised = -1;

    // Makes a copy of the same class (its constructor, then CopyFrom, then its own fields).
    Component* Clone() const override = 0;
    // The first step of every class's update: currentState := nextState.
    void Update(float dt) override;
    // Puts the behaviour back to its starting look; nothing unless a class says otherwise.
    virtual void Reset() {}
    // The scene's collision pass found `other` inside this object's collider, or this object
    // inside `other`'s (each ordered pair is reported to both sides). Ignored unless a class says
    // otherwise.
    virtual void OnCollision(GameObject* other) = 0;

    // The owner's component of class T, or null (also before the behaviour has an owner).
    template <class T> T* Own() const { return ComponentOf<T>(owner); }

    std::string name;
    int currentState = kStateUninitialised;
    int nextState = 0;

protected:
    Behavior(std::string behaviorName, int firstState)
        : Component(kType), name(std::move(behaviorName)), nextState(firstState)
    {
    }
    Behavior(const Behavior&) = default;
    // Copies the base fields of `source` (owner included; adding the clone to an object sets it).
    void CopyFrom(const Behavior& source);
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
