#include "Game/BackButton.h"

#include "Objects/Scene.h"
#include "Objects/SceneManager.h"

void BackButton::Act()
{
    for (Scene* scene : SceneManager::scenes)
    {
        scene->active = false;
    }
    if (Scene* back = SceneManager::currentScene)
    {
        back->AddStartingUnits();
        back->active = true;
    }
}
