// Shared by the tests of the engine's common parts: a fixture that runs the memory manager with its
// built-in allocator (and checks it gave every mapping back), and a runner for the Python oracles.
#pragma once

#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <cstdio>
#include <string>

namespace ZkEngineTest
{
class EngineMemoryTest : public ZkMemoryTest::BuiltInMemoryTest
{
protected:
    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        ZkMemoryTest::BuiltInMemoryTest::TearDown();
    }
};

// Runs a command and returns what it printed on its standard output.
inline std::string RunCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char chunk[4096];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
        output.append(chunk, got);
    pclose(pipe);
    return output;
}

// Runs a Python script of the tests folder (standard library only) and returns what it printed.
inline std::string RunPythonOracle(const std::string& scriptUnderTests, const std::string& arguments)
{
    return RunCommand("python3 \"" + std::string(KP_SOURCE_DIR) + "/tests/" + scriptUnderTests + "\" " + arguments);
}
} // namespace ZkEngineTest
