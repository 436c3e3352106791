#include "Engine/TEAudio.h"

#include "Engine/Assertion.h"
#include "Engine/EngineGlobals.h"
#include "Engine/SoundGameObjects.h"

#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkBankCalls.h>
#include <ZK/SoundEngine/Common/ZkSoundEngine.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace TEAudio
{
namespace
{
// The program's low-level I/O: resolver of every file the sound engine opens, and hook of its one
// stream device.
ZK::StreamMgr::CZkFilePackageLowLevelIOBlocking g_lowLevelIO;
StartupHook g_startupHook = nullptr;
StartupSettings g_settings;

void Report(const char* condition, ZKRESULT result)
{
    trindle::ReportAssertion(condition, kSourceName, "result " + std::to_string(result));
}

void BeforeStep(StartupStep step)
{
    if (g_startupHook != nullptr)
        g_startupHook(step, g_settings);
}

bool StartMemoryManager()
{
    ZK::MemoryMgr::GetDefaultSettings(g_settings.memory);
    BeforeStep(StartupStep::MemoryManager);
    const ZKRESULT result = ZK::MemoryMgr::Init(&g_settings.memory);
    if (result != ZK_Success)
        Report("!\"Could not create the memory manager.\"", result);
    return result == ZK_Success;
}

bool StartStreamManager()
{
    ZK::StreamMgr::GetDefaultSettings(g_settings.streamManager);
    BeforeStep(StartupStep::StreamManager);
    if (ZK::StreamMgr::Create(g_settings.streamManager) == nullptr)
    {
        Report("!\"Could not create the Streaming Manager\"", ZK_Fail);
        return false;
    }
    return true;
}

bool StartStreamDevice()
{
    constexpr const char* kDeviceFailure = "!\"Could not create the streaming device and Low-Level I/O system\"";
    ZK::StreamMgr::GetDefaultDeviceSettings(g_settings.device);
    BeforeStep(StartupStep::StreamDevice);
    // The game's low-level I/O reads with the blocking scheduler only.
    if (g_settings.device.schedulerKind != ZK_SchedulerBlocking)
    {
        Report(kDeviceFailure, ZK_InvalidParameter);
        return false;
    }
    const ZKRESULT result = g_lowLevelIO.Init(g_settings.device);
    if (result != ZK_Success)
        Report(kDeviceFailure, result);
    return result == ZK_Success;
}

bool StartSoundEngine()
{
    ZK::SoundEngine::GetDefaultInitSettings(g_settings.engine);
    ZK::SoundEngine::GetDefaultPlatformInitSettings(g_settings.platform);
    BeforeStep(StartupStep::SoundEngine);
    const ZKRESULT result = ZK::SoundEngine::Init(&g_settings.engine, &g_settings.platform);
    if (result != ZK_Success)
        Report("!\"Could not initialize the Sound Engine.\"", result);
    return result == ZK_Success;
}

bool StartMusicEngine()
{
    ZK::MusicEngine::GetDefaultInitSettings(g_settings.music);
    BeforeStep(StartupStep::MusicEngine);
    const ZKRESULT result = ZK::MusicEngine::Init(&g_settings.music);
    if (result != ZK_Success)
        Report("!\"Could not initialize the Music Engine.\"", result);
    return result == ZK_Success;
}

void LoadBank(const char* name)
{
    ZkBankID bankId = 0;
    const ZKRESULT result = ZK::SoundEngine::LoadBank(name, bankId);
    if (result != ZK_Success)
        trindle::ReportAssertion("eResult == ZK_Success", kSourceName,
                                 std::string(name) + ": result " + std::to_string(result));
}
} // namespace

void Init()
{
    // Each step needs the one before it: the first failure ends the start-up.
    StartMemoryManager() && StartStreamManager() && StartStreamDevice() && StartSoundEngine() && StartMusicEngine();
}

void LoadBanks()
{
    // Refused (and nothing added) when the folder and the language would not fit in a path.
    if (g_lowLevelIO.AddBasePath(kBankFolder) == ZK_Success)
    {
        // The folder's attributes are looked at once, as the file layer's set-up does; nothing
        // depends on them (a missing folder shows as banks that do not load).
        std::error_code unused;
        (void)std::filesystem::status(std::filesystem::path(kBankFolder), unused);
    }
    ZK::StreamMgr::SetCurrentLanguage(kLanguage);
    LoadBank(kInitBank);
    LoadBank(kMainBank);

    ZkGameObjectID listener = TakeSoundGameObjectId(listenerIds);
    ZK::SoundEngine::RegisterGameObj(listener, "Default Listener");
    ZK::SoundEngine::SetDefaultListeners(&listener, 1);
    const ZkGameObjectID emitter = TakeSoundGameObjectId(emitterIds);
    ZK::SoundEngine::RegisterGameObj(emitter, "Default Emitter");

    // The levels the mute and focus rules restore. A query that fails leaves a level at 0; the
    // value type is handed from the first query on to the second as the first left it.
    ZK::SoundEngine::Query::RTPCValue_type type = ZK::SoundEngine::Query::RTPCValue_Global;
    float level1 = 0.0f;
    float level2 = 0.0f;
    ZK::SoundEngine::Query::GetRTPCValue(kVolumeParameter1Id, ZK_ALL_GAME_OBJECTS, ZK_INVALID_PLAYING_ID, level1, type);
    ZK::SoundEngine::Query::GetRTPCValue(kVolumeParameter2Id, ZK_ALL_GAME_OBJECTS, ZK_INVALID_PLAYING_ID, level2, type);
    volumeLevel1 = level1;
    volumeLevel2 = level2;
}

void Term()
{
    ZK::SoundEngine::UnregisterAllGameObj();
    emitterIds.clear();
    emitterIds.shrink_to_fit();
    listenerIds.clear();
    listenerIds.shrink_to_fit();
    ZK::SoundEngine::ClearBanks();
    ZK::MusicEngine::Term();
    ZK::SoundEngine::Term();
    // Unloads the packages, frees the base paths, uninstalls the resolver, destroys the device.
    g_lowLevelIO.Term();
    if (ZK::IZkStreamMgr::m_pStreamMgr != nullptr)
        ZK::IZkStreamMgr::m_pStreamMgr->Destroy();
    ZK::MemoryMgr::Term();
}

StartupHook SetStartupHook(StartupHook hook)
{
    const StartupHook previous = g_startupHook;
    g_startupHook = hook;
    return previous;
}
} // namespace TEAudio
