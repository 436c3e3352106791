#include "Game/MainConfirm.h"

#include "Objects/SceneManager.h"

void MainConfirm::Act()
{
    SceneManager::Open(SceneManager::kMainMenuDialog);
    SceneManager::BringToFront(SceneManager::kMainMenuDialog);
}
