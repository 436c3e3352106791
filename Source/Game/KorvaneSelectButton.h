// KorvaneSelectButton: chooses the airship type (1 Gremlin, 2 Bugbear, 3 Tyrant) that launches
// use. Its action marks the choice (the selection icon takes the type's sheet), shows the type's
// three stat displays in place of the ones shown (the others wait in the play field's stash),
// points the upgrade buttons at the type and shows its launch cost.
//
// On the first update after the play field was built (nothing sorted yet), the first select button
// to run stashes the Bugbear and Tyrant displays, so that the Gremlin ones show.
//
// Threading: main thread. Ownership: as every button (Button.h); the displays move between the
// play field's two lists.
#pragma once

#include "Game/Button.h"

class KorvaneSelectButton final : public CopyCloned<KorvaneSelectButton, Button>
{
public:
    explicit KorvaneSelectButton(int airshipType) : CopyCloned(ButtonClass::KorvaneSelectButton), type(airshipType) {}

    // Button::Init; the displays are to be sorted again.
    void Init() override;
    // The first sorting, then the button's machine.
    void Update(float dt) override;

    // The selection icon shows this type.
    void ShowSelection() const;
    // The shown type's displays go to the stash (nothing when none is shown).
    static void HideStatDisplays();
    // HideStatDisplays, then this type's displays come out of the stash in the order HP, SP, DM.
    void ShowStatDisplays() const;
    // The launch-cost display shows the Cost of this type's archetype.
    void ShowDeployCost() const;

    int type;

protected:
    void Act() override;
};
