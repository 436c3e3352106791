// Loading a shared library built by the project, and telling apart a missing file, a file that is
// not a library and a missing symbol.
#include "Platform/PlatformModule.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

namespace
{
using namespace ZK::Platform;

TEST(Module, ProjectLibraryLoadsAndItsSymbolAnswers)
{
    ZkModule module;
    ASSERT_EQ(LoadModule(KP_TEST_MODULE_PATH, module), ModuleStatus::Ok);
    ASSERT_TRUE(module.IsLoaded());

    void* address = nullptr;
    ASSERT_EQ(FindModuleSymbol(module, "KpTestModuleAnswer", address), ModuleStatus::Ok);
    ASSERT_NE(address, nullptr);
    const auto answer = reinterpret_cast<int (*)()>(address);
    EXPECT_EQ(answer(), 42);

    address = &module;
    EXPECT_EQ(FindModuleSymbol(module, "KpTestModuleQuestion", address), ModuleStatus::MissingSymbol);
    EXPECT_EQ(address, nullptr);

    UnloadModule(module);
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(FindModuleSymbol(module, "KpTestModuleAnswer", address), ModuleStatus::Failed);
}

TEST(Module, LoadFailuresAreToldApart)
{
    std::string folder = testing::TempDir() + "zk_platform_modules_XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::string elfMagicOnly = folder + "/magic_only.so";
    std::ofstream(elfMagicOnly, std::ios::binary) << "\x7F"
                                                     "ELF";

    struct Case
    {
        std::string path;
        ModuleStatus expected;
    };
    const Case cases[] = {
        {folder + "/libabsent.so", ModuleStatus::NotFound},
        {folder + "/no_such_folder/libabsent.so", ModuleStatus::NotFound},
        {"libzk_no_such_library.so", ModuleStatus::NotFound}, // searched on the library path
        {KP_NOT_A_MODULE_PATH, ModuleStatus::BadFormat},
        {elfMagicOnly, ModuleStatus::BadFormat}, // a truncated header
        {folder, ModuleStatus::BadFormat},       // a folder
        {"", ModuleStatus::NotFound},
    };
    for (const Case& testCase : cases)
    {
        SCOPED_TRACE(testCase.path);
        ZkModule module;
        EXPECT_EQ(LoadModule(testCase.path.c_str(), module), testCase.expected);
        EXPECT_FALSE(module.IsLoaded());
    }
    std::filesystem::remove_all(folder);
}
} // namespace
