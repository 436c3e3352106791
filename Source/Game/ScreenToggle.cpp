#include "Game/ScreenToggle.h"

#include "Engine/EngineGlobals.h"
#include "Engine/GameWindow.h"
#include "Game/SpriteRows.h"

void ScreenToggle::Update(float dt)
{
    Behavior::Update(dt);
    // The last switch began in full screen exactly when the window is now windowed.
    fullscreen = !wasFullscreen;
    if (CoolingDown())
    {
        currentState = kActing;
    }
    SetSpriteFrame(owner, fullscreen ? kFullscreenFrame : kWindowedFrame);
    switch (currentState)
    {
    case kIdle:
        RunIdle();
        break;
    case kHovered:
        if (!fullscreen)
        {
            SetSpriteFrame(owner, kWindowedHoverFrame);
        }
        PlayHoverCueOnce();
        // Windowed, the toggle is not scaled up; either way the press-in is taken from the
        // snapshot, so holding the button does not shrink it frame after frame.
        ScaleHovered(fullscreen ? Style().scaling.hover : 1.0f);
        LeaveHover(PressEdge());
        break;
    case kActing:
        if (!CoolingDown())
        {
            StartCooldown();
            SetSpriteFrame(owner, kSwitchingFrame);
            ToggleFullscreen();
        }
        nextState = kIdle;
        break;
    default:
        break;
    }
}
