// MenuButton: Goes back to the main menu.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class MenuButton final : public CopyCloned<MenuButton, Button>
{
public:
    MenuButton() : CopyCloned(ButtonClass::MenuButton) {}

protected:
    void Act() override;
};
