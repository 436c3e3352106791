// Checked reading of the game's JSON assets (meshes, sprite sources, object files). Every check
// that fails stops the program through the JSON check of Json.h, with a message naming the asset
// (set by the reader with JsonFileScope) and the key that is missing or of the wrong type, so a
// broken asset is named instead of being read as undefined values.
//
// Threading: main thread (the asset name in progress is one global). Ownership: the values
// returned by reference live in the caller's document.
#pragma once

#include "Engine/Json.h"

#include <cstdint>
#include <string>

namespace trindle
{
// Parses the whole text of the asset in progress. Empty text (a file that cannot be opened reads
// as empty), text holding a NUL byte and text that is not JSON stop the program.
rapidjson::Document ParseJsonAsset(const std::string& text);

// Member `key` of `object`. `object` must be a JSON object and hold the key.
const rapidjson::Value& JsonMember(const rapidjson::Value& object, const char* key);
// Member `key` of `object`, or null when the object has no such key (optional keys). `object`
// must be a JSON object.
const rapidjson::Value* FindJsonMember(const rapidjson::Value& object, const char* key);

// Typed members: each must be present and of its type. Numbers are read as 32-bit floats;
// integers must be JSON integers that fit 32 bits.
std::int32_t JsonInt(const rapidjson::Value& object, const char* key);
float JsonFloat(const rapidjson::Value& object, const char* key);
bool JsonBool(const rapidjson::Value& object, const char* key);
std::string JsonString(const rapidjson::Value& object, const char* key);
const rapidjson::Value& JsonArray(const rapidjson::Value& object, const char* key);
const rapidjson::Value& JsonObject(const rapidjson::Value& object, const char* key);

// The same checks on a value already in hand (an array element); `what` names it in the message,
// for example "Vertecies[3].u".
std::int32_t JsonIntValue(const rapidjson::Value& value, const std::string& what);
float JsonFloatValue(const rapidjson::Value& value, const std::string& what);
std::string JsonStringValue(const rapidjson::Value& value, const std::string& what);
void RequireJsonObject(const rapidjson::Value& value, const std::string& what);

// Stops the program: `what` (a key) failed `check` in the asset in progress.
[[noreturn]] void JsonKeyCheckFailed(const std::string& what, const char* check);
} // namespace trindle
