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

// A failed check: the message (which asset, which check, where) goes to the failure handler, then
// the program stops.
[[noreturn]] void JsonCheckFailed(const char* condition, const char* sourceFile, int sourceLine);

// What a failed check does with its message before the program stops. The default (null) prints it
// on standard error. A fuzz entry point installs a handler that throws an exception of its own, so
// that one process can try many inputs; a handler that returns lets the program stop as usual.
using JsonCheckFailureHandler = void (*)(const std::string& message);
// Installs `handler` (null restores the default) and returns the one it replaces.
JsonCheckFailureHandler SetJsonCheckFailureHandler(JsonCheckFailureHandler handler);

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
