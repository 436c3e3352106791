#include "Engine/Json.h"

#include <cstdio>
#include <cstdlib>

namespace trindle
{
namespace
{
std::string& FileInProgress()
{
    static std::string path;
    return path;
}

JsonCheckFailureHandler g_failureHandler = nullptr;
} // namespace

void SetJsonFileInProgress(const std::string& path)
{
    FileInProgress() = path;
}

const std::string& JsonFileInProgress()
{
    return FileInProgress();
}

void JsonCheckFailed(const char* condition, const char* sourceFile, int sourceLine)
{
    const std::string& path = JsonFileInProgress();
    const std::string message = "Malformed JSON asset \"" + (path.empty() ? "(unknown file)" : path) +
                                "\": the check \"" + condition + "\" failed (" + sourceFile + ":" +
                                std::to_string(sourceLine) + ")";
    if (g_failureHandler != nullptr)
    {
        g_failureHandler(message);
    }
    else
    {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    std::abort();
}

JsonCheckFailureHandler SetJsonCheckFailureHandler(JsonCheckFailureHandler handler)
{
    JsonCheckFailureHandler previous = g_failureHandler;
    g_failureHandler = handler;
    return previous;
}
} // namespace trindle
