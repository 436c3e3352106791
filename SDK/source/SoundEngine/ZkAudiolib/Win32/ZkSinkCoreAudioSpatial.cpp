// The system sink's spatial stream: its set-up (the spatial client, the object format, the stream,
// the dynamic and static objects, the bed ring), its start (the stream and the worker) and its
// teardown, which leaves the sink plain.
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Output/ZkSpatialClientActivation.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

namespace
{
constexpr ZkMemoryId kRingPool = ZkMemID_Default;
constexpr ZkMemoryId kRecordPool = ZkMemID_Processing;
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr uint32_t kWarningLevel = 1;
constexpr uint32_t kObjectChannels = 1;
constexpr uint16_t kFloatBits = 32;

constexpr const char* kNoClient = "Microsoft Spatial Sound: Could not activate SpatialAudioClient";
constexpr const char* kNotEnabled = "Microsoft Spatial Sound not enabled by user.";
constexpr const char* kSettingBelowMinimum =
    "ZkPlatformInitSettings::uMaxSystemAudioObjects does not meet minimum requirement for System Audio Objects. "
    "System Audio Objects will be mixed.";
constexpr const char* kSystemBelowMinimum =
    "System does not meet minimum requirement for System Audio Objects. System Audio Objects will be mixed.";
constexpr const char* kNoEnumerator = "Microsoft Spatial Sound internal error: no enumerator.";
constexpr const char* kNoFormats = "Microsoft Spatial Sound: No supported formats.";
constexpr const char* kFormatFailed = "MSSpatial: No supported formats.";
constexpr const char* kNoStream = "Microsoft Spatial Sound: Could not activate Spatial Audio Stream.";
constexpr const char* kNoAvailableCount = "Microsoft Spatial Sound: Could not query available objects.";
constexpr const char* kNoRecords =
    "Microsoft Spatial Sound: Failed to allocate memory for dynamic objects. Some sounds will be mixed.";
constexpr const char* kDynamicFailed =
    "Microsoft Spatial Sound: Failed to activate dynamic object. Some sounds will be mixed.";
constexpr const char* kChannelFailed = "Microsoft Spatial Sound: Failed to activate channel.";
constexpr const char* kStartFailed = "Microsoft Spatial Sound: Could not start Spatial Audio Stream.";
constexpr const char* kNoWorker = "Microsoft Spatial Sound: Could not create worker thread.";

// The static objects of the bed, in the order of the 7.1.4 configuration's interleaved channels.
constexpr uint32_t kBedTypes[CZkSinkCoreAudio::kBedChannels] = {0x2,  0x4,   0x8,   0x10,  0x80,  0x100,
                                                                0x20, 0x40,  0x200, 0x400, 0x800, 0x1000};

std::atomic<bool> g_workerOnCaller{false};
std::atomic<uint32_t> g_workerWaitMs{CZkSinkCoreAudio::kWorkerWaitMs};

// The engine writes 32-bit float, one channel per object, at its own rate: a format of another
// kind would play the bed and the objects at the wrong speed.
bool EngineWritesFormat(const WaveFormat& format)
{
    return IsFloat32(format) && format.bitsPerSample == kFloatBits && format.channels == kObjectChannels &&
           format.samplesPerSecond == ZkAudioSettings::SampleRate();
}
} // namespace

void CZkSinkCoreAudio::SetWorkerOnCaller(bool onCaller)
{
    g_workerOnCaller.store(onCaller, std::memory_order_release);
}

void CZkSinkCoreAudio::SetWorkerWaitMs(uint32_t waitMs)
{
    g_workerWaitMs.store(waitMs, std::memory_order_release);
}

uint32_t CZkSinkCoreAudio::WorkerWaitMs()
{
    return g_workerWaitMs.load(std::memory_order_acquire);
}

void CZkSinkCoreAudio::PostWarning(const char* message)
{
    if (m_context != nullptr)
        m_context->PostMonitorMessage(message, kWarningLevel);
}

