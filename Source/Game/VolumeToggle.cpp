#include "Game/VolumeToggle.h"

#include "Engine/EngineGlobals.h"
#include "Engine/GameSound.h"
#include "Game/SpriteRows.h"

void VolumeToggle::Act()
{
    isMuted = !isMuted;
    ApplyMuteRule();
    SetSpriteFrame(owner, isMuted ? kMutedFrame : kSoundOnFrame);
}
