// The particle behaviours: what decides when an object's Emitter (Objects/Emitter.h) emits. They
// sit in the tenth component slot (kind 9), after the emitter, with the same fields and operations
// as a Behavior (StateMachineComponent.h); they take part in no collision. To emit one particle is the emitter's
// Emit (a random direction, a random speed, a spawn). Four classes:
//   EmitterDeath:     one particle when the object's parent dies (once).
//   EmitterExplosion: one particle per update while the parent is being hit (its damaged flag).
//   EmitterKey:       the stream below while the key 'P' is held.
//   EmitterTest:      the stream below always; with the pattern "Rotate", the object turns by 5
//                     degrees after each particle.
//
// The stream emits at the emitter's spawnRate: a particle once the time since the last one has
// reached the interval 1 / spawnRate; a frame longer than the interval emits one particle for
// each interval it spans (at t = interval, 2 x interval, ... up to dt), stopping when the emitter
// is full. A rate of 0 (a stopped stream) or below emits nothing.
//
// Threading: main thread. Ownership: owned by its object; works on the owner's Emitter.
#pragma once

#include "Game/StateMachineComponent.h"
#include "Objects/GameObject.h"

class Emitter;
class Stats;

class EmitterBehavior : public StateMachineComponent
{
public:
    static constexpr ComponentType kType = ComponentType::EmitterBehavior;

    Component* Clone() const override = 0;

    float accumulator = 0.0f; // seconds since the last particle of a stream

protected:
    EmitterBehavior() : StateMachineComponent(kType, kUnnamed, 0) {}
    EmitterBehavior(const EmitterBehavior&) = default;

    // The owner's Emitter, or null.
    Emitter* OwnEmitter() const;
    // One update of the stream.
    void Stream(float dt);
    // Runs after every particle the stream emits; nothing by default.
    virtual void AfterStreamParticle() {}
    // The owner's parent's Stats, or null.
    const Stats* ParentStats() const;
};

// The Clone and the (empty) collision of the particle behaviours. Clone: every field copied, then back to the uninitialised state.
template <class Derived>
class EmitterBehaviorOf : public EmitterBehavior
{
public:
    Component* Clone() const override
    {
        auto* copy = new Derived(static_cast<const Derived&>(*this));
        copy->currentState = kStateUninitialised;
        copy->nextState = 0;
        return copy;
    }
    void OnCollision(GameObject*) override {}

protected:
    EmitterBehaviorOf() = default;
    EmitterBehaviorOf(const EmitterBehaviorOf&) = default;
};

