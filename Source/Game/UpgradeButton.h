// UpgradeButton: buys one level of a stat (0 damage, 1 health, 2 speed) for the airship type the
// stat displays show. Levels 1 and 2 cost 60 and 75 gold, and a purchase needs strictly more gold
// than its price; while the next level cannot be bought the idle button shows row 3. An upgrade
// changes the type's archetype in the play field, so it applies to every later launch of the type.
//
// The stat displays ("Gremlin", "Bugbear", "Tyrant" followed by "HP", "DM", "SP") show their
// stat's level as a sprite row: level + the display's Animation FrameCount - 2.
//
// Threading: main thread. Ownership: as every button (Button.h); gSelectedArchetype names an
// object of the play field.
#pragma once

#include "Game/Airships.h"
#include "Game/Button.h"

class UpgradeButton final : public CopyCloned<UpgradeButton, Button>
{
public:
    // The price of the level after level 0 and level 1; no level after 1 is for sale.
    static constexpr int kPriceOfLevel1 = 60;
    static constexpr int kPriceOfLevel2 = 75;
    // Row of the idle button while the next level cannot be bought.
    static constexpr int kUnaffordableRow = 3;

    explicit UpgradeButton(int statKind) : CopyCloned(ButtonClass::UpgradeButton), stat(statKind) {}

    // Button::Init; the displays refer to type 1 until an airship type is chosen.
    void Init() override;

    // gStatDisplayType := type; gSelectedArchetype := its archetype in the play field ("Korvane1"
    // for any type but 2 and 3); then each of the type's three displays shows its stat's level.
    static void RefreshStatDisplays(int type);

    int stat; // 0 damage, 1 health, 2 speed

protected:
    // Row 0, or row 3 while the next level cannot be bought; the displays follow the archetype.
    void ShowIdleLook() override;
    // Pays and upgrades, when the next level is for sale and affordable.
    void Act() override;

private:
    Airships::Stat Stat() const { return static_cast<Airships::Stat>(stat); }
    // The price of the level after the stat's current one, or none when it cannot be bought at
    // any price (level 2 and above, or no level).
    std::optional<int> NextPrice() const;
};
