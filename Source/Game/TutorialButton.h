// TutorialButton: Opens the tutorial over the current screen.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class TutorialButton final : public CopyCloned<TutorialButton, Button>
{
public:
    TutorialButton() : CopyCloned(ButtonClass::TutorialButton) {}

protected:
    void Act() override;
};
