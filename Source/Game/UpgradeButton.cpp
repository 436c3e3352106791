#include "Game/UpgradeButton.h"

#include "Game/GameGlobals.h"
#include "Game/SceneObjects.h"
#include "Game/SoundEvents.h"
#include "Game/SpriteRows.h"
#include "Objects/Animation.h"
#include "Objects/GameObject.h"
#include "Objects/SceneManager.h"
#include "Objects/Stats.h"

#include <array>
#include <string>

namespace
{
// The first type the displays refer to.
constexpr int kFirstDisplayType = 1;
// A display's row is its stat's level + its FrameCount - this.
constexpr int kDisplayRowOffset = 2;

// The displays of a type, each with the stat it shows.
struct StatDisplay
{
    const char* suffix;
    Airships::Stat stat;
};
constexpr std::array<StatDisplay, 3> kDisplays = {StatDisplay{"HP", Airships::Stat::Health},
                                                  StatDisplay{"DM", Airships::Stat::Damage},
                                                  StatDisplay{"SP", Airships::Stat::Speed}};

// The cue of an upgrade of each stat, in Stat order.
constexpr std::array<ZkUniqueID, 3> kUpgradeCues = {SoundEvents::kUpgradeDamage, SoundEvents::kUpgradeHealth,
                                                    SoundEvents::kUpgradeSpeed};

Stats* ArchetypeStats()
{
    return ComponentOf<Stats>(gSelectedArchetype);
}
} // namespace

void UpgradeButton::Init()
{
    Button::Init();
    gStatDisplayType = kFirstDisplayType;
    // The archetype named last belonged to a play field that may be gone; the select buttons find
    // the new one before it is needed.
    gSelectedArchetype = nullptr;
}

void UpgradeButton::RefreshStatDisplays(int type)
{
    gStatDisplayType = type;
    const int archetypeType = type == 2 || type == 3 ? type : Airships::kFirstType;
    gSelectedArchetype = FindSceneObject(SceneManager::kPlayField, Airships::ArchetypeName(archetypeType));
    const Stats* stats = ArchetypeStats();
    if (!Airships::IsType(type) || stats == nullptr)
    {
        return;
    }
    for (const StatDisplay& display : kDisplays)
    {
        GameObject* shown =
            FindSceneObject(SceneManager::kPlayField, std::string(Airships::TypeWord(type)) + display.suffix);
        const auto* animation = ComponentOf<Animation>(shown);
        const std::optional<int> level = Airships::LevelOf(*stats, display.stat);
        if (animation != nullptr && level)
        {
            ShowRow(shown, *level + animation->FrameCount - kDisplayRowOffset);
        }
    }
}

std::optional<int> UpgradeButton::NextPrice() const
{
    const Stats* stats = ArchetypeStats();
    const std::optional<int> level = stats != nullptr ? Airships::LevelOf(*stats, Stat()) : std::nullopt;
    if (level == 0)
    {
        return kPriceOfLevel1;
    }
    if (level == 1)
    {
        return kPriceOfLevel2;
    }
    return std::nullopt;
}

void UpgradeButton::ShowIdleLook()
{
    if (gSelectedArchetype == nullptr)
    {
        ShowButtonRow(Style().rows.idle);
        return;
    }
    RefreshStatDisplays(gStatDisplayType);
    const Stats* stats = ArchetypeStats();
    const bool hasLevel = stats != nullptr && Airships::LevelOf(*stats, Stat()).has_value();
    const std::optional<int> price = NextPrice();
    const bool affordable = price && gGold > *price;
    ShowButtonRow(!hasLevel || affordable ? Style().rows.idle : kUnaffordableRow);
}

void UpgradeButton::Act()
{
    Stats* stats = ArchetypeStats();
    const std::optional<int> price = NextPrice();
    if (stats == nullptr || !price || gGold <= *price)
    {
        return;
    }
    gGold -= *price;
    Airships::Upgrade(*stats, Stat());
    PlayCue(kUpgradeCues[static_cast<size_t>(stat)]);
    RefreshStatDisplays(gStatDisplayType);
}
