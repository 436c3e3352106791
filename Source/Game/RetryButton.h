// RetryButton: Starts a new round: every timer runs again, the gold is 0 and a play field is shown.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class RetryButton final : public CopyCloned<RetryButton, Button>
{
public:
    RetryButton() : CopyCloned(ButtonClass::RetryButton) {}

protected:
    void Act() override;
};
