// EmitterExplosion: hit sparks: one particle per update while the object's parent is being hit
// (its Stats' damaged flag).
//
// Threading: main thread. Ownership: as every particle behaviour (EmitterBehavior.h).
#pragma once

#include "Game/EmitterBehavior.h"

class EmitterExplosion final : public EmitterBehaviorOf<EmitterExplosion>
{
public:
    void Update(float dt) override;
};
