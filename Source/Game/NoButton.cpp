#include "Game/NoButton.h"

#include "Objects/Scene.h"
#include "Objects/SceneManager.h"

void NoButton::Update(float dt)
{
    if (SceneManager::Exists(SceneManager::kQuitDialog))
    {
        dialog = SceneManager::kQuitDialog;
    }
    else if (SceneManager::Exists(SceneManager::kMainMenuDialog))
    {
        dialog = SceneManager::kMainMenuDialog;
    }
    else
    {
        dialog = SceneManager::kMainMenu;
    }
    Button::Update(dt);
}

void NoButton::Act()
{
    if (Scene* closed = dialog != nullptr ? SceneManager::Find(dialog) : nullptr)
    {
        closed->active = false;
    }
    if (Scene* pause = SceneManager::Find(SceneManager::kPauseMenu))
    {
        pause->active = true;
    }
    else if (Scene* menu = SceneManager::Find(SceneManager::kMainMenu))
    {
        menu->active = true;
    }
    else
    {
        SceneManager::SwitchTo(SceneManager::kMainMenu);
    }
}
