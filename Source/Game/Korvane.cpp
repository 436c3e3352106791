#include "Game/Korvane.h"

#include "Engine/Timer.h"
#include "Game/Airships.h"
#include "Game/Cannon.h"
#include "Game/City.h"
#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Game/SoundEvents.h"
#include "Game/SpriteRows.h"
#include "Game/Tower.h"
#include "Objects/Emitter.h"
#include "Objects/ObjectSound.h"
#include "Objects/Physics.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"

#include <array>
#include <cmath>
#include <string>

namespace
{
// The gun is the first of these children the airship carries.
constexpr std::array<const char*, 3> kGuns = {"Cannon", "Cannon2", "TyrantCannon"};
constexpr std::array<const char*, 6> kLaunchClouds = {"Particle_SpawnCloud1", "Particle_SpawnCloud2",
                                                      "Particle_SpawnCloud3", "Particle_SpawnCloud4",
                                                      "Particle_SpawnCloud5", "Particle_SpawnCloud6"};
constexpr const char* kExplosion = "KorvaneExplosion";
constexpr std::array<const char*, 2> kWings = {"GremlinWing", "TyrantWing"};
constexpr std::array<const char*, 2> kSmokes = {"Particle_Smoke", "Big_Smoke"};

// The first child of `object` named in `names`, or null.
template <size_t Count>
GameObject* FirstChild(const GameObject* object, const std::array<const char*, Count>& names)
{
    for (const char* name : names)
    {
        if (GameObject* child = object->FindChild(name))
        {
            return child;
        }
    }
    return nullptr;
}

void StopEmitting(GameObject* object)
{
    if (auto* emitter = ComponentOf<Emitter>(object))
    {
        emitter->spawnRate = 0.0f;
    }
}

bool Contains(const std::string& name, const char* word)
{
    return name.find(word) != std::string::npos;
}
} // namespace

void Korvane::Init()
{
    startTimer = CreateTimer(kLaunchCloudSeconds);
    if (currentState == kStateUninitialised)
    {
        currentState = kHalted;
        if (owner != nullptr)
        {
            ShowRow(FirstChild(owner, kGuns), kGunRestRow);
        }
    }
}

void Korvane::Update(float dt)
{
    Behavior::Update(dt);
    if (owner == nullptr)
    {
        return;
    }
    if (startTimer != nullptr && startTimer->done)
    {
        for (const char* cloud : kLaunchClouds)
        {
            StopEmitting(owner->FindChild(cloud));
        }
    }
    const auto* stats = Own<Stats>();
    if (stats != nullptr && stats->dead)
    {
        currentState = kDying;
    }
    switch (currentState)
    {
    case kHalted:
        // A hit halts the airship's state but not its motion. One hit just before the halting line
        // (the city fires as soon as an airship enters its box) would let the airship drift through
        // the city and off the field: it stops at the line in this state too.
        if (PastHaltLine())
        {
            Stop();
        }
        break;
    case kFlying:
        Fly();
        break;
    case kAttacking:
        if (stats == nullptr || !stats->dead)
        {
            if (PastHaltLine())
            {
                nextState = kHalted;
                Stop();
            }
            else
            {
                nextState = kFlying;
            }
        }
        break;
    case kDying:
        Die();
        break;
    default:
        break;
    }
}

void Korvane::Fly()
{
    PlayCue(owner, SoundEvents::kAirshipEngine);
    const auto* stats = Own<Stats>();
    const auto* transform = Own<Transform>();
    auto* physics = Own<Physics>();
    if (stats == nullptr || transform == nullptr || physics == nullptr)
    {
        return;
    }
    const float speed = static_cast<float>(stats->MaxSpeed);
    const float heading = transform->rotation * kRadiansPerDegree;
    physics->velocity = glm::vec3(std::cos(heading) * speed, std::sin(heading) * speed, 0.0f);
    if (PastHaltLine())
    {
        nextState = kHalted;
        Stop();
    }
}

bool Korvane::PastHaltLine() const
{
    const auto* transform = Own<Transform>();
    return transform != nullptr && transform->GetWorldTranslation().x > kHaltX;
}

void Korvane::Stop()
{
    if (auto* physics = Own<Physics>())
    {
        physics->velocity = glm::vec3(0.0f);
    }
}

void Korvane::OnCollision(GameObject* other)
{
    if (other == nullptr)
    {
        return;
    }
    if (Contains(other->name, ObjectNames::kTowerWord))
    {
        const auto* towerStats = ComponentOf<Stats>(other);
        if (towerStats != nullptr && towerStats->dead)
        {
            nextState = kFlying;
            return;
        }
        HitTower(other);
    }
    else if (Contains(other->name, ObjectNames::kCity))
    {
        const auto* cityStats = ComponentOf<Stats>(other);
        if (cityStats != nullptr && cityStats->dead)
        {
            nextState = kFlying;
            return;
        }
        FireCannons(other);
        DamageCity(other);
    }
}

