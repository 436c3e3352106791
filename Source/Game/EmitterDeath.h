// EmitterDeath: a one-shot burst when the object's parent dies: one particle, once, however long
// the parent stays dead.
//
// Threading: main thread. Ownership: as every particle behaviour (EmitterBehavior.h).
#pragma once

#include "Game/EmitterBehavior.h"

class EmitterDeath final : public EmitterBehaviorOf<EmitterDeath>
{
public:
    void Update(float dt) override;

    bool armed = true; // the burst is still to come
};
