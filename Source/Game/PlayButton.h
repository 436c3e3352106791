// PlayButton: starts a round from the main menu. Its action fades the menu's black square in over
// one second; once the square is opaque the loading screen opens, and on the next update the menu
// music stops, the gold is reset to 0 and the play field replaces the menu.
//
// The fade climbs to 1 and then hovers about it: the update after it reached 1 has it below 1
// again, so the switch to the play field leaves the loading screen hidden under it.
//
// Threading: main thread. Ownership: the fade belongs to the fade list.
#pragma once

#include "Game/Button.h"

struct Fade;

class PlayButton final : public CopyCloned<PlayButton, Button>
{
public:
    PlayButton() : CopyCloned(ButtonClass::PlayButton) {}

    void Init() override;
    // The button's machine, then the fade and loading steps.
    void Update(float dt) override;

    bool loadingStarted = false;
    Fade* fade = nullptr; // the black square's fade-in, from the click on

protected:
    void Act() override;
    // The action starts the cooldown itself, while the menu is there.
    void StartCooldown() override {}
};
