// What the process holds, as Linux reports it in /proc/self: the kernel names of its threads (cut
// to 15 characters) and the number of its memory mappings. Tests read them to see which engine
// threads run and that nothing stays mapped.
#pragma once

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ZkProcessTest
{
// The sanitizers' allocators map memory of their own as a process runs (quarantines, shadow
// memory), so the count of mappings says something about the engine only without them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kMappingsAreTheEnginesOwn = false;
#else
constexpr bool kMappingsAreTheEnginesOwn = true;
#endif

inline std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        names.push_back(name);
    }
    return names;
}

inline bool HasThreadNamed(const std::string& name)
{
    const std::vector<std::string> names = ThreadNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

inline size_t MappingCount()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    size_t count = 0;
    while (std::getline(maps, line))
        ++count;
    return count;
}
} // namespace ZkProcessTest
