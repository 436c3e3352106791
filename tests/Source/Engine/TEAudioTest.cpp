// The game's sound start-up and shutdown against the real sound engine, on a virtual speaker
// endpoint: the steps in their order, both shipped banks, the default listener and emitter, the
// saved volume levels; each start-up step that fails reports its assertion once and the game goes
// on; the shutdown after a start-up that stopped part-way; twenty starts and ends that leave no
// block, thread or mapping behind; the mute key and the focus rules read back from the engine.
//
// Unless a test says otherwise the engine runs without its own thread, so each RenderAudio ticks
// on the test's thread and a query after it sees every request made before it.
#include "Engine/Engine.h"
#include "Engine/EngineGlobals.h"
#include "Engine/GameWindow.h"
#include "Engine/Input.h"
#include "Engine/SoundGameObjects.h"
#include "Engine/TEAudio.h"
#include "Objects/SceneManager.h"
#include "AssertionRecorder.h"
#include "AssetFolder.h"
#include "ScriptedInputDevice.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Engine/EngineLifeFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "Plugins/Effects/Common/ZkPluginMemAlloc.h"
#include "ZkAudiolib/Common/Plugins/PluginLibrary.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <Platform/PlatformText.h>
#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
namespace fs = std::filesystem;
namespace Fault = ZK::MemoryMgr::FaultInjection;
using TEAudio::StartupSettings;
using TEAudio::StartupStep;

// The menu music, an event of Main.bnk; the level both volume parameters start at in Init.bnk.
constexpr ZkUniqueID kMainBankEvent = 2228153899u;
constexpr float kInitBankLevel = 100.0f;
constexpr const char* kBankResult = "eResult == ZK_Success";

// What the start-up hook of a test does: it records the steps and may change their settings.
struct StartupScript
{
    std::vector<StartupStep> steps;
    bool engineThread = false;
    std::function<void(StartupStep, StartupSettings&)> adjust;
};
StartupScript* g_script = nullptr;

void RunScript(StartupStep step, StartupSettings& settings)
{
    g_script->steps.push_back(step);
    if (step == StartupStep::SoundEngine && !g_script->engineThread)
        settings.engine.engineThread = 0;
    if (g_script->adjust)
        g_script->adjust(step, settings);
}

float EngineLevel(ZkUniqueID parameter)
{
    float value = -1.0f;
    auto type = ZK::SoundEngine::Query::RTPCValue_Global;
    ZK::SoundEngine::Query::GetRTPCValue(parameter, ZK_ALL_GAME_OBJECTS, ZK_INVALID_PLAYING_ID, value, type);
    return value;
}

// Whether the emitter's listeners are exactly the default listener, game object 1.
bool DefaultObjectsRegistered()
{
    ZkGameObjectID listeners[4] = {};
    uint32_t count = 4;
    return ZK::SoundEngine::Query::GetListeners(1, listeners, count) == ZK_Success && count == 1 && listeners[0] == 1;
}

bool MainBankLoaded()
{
    uint32_t count = 0; // only counts: 3 and the number of nodes the event plays
    return ZK::SoundEngine::Query::QueryAudioObjectIDs(kMainBankEvent, count, nullptr) == ZK_PartialSuccess &&
           count > 0;
}

// Nothing of the sound engine is left: no engine, no stream manager, no memory manager.
bool EverythingDown()
{
    return !ZK::SoundEngine::IsInitialized() && ZK::IZkStreamMgr::m_pStreamMgr == nullptr &&
           !ZK::MemoryMgr::IsInitialized();
}

std::vector<std::string> Conditions(const kp::test::AssertionRecorder& recorder)
{
    std::vector<std::string> conditions;
    for (const trindle::AssertionReport& report : recorder.All())
    {
        EXPECT_EQ(report.source, "Source/TEAudio");
        conditions.push_back(report.condition);
    }
    return conditions;
}

class TEAudioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ZK::Platform::VirtualEndpointSettings speakers;
        speakers.id = L"{virtual}.speakers";
        speakers.friendlyName = L"Speakers";
        m_audio->AddEndpoint(speakers);
        g_script = &m_script;
        m_previousHook = TEAudio::SetStartupHook(&RunScript);
        ResetGameState();
    }
    void TearDown() override
    {
        Fault::Disarm();
        TEAudio::Term();
        TEAudio::SetStartupHook(m_previousHook);
        g_script = nullptr;
        Input::SetDevice(nullptr);
        Input::ClearState();
        ResetGameState();
    }

    static void ResetGameState()
    {
        isMuted = false;
        volumeLevel1 = 0.0f;
        volumeLevel2 = 0.0f;
        listenerIds.clear();
        emitterIds.clear();
    }

    static void StartUp()
    {
        TEAudio::Init();
        TEAudio::LoadBanks();
        // Applies what the start-up queued: the game objects and the default listener.
        ZK::SoundEngine::RenderAudio(true);
    }

    ZK::Platform::ScopedVirtualAudioSystem m_audio;
    kp::test::AssertionRecorder m_assertions;
    StartupScript m_script;

private:
    TEAudio::StartupHook m_previousHook = nullptr;
};

TEST_F(TEAudioTest, StartsInOrderWithBothBanksAndTheDefaultObjectsAndEndsEverything)
{
    StartUp();
    EXPECT_EQ(m_script.steps, (std::vector<StartupStep>{StartupStep::MemoryManager, StartupStep::StreamManager,
                                                         StartupStep::StreamDevice, StartupStep::SoundEngine,
                                                         StartupStep::MusicEngine}));
    EXPECT_TRUE(m_assertions.All().empty());
    EXPECT_TRUE(ZK::SoundEngine::IsInitialized());
    EXPECT_TRUE(MainBankLoaded());
    EXPECT_TRUE(DefaultObjectsRegistered());
    EXPECT_EQ(listenerIds.size(), 1u);
    EXPECT_EQ(emitterIds.size(), 1u);
    EXPECT_EQ(volumeLevel1, kInitBankLevel);
    EXPECT_EQ(volumeLevel2, kInitBankLevel);

    TEAudio::Term();
    EXPECT_TRUE(listenerIds.empty());
    EXPECT_EQ(listenerIds.capacity(), 0u) << "the lists' storage is released";
    EXPECT_TRUE(emitterIds.empty());
    EXPECT_TRUE(EverythingDown());
    EXPECT_TRUE(m_assertions.All().empty());
}

// One failing piece of the start-up each: the assertions it gives (each once), whether the engine
// plays, and the levels read. The shutdown after it runs every step without a crash.
struct FailingStartCase
{
    const char* name;
    std::function<void(StartupStep, StartupSettings&)> adjust;
    std::vector<std::string> assertions;
    bool enginePlays;
    float levels;
};

class TEAudioFailingStartTest : public TEAudioTest, public ::testing::WithParamInterface<FailingStartCase>
{
};

TEST_P(TEAudioFailingStartTest, ReportsEachFailureOnceAndTheGameGoesOn)
{
    const FailingStartCase& failing = GetParam();
    m_script.adjust = failing.adjust;
    TEAudio::Init();
    Fault::Disarm();
    TEAudio::LoadBanks();
    ZK::SoundEngine::RenderAudio(true);

    EXPECT_EQ(Conditions(m_assertions), failing.assertions);
    EXPECT_EQ(ZK::SoundEngine::IsInitialized(), failing.enginePlays);
    EXPECT_EQ(DefaultObjectsRegistered(), failing.enginePlays);
    EXPECT_EQ(volumeLevel1, failing.levels);
    EXPECT_EQ(volumeLevel2, failing.levels);
    // The ids are taken whether or not the engine could register them.
    EXPECT_EQ(listenerIds.size(), 1u);
    EXPECT_EQ(emitterIds.size(), 1u);

    // Every later sound call of the game fails inside the engine without effect.
    EXPECT_EQ(ZK::SoundEngine::PostEvent(kMainBankEvent, 1) != ZK_INVALID_PLAYING_ID, failing.enginePlays);
    ZK::SoundEngine::RenderAudio(true);

    m_assertions.Clear();
    TEAudio::Term();
    EXPECT_TRUE(EverythingDown());
    EXPECT_TRUE(m_assertions.All().empty());
}

