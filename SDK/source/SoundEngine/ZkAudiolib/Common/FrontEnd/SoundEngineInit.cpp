// The engine's start and end: ZK::SoundEngine::Init and Term, and the settings getters.
//
// Init checks the memory and stream managers, keeps copies of the settings, creates the managers
// (EngineManagers), starts the active instances with the platform audio, the event manager with its
// thread, and the MIDI post manager, then marks the engine initialised. Term takes it all down in a
// fixed order that is not simply the reverse: the threads stop first, every voice and playing
// instance goes before the managers they refer to, and the bank manager empties the object index
// before the index itself goes.
#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/FrontEnd/BankIdentification.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLimits.h"
#include "ZkAudiolib/Common/FrontEnd/EngineManagers.h"
#include "ZkAudiolib/Common/FrontEnd/PinnedEventPrefetch.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/GameObjects/CZkListenerRouting.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkParamTargetRegistry.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include "Platform/PlatformClock.h"
#include "Platform/PlatformCom.h"

#include <ZK/SoundEngine/Common/IZkStreamMgr.h>
#include <ZK/SoundEngine/Common/ZkEngineInit.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
namespace
{
constexpr double kSecondsPerMillisecond = 0.001;

// Whether the platform audio was started (the active instances' Init ran), so Term ends it.
bool g_platformAudioStarted = false;

ZKRESULT StartEngine(ZkInitSettings* settings, ZkPlatformInitSettings* platformSettings)
{
    // A running engine is left exactly as it is: its threads read the settings copies, and its
    // voices use the buffer pool's lists.
    if (IsInitialized())
        return ZK_Fail;
    AudioBufferPool::Init();
    ResetSettingPriorities();
    ForgetBankIdentification();
    if (!ZK::MemoryMgr::IsInitialized())
        return ZK_MemoryMgrNotInitialized;
    if (ZK::IZkStreamMgr::m_pStreamMgr == nullptr)
        return ZK_StreamMgrNotInitialized;

    ZkInitSettings& copy = GetEngineSettings();
    copy = settings != nullptr ? *settings : ZkInitSettings{};
    if (copy.assertHook != nullptr)
        g_pAssertHook = copy.assertHook;
    StorePlatformInitSettings(platformSettings);

    ZKRESULT result = CreateEngineManagers(copy);
    if (settings != nullptr)
        *settings = copy;
    if (result != ZK_Success)
    {
        Term();
        return result;
    }
    SetTicksPerMillisecond(
        static_cast<float>(static_cast<double>(ZK::Platform::PerformanceFrequency()) * kSecondsPerMillisecond));

    g_platformAudioStarted = true;
    result = CZkActiveInstances::Init();
    if (result == ZK_Success && g_pEventMgr == nullptr)
    {
        result = CreateEventManager(copy.messageRingSize);
        if (result == ZK_Success)
            result = g_pEventMgr->StartThread();
    }
    if (result == ZK_Success && CZkMidiPostMgr::Create() == nullptr)
        result = ZK_Fail;
    if (result != ZK_Success)
    {
        Term();
        return result;
    }
    g_engineInitialized.store(1, std::memory_order_release);
    return ZK_Success;
}

// The active instances, then the output devices and the renderer with the platform's objects.
void TermPlaybackAndPlatformAudio()
{
    CZkActiveInstances::Term();
    if (!g_platformAudioStarted)
        return;
    CZkOutputDeviceMgr::TermDevices();
    CZkAudioRenderer::Term();
    g_platformAudioStarted = false;
}
} // namespace

ZKRESULT Init(ZkInitSettings* settings, ZkPlatformInitSettings* platformSettings)
{
    const ZKRESULT result = StartEngine(settings, platformSettings);
    // Also after a failure (whose Term has emptied the lists) and on a running engine. Not under the
    // global engine lock: a callback may wait for the engine's threads (a bank it loads at once).
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_Init);
    return result;
}

void Term()
{
    g_engineInitialized.store(0, std::memory_order_release);
    const bool apartment = ZK::Platform::InitializeApartment();
    if (g_pEventMgr != nullptr)
        g_pEventMgr->StopThread();
    if (g_pBankManager != nullptr)
        g_pBankManager->StopThread();
    if (g_pModulatorMgr != nullptr)
        g_pModulatorMgr->TermInstances();
    CZkMidiPostMgr::Destroy();
    // Pins hold game objects and follow groups: they go while the managers are still there.
    PinnedEventPrefetch::Term();
    CZkAudioRenderer::DestroyAllVoices();
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_Term);
    GlobalCallbacks::Clear();
    TermPlaybackAndPlatformAudio();
    DestroyEventManager();
    DestroyBankManager();
    DestroyEngineManagers();
    TermPositioningGlobals();
    CZkParamTargetRegistry::Instance().Term();
    AudioBufferPool::Flush();
    g_offlineRendering.store(0, std::memory_order_relaxed);
    ResetEngineLimits();
    if (apartment)
        ZK::Platform::UninitializeApartment();
}

void GetDefaultPlatformInitSettings(ZkPlatformInitSettings& platformSettings)
{
    FillDefaultPlatformInitSettings(platformSettings);
}

ZKRESULT GetAudioSettings(::ZkAudioSettings& settings)
{
    if (!IsInitialized())
        return ZK_Fail;
    settings.samplesPerFrame = ZkAudioSettings::FramesPerBuffer();
    settings.sampleRate = ZkAudioSettings::SampleRate();
    return ZK_Success;
}
} // namespace ZK::SoundEngine
