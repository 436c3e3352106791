// QuitButton: Asks whether to quit: opens the dialog "AreUSure" on top.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class QuitButton final : public CopyCloned<QuitButton, Button>
{
public:
    QuitButton() : CopyCloned(ButtonClass::QuitButton) {}

protected:
    void Act() override;
};
