#include "Game/GoldCounter.h"

#include "Engine/Timer.h"
#include "Game/GameGlobals.h"
#include "Objects/Sprite.h"

#include <string>

GoldCounter::GoldCounter() : Behavior(kUnnamed, 0), tick(CreateTimer(kFirstGoldSeconds)) {}

Component* GoldCounter::Clone() const
{
    auto* copy = new GoldCounter();
    copy->CopyFrom(*this);
    return copy;
}

void GoldCounter::Update(float dt)
{
    Behavior::Update(dt);
    if (auto* sprite = Own<Sprite>())
    {
        sprite->SetText(std::to_string(gGold));
    }
    if (tick->done)
    {
        gGold += 1;
        tick->remaining = kGoldIntervalSeconds;
        tick->done = false;
    }
}