const std::string kMemoryText = "!\"Could not create the memory manager.\"";
const std::string kStreamText = "!\"Could not create the Streaming Manager\"";
const std::string kDeviceText = "!\"Could not create the streaming device and Low-Level I/O system\"";
const std::string kEngineText = "!\"Could not initialize the Sound Engine.\"";
const std::string kMusicText = "!\"Could not initialize the Music Engine.\"";

INSTANTIATE_TEST_SUITE_P(
    Steps, TEAudioFailingStartTest,
    ::testing::Values(
        FailingStartCase{"MemoryManager",
                         [](StartupStep step, StartupSettings& settings)
                         {
                             // An incomplete set of allocation hooks: the manager refuses to start.
                             if (step == StartupStep::MemoryManager)
                                 settings.memory.mallocHook = &ZkMemoryTest::SystemMalloc;
                         },
                         {kMemoryText, kBankResult, kBankResult},
                         false,
                         0.0f},
        FailingStartCase{"StreamManager",
                         [](StartupStep step, StartupSettings&)
                         {
                             if (step == StartupStep::StreamManager)
                                 Fault::FailFrom(ZkMemID_StreamMgr, 1);
                         },
                         {kStreamText, kBankResult, kBankResult},
                         false,
                         0.0f},
        FailingStartCase{"DeviceScheduler",
                         [](StartupStep step, StartupSettings& settings)
                         {
                             if (step == StartupStep::StreamDevice)
                                 settings.device.schedulerKind = ZK_SchedulerDeferred;
                         },
                         {kDeviceText, kBankResult, kBankResult},
                         false,
                         0.0f},
        FailingStartCase{"DeviceCreation",
                         [](StartupStep step, StartupSettings&)
                         {
                             if (step == StartupStep::StreamDevice)
                                 Fault::FailFrom(ZkMemID_StreamMgr, 1);
                         },
                         {kDeviceText, kBankResult, kBankResult},
                         false,
                         0.0f},
        FailingStartCase{"SoundEngine",
                         [](StartupStep step, StartupSettings& settings)
                         {
                             // A message ring too small to hold a message.
                             if (step == StartupStep::SoundEngine)
                                 settings.engine.messageRingSize = 8;
                         },
                         {kEngineText, kBankResult, kBankResult},
                         false,
                         0.0f},
        FailingStartCase{"MusicEngineRecords",
                         [](StartupStep step, StartupSettings&)
                         {
                             // The music engine's first allocation is its block of records.
                             if (step == StartupStep::MusicEngine)
                                 Fault::FailNth(ZkMemID_Default, 1);
                         },
                         {kMusicText},
                         true,
                         kInitBankLevel}),
    [](const ::testing::TestParamInfo<FailingStartCase>& info) { return std::string(info.param.name); });

// The banks are looked for under the folder the game runs in.
class TEAudioBankFolderTest : public TEAudioTest
{
protected:
    void SetUp() override
    {
        TEAudioTest::SetUp();
        m_root = fs::path(KP_BINARY_DIR) / "tests" / "output" / "bank_folders" /
                 ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_previousFolder = fs::current_path();
    }
    void TearDown() override
    {
        TEAudioTest::TearDown();
        fs::current_path(m_previousFolder);
        fs::remove_all(m_root);
    }
    // Runs the game's start-up in a folder whose bank folder holds only the named banks.
    void StartUpWith(const std::vector<std::string>& banks)
    {
        const fs::path folder = m_root / "Trindle_Ostrel" / "Banks";
        if (!banks.empty())
            fs::create_directories(folder);
        for (const std::string& bank : banks)
            fs::create_symlink(m_previousFolder / "Trindle_Ostrel" / "Banks" / bank, folder / bank);
        fs::current_path(m_root);
        StartUp();
    }

    fs::path m_root;
    fs::path m_previousFolder;
};

