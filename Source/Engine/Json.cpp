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
    std::fprintf(stderr, "Malformed JSON asset \"%s\": the check \"%s\" failed (%s:%d)\n",
                 path.empty() ? "(unknown file)" : path.c_str(), condition, sourceFile, sourceLine);
    std::abort();
}
} // namespace trindle
