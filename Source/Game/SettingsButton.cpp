#include "Game/SettingsButton.h"

#include "Objects/SceneManager.h"

void SettingsButton::Act()
{
    SceneManager::SwitchTo(SceneManager::kPauseMenu);
}
