// MainConfirm: Asks whether to leave for the main menu: opens the dialog "AreUSureMain" on top.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class MainConfirm final : public CopyCloned<MainConfirm, Button>
{
public:
    MainConfirm() : CopyCloned(ButtonClass::MainConfirm) {}

protected:
    void Act() override;
};
