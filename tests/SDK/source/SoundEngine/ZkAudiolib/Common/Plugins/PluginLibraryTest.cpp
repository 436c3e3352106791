// Plug-in libraries: the path the registry builds, and libraries that load and register their own
// list, are missing, are not libraries, or carry no list.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "Plugins/Effects/Common/ZkPluginMemAlloc.h"
#include "ZkAudiolib/Common/Plugins/PluginLibrary.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include "Platform/PlatformText.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace
{
using namespace ZK::SoundEngine;
namespace Registry = ZK::SoundEngine::PluginRegistry;

std::wstring Wide(const char* text)
{
    return ZK::Platform::Utf8ToWide(std::string(text));
}

class PluginLibrary : public ZkEngineTest::EngineMemoryTest
{
protected:
    void TearDown() override
    {
        Registry::Term();
        EngineMemoryTest::TearDown();
    }
};

TEST_F(PluginLibrary, PathIsFolderSlashNameDotSo)
{
    wchar_t path[kPluginPathCapacity];
    EXPECT_EQ(BuildPluginDllPath(path, L"Reverb", L"/opt/plugins"), 22u);
    EXPECT_STREQ(path, L"/opt/plugins/Reverb.so");
    BuildPluginDllPath(path, L"Reverb", L"/opt/plugins/");
    EXPECT_STREQ(path, L"/opt/plugins/Reverb.so");
    BuildPluginDllPath(path, L"Reverb", nullptr);
    EXPECT_STREQ(path, L"Reverb.so") << "no folder given and none kept by the registry";
    ASSERT_EQ(Registry::Init(L"/usr/lib/zk"), ZK_Success);
    BuildPluginDllPath(path, L"Reverb", nullptr);
    EXPECT_STREQ(path, L"/usr/lib/zk/Reverb.so") << "the registry's folder";
    const std::wstring longName(2000, L'n');
    EXPECT_EQ(BuildPluginDllPath(path, longName.c_str(), L"/a"), kPluginPathCapacity - 1);
    EXPECT_EQ(path[kPluginPathCapacity - 1], L'\0');
}

TEST_F(PluginLibrary, ALibraryRegistersTheNodesOfItsOwnList)
{
    const std::wstring folder = Wide(KP_TEST_PLUGIN_FOLDER);
    ASSERT_EQ(RegisterPluginDLL(L"ZkTestPlugins", folder.c_str()), ZK_Success);
    const uint32_t effectKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, 64, 5);
    const uint32_t codecKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeCodec, 64, 9);
    ASSERT_NE(Registry::GetPluginEntry(effectKey), nullptr);
    ASSERT_NE(Registry::GetCodecEntry(codecKey), nullptr);
    EXPECT_EQ(Registry::GetPluginEntry(ZK::ZkMakePluginKey(ZK::ZkPluginTypeSource, 0, 101)), nullptr)
        << "the program's own list is not the library's";
    EXPECT_NE(Registry::QueryCodec(codecKey), nullptr);

    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForInstances();
    ZK::IZkPlugin* effect = nullptr;
    ZK::ZkPluginInfo info;
    ASSERT_EQ(Registry::CreatePlugin(effectKey, effect, &allocator, info), ZK_Success);
    EXPECT_EQ(Registry::CheckPluginInfo(ZK::ZkPluginTypeEffect, info), ZK_NothingToReport);
    EXPECT_EQ(info.processesInPlace, 1);
    effect->Term(&allocator);
    effect->~IZkPlugin();
    allocator.Free(effect);
    ZK::IZkPluginParam* params = nullptr;
    ASSERT_EQ(Registry::CreatePluginParam(&allocator, effectKey, params), ZK_Success);
    ASSERT_NE(params, nullptr);
    params->~IZkPluginParam();
    allocator.Free(params);

    ASSERT_EQ(RegisterPluginDLL(L"ZkTestPlugins", folder.c_str()), ZK_Success) << "a second registration";
    EXPECT_EQ(Registry::PluginCount(), 1u) << "keeps the first entries";
    EXPECT_EQ(Registry::CodecCount(), 1u);
}

TEST_F(PluginLibrary, LoadFailuresRegisterNothing)
{
    struct Case
    {
        const char* name;
        const char* folder;
        ZKRESULT result;
    };
    const Case cases[] = {
        {"NoSuchPlugins", KP_TEST_PLUGIN_FOLDER, ZK_FileNotFound},
        {"not_a_module", KP_NOT_A_MODULE_FOLDER, ZK_NotImplemented},   // not an ELF library: 4
        {KP_TEST_MODULE_NAME, KP_TEST_MODULE_FOLDER, ZK_InvalidFile}, // a library without a list: 7
    };
    for (const Case& c : cases)
    {
        const std::wstring name = Wide(c.name);
        const std::wstring folder = Wide(c.folder);
        EXPECT_EQ(RegisterPluginDLL(name.c_str(), folder.c_str()), c.result) << c.name;
        EXPECT_EQ(Registry::PluginCount(), 0u) << c.name;
        EXPECT_EQ(Registry::CodecCount(), 0u) << c.name;
    }
    EXPECT_EQ(RegisterPluginDLL(nullptr, nullptr), ZK_InvalidParameter);
}
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// In a child process whose address space is capped a little above what it already uses, a library
// that needs 512 MiB more cannot be mapped. Exits 0 when that gave 52 and registered nothing.
[[noreturn]] void RegisterAHugeLibraryUnderACap(const std::wstring& folder)
{
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{64} << 20);
    const rlimit limit{cap, cap};
    setrlimit(RLIMIT_AS, &limit);
    const ZKRESULT result = RegisterPluginDLL(L"ZkHugePlugins", folder.c_str());
    _exit(result == ZK_InsufficientMemory && Registry::PluginCount() == 0 ? 0 : 10 + static_cast<int>(result));
}
#endif

TEST_F(PluginLibrary, ALibraryThatCannotBeMappedGives52)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than any cap leaves";
#else
    GTEST_FLAG_SET(death_test_style, "fast");
    const std::wstring folder = Wide(KP_TEST_PLUGIN_FOLDER);
    EXPECT_EXIT(RegisterAHugeLibraryUnderACap(folder), ::testing::ExitedWithCode(0), "");
#endif
}
} // namespace
