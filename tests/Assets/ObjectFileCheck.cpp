#include "ObjectFileCheck.h"

#include "BehaviorCascade.h"

#include <set>

namespace kp::assets
{
namespace
{
constexpr int kFirstGlyph = 32;
constexpr int kLastGlyph = 127;
constexpr rapidjson::SizeType kColourChannels = 3;

class Problems
{
public:
    void Add(const std::string& text) { list.push_back(text); }
    std::vector<std::string> list;
};

void CheckKeys(const rapidjson::Value& object, const std::set<std::string>& known, const std::string& where,
               Problems& problems)
{
    for (auto member = object.MemberBegin(); member != object.MemberEnd(); ++member)
    {
        const std::string key = member->name.GetString();
        if (known.count(key) == 0)
        {
            problems.Add(where + " has the key \"" + key + "\", which nothing reads");
        }
    }
}

void CheckSprite(const rapidjson::Value& sprite, SpriteSheetCache& sheets, Problems& problems)
{
    if (!sprite.IsObject())
    {
        problems.Add("\"Sprite\" is not an object");
        return;
    }
    CheckKeys(sprite, {"frameIndex", "alpha", "RGB", "Mesh", "SpriteSource", "Text", "TextMode"}, "\"Sprite\"", problems);
    const auto frame = IntMember(sprite, "frameIndex");
    if (!frame)
    {
        problems.Add("\"Sprite\".\"frameIndex\" is missing or not an integer");
    }
    if (!NumberMember(sprite, "alpha"))
    {
        problems.Add("\"Sprite\".\"alpha\" is missing or not a number");
    }
    if (const rapidjson::Value* rgb = Member(sprite, "RGB"))
    {
        bool good = rgb->IsArray() && rgb->Size() <= kColourChannels;
        if (good)
        {
            for (const rapidjson::Value& channel : rgb->GetArray())
            {
                good = good && channel.IsNumber();
            }
        }
        if (!good)
        {
            problems.Add("\"Sprite\".\"RGB\" is not an array of at most three numbers");
        }
    }
    const auto mesh = StringMember(sprite, "Mesh");
    if (!mesh)
    {
        problems.Add("\"Sprite\".\"Mesh\" is missing or not a string");
    }
    else if (!fs::exists(MeshPath(*mesh)))
    {
        problems.Add("\"Sprite\".\"Mesh\" names the missing mesh \"" + *mesh + "\"");
    }
    const auto source = StringMember(sprite, "SpriteSource");
    const SpriteSheet* sheet = source ? sheets.Get(*source) : nullptr;
    if (!source)
    {
        problems.Add("\"Sprite\".\"SpriteSource\" is missing or not a string");
    }
    else if (sheet == nullptr)
    {
        problems.Add("\"Sprite\".\"SpriteSource\" names the missing sprite source \"" + *source + "\"");
    }
    const rapidjson::Value* text = Member(sprite, "Text");
    if (text != nullptr && !text->IsString())
    {
        problems.Add("\"Sprite\".\"Text\" is not a string");
    }
    const rapidjson::Value* mode = Member(sprite, "TextMode");
    if (mode != nullptr && !mode->IsString())
    {
        problems.Add("\"Sprite\".\"TextMode\" is not a string");
    }
    const bool textMode = mode != nullptr && mode->IsString() && std::string(mode->GetString()) != "None";
    if (textMode && text != nullptr && text->IsString())
    {
        for (const char character : std::string(text->GetString()))
        {
            const int code = static_cast<unsigned char>(character);
            if (character != '\n' && (code < kFirstGlyph || code > kLastGlyph))
            {
                problems.Add("\"Sprite\".\"Text\" holds a character the font has no frame for");
                break;
            }
        }
        if (sheet != nullptr && sheet->FrameCount() < kLastGlyph - kFirstGlyph + 1)
        {
            problems.Add("\"Sprite\" draws text from a sheet with fewer frames than the font's characters");
        }
    }
    if (!textMode && frame && sheet != nullptr && sheet->error.empty() && (*frame < 0 || *frame >= sheet->FrameCount()))
    {
        problems.Add("\"Sprite\".\"frameIndex\" " + std::to_string(*frame) + " is outside the sheet \"" + *source + "\"");
    }
}

void CheckTransform(const rapidjson::Value& transform, Problems& problems)
{
    if (!transform.IsObject())
    {
        problems.Add("\"Transform\" is not an object");
        return;
    }
    CheckKeys(transform, {"translation", "rotation", "scale"}, "\"Transform\"", problems);
    for (const char* key : {"translation", "scale"})
    {
        if (Member(transform, key) != nullptr && !Vec3Member(transform, key))
        {
            problems.Add(std::string("\"Transform\".\"") + key + "\" is not an array of three numbers");
        }
    }
    if (Member(transform, "rotation") != nullptr && !NumberMember(transform, "rotation"))
    {
        problems.Add("\"Transform\".\"rotation\" is not a number");
    }
}

void CheckAnimation(const rapidjson::Value& animation, Problems& problems)
{
    if (!animation.IsObject())
    {
        problems.Add("\"Animation\" is not an object");
        return;
    }
    CheckKeys(animation, {"FrameCount", "FrameDuration", "IsLooping", "DiffAnimations"}, "\"Animation\"", problems);
    if (!IntMember(animation, "FrameCount"))
    {
        problems.Add("\"Animation\".\"FrameCount\" is missing or not an integer");
    }
    const auto duration = NumberMember(animation, "FrameDuration");
    if (!duration || *duration <= 0)
    {
        problems.Add("\"Animation\".\"FrameDuration\" is missing or not a positive number");
    }
    for (const char* key : {"IsLooping", "DiffAnimations"})
    {
        const rapidjson::Value* flag = Member(animation, key);
        if (flag == nullptr || !flag->IsBool())
        {
            problems.Add(std::string("\"Animation\".\"") + key + "\" is missing or not a boolean");
        }
    }
}

void CheckCollider(const rapidjson::Value& collider, bool hasTransform, Problems& problems)
{
    if (!collider.IsObject())
    {
        problems.Add("\"Collider\" is not an object");
        return;
    }
    CheckKeys(collider, {"Type", "RadiusMod", "WidthMod", "HeightMod"}, "\"Collider\"", problems);
    const auto type = StringMember(collider, "Type");
    if (!type || (*type != "Circle" && *type != "Box"))
    {
        problems.Add("\"Collider\".\"Type\" is neither \"Circle\" nor \"Box\" (the collider would have no shape)");
        return;
    }
    const std::vector<const char*> keys = *type == "Circle" ? std::vector<const char*>{"RadiusMod"}
                                                            : std::vector<const char*>{"WidthMod", "HeightMod"};
    for (const char* key : keys)
    {
        const auto value = NumberMember(collider, key);
        if (!value || *value <= 0)
        {
            problems.Add(std::string("\"Collider\".\"") + key + "\" is missing or not a positive number");
        }
    }
    if (!hasTransform)
    {
        problems.Add("\"Collider\" on an object without \"Transform\" has no shape");
    }
}

void CheckStats(const rapidjson::Value& stats, Problems& problems)
{
    if (!stats.IsArray() || stats.Empty() || !stats[0].IsObject())
    {
        problems.Add("\"Stats\" is not an array that starts with an object");
        return;
    }
    const auto count = IntMember(stats[0], "ListCount");
    if (!count || *count < 1 || static_cast<rapidjson::SizeType>(*count) > stats.Size())
    {
        problems.Add("\"Stats\"[0].\"ListCount\" is missing or not between 1 and the array's length");
        return;
    }
    for (int index = 0; index < *count; ++index)
    {
        const rapidjson::Value& level = stats[static_cast<rapidjson::SizeType>(index)];
        const std::string where = "\"Stats\"[" + std::to_string(index) + "]";
        if (!level.IsObject())
        {
            problems.Add(where + " is not an object");
            continue;
        }
        CheckKeys(level, {"ListCount", "MaxHealth", "MaxSpeed", "AttackDamage", "RespawnRate", "ReloadTime", "Cost",
                          "ObjectType", "MaxDamage"},
                  where, problems);
        for (const char* key : {"MaxHealth", "MaxSpeed", "AttackDamage", "RespawnRate", "ReloadTime", "Cost"})
        {
            if (Member(level, key) != nullptr && !IntMember(level, key))
            {
                problems.Add(where + ".\"" + key + "\" is not an integer");
            }
        }
        if (Member(level, "ObjectType") != nullptr && !StringMember(level, "ObjectType"))
        {
            problems.Add(where + ".\"ObjectType\" is not a string");
        }
    }
}

void CheckEmitter(const rapidjson::Value& emitter, Problems& problems)
{
    if (!emitter.IsObject())
    {
        problems.Add("\"Emitter\" is not an object");
        return;
    }
    const std::set<std::string> flags = {"ParticleMoveWithObject", "HiveMind", "UniformAnimation"};
    const std::set<std::string> numbers = {"ParticleLife", "SpawnRate", "MinSpeed", "MaxSpeed", "FadeTime",
                                           "ScaleMultiplier", "ScaleTime"};
    const std::set<std::string> texts = {"PatternType", "Fade", "ScaleSetting"};
    for (auto member = emitter.MemberBegin(); member != emitter.MemberEnd(); ++member)
    {
        const std::string key = member->name.GetString();
        const rapidjson::Value& value = member->value;
        const bool good = flags.count(key) ? value.IsBool()
                          : numbers.count(key) ? value.IsNumber()
                          : texts.count(key)   ? value.IsString()
                          : key == "SprayAngle" ? value.IsInt()
                                                : false;
        if (!good)
        {
            problems.Add("\"Emitter\".\"" + key + "\" is unknown or of the wrong type");
        }
    }
    // The stream behaviours divide one second by the spawn rate; the scale settings divide by the
    // scale time.
    const auto scaleTime = NumberMember(emitter, "ScaleTime");
    const auto setting = StringMember(emitter, "ScaleSetting");
    if (setting && (*setting == "In" || *setting == "Out") && (!scaleTime || *scaleTime <= 0))
    {
        problems.Add("\"Emitter\" scales its particles over a \"ScaleTime\" that is not positive");
    }
}
} // namespace

std::vector<std::string> CheckObjectFile(const std::string& stem, const JsonFile& file, const ObjectLibrary& library,
                                         SpriteSheetCache& sheets)
{
    Problems problems;
    if (!file.ok)
    {
        problems.Add(file.error);
        return problems.list;
    }
    const rapidjson::Value* root = GameObjectOf(file);
    if (root == nullptr)
    {
        problems.Add("the root has no object \"GameObject\"");
        return problems.list;
    }
    CheckKeys(*root, {"name", "Sprite", "Transform", "Animation", "Physics", "Collider", "Stats", "Audio", "Emitter",
                      "EmitterBehavior", "Behavior", "Time", "Children"},
              "\"GameObject\"", problems);
    const auto name = StringMember(*root, "name");
    if (!name)
    {
        problems.Add("\"name\" is missing or not a string");
    }
    else if (*name != stem)
    {
        // Scenes, lists and parents find objects by the name in the file; a file whose name
        // differs from its file name is read again at every use and never found.
        problems.Add("\"name\" \"" + *name + "\" differs from the file name");
    }
    if (const rapidjson::Value* sprite = Member(*root, "Sprite"))
    {
        CheckSprite(*sprite, sheets, problems);
    }
    if (const rapidjson::Value* transform = Member(*root, "Transform"))
    {
        CheckTransform(*transform, problems);
    }
    if (const rapidjson::Value* animation = Member(*root, "Animation"))
    {
        CheckAnimation(*animation, problems);
        if (Member(*root, "Sprite") == nullptr)
        {
            problems.Add("\"Animation\" on an object without \"Sprite\" has no frames to show");
        }
    }
    if (const rapidjson::Value* physics = Member(*root, "Physics"))
    {
        if (!physics->IsObject())
        {
            problems.Add("\"Physics\" is not an object");
        }
        else
        {
            CheckKeys(*physics, {"velocity"}, "\"Physics\"", problems);
            if (Member(*physics, "velocity") != nullptr && !Vec3Member(*physics, "velocity"))
            {
                problems.Add("\"Physics\".\"velocity\" is not an array of three numbers");
            }
        }
    }
    if (const rapidjson::Value* collider = Member(*root, "Collider"))
    {
        CheckCollider(*collider, Member(*root, "Transform") != nullptr, problems);
    }
    if (const rapidjson::Value* stats = Member(*root, "Stats"))
    {
        CheckStats(*stats, problems);
    }
    if (const rapidjson::Value* emitter = Member(*root, "Emitter"))
    {
        CheckEmitter(*emitter, problems);
        if (Member(*root, "Sprite") == nullptr || Member(*root, "Transform") == nullptr)
        {
            problems.Add("\"Emitter\" needs the object's \"Sprite\" and \"Transform\" for its particles");
        }
    }
    if (const rapidjson::Value* emitterBehavior = Member(*root, "EmitterBehavior"))
    {
        if (!emitterBehavior->IsString() || ChooseEmitterBehavior(emitterBehavior->GetString()).empty())
        {
            problems.Add("\"EmitterBehavior\" is not a string that selects a particle behaviour");
        }
        else if (Member(*root, "Emitter") == nullptr)
        {
            problems.Add("\"EmitterBehavior\" on an object without \"Emitter\"");
        }
    }
    if (const rapidjson::Value* behavior = Member(*root, "Behavior"))
    {
        if (!StringMember(*behavior, "Name"))
        {
            problems.Add("\"Behavior\" is not an object with the string \"Name\"");
        }
    }
    if (Member(*root, "Time") != nullptr && !IntMember(*root, "Time"))
    {
        problems.Add("\"Time\" is not an integer");
    }
    if (const rapidjson::Value* children = Member(*root, "Children"))
    {
        if (!children->IsArray())
        {
            problems.Add("\"Children\" is not an array");
        }
        else
        {
            for (const rapidjson::Value& child : children->GetArray())
            {
                if (!child.IsString())
                {
                    problems.Add("\"Children\" holds an entry that is not a string");
                }
                else if (library.Child(child.GetString()) == nullptr)
                {
                    problems.Add(std::string("\"Children\" names the missing child file \"") + child.GetString() + "\"");
                }
            }
        }
    }
    return problems.list;
}
} // namespace kp::assets
