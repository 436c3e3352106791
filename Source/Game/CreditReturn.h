// CreditReturn: leaves the credits, by its button or by the Escape key (on its press, wherever the
// mouse is): the credits music stops, the play field's music starts again, the credits are taken
// off the stack and the pause menu is shown.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class CreditReturn final : public CopyCloned<CreditReturn, Button>
{
public:
    static constexpr int kEscapeKey = 256;

    CreditReturn() : CopyCloned(ButtonClass::CreditReturn) {}

    // The button's machine, then the Escape key.
    void Update(float dt) override;

protected:
    void Act() override;
};
