#include "Game/QuitButton.h"

#include "Objects/SceneManager.h"

void QuitButton::Act()
{
    SceneManager::Open(SceneManager::kQuitDialog);
    SceneManager::BringToFront(SceneManager::kQuitDialog);
}
