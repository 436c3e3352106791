#include "Objects/ComponentFactory.h"

#include "Game/Behavior.h"
#include "Game/BehaviorBlackSquare.h"
#include "Objects/GameObject.h"

namespace
{
// Constructs the class with its argument. A class is added here as a case once it is built, for
// example `case BehaviorClass::Tower: return new Tower(choice.argument);`.
Behavior* ConstructBehavior(const BehaviorChoice& choice)
{
    switch (choice.kind)
    {
    case BehaviorClass::BehaviorBlackSquare:
        return new BehaviorBlackSquare();
    default:
        return nullptr;
    }
}
} // namespace

Behavior* CreateBehavior(const BehaviorChoice& choice)
{
    Behavior* behavior = ConstructBehavior(choice);
    if (behavior != nullptr && !choice.storedName.empty())
    {
        behavior->name = choice.storedName;
    }
    return behavior;
}

Component* CreateEmitterBehavior(const EmitterBehaviorChoice& choice)
{
    // The particle behaviours are constructed and named here once they are built.
    static_cast<void>(choice);
    return nullptr;
}

Component* CreateAudioComponent()
{
    // The Audio component is constructed here once it is built.
    return nullptr;
}

Component* AddEmitterFromFile(GameObject& object, const std::string& fileText)
{
    // The Emitter component is constructed, added and read here once it is built.
    static_cast<void>(object);
    static_cast<void>(fileText);
    return nullptr;
}
