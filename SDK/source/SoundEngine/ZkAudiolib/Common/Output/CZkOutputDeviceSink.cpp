// The output device's sink: starting the sink its share set names, the fallback onto the base sink,
// the loss of a device, and the mix buffers that follow the configuration a sink accepts.
#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/CZkObjectProcessor.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkSinkBase.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Effects/CZkEffectObject.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

using namespace ZK::SoundEngine;

// What a sink asked for, before the device takes it: the sink, its parameters, the configuration it
// accepts and the buffers made for it.
struct CZkOutputDevice::SinkSetup
{
    ZK::IZkSinkPlugin* sink = nullptr;
    ZK::IZkPluginParam* params = nullptr;
    ZkChannelConfig config;
    ZkAudioBuffer main;
    ZkAudioBuffer passthrough;
    CZkObjectProcessor* objectProcessor = nullptr;
    bool objects = false;
};

namespace
{
constexpr uint32_t kBackLeft = ZK_SPEAKER_BACK_LEFT;
constexpr uint32_t kSideLeft = ZK_SPEAKER_SIDE_LEFT;
constexpr uint32_t kBackPair = ZK_SPEAKER_BACK_LEFT | ZK_SPEAKER_BACK_RIGHT;
constexpr uint32_t kSidePair = ZK_SPEAKER_SIDE_LEFT | ZK_SPEAKER_SIDE_RIGHT;

CZkPluginMemAlloc& InstanceAllocator()
{
    return CZkPluginMemAlloc::ForInstances();
}

CZkPluginMemAlloc& ParameterAllocator()
{
    return CZkPluginMemAlloc::ForParameters();
}

CZkEffectObject* FindAudioDeviceShareSet(uint32_t shareSetID)
{
    if (g_pObjectIndex == nullptr)
        return nullptr;
    return static_cast<CZkEffectObject*>(g_pObjectIndex->GetPtrAndAddRef(ZkIndexKind::AudioDevices, shareSetID));
}

bool IsRenderable(ZkChannelConfig config)
{
    return config.Type() <= ZkChannelConfigType_Objects && config.NumChannels() != 0 &&
           config.Type() != ZkChannelConfigType_Objects;
}

// A layout with only one of the back-left and side-left speakers is taken as its side form: the
// panning code knows the surround pair as the side pair.
ZkChannelConfig WithSurroundsAtTheSides(ZkChannelConfig config)
{
    if (config.Type() != ZkChannelConfigType_Standard)
        return config;
    const uint32_t mask = config.Mask();
    if (((mask & kBackLeft) != 0) == ((mask & kSideLeft) != 0))
        return config;
    return ZkChannelConfig::FromMask((mask & ~kBackPair) | kSidePair);
}

ZKRESULT MakeBuffer(ZkAudioBuffer& buffer, ZkChannelConfig config)
{
    buffer = ZkAudioBuffer{};
    buffer.channelConfig = config;
    buffer.maxFrames = ZkAudioSettings::FramesPerBuffer();
    return AudioBufferPool::GetCachedBuffer(buffer);
}

void ReleaseBuffer(ZkAudioBuffer& buffer)
{
    if (buffer.data != nullptr)
        AudioBufferPool::ReleaseCachedBuffer(buffer);
    buffer = ZkAudioBuffer{};
}
} // namespace

bool CZkOutputDevice::RunsRealSink() const
{
    return m_sink != nullptr && m_sinkPluginID != CZkSinkBase::kPluginID;
}

