#include "Game/ResumeButton.h"

#include "Engine/Timer.h"
#include "Objects/SceneManager.h"

void ResumeButton::Act()
{
    SetTimersPaused(false);
    SceneManager::SwitchTo(SceneManager::kPlayField);
}
