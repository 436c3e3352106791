// The system sink's life: creation, Init (the endpoint, its configuration, the stream's format,
// properties, duration and rate, the matrices), and Term.
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Platform/Audio/TaskMemory.h>

#include <cstring>
#include <new>

namespace ZK::SoundEngine
{
using namespace ZK::Platform;

namespace
{
constexpr uint32_t kMatrixAlignment = 16;
constexpr uint32_t kNoObjectLimit = 0xFFFFFFFFu;
constexpr uint32_t kMaskBitsOfWord = 0xFFFFF000u;
constexpr uint32_t kFrontCentreOnlyMaskBits = ZK_SPEAKER_FRONT_CENTER << ZkChannelConfig::kMaskShift;
constexpr uint32_t kFloatBits = 32;
constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr uint32_t kEngineWaitBuffers = 2;

uint32_t CategoryOf(uint16_t kind)
{
    switch (kind)
    {
    case CZkSinkCoreAudio::Kind_Communications:
    case CZkSinkCoreAudio::Kind_GameChat:
        return kStreamCategoryGameChat;
    case CZkSinkCoreAudio::Kind_GameMedia:
        return kStreamCategoryGameMedia;
    default:
        return kStreamCategoryGameEffects;
    }
}

// The mix format as an extensible float format of its own rate and channels.
WaveFormat AsExtensibleFloat(const WaveFormat& format)
{
    return IsExtensible(format) ? format : MakeFloatFormat(format.samplesPerSecond, format.channels);
}
} // namespace

ZkChannelConfig CZkSinkCoreAudio::ConfigForChannelCount(uint32_t channels)
{
    const uint32_t mask = StandardChannelMask(channels);
    return mask != 0 ? ZkChannelConfig::FromMask(mask) : ZkChannelConfig::Anonymous(channels);
}

int64_t CZkSinkCoreAudio::BufferDuration(uint32_t frames, uint32_t rate, uint32_t refillBuffers, int64_t minimumPeriod)
{
    const int64_t oneBuffer = int64_t{frames} * kDurationUnitsPerSecond / rate;
    int64_t duration = oneBuffer * refillBuffers;
    while (oneBuffer > 0 && duration < minimumPeriod)
        duration += oneBuffer;
    return duration;
}

ZK::IZkPlugin* CZkSinkCoreAudio::Create(ZK::IZkPluginMemAlloc* allocator)
{
    void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(CZkSinkCoreAudio));
    return memory != nullptr ? new (memory) CZkSinkCoreAudio : nullptr;
}

CZkSinkCoreAudio::~CZkSinkCoreAudio()
{
    ReleaseAndClear(m_endpoint);
}

ZKRESULT CZkSinkCoreAudio::GetPluginInfo(ZK::ZkPluginInfo& info)
{
    info = ZK::ZkPluginInfo{};
    info.type = ZK::ZkPluginTypeSink;
    info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
    return ZK_Success;
}

void CZkSinkCoreAudio::PostError(const char* message)
{
    if (m_context != nullptr)
        m_context->PostMonitorMessage(message, 2);
}

ZKRESULT CZkSinkCoreAudio::AllocateBuffer(ZkAudioBuffer& buffer, ZkChannelConfig config, uint32_t frames)
{
    const size_t bytes = sizeof(float) * config.NumChannels() * frames;
    void* samples = ZK_PLUGIN_MALIGN(m_allocator, bytes, kMatrixAlignment);
    if (samples == nullptr)
        return ZK_InsufficientMemory;
    std::memset(samples, 0, bytes);
    buffer = ZkAudioBuffer{};
    buffer.data = samples;
    buffer.channelConfig = config;
    buffer.maxFrames = static_cast<uint16_t>(frames);
    return ZK_Success;
}

void CZkSinkCoreAudio::FreeBuffer(ZkAudioBuffer& buffer)
{
    if (buffer.data != nullptr)
        ZK_PLUGIN_FREE(m_allocator, buffer.data);
    buffer = ZkAudioBuffer{};
}

ZKRESULT CZkSinkCoreAudio::OpenEndpoint(uint32_t deviceID)
{
    CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::AcquireShared();
    if (notifier == nullptr)
        return ZK_Fail;
    if (deviceID == 0)
    {
        const DeviceRole role = m_kind == Kind_Communications ? DeviceRole::Communications : DeviceRole::Console;
        m_endpoint = notifier->GetDefaultEndpoint(role, m_endpointID);
        return m_endpoint != nullptr ? ZK_Success : ZK_DeviceNotFound;
    }
    m_endpoint = notifier->FindEndpoint(deviceID, m_endpointID);
    if (m_endpoint == nullptr || m_endpointID == kInvalidEndpointID)
    {
        ReleaseAndClear(m_endpoint);
        return ZK_Fail;
    }
    return ZK_Success;
}