ZKRESULT CZkOutputDevice::PrepareBuffers(ZK::IZkSinkPlugin& sink, ZkChannelConfig& config, SinkSetup& setup)
{
    const bool objects = config.Type() == ZkChannelConfigType_Objects;
    if (config.Type() > ZkChannelConfigType_Objects || (config.NumChannels() == 0 && !objects))
        return ZK_NotImplemented;
    config = WithSurroundsAtTheSides(config);
    setup.config = config;
    setup.objects = objects;
    if (!objects)
        return MakeBuffer(setup.main, config);

    ZK::Zk3DAudioSinkCapabilities capabilities;
    if (sink.GetCapabilities(capabilities) != ZK_Success || !IsRenderable(capabilities.channelConfig))
        return ZK_NotImplemented;
    ZKRESULT result = MakeBuffer(setup.main, capabilities.channelConfig);
    if (result == ZK_Success && capabilities.passthrough != 0)
        result = MakeBuffer(setup.passthrough, ZkChannelConfig(ZkChannelConfig::kStereoWord));
    if (result != ZK_Success)
        return result;
    setup.objectProcessor = ZK::ZkNew<CZkObjectProcessor>(kPool);
    if (setup.objectProcessor == nullptr)
        return ZK_InsufficientMemory;
    return setup.objectProcessor->Init(capabilities.maxSystemAudioObjects);
}

void CZkOutputDevice::ReleaseSinkSetup(SinkSetup& setup)
{
    ReleaseBuffer(setup.main);
    ReleaseBuffer(setup.passthrough);
    if (setup.objectProcessor != nullptr)
    {
        setup.objectProcessor->Term();
        ZK::ZkDelete(kPool, setup.objectProcessor);
    }
    if (setup.sink != nullptr)
        setup.sink->Term(&InstanceAllocator());
    if (setup.params != nullptr)
        setup.params->Term(&ParameterAllocator());
    setup = SinkSetup{};
}

void CZkOutputDevice::ReleaseSink()
{
    SinkSetup current;
    current.sink = m_sink;
    current.params = m_sinkParams;
    current.main = m_mainMix;
    current.passthrough = m_passthroughMix;
    current.objectProcessor = m_objectProcessor;
    ReleaseSinkSetup(current);
    m_sink = nullptr;
    m_sinkParams = nullptr;
    m_mainMix = ZkAudioBuffer{};
    m_passthroughMix = ZkAudioBuffer{};
    m_objectProcessor = nullptr;
    m_sinkTakes3DAudio = false;
    m_mainIsObjects = false;
    m_capabilities = ZK::Zk3DAudioSinkCapabilities{};
}

void CZkOutputDevice::TakeSink(SinkSetup& setup, uint32_t pluginID, int32_t state)
{
    ReleaseSink();
    m_sink = setup.sink;
    m_sinkParams = setup.params;
    m_mainMix = setup.main;
    m_passthroughMix = setup.passthrough;
    m_objectProcessor = setup.objectProcessor;
    m_mainIsObjects = setup.objects;
    channelConfig = setup.config;
    m_sinkPluginID = pluginID;
    m_sinkTakes3DAudio = m_sink->SinkKind() == ZK::kZkSinkKind3DAudio;
    RefreshCapabilities();
    m_state = state;
    setup = SinkSetup{};
}

void CZkOutputDevice::RefreshCapabilities()
{
    if (m_sink != nullptr && m_sinkTakes3DAudio)
        m_sink->GetCapabilities(m_capabilities);
}

void CZkOutputDevice::ReportInitFailure(ZKRESULT result) const
{
    CZkOutputDeviceMgr::ReportDeviceEvent(*this, ZkAudioDeviceEvent_Initialization, result);
}

