// VolumeSlider: the volume knob of the pause menu, dragged up and down inside its track (the
// knob's parent). While the mouse button is held over it, the knob follows the cursor's height
// within a band from a sixth of the track's height below the track's centre to 0.4 of it above
// (both ends excluded), and every held frame the knob's height sets the volume: height / 294 x 100,
// written as both saved levels and straight to both volume game parameters (not by the mute rule:
// dragging while muted makes the game audible without clearing the mute flag). The height is not
// clamped: a knob below its track's centre gives a negative level.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class VolumeSlider final : public CopyCloned<VolumeSlider, Button>
{
public:
    // The knob's height that gives level 100.
    static constexpr float kFullVolumeHeight = 294.0f;
    static constexpr float kFullVolumeLevel = 100.0f;
    // The band the knob follows the cursor in, as parts of the track's height about its centre.
    static constexpr float kBandAbove = 0.4f;
    static constexpr float kBandBelowDivisor = 6.0f;

    VolumeSlider() : CopyCloned(ButtonClass::VolumeSlider) {}

    void Update(float dt) override;

private:
    // Moves the knob to the cursor's height when it is inside the band, then sends the level.
    void Drag();
};