void CZkSinkCoreAudio::ReleaseStaticObjects()
{
    for (uint32_t channel = 0; channel < kBedChannels; ++channel)
    {
        ReleaseAndClear(m_static[channel].object);
        m_static[channel].type = kBedTypes[channel];
    }
}

ZKRESULT CZkSinkCoreAudio::OpenSpatialClient()
{
    if (AudioFailed(ActivateSpatialClient(m_endpoint, &m_spatialClient)) || m_spatialClient == nullptr)
    {
        PostError(kNoClient);
        return ZK_Fail;
    }
    return ZK_Success;
}

ZKRESULT CZkSinkCoreAudio::ChooseObjectFormat(WaveFormat& format)
{
    IAudioFormatEnumerator* formats = nullptr;
    if (AudioFailed(m_spatialClient->GetSupportedAudioObjectFormatEnumerator(&formats)) || formats == nullptr)
    {
        PostError(kNoEnumerator);
        return ZK_Fail;
    }
    uint32_t count = 0;
    ZKRESULT result = ZK_Success;
    WaveFormat* first = nullptr;
    if (AudioFailed(formats->GetCount(&count)) || count == 0)
    {
        PostError(kNoFormats);
        result = ZK_Fail;
    }
    else if (AudioFailed(formats->GetFormat(0, &first)) || first == nullptr)
    {
        PostError(kFormatFailed);
        result = ZK_Fail;
    }
    else if (!EngineWritesFormat(*first))
    {
        PostError(kNoFormats);
        result = ZK_Fail;
    }
    else
    {
        format = *first;
    }
    formats->Release();
    return result;
}

ZKRESULT CZkSinkCoreAudio::ActivateSpatialStream(const WaveFormat& format)
{
    SpatialStreamActivationParams activation;
    activation.objectFormat = &format;
    activation.staticObjectTypeMask = kStaticObjectTypes712;
    activation.minDynamicObjectCount = 0;
    activation.maxDynamicObjectCount = m_maxDynamicObjects;
    activation.category = kStreamCategoryGameEffects;
    activation.eventHandle = &m_streamEvent;
    activation.notifyObject = nullptr;
    PropertyValue parameters;
    AudioResult activated = kAudioOutOfMemory;
    if (m_streamEvent.Init(EventReset::Auto) && MakeActivationBlob(&activation, sizeof(activation), parameters))
        activated = m_spatialClient->ActivateSpatialAudioStream(parameters, &m_spatialStream);
    ClearPropertyValue(parameters);
    if (AudioFailed(activated) || m_spatialStream == nullptr)
    {
        PostError(kNoStream);
        return ZK_Fail;
    }
    return ZK_Success;
}

void CZkSinkCoreAudio::ActivateDynamicObjects(uint32_t available)
{
    if (available == 0)
        return;
    m_records = static_cast<ZkSpatialObjectRecord*>(ZK::MemoryMgr::Malloc(kRecordPool, sizeof(ZkSpatialObjectRecord) * available));
    if (m_records == nullptr)
    {
        PostError(kNoRecords);
        return;
    }
    m_recordCapacity = available;
    for (uint32_t i = 0; i < available; ++i)
    {
        ZkSpatialObjectRecord* record = new (&m_records[m_recordCount]) ZkSpatialObjectRecord;
        ++m_recordCount;
        if (AudioFailed(m_spatialStream->ActivateSpatialAudioObject(kAudioObjectTypeDynamic, &record->object)) ||
            record->object == nullptr)
        {
            --m_recordCount;
            PostError(kDynamicFailed);
            break;
        }
    }
    m_activatedObjects = m_recordCount;
}

