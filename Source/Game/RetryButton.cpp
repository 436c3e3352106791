#include "Game/RetryButton.h"

#include "Engine/Timer.h"
#include "Game/GameGlobals.h"
#include "Objects/SceneManager.h"

void RetryButton::Act()
{
    SetTimersPaused(false);
    gGold = 0;
    SceneManager::SwitchTo(SceneManager::kPlayField);
}
