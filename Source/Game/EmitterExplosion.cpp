#include "Game/EmitterExplosion.h"

#include "Objects/Emitter.h"
#include "Objects/Stats.h"

void EmitterExplosion::Update(float dt)
{
    EmitterBehavior::Update(dt);
    const Stats* parent = ParentStats();
    Emitter* emitter = OwnEmitter();
    if (parent != nullptr && parent->damaged && emitter != nullptr)
    {
        emitter->Emit();
    }
}
