#include "Engine/JsonAsset.h"

#include <rapidjson/error/en.h>

namespace trindle
{
void JsonKeyCheckFailed(const std::string& what, const char* check)
{
    const std::string condition = "\"" + what + "\" " + check;
    JsonCheckFailed(condition.c_str(), __FILE__, __LINE__);
}

rapidjson::Document ParseJsonAsset(const std::string& text)
{
    if (text.empty())
    {
        JsonCheckFailed("the file exists and is not empty", __FILE__, __LINE__);
    }
    // The parser takes a NUL byte for the end of the text: a file beginning with one would read as
    // empty, and whatever follows one would be ignored.
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
    {
        const std::string condition = "the text holds no NUL byte (one is at byte " + std::to_string(nul) + ")";
        JsonCheckFailed(condition.c_str(), __FILE__, __LINE__);
    }
    rapidjson::Document document;
    // The iterative parser keeps its own stack on the heap, so deeply nested text cannot overflow
    // the program's stack.
    document.Parse<rapidjson::kParseIterativeFlag>(text.c_str(), text.size());
    if (document.HasParseError())
    {
        const std::string condition = std::string("valid JSON: ") +
                                      rapidjson::GetParseError_En(document.GetParseError()) + " at byte " +
                                      std::to_string(document.GetErrorOffset());
        JsonCheckFailed(condition.c_str(), __FILE__, __LINE__);
    }
    return document;
}

const rapidjson::Value* FindJsonMember(const rapidjson::Value& object, const char* key)
{
    if (!object.IsObject())
    {
        JsonKeyCheckFailed(key, "is looked up in something that is not an object (IsObject())");
    }
    const auto member = object.FindMember(key);
    return member == object.MemberEnd() ? nullptr : &member->value;
}

const rapidjson::Value& JsonMember(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value* value = FindJsonMember(object, key);
    if (value == nullptr)
    {
        JsonKeyCheckFailed(key, "is present (HasMember())");
    }
    return *value;
}

std::int32_t JsonIntValue(const rapidjson::Value& value, const std::string& what)
{
    if (!value.IsInt())
    {
        JsonKeyCheckFailed(what, "is a 32-bit integer (IsInt())");
    }
    return value.GetInt();
}

float JsonFloatValue(const rapidjson::Value& value, const std::string& what)
{
    if (!value.IsNumber())
    {
        JsonKeyCheckFailed(what, "is a number (IsNumber())");
    }
    return value.GetFloat();
}

std::string JsonStringValue(const rapidjson::Value& value, const std::string& what)
{
    if (!value.IsString())
    {
        JsonKeyCheckFailed(what, "is a string (IsString())");
    }
    return std::string(value.GetString(), value.GetStringLength());
}

void RequireJsonObject(const rapidjson::Value& value, const std::string& what)
{
    if (!value.IsObject())
    {
        JsonKeyCheckFailed(what, "is an object (IsObject())");
    }
}

std::int32_t JsonInt(const rapidjson::Value& object, const char* key)
{
    return JsonIntValue(JsonMember(object, key), key);
}

float JsonFloat(const rapidjson::Value& object, const char* key)
{
    return JsonFloatValue(JsonMember(object, key), key);
}

bool JsonBool(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value& value = JsonMember(object, key);
    if (!value.IsBool())
    {
        JsonKeyCheckFailed(key, "is a boolean (IsBool())");
    }
    return value.GetBool();
}

std::string JsonString(const rapidjson::Value& object, const char* key)
{
    return JsonStringValue(JsonMember(object, key), key);
}

const rapidjson::Value& JsonArray(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value& value = JsonMember(object, key);
    if (!value.IsArray())
    {
        JsonKeyCheckFailed(key, "is an array (IsArray())");
    }
    return value;
}

const rapidjson::Value& JsonObject(const rapidjson::Value& object, const char* key)
{
    const rapidjson::Value& value = JsonMember(object, key);
    RequireJsonObject(value, key);
    return value;
}
} // namespace trindle
