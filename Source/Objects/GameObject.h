// The one kind of thing in a scene: a named bag of components (one slot per component kind, see
// Component.h), an ordered list of child objects and a link to its parent. A child's position is
// relative to its parent. Scenes drive their objects once per frame through Update and Draw;
// objects are found by exact, case-sensitive name.
//
// Threading: main thread. Ownership: an object owns its components and its children and deletes
// them in its destructor; `parent` is not owning. Objects are not copyable as C++ values: a copy
// is made with CopyConstruct, which follows the copy rules below.
#pragma once

#include "Objects/Component.h"

#include <array>
#include <deque>
#include <string>

class GameObject
{
public:
    // The name of the object that keeps its own sprite alpha under any parent.
    static constexpr const char* kOwnAlphaObjectName = "KorvaneExplosion";

    GameObject() = default;
    // Deletes the components in slot order 0 to 9, then the children in order.
    ~GameObject();
    GameObject(const GameObject&) = delete;
    GameObject& operator=(const GameObject&) = delete;

    // Makes this empty object a deep copy of `source`: same name and parent; every component
    // cloned, except that a copy of an object with a parent and without an Emitter gets a new
    // Transform with the source's translation and scale and rotation 0; then Init of every
    // component in slot order; then a copy of every child (recursively), whose parent is this
    // object; then the destroyed flag.
    void CopyConstruct(const GameObject& source);

    // Fills this empty object from the object file at `path` (see GameObjectFile.cpp for the
    // layout): the name, the components whose keys are present (in this order: Sprite,
    // Transform, Animation, Physics, Collider, Stats, Audio, Emitter), the particle
    // behaviour, the behaviour chosen by name, and the children. A child named twice is read once
    // and copied. A missing or malformed file stops the program naming the file and the key.
    void ReadFromFile(const char* path);

    // Puts `component` into the slot of its kind and makes this object its owner; nothing when it
    // is null. A different component already in that slot is deleted: every component belongs to
    // exactly one object, and the one replaced would otherwise be lost.
    void AddComponent(Component* component);

    // One frame: every component's Update in slot order (right after the Sprite's, a child takes
    // its parent's sprite alpha, see below), then every child's Update in order.
    void Update(float dt);
    // Every component's Draw in slot order, then every child's Draw in order, so children are
    // drawn over their parent and later children over earlier ones.
    void Draw();

    // The first direct child whose name equals `childName` exactly, or null.
    GameObject* FindChild(const std::string& childName) const;
    // The first direct child whose name contains `text`, or null.
    GameObject* FindChildContaining(const std::string& text) const;

    // The component of kind `type`, or null.
    Component* GetComponent(ComponentType type) const { return components[SlotOf(type)]; }
    // The component in the slot of class T (T::kType) when it is a T, or null.
    template <class T> T* GetComponent() const { return dynamic_cast<T*>(components[SlotOf(T::kType)]); }

    std::string name;
    // The size of the scene's list right after the object was appended to it; 0 otherwise.
    int listPosition = 0;
    // When set, the owning scene deletes the object after its update.
    bool destroyed = false;
    std::array<Component*, kComponentSlotCount> components{};
    std::deque<GameObject*> children;
    GameObject* parent = nullptr;

private:
    // A child follows its parent's sprite alpha, unless it is the object of kOwnAlphaObjectName.
    void TakeParentAlpha();
};

// The component of class T of `object`, or null (also for a null object).
template <class T> T* ComponentOf(const GameObject* object)
{
    return object != nullptr ? object->GetComponent<T>() : nullptr;
}
