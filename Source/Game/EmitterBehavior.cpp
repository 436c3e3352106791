#include "Game/EmitterBehavior.h"

#include "Objects/Emitter.h"
#include "Objects/Stats.h"

#include <cmath>

Emitter* EmitterBehavior::OwnEmitter() const
{
    return ComponentOf<Emitter>(owner);
}

const Stats* EmitterBehavior::ParentStats() const
{
    return owner != nullptr ? ComponentOf<Stats>(owner->parent) : nullptr;
}

void EmitterBehavior::Stream(float dt)
{
    Emitter* emitter = OwnEmitter();
    if (emitter == nullptr)
    {
        return;
    }
    // A rate of 0 (a stream that was stopped) makes the interval endless. A negative rate, which
    // no data should hold, is taken as 0 rather than filling the emitter in one frame.
    const float interval = emitter->spawnRate > 0.0f ? 1.0f / emitter->spawnRate : INFINITY;
    if (accumulator < interval)
    {
        accumulator += dt;
        return;
    }
    if (dt <= interval)
    {
        emitter->Emit();
        AfterStreamParticle();
        accumulator = 0.0f;
        return;
    }
    // A frame longer than the interval: one particle per interval it spans. The accumulator keeps
    // its value.
    float t = interval;
    do
    {
        if (emitter->IsFull())
        {
            break;
        }
        emitter->Emit();
        AfterStreamParticle();
        t += interval;
    } while (t <= dt);
}