ZKRESULT CZkSinkCoreAudio::ReadEndpointConfig(ZkChannelConfig& endpointConfig)
{
    IEndpointPropertyStore* store = nullptr;
    if (AudioFailed(m_endpoint->OpenPropertyStore(&store)) || store == nullptr)
        return ZK_Fail;
    PropertyValue value;
    const bool read = AudioSucceeded(store->GetValue(kPropertyDeviceFormat, value)) &&
                      value.kind == PropertyKind::Blob && value.blob != nullptr && value.blobSize >= sizeof(WaveFormat);
    if (read)
        endpointConfig = ConfigForChannelCount(static_cast<const WaveFormat*>(value.blob)->channels);
    ClearPropertyValue(value);
    store->Release();
    return read ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkSinkCoreAudio::Init(ZK::IZkPluginMemAlloc* allocator, ZK::IZkSinkPluginContext* context,
                                ZK::IZkPluginParam* params, ZkChannelConfig& config)
{
    m_allocator = allocator;
    m_context = context;
    uint32_t deviceID = 0;
    uint32_t pluginID = 0;
    context->GetOutputID(deviceID, pluginID);
    m_kind = static_cast<uint16_t>(pluginID >> 16);
    if (m_kind == Kind_SystemOutput)
        m_params = dynamic_cast<CZkSinkParamsSpatial*>(params);

    ZKRESULT result = OpenEndpoint(deviceID);
    if (result != ZK_Success)
        return result;
    ZkChannelConfig endpointConfig;
    if (ReadEndpointConfig(endpointConfig) != ZK_Success)
        return ZK_Fail;

    const ZkChannelConfig requested = config;
    if (m_params != nullptr)
    {
        const bool spatialWanted = m_params->enable != 0 && (requested.word & kMaskBitsOfWord) != kFrontCentreOnlyMaskBits;
        uint32_t maximumObjects = kNoObjectLimit;
        uint32_t minimumObjects = kNoObjectLimit;
        if (m_params->limitGiven != 0 && GetPlatformInitSettings().uMaxSystemAudioObjects >= m_params->objectLimit)
        {
            maximumObjects = GetPlatformInitSettings().uMaxSystemAudioObjects;
            minimumObjects = m_params->objectLimit;
        }
        m_params->changed = 0;
        if (spatialWanted)
        {
            if (SetUpSpatial(minimumObjects, maximumObjects) == ZK_Success)
                m_bits |= Bit_Spatial;
            else
                TearDownSpatial();
        }
    }
    const bool spatial = (m_bits & Bit_Spatial) != 0;
    const ZkChannelConfig spatialConfig =
        requested.IsValid() || m_params == nullptr ? requested : m_params->mainConfig;

    result = InitStream(endpointConfig);
    if (result != ZK_Success)
        return result;

    const ZkChannelConfig bed(kBedConfigWord);
    m_mainMix = spatial ? spatialConfig : requested;
    if (!m_mainMix.IsValid())
        m_mainMix = spatial ? bed : m_deviceBuffer.channelConfig;
    config = spatial ? ZkChannelConfig(ZkChannelConfigType_Objects << 8) : m_mainMix;
    if (AudioFailed(m_client->Start()))
    {
        PostError(kStartFailedMessage);
        return ZK_Fail;
    }
    m_running = true;
    if (spatial)
    {
        result = StartSpatial();
        if (result != ZK_Success)
        {
            TearDownSpatial();
            return result;
        }
    }

    const ZkChannelConfig target = spatial ? bed : m_deviceBuffer.channelConfig;
    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    if (m_mainMix != target)
    {
        m_mixMatrix = AllocateMatrix(m_mainMix, target);
        if (m_mixMatrix == nullptr || AllocateBuffer(m_temp, target, frames) != ZK_Success)
            return ZK_InsufficientMemory;
        m_temp.validFrames = m_temp.maxFrames;
    }
    // The passthrough mix is stereo; a device of another layout takes it through a matrix.
    const ZkChannelConfig device = m_deviceBuffer.channelConfig;
    if (spatial && device != ZkChannelConfig(ZkChannelConfig::kStereoWord))
    {
        m_passthroughMatrix = AllocateMatrix(ZkChannelConfig(ZkChannelConfig::kStereoWord), device);
        if (m_passthroughMatrix == nullptr || AllocateBuffer(m_passthroughTemp, device, frames) != ZK_Success)
            return ZK_InsufficientMemory;
        m_passthroughTemp.validFrames = m_passthroughTemp.maxFrames;
    }
    m_bits |= Bit_MatricesPending;
    return ZK_Success;
}

float* CZkSinkCoreAudio::AllocateMatrix(ZkChannelConfig input, ZkChannelConfig output)
{
    const uint32_t bytes = input.NumChannels() * ((output.NumChannels() + 3) / 4) * 16;
    return static_cast<float*>(ZK_PLUGIN_MALIGN(m_allocator, bytes, kMatrixAlignment));
}

void CZkSinkCoreAudio::OptOutOfDucking()
{
    ISessionManager* manager = nullptr;
    if (AudioFailed(m_endpoint->Activate(InterfaceId::SessionManager, reinterpret_cast<void**>(&manager))))
        return;
    ISessionControl* control = nullptr;
    if (AudioSucceeded(manager->GetAudioSessionControl(nullptr, 0, &control)))
    {
        ISessionControl2* control2 = nullptr;
        if (AudioSucceeded(control->QueryInterface(InterfaceId::SessionControl2, reinterpret_cast<void**>(&control2))))
        {
            control2->SetDuckingPreference(true);
            control2->Release();
        }
        control->Release();
    }
    manager->Release();
}

ZKRESULT CZkSinkCoreAudio::NegotiateFormat(ZkChannelConfig endpointConfig, WaveFormat& format,
                                           ZkChannelConfig& deviceConfig)
{
    WaveFormat* mixFormat = nullptr;
    if (AudioFailed(m_client->GetMixFormat(&mixFormat)) || mixFormat == nullptr)
        return ZK_Fail;
    const WaveFormat mix = AsExtensibleFloat(*mixFormat);
    FreeTaskMemory(mixFormat);

    format = mix;
    deviceConfig = ConfigForChannelCount(mix.channels);
    if (!endpointConfig.IsValid())
        return ZK_Success;
    if (endpointConfig.NumChannels() == mix.channels)
    {
        deviceConfig = endpointConfig;
        return ZK_Success;
    }
    WaveFormat candidate = mix;
    candidate.channels = static_cast<uint16_t>(endpointConfig.NumChannels());
    candidate.channelMask = endpointConfig.Type() == ZkChannelConfigType_Standard ? endpointConfig.Mask() : 0;
    RecomputeByteRates(candidate);
    WaveFormat* closest = nullptr;
    const AudioResult answer = m_client->IsFormatSupported(ShareMode::Shared, &candidate, &closest);
    if (answer == kAudioOk)
    {
        format = candidate;
        deviceConfig = endpointConfig;
    }
    else if (answer == kAudioFalse && closest != nullptr)
    {
        format = AsExtensibleFloat(*closest);
        deviceConfig = ConfigForChannelCount(format.channels);
    }
    FreeTaskMemory(closest);
    return ZK_Success;
}

ZKRESULT CZkSinkCoreAudio::SetStreamProperties()
{
    IStreamClient2* client2 = nullptr;
    if (AudioFailed(m_client->QueryInterface(InterfaceId::StreamClient2, reinterpret_cast<void**>(&client2))))
        return ZK_Success;
    StreamClientProperties properties;
    properties.category = CategoryOf(m_kind);
    bool offload = false;
    client2->IsOffloadCapable(properties.category, &offload);
    properties.isOffload = offload ? 1 : 0;
    const AudioResult set = client2->SetClientProperties(&properties);
    client2->Release();
    return AudioSucceeded(set) ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkSinkCoreAudio::InitializeStream(WaveFormat& format, int64_t duration)
{
    const uint32_t engineRate = ZkAudioSettings::SampleRate();
    AudioResult initialized = kAudioFail;
    if (format.samplesPerSecond == engineRate)
    {
        initialized = m_client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, duration, 0, &format, nullptr);
    }
    else
    {
        // The endpoint converting the engine's rate itself is tried first.
        WaveFormat atEngineRate = format;
        atEngineRate.samplesPerSecond = engineRate;
        RecomputeByteRates(atEngineRate);
        initialized = m_client->Initialize(
            ShareMode::Shared, kStreamFlagEventCallback | kStreamFlagAutoConvertPcm | kStreamFlagSrcDefaultQuality,
            duration, 0, &atEngineRate, nullptr);
        if (initialized == kAudioOk)
            format = atEngineRate;
        else
            initialized = m_client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, duration, 0, &format, nullptr);
    }
    return initialized == kAudioOk ? ZK_Success : ZK_Fail;
}

