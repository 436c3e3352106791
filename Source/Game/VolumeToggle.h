// VolumeToggle: the mute switch of the pause menu. It acts on the press (not the release) over it:
// mute turns on or off, both volume game parameters follow the mute rule (0 while muted, else the
// saved levels), and the sprite shows frame 1 when sound is on and 0 when muted. For 0.15 s after
// acting it ignores the mouse, so holding the button toggles once. Otherwise it runs the buttons'
// standard machine (Button.h) with its row of the family table.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class VolumeToggle final : public CopyCloned<VolumeToggle, Button>
{
public:
    static constexpr int kSoundOnFrame = 1;
    static constexpr int kMutedFrame = 0;

    VolumeToggle() : CopyCloned(ButtonClass::VolumeToggle) {}

protected:
    void Act() override;
};
