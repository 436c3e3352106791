#include "Game/SpawnButton.h"

#include "Engine/Timer.h"
#include "Game/Airships.h"
#include "Game/GameGlobals.h"
#include "Game/GameObjectNames.h"
#include "Game/RoundTimer.h"
#include "Game/SceneObjects.h"
#include "Game/SoundEvents.h"
#include "Game/SpriteRows.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Stats.h"

namespace
{
constexpr float kHiddenAlpha = 0.0f;
constexpr float kShownAlpha = 1.0f;

bool RoundIsOver()
{
    const auto* clock =
        ComponentOf<RoundTimer>(FindSceneObject(SceneManager::kPlayField, ObjectNames::kRoundTimer));
    return clock != nullptr && clock->IsOver();
}
} // namespace

void SpawnButton::Init()
{
    Button::Init();
    launchCooldown = CreateTimer(kLaunchCooldownSeconds);
}

void SpawnButton::Update(float dt)
{
    Behavior::Update(dt);
    if (RoundIsOver())
    {
        currentState = kIdle;
    }
    switch (currentState)
    {
    case kIdle:
        SetAlpha(owner, kHiddenAlpha);
        TestHover();
        break;
    case kHovered:
        PlayHoverCueOnce();
        SetAlpha(owner, kShownAlpha);
        LeaveHover(ReleaseEdge());
        break;
    case kActing:
        nextState = kIdle;
        Launch();
        break;
    default:
        break;
    }
}

void SpawnButton::Launch()
{
    Scene* playField = SceneManager::Find(SceneManager::kPlayField);
    const GameObject* archetype =
        playField != nullptr ? playField->objects.Find(Airships::ArchetypeName(gSelectedType)) : nullptr;
    const auto* stats = ComponentOf<Stats>(archetype);
    const std::optional<glm::vec3> start = Airships::LaneStart(lane);
    if (stats == nullptr || !start || (launchCooldown != nullptr && !launchCooldown->done))
    {
        return;
    }
    const int cost = stats->Cost;
    if (cost >= gGold || !Airships::IsType(gSelectedType))
    {
        return;
    }
    PlayCue(SoundEvents::kAirshipLaunch[gSelectedType]);
    playField->objects.SpawnKorvane(*start, gSelectedType);
    gGold -= cost;
    launchCooldown = CreateTimer(kLaunchCooldownSeconds);
}
