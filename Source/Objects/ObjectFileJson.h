// What every component reader of an object file needs: the file's text parsed again (each reader
// parses the whole text on its own), the reader's own member under "GameObject", and vectors of
// three numbers. Failures stop the program naming the file in progress (the caller's
// JsonFileScope) and the key, as JsonAsset.h does.
//
// Object file: {"GameObject": {"name": ..., "<component key>": ..., ...}}.
//
// Threading: main thread. Ownership: values returned by reference live in the caller's document.
#pragma once

#include "Engine/JsonAsset.h"

#include <glm/vec3.hpp>
#include <string>

namespace trindle
{
// Parses the object file text; its root must be an object with the object "GameObject".
rapidjson::Document ParseObjectFile(const std::string& fileText);
// The object "GameObject" of a parsed object file.
const rapidjson::Value& ObjectFileRoot(const rapidjson::Document& document);
// An array of exactly three numbers, read as floats: member `key` of `object`.
glm::vec3 JsonVec3(const rapidjson::Value& object, const char* key);
} // namespace trindle
