#include "Objects/GameObject.h"

#include "Objects/Sprite.h"
#include "Objects/Transform.h"

GameObject::~GameObject()
{
    for (Component*& component : components)
    {
        delete component;
        component = nullptr;
    }
    for (GameObject* child : children)
    {
        delete child;
    }
    children.clear();
}

void GameObject::CopyConstruct(const GameObject& source)
{
    name = source.name;
    parent = source.parent;
    const bool hasEmitter = source.GetComponent(ComponentType::Emitter) != nullptr;
    for (int slot = 0; slot < kComponentSlotCount; ++slot)
    {
        const Component* original = source.components[static_cast<size_t>(slot)];
        if (original == nullptr)
        {
            continue;
        }
        Component* copy = nullptr;
        const auto* transform = dynamic_cast<const Transform*>(original);
        if (source.parent != nullptr && transform != nullptr && !hasEmitter)
        {
            // Copied children start unrotated: only translation and scale carry over.
            auto* fresh = new Transform();
            fresh->translation = transform->translation;
            fresh->scale = transform->scale;
            copy = fresh;
        }
        else
        {
            copy = original->Clone();
        }
        AddComponent(copy);
    }
    for (Component* component : components)
    {
        if (component != nullptr)
        {
            component->Init();
        }
    }
    for (const GameObject* child : source.children)
    {
        auto* childCopy = new GameObject();
        childCopy->CopyConstruct(*child);
        childCopy->parent = this;
        children.push_back(childCopy);
    }
    destroyed = source.destroyed;
}

void GameObject::AddComponent(Component* component)
{
    if (component == nullptr)
    {
        return;
    }
    const int slot = SlotOf(component->type);
    if (slot < 0 || slot >= kComponentSlotCount)
    {
        return;
    }
    Component*& held = components[static_cast<size_t>(slot)];
    if (held != component)
    {
        delete held;
    }
    component->owner = this;
    held = component;
}

void GameObject::Update(float dt)
{
    for (int slot = 0; slot < kComponentSlotCount; ++slot)
    {
        if (Component* component = components[static_cast<size_t>(slot)])
        {
            component->Update(dt);
            if (slot == SlotOf(ComponentType::Sprite))
            {
                TakeParentAlpha();
            }
        }
    }
    // By index: a child's update may append to the list.
    for (size_t index = 0; index < children.size(); ++index)
    {
        children[index]->Update(dt);
    }
}

void GameObject::Draw()
{
    for (Component* component : components)
    {
        if (component != nullptr)
        {
            component->Draw();
        }
    }
    for (size_t index = 0; index < children.size(); ++index)
    {
        children[index]->Draw();
    }
}

void GameObject::TakeParentAlpha()
{
    if (parent == nullptr || name == kOwnAlphaObjectName)
    {
        return;
    }
    auto* own = GetComponent<Sprite>();
    const auto* parentSprite = parent->GetComponent<Sprite>();
    if (own != nullptr && parentSprite != nullptr)
    {
        own->alpha = parentSprite->alpha;
    }
}

GameObject* GameObject::FindChild(const std::string& childName) const
{
    for (GameObject* child : children)
    {
        if (child->name == childName)
        {
            return child;
        }
    }
    return nullptr;
}

GameObject* GameObject::FindChildContaining(const std::string& text) const
{
    for (GameObject* child : children)
    {
        if (child->name.find(text) != std::string::npos)
        {
            return child;
        }
    }
    return nullptr;
}
