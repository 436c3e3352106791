// CoinButton: Plays again from the lose screen: switches to the play field. It has no cooldown: every
// release over it acts.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class CoinButton final : public CopyCloned<CoinButton, Button>
{
public:
    CoinButton() : CopyCloned(ButtonClass::CoinButton) {}

protected:
    void Act() override;
};