TEST_F(TEAudioBankFolderTest, AMissingMainBankIsReportedOnceAndInitBankServesTheRest)
{
    StartUpWith({"Init.bnk"});
    EXPECT_EQ(Conditions(m_assertions), std::vector<std::string>{kBankResult});
    EXPECT_NE(m_assertions.All().front().detail.find("Main.bnk"), std::string::npos);
    EXPECT_FALSE(MainBankLoaded());
    EXPECT_TRUE(DefaultObjectsRegistered());
    EXPECT_EQ(volumeLevel1, kInitBankLevel);
    EXPECT_EQ(volumeLevel2, kInitBankLevel);
}

TEST_F(TEAudioBankFolderTest, WithoutABankFolderBothBanksAreReportedAndTheLevelsStayAtZero)
{
    StartUpWith({});
    EXPECT_EQ(Conditions(m_assertions), (std::vector<std::string>{kBankResult, kBankResult}));
    EXPECT_TRUE(ZK::SoundEngine::IsInitialized());
    EXPECT_TRUE(DefaultObjectsRegistered());
    EXPECT_EQ(volumeLevel1, 0.0f);
    EXPECT_EQ(volumeLevel2, 0.0f);
}

// The mute key and the focus callback, read back from the running engine.
TEST_F(TEAudioTest, TheMuteKeyAndTheFocusRulesReachTheEngine)
{
    StartUp();
    ASSERT_TRUE(m_assertions.All().empty());
    kp::test::ScriptedInputDevice keys;
    Input::SetDevice(&keys);
    const auto levels = [] { return std::vector<float>{EngineLevel(kVolumeParameter1Id), EngineLevel(kVolumeParameter2Id)}; };
    const std::vector<float> silent{0.0f, 0.0f};
    const std::vector<float> saved{kInitBankLevel, kInitBankLevel};

    keys.Press(kMuteKey);
    for (int frame = 0; frame < 4; ++frame)
    {
        EngineUpdate(0.016f);
        EXPECT_TRUE(isMuted) << "held for frame " << frame;
        EXPECT_EQ(levels(), silent) << "held for frame " << frame;
    }
    keys.Release(kMuteKey);
    EngineUpdate(0.016f);
    keys.Press(kMuteKey);
    EngineUpdate(0.016f);
    EXPECT_FALSE(isMuted);
    EXPECT_EQ(levels(), saved) << "a second press restores the saved levels";
    keys.Release(kMuteKey);
    EngineUpdate(0.016f);

    // No play field on the scene stack: losing focus mutes and opens nothing.
    OnWindowFocus(nullptr, GLFW_FALSE);
    EngineUpdate(0.016f);
    EXPECT_TRUE(isMuted);
    EXPECT_EQ(levels(), silent);
    EXPECT_EQ(SceneManager::Find(SceneManager::kPauseMenu), nullptr);

    OnWindowFocus(nullptr, GLFW_TRUE);
    EngineUpdate(0.016f);
    EXPECT_EQ(levels(), saved);

    // Muted with the key, then focus comes back: the saved levels return all the same.
    keys.Press(kMuteKey);
    EngineUpdate(0.016f);
    ASSERT_EQ(levels(), silent);
    OnWindowFocus(nullptr, GLFW_TRUE);
    EngineUpdate(0.016f);
    EXPECT_FALSE(isMuted);
    EXPECT_EQ(levels(), saved);
}

