// SettingsButton: Opens the pause menu from the play field.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class SettingsButton final : public CopyCloned<SettingsButton, Button>
{
public:
    SettingsButton() : CopyCloned(ButtonClass::SettingsButton) {}

protected:
    void Act() override;
};