ZKRESULT CZkSinkCoreAudio::SetUpResampler(ZkChannelConfig deviceConfig, uint32_t streamRate)
{
    m_resampler.Init();
    ZkAudioFormat engineFormat;
    engineFormat.sampleRate = ZkAudioSettings::SampleRate();
    engineFormat.channelConfig = deviceConfig;
    engineFormat.formatBits = kFloatBits;
    if (m_resampler.Setup(engineFormat, streamRate) != ZK_Success)
        return ZK_Fail;
    m_resampler.SetPitch(0.0f, false);
    const uint32_t frames = m_endpointBufferFrames / m_context->NumRefillBuffers();
    m_resampled = ZkAudioBuffer{};
    m_resampled.channelConfig = deviceConfig;
    m_resampled.maxFrames = static_cast<uint16_t>(frames);
    const ZKRESULT taken = AudioBufferPool::GetCachedBuffer(m_resampled);
    if (taken != ZK_Success)
    {
        m_resampler.Term();
        m_resampled = ZkAudioBuffer{};
        return taken;
    }
    std::memset(m_resampled.data, 0, sizeof(float) * deviceConfig.NumChannels() * m_resampled.maxFrames);
    m_resampledFrames = frames;
    m_resampler.framesWanted = frames;
    return ZK_Success;
}

