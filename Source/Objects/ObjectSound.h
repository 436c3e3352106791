// Sounds on an object's Audio component, for the code that drives objects from outside (the screen
// flow, behaviours acting on other objects): a cue that is skipped while it plays there, a post that
// is not, and stopping everything the object plays. An object without an Audio component is
// silent: each call does nothing.
//
// Threading: main thread. Ownership: borrows the object.
#pragma once

#include <ZK/SoundEngine/Common/ZkTypes.h>

class Audio;
class GameObject;

// The object's Audio component, or null (also for a null object).
Audio* AudioOf(const GameObject* object);
// Audio::PlayEvent: posted unless it already plays on the object.
void PlayCue(const GameObject* object, ZkUniqueID eventId);
// Posted on the object's emitter game object whether or not it plays there already.
void PostEventOn(const GameObject* object, ZkUniqueID eventId);
// Stops every sound on the object's emitter game object.
void StopSoundsOf(const GameObject* object);
