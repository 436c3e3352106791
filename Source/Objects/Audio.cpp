#include "Objects/Audio.h"

#include "Engine/GameSound.h"
#include "Engine/SoundGameObjects.h"

#include <algorithm>

namespace
{
// A stop with no transition: the curve has no effect, the engine's default is given.
constexpr ZkTimeMs kStopTransitionMs = 0;
constexpr ZkCurveInterpolation kStopCurve = ZkCurveInterpolation_Linear;
} // namespace

Audio::Audio() : Component(kType)
{
    RegisterGameObjects();
}

Audio::Audio(const Audio& source) : Component(source), playingIds(source.playingIds)
{
    RegisterGameObjects();
}

Audio::~Audio()
{
    const uint32_t listed = std::min(playingCount, kPlayingIdCapacity);
    for (uint32_t index = 0; index < listed; ++index)
    {
        Sound().StopPlayingID(playingIds[index], kStopTransitionMs, kStopCurve);
    }
    Sound().UnregisterGameObj(listenerId);
    Sound().UnregisterGameObj(emitterId);
}

void Audio::RegisterGameObjects()
{
    listenerId = TakeSoundGameObjectId(listenerIds);
    Sound().RegisterGameObj(listenerId, kListenerName);
    emitterId = TakeSoundGameObjectId(emitterIds);
    Sound().RegisterGameObj(emitterId, kEmitterName);
}

Component* Audio::Clone() const
{
    return new Audio(*this);
}

void Audio::Update(float dt)
{
    static_cast<void>(dt);
    // The count-only refresh returns every playing id of the object, however many: the next
    // refresh may ask for no more than the list holds.
    playingCount = std::min(playingCount, kPlayingIdCapacity);
    Sound().GetPlayingIDsFromGameObject(emitterId, playingCount, playingIds.data());
}

void Audio::PlayEvent(ZkUniqueID eventId)
{
    for (ZkPlayingID playing : playingIds)
    {
        if (Sound().GetEventIDFromPlayingID(playing) == eventId)
        {
            return;
        }
    }
    Sound().PostEvent(eventId, emitterId);
}