ZKRESULT CZkSinkCoreAudio::InitStream(ZkChannelConfig endpointConfig)
{
    if (AudioFailed(m_endpoint->Activate(InterfaceId::StreamClient, reinterpret_cast<void**>(&m_client))) ||
        m_client == nullptr)
        return ZK_Fail;
    OptOutOfDucking();
    int64_t defaultPeriod = 0;
    int64_t minimumPeriod = 0;
    m_client->GetDevicePeriod(&defaultPeriod, &minimumPeriod);

    WaveFormat format;
    ZkChannelConfig deviceConfig;
    if (NegotiateFormat(endpointConfig, format, deviceConfig) != ZK_Success || SetStreamProperties() != ZK_Success)
        return ZK_Fail;

    const uint32_t frames = ZkAudioSettings::FramesPerBuffer();
    const uint32_t engineRate = ZkAudioSettings::SampleRate();
    const int64_t duration = BufferDuration(frames, engineRate, m_context->NumRefillBuffers(), minimumPeriod);
    if (InitializeStream(format, duration) != ZK_Success)
        return ZK_Fail;
    if (AudioFailed(m_client->SetEventHandle(&EngineWakeEvent::Get())) ||
        AudioFailed(m_client->GetBufferSize(&m_endpointBufferFrames)))
        return ZK_Fail;
    m_streamChannels = format.channels;
    if (format.samplesPerSecond != engineRate)
    {
        if (const ZKRESULT resampling = SetUpResampler(deviceConfig, format.samplesPerSecond); resampling != ZK_Success)
            return resampling;
    }
    if (AudioFailed(m_client->GetService(InterfaceId::RenderClient, reinterpret_cast<void**>(&m_render))) ||
        m_render == nullptr)
        return ZK_Fail;
    ZkAudioSettings::SetEngineThreadTimeoutMs(kEngineWaitBuffers * (frames * kMillisecondsPerSecond / engineRate));
    return AllocateBuffer(m_deviceBuffer, deviceConfig, frames);
}

ZKRESULT CZkSinkCoreAudio::Term(ZK::IZkPluginMemAlloc* allocator)
{
    TearDownSpatial();
    ReleaseAndClear(m_render);
    if (m_client != nullptr && m_running)
        m_client->Stop();
    m_running = false;
    ReleaseAndClear(m_client);
    if (m_allocator == nullptr)
        m_allocator = allocator;
    FreeBuffer(m_deviceBuffer);
    if (m_resampled.data != nullptr)
        AudioBufferPool::ReleaseCachedBuffer(m_resampled);
    m_resampler.Term();
    if (m_mixMatrix != nullptr)
        ZK_PLUGIN_FREE(m_allocator, m_mixMatrix);
    m_mixMatrix = nullptr;
    if (m_passthroughMatrix != nullptr)
        ZK_PLUGIN_FREE(m_allocator, m_passthroughMatrix);
    m_passthroughMatrix = nullptr;
    FreeBuffer(m_temp);
    FreeBuffer(m_passthroughTemp);
    this->~CZkSinkCoreAudio();
    ZK_PLUGIN_FREE(allocator, this);
    return ZK_Success;
}
} // namespace ZK::SoundEngine
