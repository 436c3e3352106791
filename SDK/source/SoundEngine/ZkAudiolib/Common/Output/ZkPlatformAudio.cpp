#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Platform/PlatformCom.h>
#include <ZK/SoundEngine/Common/ZkRuntimeEnvironmentMgr.h>

#include <cstdint>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr int32_t kAboveNormalPriority = 1;
constexpr int32_t kNormalPriority = 0;

ZkThreadProperties DefaultThread(int32_t priority)
{
    ZkThreadProperties thread;
    thread.priority = priority;
    thread.affinityMask = 0;
    thread.stackSize = ZkPlatformInitSettings::kDefaultThreadStackBytes;
    return thread;
}

ZkPlatformInitSettings MakeDefaults()
{
    ZkPlatformInitSettings settings;
    FillDefaultPlatformInitSettings(settings);
    return settings;
}

ZkPlatformInitSettings& Stored()
{
    static ZkPlatformInitSettings settings = MakeDefaults();
    return settings;
}

// Whether this thread's apartment was started by InitAudioThreadCOM (and must be ended).
thread_local bool t_apartmentStarted = false;
} // namespace

ZKRESULT FillDefaultPlatformInitSettings(ZkPlatformInitSettings& settings)
{
    settings = ZkPlatformInitSettings{};
    settings.windowHandle = nullptr; // Linux gives the engine no window of its own
    settings.engineThread = DefaultThread(kAboveNormalPriority);
    settings.outputThread = DefaultThread(kAboveNormalPriority);
    settings.bankThread = DefaultThread(kNormalPriority);
    settings.fourthThread = DefaultThread(kAboveNormalPriority);
    settings.numRefillBuffers = ZkPlatformInitSettings::kDefaultRefillBuffers;
    settings.sampleRate = ZkPlatformInitSettings::kDefaultSampleRateHz;
    settings.enableAvx = 1;
    settings.uMaxSystemAudioObjects = ZkPlatformInitSettings::kDefaultMaxSystemAudioObjects;
    return ZK_NotImplemented;
}

void StorePlatformInitSettings(ZkPlatformInitSettings* settings)
{
    ZkPlatformInitSettings& stored = Stored();
    if (settings == nullptr)
    {
        FillDefaultPlatformInitSettings(stored);
        return;
    }
    stored = *settings;
    if (stored.numRefillBuffers < ZkPlatformInitSettings::kMinRefillBuffers)
        stored.numRefillBuffers = ZkPlatformInitSettings::kDefaultRefillBuffers;
    *settings = stored;
}

const ZkPlatformInitSettings& GetPlatformInitSettings()
{
    return Stored();
}

ZK::Platform::ThreadProperties ThreadStartProperties(const ZkThreadProperties& settings, const char* name)
{
    ZK::Platform::ThreadProperties properties;
    properties.name = name;
    properties.stackSizeBytes = settings.stackSize;
    properties.priority = settings.priority;
    properties.affinityMask = settings.affinityMask;
    return properties;
}

ZKRESULT InitPlatformAudio()
{
    const uint32_t sampleRate = Stored().sampleRate;
    const uint32_t framesPerBuffer = GetEngineSettings().samplesPerFrame;
    if (sampleRate == 0 || framesPerBuffer == 0 || framesPerBuffer > std::numeric_limits<uint16_t>::max())
        return ZK_InvalidParameter;
    ZK::ZkRuntimeEnvironmentMgr::Instance()->ApplyAvxPermission(Stored().enableAvx);
    SetAudioFormatGlobals(sampleRate, static_cast<uint16_t>(framesPerBuffer));
    if (!EngineWakeEvent::Create())
        return ZK_Fail;
    return InitRenderer();
}

void InitAudioThreadCOM()
{
    if (!t_apartmentStarted)
        t_apartmentStarted = ZK::Platform::InitializeApartment();
    CZkMMDeviceNotifier::AcquireShared();
}

void TermAudioThreadCOM()
{
    CZkMMDeviceNotifier::ReleaseShared();
    CZkOutputDeviceMgr::TermDevices();
    if (t_apartmentStarted)
        ZK::Platform::UninitializeApartment();
    t_apartmentStarted = false;
}

namespace PlatformAudio
{
void DestroyDefaultObject()
{
    CZkMMDeviceNotifier::DestroyFactory();
    EngineWakeEvent::Destroy();
}
} // namespace PlatformAudio
} // namespace ZK::SoundEngine
