#include "Engine/TEResources.h"

#include <fstream>
#include <sstream>

namespace TEResources
{
std::string ReadTextFile(const std::string& path)
{
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open())
    {
        return std::string();
    }
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
} // namespace TEResources
