#include "Game/CreditReturn.h"

#include "Engine/Input.h"
#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Game/SoundEvents.h"
#include "Objects/ObjectSound.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"

void CreditReturn::Update(float dt)
{
    Button::Update(dt);
    if (Input::WentDown(kEscapeKey))
    {
        Act();
    }
}

void CreditReturn::Act()
{
    StopSoundsOf(FindSceneObject(SceneManager::kCreditMenu, ObjectNames::kCreditBackground));
    PostEventOn(FindSceneObject(SceneManager::kPlayField, ObjectNames::kGameBackground), SoundEvents::kGameMusic);
    // Removing a scene that is not on the stack would take off the one at the back (a click and
    // Escape in the same frame return twice).
    if (SceneManager::Exists(SceneManager::kCreditMenu))
    {
        SceneManager::Remove(SceneManager::kCreditMenu);
    }
    if (Scene* pause = SceneManager::Find(SceneManager::kPauseMenu))
    {
        pause->active = true;
    }
}
