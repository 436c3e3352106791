#include "Game/KorvaneSelectButton.h"

#include "Engine/SpriteSourceManager.h"
#include "Game/Airships.h"
#include "Game/GameGlobals.h"
#include "Game/GameObjectNames.h"
#include "Game/SceneObjects.h"
#include "Game/UpgradeButton.h"
#include "Objects/Scene.h"
#include "Objects/SceneManager.h"
#include "Objects/Sprite.h"
#include "Objects/Stats.h"

#include <array>
#include <string>

namespace
{
// A type's displays, in the order they move.
constexpr std::array<const char*, 3> kDisplaySuffixes = {"HP", "SP", "DM"};
// The types whose displays the first sorting stashes.
constexpr std::array<int, 2> kInitiallyHiddenTypes = {2, 3};

std::string DisplayName(int type, const char* suffix)
{
    return std::string(Airships::TypeWord(type)) + suffix;
}

void StashDisplaysOf(int type)
{
    Scene* playField = SceneManager::Find(SceneManager::kPlayField);
    if (playField == nullptr || !Airships::IsType(type))
    {
        return;
    }
    for (const char* suffix : kDisplaySuffixes)
    {
        StashObject(*playField, DisplayName(type, suffix));
    }
}
} // namespace

void KorvaneSelectButton::Init()
{
    Button::Init();
    gShownStatType = 0;
}

void KorvaneSelectButton::Update(float dt)
{
    if (gShownStatType == 0)
    {
        for (int hidden : kInitiallyHiddenTypes)
        {
            StashDisplaysOf(hidden);
        }
        ShowDeployCost();
        UpgradeButton::RefreshStatDisplays(type);
        gShownStatType = Airships::kFirstType;
    }
    Button::Update(dt);
}

void KorvaneSelectButton::Act()
{
    gSelectedType = type;
    ShowSelection();
    ShowStatDisplays();
    UpgradeButton::RefreshStatDisplays(type);
    ShowDeployCost();
    gShownStatType = type;
}

void KorvaneSelectButton::ShowSelection() const
{
    const GameObject* marker = FindSceneObject(SceneManager::kPlayField, ObjectNames::kSelectionMarker);
    GameObject* icon = marker != nullptr ? marker->FindChild(ObjectNames::kSelectionIcon) : nullptr;
    auto* sprite = ComponentOf<Sprite>(icon);
    if (sprite != nullptr && Airships::IsType(type))
    {
        sprite->spriteSource = SpriteSourceManager::Get(Airships::TypeWord(type));
    }
}

void KorvaneSelectButton::HideStatDisplays()
{
    StashDisplaysOf(gShownStatType);
}

void KorvaneSelectButton::ShowStatDisplays() const
{
    HideStatDisplays();
    Scene* playField = SceneManager::Find(SceneManager::kPlayField);
    if (playField == nullptr || !Airships::IsType(type))
    {
        return;
    }
    for (const char* suffix : kDisplaySuffixes)
    {
        UnstashObject(*playField, DisplayName(type, suffix));
    }
}

void KorvaneSelectButton::ShowDeployCost() const
{
    const auto* cost = ComponentOf<Stats>(FindSceneObject(SceneManager::kPlayField, Airships::ArchetypeName(type)));
    auto* text = ComponentOf<Sprite>(FindSceneObject(SceneManager::kPlayField, ObjectNames::kDeployCost));
    if (cost != nullptr && text != nullptr)
    {
        text->SetText(std::to_string(cost->Cost));
    }
}
