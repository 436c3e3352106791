#include "Game/EmitterDeath.h"

#include "Objects/Emitter.h"
#include "Objects/Stats.h"

void EmitterDeath::Update(float dt)
{
    EmitterBehavior::Update(dt);
    const Stats* parent = ParentStats();
    Emitter* emitter = OwnEmitter();
    if (parent != nullptr && parent->dead && armed && emitter != nullptr)
    {
        emitter->Emit();
        armed = false;
    }
}