ZKRESULT CZkSinkCoreAudio::SetUpSpatial(uint32_t minimumObjects, uint32_t maximumObjects)
{
    ReleaseStaticObjects();
    if (OpenSpatialClient() != ZK_Success)
        return ZK_Fail;

    uint32_t count = 0;
    if (AudioFailed(m_spatialClient->GetMaxDynamicObjectCount(&count)))
        count = 0;
    if (count == 0)
    {
        PostWarning(kNotEnabled);
        return kSpatialNotEnabled;
    }
    if (count < minimumObjects)
    {
        // Too few objects to be worth it: everything goes to the bed. With an object limit given,
        // the platform setting is the one to blame when it lies below that limit.
        if (m_params != nullptr && m_params->limitGiven != 0)
            PostWarning(GetPlatformInitSettings().uMaxSystemAudioObjects < m_params->objectLimit ? kSettingBelowMinimum
                                                                                                 : kSystemBelowMinimum);
        count = 0;
    }
    m_maxDynamicObjects = std::min(count, maximumObjects);

    WaveFormat format;
    if (ChooseObjectFormat(format) != ZK_Success || ActivateSpatialStream(format) != ZK_Success)
        return ZK_Fail;
    if (m_maxDynamicObjects > 0)
    {
        uint32_t available = 0;
        if (AudioFailed(m_spatialStream->GetAvailableDynamicObjectCount(&available)))
        {
            PostError(kNoAvailableCount);
            return ZK_Fail;
        }
        ActivateDynamicObjects(available);
    }
    for (StaticSlot& slot : m_static)
    {
        if (AudioFailed(m_spatialStream->ActivateSpatialAudioObject(slot.type, &slot.object)) || slot.object == nullptr)
        {
            PostError(kChannelFailed);
            return ZK_Fail;
        }
    }
    const uint32_t floats = ZkAudioSettings::FramesPerBuffer() * m_context->NumRefillBuffers() * kBedChannels;
    m_bed.data = static_cast<float*>(ZK::MemoryMgr::Malloc(kRingPool, sizeof(float) * floats));
    if (m_bed.data == nullptr)
        return ZK_InsufficientMemory;
    m_bed.capacity = floats;
    m_bed.Reset();
    return ZK_Success;
}

ZKRESULT CZkSinkCoreAudio::StartSpatial()
{
    if (AudioFailed(m_spatialStream->Start()))
    {
        PostError(kStartFailed);
        return ZK_Fail;
    }
    m_workerRunning.store(true, std::memory_order_release);
    if (g_workerOnCaller.load(std::memory_order_acquire))
        return ZK_Success;
    // A priority refused for lack of privilege leaves the worker as the system made it (the
    // platform layer reports it started), as for every other thread of the engine.
    const ThreadProperties properties = ThreadStartProperties(GetPlatformInitSettings().outputThread, kWorkerName);
    if (StartThread(m_worker, &WorkerMain, this, properties).status != ThreadStartStatus::Started)
    {
        m_workerRunning.store(false, std::memory_order_release);
        PostError(kNoWorker);
        return ZK_Fail;
    }
    return ZK_Success;
}

void CZkSinkCoreAudio::StopWorker()
{
    m_workerRunning.store(false, std::memory_order_release);
    if (m_worker.IsValid())
    {
        m_streamEvent.Set();
        JoinThread(m_worker);
    }
}

void CZkSinkCoreAudio::TearDownSpatial()
{
    StopWorker();
    if (m_spatialStream != nullptr)
        m_spatialStream->Stop();
    for (uint32_t i = 0; i < m_recordCount; ++i)
    {
        ZkSpatialObjectRecord& record = m_records[i];
        if (record.ring.data != nullptr)
            ZK::MemoryMgr::Free(kRingPool, record.ring.data);
        ReleaseAndClear(record.object);
    }
    if (m_records != nullptr)
        ZK::MemoryMgr::Free(kRecordPool, m_records);
    m_records = nullptr;
    m_recordCount = 0;
    m_recordCapacity = 0;
    if (m_bed.data != nullptr)
        ZK::MemoryMgr::Free(kRingPool, m_bed.data);
    m_bed = ZkSampleRing{};
    ReleaseStaticObjects();
    ReleaseAndClear(m_spatialStream);
    ReleaseAndClear(m_spatialClient);
    if (m_streamEvent.IsInitialized())
        m_streamEvent.Term();
    m_maxDynamicObjects = 0;
    m_activatedObjects = 0;
    m_drainingObjects = 0;
    m_bits &= static_cast<uint8_t>(~Bit_Spatial);
}
} // namespace ZK::SoundEngine
