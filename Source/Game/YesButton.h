// YesButton: Confirms quitting: the window is asked to close, so the frame loop ends and the program
// shuts down.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class YesButton final : public CopyCloned<YesButton, Button>
{
public:
    YesButton() : CopyCloned(ButtonClass::YesButton) {}

protected:
    void Act() override;
};
