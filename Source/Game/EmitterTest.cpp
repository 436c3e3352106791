#include "Game/EmitterTest.h"

#include "Objects/Emitter.h"
#include "Objects/Transform.h"

void EmitterTest::Update(float dt)
{
    EmitterBehavior::Update(dt);
    Stream(dt);
}

void EmitterTest::AfterStreamParticle()
{
    const Emitter* emitter = OwnEmitter();
    auto* transform = ComponentOf<Transform>(owner);
    if (emitter != nullptr && transform != nullptr && emitter->patternType == kRotatePattern)
    {
        transform->rotation += kRotateDegrees;
        transform->dirty = true;
    }
}
