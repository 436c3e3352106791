#include "Game/City.h"

#include "Engine/Timer.h"
#include "Game/Background.h"
#include "Game/GameGlobals.h"
#include "Game/GameObjectNames.h"
#include "Game/Korvane.h"
#include "Game/RoundTimer.h"
#include "Game/SceneObjects.h"
#include "Game/SoundEvents.h"
#include "Game/SpriteRows.h"
#include "Game/Star.h"
#include "Objects/ObjectSound.h"
#include "Objects/SceneManager.h"
#include "Objects/Stats.h"

#include <string>

namespace
{
constexpr int kStarsOfARound = 3;

RoundTimer* TheRoundTimer()
{
    return ComponentOf<RoundTimer>(FindSceneObject(SceneManager::kPlayField, ObjectNames::kRoundTimer));
}

int StarsLost()
{
    int lost = 0;
    for (const char* name : ObjectNames::kStarTimers)
    {
        const auto* star = ComponentOf<Star>(FindSceneObject(SceneManager::kPlayField, name));
        lost += star != nullptr && star->IsLost() ? 1 : 0;
    }
    return lost;
}
} // namespace

void City::OnCollision(GameObject* other)
{
    auto* airship = ComponentOf<Korvane>(other);
    auto* stats = Own<Stats>();
    // Only airships are fought: an archetype (named like one, without the airship behaviour) is not.
    if (other == nullptr || other->name.find(ObjectNames::kAirshipWord) == std::string::npos || airship == nullptr ||
        stats == nullptr || stats->reloading)
    {
        return;
    }
    airship->TakeDamage(static_cast<float>(stats->AttackDamage));
    stats->reloading = true;
    nextState = kFiredBack;
    PlayCue(owner, SoundEvents::kCityFires);
    for (GameObject* child : owner->children)
    {
        if (child->GetComponent(ComponentType::Behavior) != nullptr)
        {
            SetAnimationPlaying(child, true);
        }
    }
}

void City::Update(float dt)
{
    Behavior::Update(dt);
    const auto* stats = Own<Stats>();
    switch (currentState)
    {
    case kStanding:
        if (stats != nullptr && stats->dead)
        {
            nextState = kFallen;
        }
        else if (stats != nullptr && stats->damaged)
        {
            nextState = kDamaged;
        }
        break;
    case kFallen:
        ShowRow(owner, kFallenRow);
        if (auto* result =
                ComponentOf<Background>(FindSceneObject(SceneManager::kPlayField, ObjectNames::kGameBackground)))
        {
            result->starCount = kStarsOfARound - StarsLost();
            if (const RoundTimer* clock = TheRoundTimer())
            {
                result->roundTimeLeft = clock->SecondsLeft();
            }
        }
        gGold = 0;
        Win();
        break;
    default:
        break;
    }
    if (winTimer != nullptr && winTimer->done)
    {
        SceneManager::SwitchTo(SceneManager::kWinScreen);
    }
}

void City::Win()
{
    if (winPending == 1)
    {
        PlayCue(owner, SoundEvents::kCityFalls);
        for (GameObject* child : owner->children)
        {
            if (child->GetComponent(ComponentType::Animation) != nullptr)
            {
                RestartAnimation(child);
            }
        }
        if (RoundTimer* clock = TheRoundTimer())
        {
            clock->Stop();
        }
        winTimer = CreateTimer(kWinDelaySeconds);
    }
    else if (winTimer != nullptr && winTimer->done)
    {
        SceneManager::SwitchTo(SceneManager::kWinScreen);
    }
    winPending = 0;
    gGold = 0;
}
