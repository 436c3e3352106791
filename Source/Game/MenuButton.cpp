#include "Game/MenuButton.h"

#include "Objects/SceneManager.h"

void MenuButton::Act()
{
    SceneManager::SwitchTo(SceneManager::kMainMenu);
}
