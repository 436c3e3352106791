#include "Objects/ObjectFileJson.h"

namespace trindle
{
namespace
{
constexpr const char* kRootKey = "GameObject";
constexpr rapidjson::SizeType kVectorLength = 3;
} // namespace

rapidjson::Document ParseObjectFile(const std::string& fileText)
{
    rapidjson::Document document = ParseJsonAsset(fileText);
    static_cast<void>(JsonObject(document, kRootKey));
    return document;
}

const rapidjson::Value& ObjectFileRoot(const rapidjson::Document& document)
{
    return JsonObject(document, kRootKey);
}

glm::vec3 JsonVec3(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value& list = JsonArray(object, key);
    if (list.Size() != kVectorLength)
    {
        JsonKeyCheckFailed(key, "holds exactly three numbers");
    }
    glm::vec3 vector(0.0f);
    for (rapidjson::SizeType index = 0; index < kVectorLength; ++index)
    {
        vector[static_cast<glm::length_t>(index)] =
            JsonFloatValue(list[index], std::string(key) + "[" + std::to_string(index) + "]");
    }
    return vector;
}
} // namespace trindle
