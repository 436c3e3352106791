// EmitterTest: a continuous stream of particles (smoke, launch clouds). With the emitter's pattern
// "Rotate" the object turns by 5 degrees after each particle, so the stream sweeps around.
//
// Threading: main thread. Ownership: as every particle behaviour (EmitterBehavior.h).
#pragma once

#include "Game/EmitterBehavior.h"

class EmitterTest final : public EmitterBehaviorOf<EmitterTest>
{
public:
    static constexpr const char* kRotatePattern = "Rotate";
    static constexpr float kRotateDegrees = 5.0f;

    void Update(float dt) override;

protected:
    void AfterStreamParticle() override;
};
