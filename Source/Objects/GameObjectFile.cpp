// GameObject::ReadFromFile: an object file turned into an object.
//
// Object file: {"GameObject": {...}} with the members
//   "name"            string, required: the object's name
//   "Sprite", "Transform", "Animation", "Physics", "Collider" (objects), "Stats" (array):
//                     optional; each creates its component, which reads its own keys
//   "Audio"           any value, optional: creates the Audio component (the value is not read)
//   "Emitter"         object, optional: creates the Emitter, which reads its keys, then its Init
//   "EmitterBehavior" string, optional: the particle behaviour (ChooseEmitterBehavior)
//   "Behavior"        object with the string "Name", optional: the behaviour (ChooseBehaviors)
//   "Time"            integer, optional: the seconds of a Star behaviour
//   "Children"        array of strings, optional: child objects read from the children folder
#include "Objects/GameObject.h"

#include "Engine/TEResources.h"
#include "Game/Behavior.h"
#include "Objects/Animation.h"
#include "Objects/AssetPaths.h"
#include "Objects/BehaviorChoice.h"
#include "Objects/Collider.h"
#include "Objects/ComponentFactory.h"
#include "Objects/ObjectFileJson.h"
#include "Objects/Physics.h"
#include "Objects/Sprite.h"
#include "Objects/Stats.h"
#include "Objects/Transform.h"

#include <algorithm>
#include <vector>

namespace
{
// The object files being read, outermost first. A child that names a file already being read up
// its own parent chain would make children without end: the reader stops on it instead.
class FilesInProgress
{
public:
    explicit FilesInProgress(const std::string& path)
    {
        Paths().push_back(path);
    }
    ~FilesInProgress() { Paths().pop_back(); }
    FilesInProgress(const FilesInProgress&) = delete;
    FilesInProgress& operator=(const FilesInProgress&) = delete;

    static bool IsBeingRead(const std::string& path)
    {
        return std::find(Paths().begin(), Paths().end(), path) != Paths().end();
    }

private:
    static std::vector<std::string>& Paths()
    {
        static std::vector<std::string> paths;
        return paths;
    }
};

// Creates component T when `key` is present, adds it, then lets it read the file.
template <class T>
void ReadComponentIfPresent(GameObject& object, const rapidjson::Value& root, const char* key,
                            const std::string& fileText)
{
    if (trindle::FindJsonMember(root, key) == nullptr)
    {
        return;
    }
    auto* component = new T();
    object.AddComponent(component);
    component->Read(fileText);
}
} // namespace

void GameObject::ReadFromFile(const char* path)
{
    if (path == nullptr)
    {
        return;
    }
    trindle::JsonFileScope scope(path);
    FilesInProgress reading(path);
    const std::string fileText = TEResources::ReadTextFile(path);
    const rapidjson::Document document = trindle::ParseObjectFile(fileText);
    const rapidjson::Value& root = trindle::ObjectFileRoot(document);

    name = trindle::JsonString(root, "name");

    // Transform comes before Collider: a collider's first shape is taken from it.
    ReadComponentIfPresent<Sprite>(*this, root, "Sprite", fileText);
    ReadComponentIfPresent<Transform>(*this, root, "Transform", fileText);
    ReadComponentIfPresent<Animation>(*this, root, "Animation", fileText);
    ReadComponentIfPresent<Physics>(*this, root, "Physics", fileText);
    ReadComponentIfPresent<Collider>(*this, root, "Collider", fileText);
    ReadComponentIfPresent<Stats>(*this, root, "Stats", fileText);
    if (trindle::FindJsonMember(root, "Audio") != nullptr)
    {
        AddComponent(CreateAudioComponent());
    }
    if (trindle::FindJsonMember(root, "Emitter") != nullptr)
    {
        if (Component* emitter = AddEmitterFromFile(*this, fileText))
        {
            emitter->Init();
        }
    }

    if (trindle::FindJsonMember(root, "EmitterBehavior") != nullptr)
    {
        const std::string text = trindle::JsonString(root, "EmitterBehavior");
        AddComponent(CreateEmitterBehavior(ChooseEmitterBehavior(text)));
    }

    if (const rapidjson::Value* behavior = trindle::FindJsonMember(root, "Behavior"))
    {
        trindle::RequireJsonObject(*behavior, "Behavior");
        const std::string behaviorName = trindle::JsonString(*behavior, "Name");
        for (BehaviorChoice choice : ChooseBehaviors(behaviorName))
        {
            if (choice.kind == BehaviorClass::Star && trindle::FindJsonMember(root, "Time") != nullptr)
            {
                choice.seconds = static_cast<float>(trindle::JsonInt(root, "Time"));
            }
            // A later choice replaces an earlier one in the behaviour slot.
            AddComponent(CreateBehavior(choice));
        }
    }

    if (trindle::FindJsonMember(root, "Children") != nullptr)
    {
        const rapidjson::Value& childNames = trindle::JsonArray(root, "Children");
        for (rapidjson::SizeType index = 0; index < childNames.Size(); ++index)
        {
            const std::string what = "Children[" + std::to_string(index) + "]";
            const std::string childName = trindle::JsonStringValue(childNames[index], what);
            auto* child = new GameObject();
            if (const GameObject* loaded = FindChild(childName))
            {
                // Read once: a name listed again is a copy of the first child of that name.
                child->CopyConstruct(*loaded);
            }
            else
            {
                const std::string childPath = trindle::ChildPath(childName, what);
                if (FilesInProgress::IsBeingRead(childPath))
                {
                    delete child;
                    trindle::JsonKeyCheckFailed(what, "names a child whose file is not already being read "
                                                      "by its parents (children would never end)");
                }
                child->parent = this;
                child->ReadFromFile(childPath.c_str());
            }
            children.push_back(child);
        }
    }
}
