// One screen of the game (a splash screen, the main menu "MenuUI", the play field "Sandbox", the
// pause menu, a dialog, the credits, an end screen): a named pair of object lists built from the
// scene file "./Assets/Spaces/<name>.json", {"Objects": ["<archetype>", ...]}. An archetype named
// more than once is read once; later occurrences are copies of the first. Only an active scene is
// updated and drawn.
//
// Threading: main thread. Ownership: the scene's lists own their objects, but the scene's
// destructor does not delete them: whoever takes a scene down calls DestroyObjects first (the
// scene manager does). Scenes live on the scene manager's stack (SceneManager.h).
#pragma once

#include "Objects/GameObjectList.h"

#include <string>
#include <vector>

class Scene
{
public:
    // The play field: the only scene that receives the airship archetypes.
    static constexpr const char* kPlayFieldName = "Sandbox";

    // Reads the scene file and creates its objects in order (inactive), then initialises the
    // behaviours of both lists. A missing or malformed scene file stops the program naming it.
    explicit Scene(std::string sceneName);
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Only for the play field: appends the airship archetypes "Korvane1" to "Korvane3" (copies
    // when they are already there), without initialising their behaviours. Runs on every open or
    // switch, so a play field opened again gets three more.
    void AddStartingUnits();
    // Nothing when inactive. Otherwise the collision pass, then every object's update in list
    // order; an object whose destroyed flag is set after its update is taken out and deleted.
    // Objects that an update adds to the list are first updated in the next frame; objects that an
    // update takes out of the list are not updated after that.
    void Update(float dt);
    // Deletes every object of both lists.
    void DestroyObjects();

    bool active = false;
    std::string name;
    GameObjectList objects; // collided, updated and drawn in list order
    GameObjectList stash;   // held-back objects: neither updated nor drawn

private:
    // The objects of this frame's update pass, kept between frames so a steady frame allocates
    // nothing.
    std::vector<GameObject*> m_passObjects;
};
