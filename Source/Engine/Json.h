// RapidJSON as the engine uses it. Every asset reader includes this header instead of RapidJSON's
// own, so that RapidJSON's type and bounds assertions are always on, in every build type, and stop
// the program with a message naming the asset being read and the check that failed.
#pragma once

#include <string>

namespace trindle
{
// Names the file whose JSON is being read, for the message of a failed check. Readers set it with
// JsonFileScope before they parse and query a document.
void SetJsonFileInProgress(const std::string& path);
const std::string& JsonFileInProgress();

[[noreturn]] void JsonCheckFailed(const char* condition, const char* sourceFile, int sourceLine);

class JsonFileScope
{
public:
    explicit JsonFileScope(const std::string& path) : m_previous(JsonFileInProgress())
    {
        SetJsonFileInProgress(path);
    }
    ~JsonFileScope() { SetJsonFileInProgress(m_previous); }
    JsonFileScope(const JsonFileScope&) = delete;
    JsonFileScope& operator=(const JsonFileScope&) = delete;

private:
    std::string m_previous;
};
} // namespace trindle

#define RAPIDJSON_ASSERT(condition)                                                                  \
    ((condition) ? static_cast<void>(0) : ::trindle::JsonCheckFailed(#condition, __FILE__, __LINE__))
#define RAPIDJSON_HAS_STDSTRING 1
#define RAPIDJSON_NOMEMBERITERATORCLASS

#include <rapidjson/document.h>
