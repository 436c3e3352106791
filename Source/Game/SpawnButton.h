// SpawnButton: launches an airship of the chosen type into its lane (0 "Top", 1 "Mid", 2 "Bot").
// The button is invisible until the mouse is over it; a release over it launches when the round
// is still running, the lane's own 1 s launch cooldown has run out and the gold is strictly more
// than the type's Cost, which it pays. It never uses the buttons' shared cooldown.
//
// Threading: main thread. Ownership: as every button (Button.h); the launched airship belongs to
// the play field's list.
#pragma once

#include "Game/Button.h"

class SpawnButton final : public CopyCloned<SpawnButton, Button>
{
public:
    // Seconds between two launches from one lane.
    static constexpr float kLaunchCooldownSeconds = 1.0f;

    explicit SpawnButton(int laneIndex) : CopyCloned(ButtonClass::SpawnButton), lane(laneIndex) {}

    // Button::Init; the launch cooldown starts.
    void Init() override;
    // Hidden idle look, visible hover, launch on the release over it.
    void Update(float dt) override;

    int lane;
    Timer* launchCooldown = nullptr;

private:
    void Launch();
};
