// The plug-in and codec registry: keys, first registration kept, creation through the registered
// creators, the plug-in info check, and the program's own list registered at Init.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include "Plugins/Effects/Common/ZkPluginMemAlloc.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Sources/SilentSource.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <gtest/gtest.h>

#include <new>

namespace
{
using namespace ZK::SoundEngine;
namespace Registry = ZK::SoundEngine::PluginRegistry;

int g_sourcesDestroyed = 0;

class TestSource final : public ZkSourceTest::SilentSource
{
public:
    explicit TestSource(int kind) : SilentSource(nullptr), sourceKind(kind) {}
    ~TestSource() override { ++g_sourcesDestroyed; }
    int sourceKind;
};

void* NewSource(int kind)
{
    void* memory = ZK::MemoryMgr::Malloc(Registry::kCodecSourcePool, sizeof(TestSource));
    return memory != nullptr ? static_cast<CZkVoiceSource*>(new (memory) TestSource(kind)) : nullptr;
}
void* CreateFileSource(void*) { return NewSource(1); }
void* CreateBankSource(void*) { return NewSource(0); }
int g_queried = 0;
void* Function3() { return &g_queried; }

class CountingPlugin final : public ZK::IZkPlugin
{
public:
    explicit CountingPlugin(uint32_t type, uint32_t version) : m_type(type), m_version(version) {}
    ZKRESULT Term(ZK::IZkPluginMemAlloc*) override { return ZK_Success; }
    ZKRESULT Reset() override { return ZK_Success; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info.type = m_type;
        info.buildVersion = m_version;
        return ZK_Success;
    }

private:
    uint32_t m_type;
    uint32_t m_version;
};

ZK::IZkPlugin* CreateSink(ZK::IZkPluginMemAlloc* allocator)
{
    void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(CountingPlugin));
    return new (memory) CountingPlugin(ZK::ZkPluginTypeSink, ZK::ZK_PLUGIN_BUILD_VERSION);
}
ZK::IZkPlugin* CreateNothing(ZK::IZkPluginMemAlloc*) { return nullptr; }
ZK::IZkPluginParam* CreateNoParams(ZK::IZkPluginMemAlloc*) { return nullptr; }

void DestroyPlugin(ZK::IZkPlugin* plugin, ZK::IZkPluginMemAlloc& allocator)
{
    plugin->~IZkPlugin();
    allocator.Free(plugin);
}

// A built-in node of this test program, on the program's own list (101 is the engine's silence).
ZK::ZkPluginRegistration g_builtInSource(ZK::ZkPluginTypeSource, 0, 102, CreateSink, nullptr);

class PluginRegistryTest : public ZkEngineTest::EngineMemoryTest
{
protected:
    void TearDown() override
    {
        Registry::Term();
        EngineMemoryTest::TearDown();
    }
};

TEST_F(PluginRegistryTest, KeysPackTypeCompanyAndPluginID)
{
    EXPECT_EQ(ZK::ZkMakePluginKey(7, 0, 174), 0xAE0007u);
    EXPECT_EQ(ZK::ZkMakePluginKey(ZK::ZkPluginTypeCodec, 0, 1), 0x10001u);
    EXPECT_EQ(ZK::ZkMakePluginKey(0x13, 2, 3), 0x30023u) << "only the low 4 bits of the type";
}

TEST_F(PluginRegistryTest, InitRegistersTheBuiltInCodecAndTheProgramsListAndKeepsTheFolder)
{
    ASSERT_EQ(Registry::Init(L"/opt/plugins"), ZK_Success);
    EXPECT_STREQ(Registry::PluginFolder(), L"/opt/plugins/") << "a '/' is added";
    EXPECT_NE(Registry::GetCodecEntry(0x10001), nullptr) << "the built-in PCM codec";
    const ZkPluginEntry* source = Registry::GetPluginEntry(ZK::ZkMakePluginKey(ZK::ZkPluginTypeSource, 0, 102));
    ASSERT_NE(source, nullptr) << "the node this program pushed before main";
    EXPECT_EQ(source->createFunc, &CreateSink);
    Registry::Term();
    EXPECT_EQ(Registry::PluginCount(), 0u);
    EXPECT_EQ(Registry::PluginFolder(), nullptr);
    ASSERT_EQ(Registry::Init(L"/opt/plugins/"), ZK_Success);
    EXPECT_STREQ(Registry::PluginFolder(), L"/opt/plugins/");
    Registry::Term();
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(Registry::Init(L"/opt"), ZK_InsufficientMemory);
    }
}

TEST_F(PluginRegistryTest, TheFirstRegistrationOfAKeyStays)
{
    EXPECT_EQ(Registry::RegisterPlugin(7, 0, 181, CreateSink, nullptr, nullptr), ZK_Success);
    EXPECT_EQ(Registry::RegisterPlugin(7, 0, 181, CreateNothing, CreateNoParams, nullptr), ZK_Success);
    EXPECT_EQ(Registry::PluginCount(), 1u);
    EXPECT_EQ(Registry::GetPluginEntry(0xB50007)->createFunc, &CreateSink);

    EXPECT_EQ(Registry::RegisterCodec(3, 4, CreateFileSource, CreateBankSource, nullptr, nullptr), ZK_Success);
    EXPECT_EQ(Registry::RegisterCodec(3, 4, CreateBankSource, CreateFileSource, nullptr, nullptr), ZK_Fail);
    EXPECT_EQ(Registry::RegisterCodec(3, 5, nullptr, CreateBankSource, nullptr, nullptr), ZK_InvalidParameter);
    EXPECT_EQ(Registry::RegisterCodec(3, 5, CreateFileSource, nullptr, nullptr, nullptr), ZK_InvalidParameter);
    EXPECT_EQ(Registry::CodecCount(), 1u);
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_Default, 1);
        EXPECT_EQ(Registry::RegisterPlugin(3, 0, 1, CreateSink, nullptr, nullptr), ZK_Fail) << "the table cannot grow";
    }
}

