#include "Objects/ObjectSound.h"

#include "Engine/GameSound.h"
#include "Objects/Audio.h"
#include "Objects/GameObject.h"

Audio* AudioOf(const GameObject* object)
{
    return object != nullptr ? object->GetComponent<Audio>() : nullptr;
}

void PlayCue(const GameObject* object, ZkUniqueID eventId)
{
    if (Audio* audio = AudioOf(object))
    {
        audio->PlayEvent(eventId);
    }
}

void PostEventOn(const GameObject* object, ZkUniqueID eventId)
{
    if (const Audio* audio = AudioOf(object))
    {
        Sound().PostEvent(eventId, audio->emitterId);
    }
}

void StopSoundsOf(const GameObject* object)
{
    if (const Audio* audio = AudioOf(object))
    {
        Sound().StopAll(audio->emitterId);
    }
}
