// PlayButton: starts a round from the main menu. Its action fades the menu's black square in over
// one second; once the square is opaque the loading screen opens, and on the next update the menu
// music stops, the gold is reset to 0 and the play field replaces the menu.
//
// The loading screen is opened once: the play field's switch hides it, and it stays hidden under
// the play field (a loading screen still shown there would take the pause key's resume).
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
