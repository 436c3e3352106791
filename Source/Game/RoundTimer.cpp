#include "Game/RoundTimer.h"

#include "Engine/Mesh.h"
#include "Engine/Timer.h"
#include "Objects/SceneManager.h"
#include "Objects/Sprite.h"

RoundTimer::RoundTimer() : Behavior(kUnnamed, 0), roundTimer(CreateTimer(kRoundSeconds)) {}

Component* RoundTimer::Clone() const
{
    auto* copy = new RoundTimer();
    copy->CopyFrom(*this);
    return copy;
}

bool RoundTimer::IsOver() const
{
    return roundTimer->done;
}

float RoundTimer::SecondsLeft() const
{
    return roundTimer->remaining;
}

void RoundTimer::Stop()
{
    roundTimer->running = false;
}

void RoundTimer::Update(float dt)
{
    Behavior::Update(dt);
    if (auto* sprite = Own<Sprite>(); sprite != nullptr && sprite->mesh != nullptr)
    {
        sprite->mesh->SetBarWidth(roundTimer->remaining / roundLength - kBarOffset);
    }
    if (roundTimer->done && !loseStarted)
    {
        loseTimer = CreateTimer(kLoseDelaySeconds);
        roundTimer->running = false;
        loseStarted = true;
    }
    if (loseTimer != nullptr && loseTimer->done)
    {
        roundTimer->remaining = roundLength;
        roundTimer->done = false;
        SceneManager::SwitchTo(SceneManager::kLoseScreen);
    }
}
