// Objects of named scenes, as the game's rules reach them: found by exact name in a scene's object
// list, and moved between a scene's object list (updated and drawn) and its stash (held back). A
// scene or object that is not there is skipped: every function then answers null or does nothing.
//
// Threading: main thread. Ownership: objects stay owned by the scene's lists; a move hands an
// object from one list to the other of the same scene.
#pragma once

#include <string>

class GameObject;
class Scene;

// The object named `name` in the object list of the scene named `scene`, or null.
GameObject* FindSceneObject(const std::string& scene, const std::string& name);
// Moves the object named `name` from the scene's object list to the back of its stash.
void StashObject(Scene& scene, const std::string& name);
// Moves `object` from the scene's object list to the back of its stash.
void StashObject(Scene& scene, const GameObject* object);
// Moves the object named `name` from the scene's stash to the back of its object list.
void UnstashObject(Scene& scene, const std::string& name);
