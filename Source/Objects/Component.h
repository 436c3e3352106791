// The base of everything a game object does or shows. A GameObject holds at most one component of
// each kind, in the slot whose index is the kind's type id, and drives its components only through
// the virtual operations below, in slot order: so the type id is both the identity of a kind and
// its place in each frame's order (Transform, Sprite, Animation, Physics, Collider, Audio,
// Behavior, Stats, Emitter, EmitterBehavior).
//
// Threading: main thread. Ownership: a component belongs to the object whose slot holds it and is
// deleted by that object; `owner` is not owning.
#pragma once

class GameObject;

// The kinds of component; each value is the kind's slot in a GameObject.
enum class ComponentType : int
{
    Transform = 0,
    Sprite = 1,
    Animation = 2,
    Physics = 3,
    Collider = 4,
    Audio = 5,
    Behavior = 6, // every behaviour and every button
    Stats = 7,
    Emitter = 8,
    EmitterBehavior = 9,
};

// Component slots of a GameObject, one per kind.
constexpr int kComponentSlotCount = 10;

constexpr int SlotOf(ComponentType type)
{
    return static_cast<int>(type);
}

class Component
{
public:
    // Operations in the order every component class agrees on.
    virtual ~Component() = default;
    // Called once after the owner was copied (in slot order), after an emitter was read, and for
    // behaviours when a scene is built. Nothing by default.
    virtual void Init() {}
    // A new component of the same class with the same values (each class says which it resets),
    // owned by the caller; the copying object sets the owner. Null by default: a kind that cannot
    // be copied.
    virtual Component* Clone() const { return nullptr; }
    // One frame of dt seconds. Nothing by default.
    virtual void Update(float dt) { static_cast<void>(dt); }
    // Draws into the current render target. Nothing by default.
    virtual void Draw() {}
    // Two operations reserved in the order; no class overrides them and nothing calls them.
    virtual void ReservedOperation5() {}
    virtual void ReservedOperation6() {}

    ComponentType type;          // the kind; set by the derived constructor, never changed
    GameObject* owner = nullptr; // set by GameObject::AddComponent or a copy; null until then

protected:
    explicit Component(ComponentType kind) : type(kind) {}
    // Clones copy the values and start without an owner.
    Component(const Component& other) : type(other.type) {}
    Component& operator=(const Component&) = delete;
};
