#include "Game/TutorialButton.h"

#include "Objects/SceneManager.h"

void TutorialButton::Act()
{
    SceneManager::Open(SceneManager::kTutorial);
}
