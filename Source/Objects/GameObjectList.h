// An ordered list of a scene's objects: the order of update, collision and drawing. Besides
// holding them it initialises their behaviours, runs the collision pass, finds an object by exact
// name, creates an object by archetype name (a copy of an object of that name already in the list,
// else read from its file), launches airships under unique names, takes an object out and destroys
// everything.
//
// Threading: main thread. Ownership: the list owns the objects it holds: DestroyAll deletes them,
// Remove hands one back without deleting it. The destructor deletes nothing (owners call
// DestroyAll first), so an object moved to another list is never deleted twice.
#pragma once

#include <deque>
#include <glm/vec3.hpp>
#include <string>

class GameObject;

class GameObjectList
{
public:
    GameObjectList() = default;
    ~GameObjectList() = default;
    GameObjectList(const GameObjectList&) = delete;
    GameObjectList& operator=(const GameObjectList&) = delete;

    // Init of every object's behaviour (slot 6), then of its particle behaviour (slot 9), then the
    // same two for each of its direct children; grandchildren are not initialised here.
    void InitAll();
    // For every ordered pair (A, B) of different objects that both hold a Collider: when A's
    // collider holds B's position, A's behaviour hears of B, then B's hears of A. A pair whose
    // shapes hold each other's positions is therefore reported twice on each side.
    void CollideAll();
    // The first object whose name equals `name` exactly; children are not searched.
    GameObject* Find(const std::string& name) const;
    // Appends a copy of the object named `name` when the list holds one, else an object read from
    // the archetype file of that name; its list position is the new size. Null for a null name.
    GameObject* CreateFromFile(const char* name);
    // Launches an airship of `type` at `position`: a copy of the archetype "Korvane<type>" named
    // "Korvane<type>" followed by a random UUID (version 4, 36 lowercase characters), with a new
    // airship behaviour of that type (flying); without the archetype in the list, the archetype
    // file is read instead and keeps its own name.
    GameObject* SpawnKorvane(const glm::vec3& position, int type);
    // Takes the first entry equal to `object` out of the list without deleting it.
    void Remove(const GameObject* object);
    // Deletes every object in list order and empties the list.
    void DestroyAll();

    // The objects, front to back. Game code moves objects between lists through Find, Remove and
    // push_back.
    std::deque<GameObject*> entries;

private:
    // Appends `object` and stores its list position.
    void Append(GameObject* object);
};
