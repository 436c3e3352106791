#include "Game/CoinButton.h"

#include "Objects/SceneManager.h"

void CoinButton::Act()
{
    SceneManager::SwitchTo(SceneManager::kPlayField);
}