TEST_F(PluginRegistryTest, RegisterListTakesCodecNodesAsCodecs)
{
    ZK::ZkPluginRegistrationNode effect;
    effect.type = ZK::ZkPluginTypeEffect;
    effect.companyID = 1;
    effect.pluginID = 2;
    effect.createFunc = CreateSink;
    ZK::ZkPluginRegistrationNode codec;
    codec.type = ZK::ZkPluginTypeCodec;
    codec.companyID = 1;
    codec.pluginID = 3;
    codec.createFileSource = CreateFileSource;
    codec.createBankSource = CreateBankSource;
    codec.next = &effect;
    EXPECT_EQ(Registry::RegisterList(&codec), ZK_Success);
    EXPECT_NE(Registry::GetPluginEntry(ZK::ZkMakePluginKey(3, 1, 2)), nullptr);
    EXPECT_NE(Registry::GetCodecEntry(ZK::ZkMakePluginKey(1, 1, 3)), nullptr);
    EXPECT_EQ(Registry::GetPluginEntry(ZK::ZkMakePluginKey(1, 1, 3)), nullptr);
}

TEST_F(PluginRegistryTest, CreationThroughTheRegisteredCreators)
{
    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForInstances();
    ASSERT_EQ(Registry::RegisterPlugin(7, 0, 181, CreateSink, nullptr, nullptr), ZK_Success);
    ASSERT_EQ(Registry::RegisterPlugin(3, 0, 9, CreateNothing, CreateNoParams, nullptr), ZK_Success);

    ZK::IZkPlugin* plugin = nullptr;
    ZK::ZkPluginInfo info;
    EXPECT_EQ(Registry::CreatePlugin(0xB60007, plugin, &allocator, info), ZK_PluginNotRegistered);
    EXPECT_EQ(Registry::CreatePlugin(ZK::ZkMakePluginKey(3, 0, 9), plugin, &allocator, info), ZK_Fail);
    ASSERT_EQ(Registry::CreatePlugin(0xB50007, plugin, &allocator, info), ZK_Success);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(info.type, ZK::ZkPluginTypeSink) << "the info is asked for at creation";
    EXPECT_EQ(Registry::CheckPluginInfo(ZK::ZkPluginTypeSink, info), ZK_NothingToReport);
    DestroyPlugin(plugin, allocator);

    ZK::IZkPluginParam* params = reinterpret_cast<ZK::IZkPluginParam*>(&info);
    EXPECT_EQ(Registry::CreatePluginParam(&allocator, 0xB60007, params), ZK_PluginNotRegistered);
    EXPECT_EQ(Registry::CreatePluginParam(&allocator, 0xB50007, params), ZK_Success);
    EXPECT_EQ(params, nullptr) << "no parameter creator: no parameters";
    EXPECT_EQ(Registry::CreatePluginParam(&allocator, ZK::ZkMakePluginKey(3, 0, 9), params), ZK_Fail);
}

TEST_F(PluginRegistryTest, ThePluginInfoCheck)
{
    struct Case
    {
        uint32_t type;
        uint32_t version;
        uint32_t expected;
        ZKRESULT result;
    };
    const Case cases[] = {
        {6, 0x7E501, 6, ZK_NothingToReport},
        {6, 0x7E500, 6, ZK_NoDataReady},         // 46: built for another engine version
        {3, 0x7E501, 6, ZK_PluginTypeMismatch},  // 10
        {3, 0x12345, 6, ZK_NoDataReady},         // the version is checked first
    };
    for (const Case& c : cases)
    {
        ZK::ZkPluginInfo info;
        info.type = c.type;
        info.buildVersion = c.version;
        EXPECT_EQ(Registry::CheckPluginInfo(c.expected, info), c.result) << c.type << " " << c.version;
    }
}

TEST_F(PluginRegistryTest, CodecsCreateFileOrBankSourcesAndDestroyThem)
{
    ASSERT_EQ(Registry::RegisterCodec(2, 7, CreateFileSource, CreateBankSource, Function3, nullptr), ZK_Success);
    const uint32_t key = ZK::ZkMakePluginKey(ZK::ZkPluginTypeCodec, 2, 7);
    EXPECT_EQ(Registry::CreateCodec(nullptr, 0, 0x80001), nullptr) << "not registered";
    g_sourcesDestroyed = 0;
    for (uint32_t sourceKind : {0u, 1u, 2u})
    {
        CZkVoiceSource* source = Registry::CreateCodec(nullptr, sourceKind, key);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(static_cast<TestSource*>(source)->sourceKind, sourceKind == 1 ? 1 : 0);
        Registry::DestroyCodec(source);
    }
    EXPECT_EQ(g_sourcesDestroyed, 3);
    EXPECT_EQ(Registry::CallCodecFunction3(key), &g_queried);
    EXPECT_EQ(Registry::QueryCodec(key), nullptr) << "no fourth function";
    EXPECT_EQ(Registry::QueryCodec(0x80001), nullptr);
}
} // namespace
