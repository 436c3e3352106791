// BackButton: Leaves the tutorial: every scene is hidden, then the scene remembered by the last
// switch (the pause menu, or the menu) gets its starting units and is shown again.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class BackButton final : public CopyCloned<BackButton, Button>
{
public:
    BackButton() : CopyCloned(ButtonClass::BackButton) {}

protected:
    void Act() override;
};
