#include "Game/VolumeToggle.h"

#include "Engine/EngineGlobals.h"
#include "Engine/GameSound.h"
#include "Game/SpriteRows.h"

void VolumeToggle::Update(float dt)
{
    Behavior::Update(dt);
    if (CoolingDown())
    {
        nextState = kIdle;
        return;
    }
    const ButtonStyle& style = Style();
    switch (currentState)
    {
    case kIdle:
        ScaleFromSnapshot(1.0f);
        TestHover();
        break;
    case kHovered:
        PlayHoverCueOnce();
        ScaleFromSnapshot(Held() ? style.scaling.hover * style.scaling.pressIn : style.scaling.hover);
        nextState = PressEdge() ? kActing : (IsMouseOver() ? kHovered : kIdle);
        break;
    case kActing:
        StartCooldown();
        isMuted = !isMuted;
        ApplyMuteRule();
        SetSpriteFrame(owner, isMuted ? kMutedFrame : kSoundOnFrame);
        nextState = kIdle;
        break;
    default:
        break;
    }
}
