// ScreenToggle: the full-screen switch of the pause menu. It acts on the press over it: the window
// leaves or enters full screen. Its sprite frames are used directly: 0 windowed, 1 windowed and
// hovered, 2 switching, 3 full screen (hovered too, then scaled up by 1.05). While the mouse
// button is held over it the toggle is pressed in to 0.95 of its hovered size. For 0.15 s after
// switching it ignores the mouse.
//
// Threading: main thread. Ownership: as every button (Button.h).
#pragma once

#include "Game/Button.h"

class ScreenToggle final : public CopyCloned<ScreenToggle, Button>
{
public:
    static constexpr int kWindowedFrame = 0;
    static constexpr int kWindowedHoverFrame = 1;
    static constexpr int kSwitchingFrame = 2;
    static constexpr int kFullscreenFrame = 3;

    ScreenToggle() : CopyCloned(ButtonClass::ScreenToggle) {}

    void Update(float dt) override;

    bool fullscreen = false; // the window is full screen, as of this update
};