ZKRESULT CZkOutputDevice::InitSink()
{
    const uint32_t shareSetID = ShareSetID();
    if (shareSetID == 0)
        return ZK_NotImplemented;
    CZkEffectObject* shareSet = FindAudioDeviceShareSet(shareSetID);
    uint32_t pluginID = kSystemSinkPluginID;
    if (shareSet != nullptr)
        pluginID = shareSet->pluginID;
    else if (shareSetID != CZkOutputDeviceMgr::kSystemShareSetID)
        return ZK_InvalidID;

    ZK::IZkPlugin* instance = nullptr;
    ZK::ZkPluginInfo info;
    const ZKRESULT created = PluginRegistry::CreatePlugin(pluginID, instance, &InstanceAllocator(), info);
    if (created != ZK_Success || instance == nullptr)
    {
        if (shareSet != nullptr)
            shareSet->Release();
        return created == ZK_PluginNotRegistered ? created : ZK_InsufficientMemory;
    }

    SinkSetup setup;
    ZKRESULT result = PluginRegistry::CheckPluginInfo(ZK::ZkPluginTypeSink, info);
    setup.sink = dynamic_cast<ZK::IZkSinkPlugin*>(instance);
    if (setup.sink == nullptr)
    {
        instance->Term(&InstanceAllocator());
        if (result == ZK_NothingToReport)
            result = ZK_PluginTypeMismatch;
    }
    else if (result == ZK_NothingToReport)
    {
        result = ZK_Success;
        if (shareSet != nullptr && shareSet->pluginParams != nullptr)
        {
            setup.params = shareSet->pluginParams->Clone(&ParameterAllocator());
            if (setup.params == nullptr)
                result = ZK_InsufficientMemory;
        }
        else
        {
            // No bank object, or one whose sink takes no parameter block: the sink's own defaults.
            result = PluginRegistry::CreatePluginParam(&ParameterAllocator(), pluginID, setup.params);
            if (result != ZK_Success)
                result = ZK_InsufficientMemory;
        }
    }
    if (shareSet != nullptr)
        shareSet->Release();

    // The sink may accept another configuration than the one asked for; objects are the sink's own
    // choice.
    ZkChannelConfig config = m_settings.channelConfig;
    if (config.Type() == ZkChannelConfigType_Objects)
        config = ZkChannelConfig{};
    uint32_t previousDeviceID = 0;
    uint32_t previousPluginID = 0;
    m_sinkContext.GetOutputID(previousDeviceID, previousPluginID);
    if (result == ZK_Success)
    {
        m_sinkContext.SetOutputID(m_deviceIDDefaulted ? 0 : DeviceID(), pluginID);
        result = setup.sink->Init(&InstanceAllocator(), &m_sinkContext, setup.params, config);
    }
    if (result == ZK_Success)
        result = PrepareBuffers(*setup.sink, config, setup);
    if (result == ZK_Success)
        result = setup.sink->Reset();
    if (result != ZK_Success)
    {
        ReleaseSinkSetup(setup);
        m_sinkContext.SetOutputID(previousDeviceID, previousPluginID);
        ReportInitFailure(result);
        return result;
    }
    TakeSink(setup, pluginID, State_Running);
    AttachShareSetObject();
    return ZK_Success;
}

ZKRESULT CZkOutputDevice::InstallBaseSink(int32_t state)
{
    // A device already waiting on its base sink keeps it.
    if (state == State_OnBaseSink && m_state == State_OnBaseSink && m_sink != nullptr)
        return ZK_Success;
    SinkSetup setup;
    setup.sink = static_cast<ZK::IZkSinkPlugin*>(static_cast<CZkSinkBase*>(CZkSinkBase::Create(&InstanceAllocator())));
    if (setup.sink == nullptr)
        return ZK_InsufficientMemory;
    CZkSinkParamsBasic params; // stereo, as for a device without bank parameters
    ZkChannelConfig config = m_settings.channelConfig;
    setup.sink->Init(&InstanceAllocator(), &m_sinkContext, &params, config);
    ZKRESULT result = PrepareBuffers(*setup.sink, config, setup);
    if (result != ZK_Success)
    {
        ReleaseSinkSetup(setup);
        return result;
    }
    m_effects.TermAll();
    TakeSink(setup, CZkSinkBase::kPluginID, state);
    m_sinkContext.SetOutputID(m_deviceIDDefaulted ? 0 : DeviceID(), CZkSinkBase::kPluginID);
    if (IsOfflineRendering())
        AttachShareSetObject();
    return ZK_Success;
}

void CZkOutputDevice::SetDeviceLost()
{
    CZkOutputDeviceMgr::ReportDeviceEvent(*this, ZkAudioDeviceEvent_DeviceLost, ZK_Success);
    InstallBaseSink(State_OnBaseSink);
    if (m_state != State_Lost)
    {
        m_state = State_Lost;
        if (IsInitialized())
            EngineWakeEvent::Signal();
    }
}