void Korvane::HitTower(GameObject* tower)
{
    const auto* stats = Own<Stats>();
    if (stats == nullptr || stats->reloading)
    {
        return;
    }
    FireCannons(tower);
    auto* towerBehavior = ComponentOf<Tower>(tower);
    auto* towerStats = ComponentOf<Stats>(tower);
    if (stats->dead || towerBehavior == nullptr || towerStats == nullptr)
    {
        return;
    }
    if (towerStats->health <= 0)
    {
        towerBehavior->explodePending = true;
        towerStats->dead = true;
        towerBehavior->nextState = Tower::kDestroyed;
    }
    else
    {
        towerStats->health = static_cast<int>(std::trunc(static_cast<float>(towerStats->health - stats->AttackDamage)));
        if (towerBehavior->kind == Tower::kWood || towerBehavior->kind == Tower::kStone)
        {
            PlayCue(tower, SoundEvents::kTowerHitByAirship[towerBehavior->kind]);
        }
        towerBehavior->nextState = Tower::kIdle;
    }
    Reloaded();
    nextState = kAttacking;
}

void Korvane::FireCannons(GameObject* other)
{
    const auto* stats = Own<Stats>();
    if (owner == nullptr || (stats != nullptr && stats->reloading))
    {
        return;
    }
    GameObject* gun = FirstChild(owner, kGuns);
    auto* cannon = ComponentOf<Cannon>(gun);
    const auto* target = ComponentOf<Transform>(other);
    if (cannon != nullptr && target != nullptr)
    {
        cannon->AimAt(*target);
    }
    SetAnimationPlaying(gun, true);
}

void Korvane::DamageCity(GameObject* city)
{
    const auto* stats = Own<Stats>();
    auto* cityBehavior = ComponentOf<City>(city);
    auto* cityStats = ComponentOf<Stats>(city);
    if (stats == nullptr || stats->reloading || stats->dead || cityBehavior == nullptr || cityStats == nullptr)
    {
        return;
    }
    cityStats->damaged = true;
    cityStats->health = static_cast<int>(std::trunc(static_cast<float>(cityStats->health - stats->AttackDamage)));
    if (cityStats->health <= cityStats->MaxHealth / 2)
    {
        ShowRow(city, City::kDamagedRow);
    }
    if (cityStats->health <= 0)
    {
        ShowRow(city, City::kFallenRow);
        cityStats->dead = true;
        cityBehavior->nextState = City::kFallen;
        cityBehavior->winPending = 1;
    }
    else if (cityBehavior->currentState != City::kFallen)
    {
        cityBehavior->nextState = City::kStanding;
        PlayCue(city, SoundEvents::kCityHit);
    }
    Reloaded();
}

void Korvane::Reloaded()
{
    if (auto* stats = Own<Stats>())
    {
        stats->reloading = true;
    }
    if (Airships::IsType(type))
    {
        PostEventOn(owner, SoundEvents::kAirshipFire[type]);
    }
}

void Korvane::TakeDamage(float amount)
{
    auto* stats = Own<Stats>();
    if (stats == nullptr || stats->dead)
    {
        return;
    }
    if (static_cast<float>(stats->health) <= kDeathHealth)
    {
        stats->dead = true;
        dying = true;
        nextState = kDying;
        return;
    }
    PlayCue(owner, SoundEvents::kAirshipHit);
    stats->health = static_cast<int>(std::trunc(static_cast<float>(stats->health) - amount));
    nextState = kHalted;
}

void Korvane::Die()
{
    Stop();
    SetAlpha(owner, 0.0f);
    if (dying)
    {
        PlayCue(owner, SoundEvents::kAirshipDeath);
        deathTimer = CreateTimer(kDeathSeconds);
        RestartAnimation(owner->FindChild(kExplosion));
        ShowNextRow(owner);
        SetAnimationPlaying(FirstChild(owner, kWings), false);
        StopEmitting(FirstChild(owner, kSmokes));
    }
    else if (deathTimer != nullptr && deathTimer->done)
    {
        if (Scene* playField = SceneManager::Find(SceneManager::kPlayField))
        {
            StashObject(*playField, owner);
        }
    }
    if (Airships::IsType(type))
    {
        PostEventOn(owner, SoundEvents::kAirshipWreck[type]);
    }
    dying = false;
}