// With every component on its defaults, the engine's own threads included.
using ThreadedTEAudioTest = TEAudioTest;
TEST_F(ThreadedTEAudioTest, TwentyStartsAndEndsLeaveNoBlockThreadOrMapping)
{
    m_script.engineThread = true;
    m_script.adjust = [](StartupStep step, StartupSettings& settings)
    {
        if (step == StartupStep::MemoryManager)
            settings.memory = ZkMemoryTest::SettingsWithAllocationHooks(
                &ZkEngineLifeTest::CountingAllocator::Malloc, &ZkEngineLifeTest::CountingAllocator::Malign,
                &ZkEngineLifeTest::CountingAllocator::Realloc, &ZkEngineLifeTest::CountingAllocator::ReallocAligned,
                &ZkEngineLifeTest::CountingAllocator::Free);
    };
    const int64_t blocksBefore = ZkEngineLifeTest::CountingAllocator::LiveBlocks();
    size_t mappings = 0;
    for (int cycle = 0; cycle < 20; ++cycle)
    {
        TEAudio::Init();
        TEAudio::LoadBanks();
        ASSERT_TRUE(m_assertions.All().empty()) << cycle;
        ASSERT_TRUE(ZkProcessTest::HasThreadNamed("ZK::EventManage")) << cycle;
        ASSERT_EQ(volumeLevel1, kInitBankLevel) << cycle;
        TEAudio::Term();
        ASSERT_EQ(ZkEngineLifeTest::CountingAllocator::LiveBlocks(), blocksBefore) << cycle;
        ASSERT_TRUE(EverythingDown()) << cycle;
        for (const char* thread : {"ZK::EventManage", "ZK::BankManager", "ZK::IOThread", "ZK Suspended"})
            ASSERT_FALSE(ZkProcessTest::HasThreadNamed(thread)) << thread << " in cycle " << cycle;
        // The first cycles let the C library settle its own caches (thread stacks, arenas).
        if (cycle == 4)
            mappings = ZkProcessTest::MappingCount();
    }
    if (ZkProcessTest::kMappingsAreTheEnginesOwn)
    {
        EXPECT_EQ(ZkProcessTest::MappingCount(), mappings);
    }
}

// The game exports the sound engine's interface, also what the game itself never calls.
TEST(GameExports, TheGameListsTheSoundEnginesInterfaceAmongItsDynamicSymbols)
{
    const std::string symbols = ZkEngineTest::RunCommand(std::string("nm -DC --defined-only ") + KP_GAME_PROGRAM);
    for (const char* name : {
             "ZK::SoundEngine::PostEvent(", "ZK::SoundEngine::Query::GetRTPCValue(", "ZK::SoundEngine::RegisterPluginDLL(",
             "ZK::SoundEngine::StartOutputCapture(", "ZK::StreamMgr::Create(", "ZK::MemoryMgr::Malloc(",
             "ZK::MusicEngine::Init(", "ZK::MusicEngine::GetPlayingSegmentInfo(", "ZkMixer::MixChannel(",
             "ZK::ReadBytesMem::ReadBytes(", "ZkTlsAllocateSlot", "g_pZKPluginList"})
    {
        EXPECT_NE(symbols.find(name), std::string::npos) << name;
    }
}

// This test program is linked as the game is: plug-in libraries registered in it bind to the
// engine it exports and register their own nodes.
TEST_F(TEAudioTest, PlugInLibrariesRegisterTheirNodesAndCallTheExportedEngine)
{
    namespace Registry = ZK::SoundEngine::PluginRegistry;
    StartUp();
    const std::wstring folder = ZK::Platform::Utf8ToWide(KP_TEST_PLUGIN_FOLDER);
    ASSERT_EQ(ZK::SoundEngine::RegisterPluginDLL(L"ZkTestPlugins", folder.c_str()), ZK_Success);
    EXPECT_NE(Registry::GetPluginEntry(ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, 64, 5)), nullptr);
    ASSERT_EQ(ZK::SoundEngine::RegisterPluginDLL(L"ZkBoundPlugins", folder.c_str()), ZK_Success);
    const uint32_t trimKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, 65, 7);
    ASSERT_NE(Registry::GetPluginEntry(trimKey), nullptr);

    CZkPluginMemAlloc& allocator = CZkPluginMemAlloc::ForInstances();
    ZK::IZkPluginParam* params = nullptr;
    ASSERT_EQ(Registry::CreatePluginParam(&allocator, trimKey, params), ZK_Success);
    ASSERT_NE(params, nullptr);
    const auto trimLevel = static_cast<uint16_t>(ZK::SoundEngine::GetIDFromString("TrimLevel"));
    const float level = 0.5f;
    EXPECT_EQ(params->SetParam(trimLevel, &level, sizeof(level)), ZK_Success);
    EXPECT_EQ(params->SetParam(static_cast<uint16_t>(trimLevel + 1), &level, sizeof(level)), ZK_InvalidParameter);
    params->~IZkPluginParam();
    allocator.Free(params);
}
} // namespace
