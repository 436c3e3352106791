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
    const ButtonStyle& style = Style();
    switch (currentState)
    {
    case kIdle:
        ScaleFromSnapshot(1.0f);
        TestHover();
        break;
    case kHovered:
    {
        if (!fullscreen)
        {
            SetSpriteFrame(owner, kWindowedHoverFrame);
        }
        PlayHoverCueOnce();
        // Windowed, the toggle is not scaled up; either way the press-in is taken from the
        // snapshot, so holding the button does not shrink it frame after frame.
        const float hovered = fullscreen ? style.scaling.hover : 1.0f;
        ScaleFromSnapshot(Held() ? hovered * style.scaling.pressIn : hovered);
        nextState = PressEdge() ? kActing : (IsMouseOver() ? kHovered : kIdle);
        break;
    }
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
