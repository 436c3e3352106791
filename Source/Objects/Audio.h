// The Audio component (kind 5): an object's voice. It owns a sound game object on which the
// object's events are posted, keeps the list of what plays there, and refuses to post an event that
// the list shows playing, so that a cue requested on every frame (hover, engine noise, shots) is
// not piled up.
//
// The list trails the engine by one refresh: each update asks for at most as many playing ids as
// the previous refresh returned (never more than the list holds), and a refresh that starts from 0
// only counts. So a cue requested on every frame by a silent object is posted at least twice
// before a refresh lists it, and then not again until it has ended. Entries beyond the last count
// keep older ids; an id that no longer plays names no event and blocks nothing.
//
// Object-file member "Audio": its presence creates the component; its value is not read.
//
// Threading: main thread. Ownership: the component owns its sound game object: it registers it
// when made (a clone gets its own) and, when destroyed, stops what it was playing at once and
// unregisters it. All sound calls go through Sound() (Engine/GameSound.h).
#pragma once

#include "Objects/Component.h"

#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <array>
#include <cstdint>

class Audio : public Component
{
public:
    static constexpr ComponentType kType = ComponentType::Audio;
    // Playing ids the list holds.
    static constexpr uint32_t kPlayingIdCapacity = 50;
    // The names the two registrations carry.
    static constexpr const char* kListenerName = "Listener";
    static constexpr const char* kEmitterName = "Emitter";

    // Registers a listener and an emitter game object under new ids.
    Audio();
    // Stops the playing ids of the last refresh (no fade), then unregisters both game objects.
    ~Audio() override;
    Audio& operator=(const Audio&) = delete;

    // A new component with game objects of its own and a copy of this one's playing ids (count 0),
    // so a cue still playing on this object blocks the same cue on the copy until it ends.
    Component* Clone() const override;
    // Refreshes the list of playing ids from the engine.
    void Update(float dt) override;
    // Posts `eventId` on the emitter object unless one of the listed ids (all of them, not only
    // the last count) still plays it.
    void PlayEvent(ZkUniqueID eventId);

    ZkGameObjectID listenerId = 0;
    ZkGameObjectID emitterId = 0; // every event of this component is posted on it
    std::array<ZkPlayingID, kPlayingIdCapacity> playingIds{};
    uint32_t playingCount = 0; // ids written by the last refresh

private:
    Audio(const Audio& source);
    void RegisterGameObjects();
};
