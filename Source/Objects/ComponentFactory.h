// Where the object reader gets the components it creates by name or by key: the behaviours chosen
// by BehaviorChoice.h, the particle behaviours, and the Audio and Emitter components. This is the
// one place that knows the concrete classes; a class that is not built yet creates nothing (null),
// and the reader then simply has no component in that slot.
//
// Not built yet, so creating nothing: every behaviour and button class, the particle behaviours,
// the Audio component and the Emitter component. Each is wired in here when it is built.
//
// Threading: main thread. Ownership: every component returned belongs to the caller, who adds it
// to an object (GameObject::AddComponent).
#pragma once

#include "Objects/BehaviorChoice.h"

#include <string>

class Behavior;
class Component;
class GameObject;

// A new behaviour of the chosen class and argument, named with choice.storedName when that is not
// empty; null for a class that is not built yet.
Behavior* CreateBehavior(const BehaviorChoice& choice);

// A new particle behaviour (slot 9) of the chosen class, named with choice.storedName; null for
// None and for a class that is not built yet.
Component* CreateEmitterBehavior(const EmitterBehaviorChoice& choice);

// A new Audio component (an object file's "Audio" key: its value is not read); null while the
// Audio component is not built.
Component* CreateAudioComponent();

// A new Emitter component added to `object` and reading its keys from the object file text (the
// caller's JsonFileScope names the file); null, with nothing added, while the Emitter component is
// not built. The caller runs its Init.
Component* AddEmitterFromFile(GameObject& object, const std::string& fileText);
