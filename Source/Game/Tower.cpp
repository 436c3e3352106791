#include "Game/Tower.h"

#include "Game/Cannon.h"
#include "Game/GameGlobals.h"
#include "Game/GameObjectNames.h"
#include "Game/Korvane.h"
#include "Game/SoundEvents.h"
#include "Game/SpriteRows.h"
#include "Objects/Animation.h"
#include "Objects/ObjectSound.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"

#include <string>

namespace
{
constexpr const char* kBallista = "TowerBallista";
constexpr const char* kTowerGun = "TowerCannon";
constexpr const char* kExplosion = "WoodTowerExplosion";
// The respawn countdown brings a tower back once it is below 0 but above this (the -90 of a tower
// without a respawn rate never passes).
constexpr float kRespawnFloor = -89.0f;

// Wood and stone have cues of their own; another kind is silent.
bool HasCues(int kind)
{
    return kind == Tower::kWood || kind == Tower::kStone;
}

void AimGunAt(GameObject* gun, const GameObject& target)
{
    auto* cannon = ComponentOf<Cannon>(gun);
    const auto* targetTransform = target.GetComponent<Transform>();
    if (cannon != nullptr && targetTransform != nullptr)
    {
        cannon->AimAt(*targetTransform);
    }
}
} // namespace

void Tower::OnCollision(GameObject* other)
{
    auto* airship = ComponentOf<Korvane>(other);
    const auto* airshipStats = ComponentOf<Stats>(other);
    auto* stats = Own<Stats>();
    // Only airships are fought: an archetype (named like one, without the airship behaviour) is not.
    if (other == nullptr || other->name.find(ObjectNames::kAirshipWord) == std::string::npos || airship == nullptr ||
        airshipStats == nullptr || airshipStats->dead || stats == nullptr || stats->dead)
    {
        return;
    }
    Attack(other);
    if (stats->reloading || airshipStats->dead)
    {
        return;
    }
    airship->TakeDamage(static_cast<float>(stats->AttackDamage));
    stats->reloading = true;
    nextState = kFired;
    if (CurrentRow(owner) + 1 != RowCount(owner))
    {
        SetAnimationPlaying(owner, true);
    }
    if (HasCues(kind))
    {
        PostEventOn(owner, SoundEvents::kTowerFire[kind]);
    }
}

void Tower::Attack(GameObject* other)
{
    if (kind == kWood)
    {
        GameObject* ballista = owner->FindChild(kBallista);
        if (ballista == nullptr)
        {
            return;
        }
        AimGunAt(ballista, *other);
        const auto* stats = Own<Stats>();
        if (stats != nullptr && stats->reloading)
        {
            SetAnimationPlaying(ballista, true);
        }
        else if (auto* animation = Own<Animation>())
        {
            animation->StepFrame();
        }
    }
    else if (kind == kStone)
    {
        GameObject* gun = owner->FindChild(kTowerGun);
        if (gun != nullptr)
        {
            AimGunAt(gun, *other);
            SetAnimationPlaying(gun, true);
        }
    }
}

void Tower::Update(float dt)
{
    Behavior::Update(dt);
    const auto* stats = Own<Stats>();
    if (stats != nullptr && stats->dead)
    {
        currentState = kDestroyed;
        Explode();
        return;
    }
    switch (currentState)
    {
    case kIdle:
        if (stats != nullptr && stats->damaged)
        {
            nextState = kDamaged;
        }
        break;
    case kFired:
        nextState = kIdle;
        break;
    case kDestroyed:
        Explode();
        break;
    default:
        break;
    }
}

void Tower::Explode()
{
    auto* stats = Own<Stats>();
    if (explodePending)
    {
        RestartAnimation(owner->FindChild(kExplosion));
        if (HasCues(kind))
        {
            PlayCue(owner, SoundEvents::kTowerDestroyed[kind]);
        }
        PlayCue(owner, SoundEvents::kTowerCollapse);
        gGold += kind == kWood ? kWoodBounty : kStoneBounty;
        ShowNextRow(owner);
    }
    if (stats != nullptr && stats->dead && stats->respawnRemaining < 0.0f && stats->respawnRemaining > kRespawnFloor)
    {
        stats->dead = false;
        ShowRow(owner, 0);
        stats->health = stats->MaxHealth;
    }
    if (stats != nullptr && !stats->dead)
    {
        ShowRow(owner, 0);
        stats->health = stats->MaxHealth;
        stats->respawnRemaining = static_cast<float>(stats->RespawnRate);
        nextState = kIdle;
    }
    explodePending = false;
}
