// EmitterKey: a stream of particles while the key 'P' is held (down this frame and the last).
//
// Threading: main thread. Ownership: as every particle behaviour (EmitterBehavior.h).
#pragma once

#include "Game/EmitterBehavior.h"

class EmitterKey final : public EmitterBehaviorOf<EmitterKey>
{
public:
    static constexpr int kStreamKey = 80; // 'P'

    void Update(float dt) override;
};
