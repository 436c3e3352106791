// ResumeButton: Leaves the pause menu: every timer runs again and the play field is shown.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class ResumeButton final : public CopyCloned<ResumeButton, Button>
{
public:
    ResumeButton() : CopyCloned(ButtonClass::ResumeButton) {}

protected:
    void Act() override;
};
