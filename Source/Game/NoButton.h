// NoButton: closes a confirmation dialog ("AreUSure" when it is there, else "AreUSureMain", else
// the menu itself) and shows again the screen it was opened from: the pause menu when there is
// one, else the main menu (built anew when it is gone).
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class NoButton final : public CopyCloned<NoButton, Button>
{
public:
    NoButton() : CopyCloned(ButtonClass::NoButton) {}

    // Picks the dialog, then the button's machine.
    void Update(float dt) override;

    const char* dialog = nullptr; // the scene the action closes, picked every update

protected:
    void Act() override;
};
