// Where the object reader gets the components it creates by name or by key: the behaviours chosen
// by BehaviorChoice.h, the particle behaviours, and the Audio and Emitter components. This is the
// one place that knows the concrete classes.
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
// empty (else it keeps its constructor's name).
Behavior* CreateBehavior(const BehaviorChoice& choice);

// A new particle behaviour (slot 9) of the chosen class, named with choice.storedName; null for
// None.
Component* CreateEmitterBehavior(const EmitterBehaviorChoice& choice);

// A new Audio component (an object file's "Audio" key: its value is not read).
Component* CreateAudioComponent();

// A new Emitter component added to `object` and reading its keys from the object file text (the
// caller's JsonFileScope names the file). The caller runs its Init.
Component* AddEmitterFromFile(GameObject& object, const std::string& fileText);
