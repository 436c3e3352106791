#include "Game/CreditButton.h"

#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Objects/ObjectSound.h"
#include "Objects/SceneManager.h"

void CreditButton::Act()
{
    StopSoundsOf(FindSceneObject(SceneManager::kPlayField, ObjectNames::kGameBackground));
    SceneManager::Open(SceneManager::kCreditMenu);
}
