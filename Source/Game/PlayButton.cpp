#include "Game/PlayButton.h"

#include "Engine/Fade.h"
#include "Engine/Timer.h"
#include "Game/BehaviorBlackSquare.h"
#include "Game/GameGlobals.h"
#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Game/SpriteRows.h"
#include "Objects/ObjectSound.h"
#include "Objects/SceneManager.h"

namespace
{
// The square turns opaque over one second.
constexpr float kFadeTarget = 1.0f;
constexpr float kFadeSeconds = 1.0f;
constexpr float kFadeStart = 0.0f;

GameObject* MenuBlackSquare()
{
    return FindSceneObject(SceneManager::kMainMenu, ObjectNames::kBlackSquare);
}
} // namespace

void PlayButton::Init()
{
    Button::Init();
    loadingStarted = false;
}

void PlayButton::Act()
{
    fade = CreateFade(kFadeTarget, kFadeSeconds, kFadeStart);
    if (!SceneManager::Exists(SceneManager::kMainMenu))
    {
        return;
    }
    cooldown = CreateTimer(delay);
    // The square's own fade stops: this button drives its alpha from now on.
    if (auto* square = ComponentOf<BehaviorBlackSquare>(MenuBlackSquare()); square != nullptr && square->fade != nullptr)
    {
        square->fade->active = false;
    }
}

void PlayButton::Update(float dt)
{
    Button::Update(dt);
    if (loadingStarted)
    {
        StopSoundsOf(FindSceneObject(SceneManager::kMainMenu, ObjectNames::kMenuBackground));
        gGold = 0;
        SceneManager::SwitchTo(SceneManager::kPlayField);
    }
    GameObject* square = MenuBlackSquare();
    if (square == nullptr || fade == nullptr)
    {
        return;
    }
    SetAlpha(square, fade->value);
    if (fade->value >= kFadeTarget)
    {
        SceneManager::Open(ObjectNames::kLoadingScreen);
        loadingStarted = true;
    }
}
