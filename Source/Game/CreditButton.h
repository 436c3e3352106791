// CreditButton: Opens the credits from the pause menu, after stopping the play field's music.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class CreditButton final : public CopyCloned<CreditButton, Button>
{
public:
    CreditButton() : CopyCloned(ButtonClass::CreditButton) {}

protected:
    void Act() override;
};
