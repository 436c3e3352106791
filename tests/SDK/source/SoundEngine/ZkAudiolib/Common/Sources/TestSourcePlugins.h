// The source plug-ins of the host tests, registered through the plug-in registry under company
// 0x40: a probe whose behaviour each test sets through its script (plug-in info, format it asks
// for, results of Init, Reset and TimeSkip, envelope), which records what the host calls and
// reads every context operation at Init; and a creator that gives nothing.
#pragma once

#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"

#include <ZK/SoundEngine/Common/IZkSourcePlugin.h>

#include <cstring>
#include <new>
#include <vector>

namespace ZkSourceTest
{
constexpr uint32_t kTestCompany = 0x40;
constexpr uint32_t kProbeNumber = 5;
constexpr uint32_t kNullNumber = 6;
constexpr uint32_t kProbeKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeSource, kTestCompany, kProbeNumber);
constexpr uint32_t kNullKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeSource, kTestCompany, kNullNumber);

// What the next probe does.
struct ProbeScript
{
    uint32_t infoType = ZK::ZkPluginTypeSource;
    uint32_t buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
    bool stereoDerived = false; // asks for stereo with bit 18 (the host derives the block align)
    ZKRESULT initResult = ZK_Success;
    ZKRESULT resetResult = ZK_Success;
    ZKRESULT timeSkipResult = ZK_DataReady;
    float envelope = 1.0f;
    float durationMs = 2000.0f;
    ZKRESULT executeState = ZK_DataReady;
};

// What the probes saw and were asked (the last probe's).
struct ProbeLog
{
    ZkAudioFormat formatAtInit;
    ZK::IZkPluginParam* params = nullptr;
    uint32_t resets = 0;
    uint32_t executes = 0;
    uint32_t timeSkips = 0;
    uint32_t seeks = 0;
    uint32_t seekTarget = 0;
    uint32_t stopLoopings = 0;
    uint32_t live = 0;
    // The context's answers, read at Init.
    ZkGameObjectID gameObject = 0;
    uint16_t loops = 0;
    ZkUniqueID nodeID = 0;
    ZkPlayingID playingID = 0;
    void* cookie = nullptr;
    int8_t priority = 0;
    float pitchRatio = 0.0f;
    ZKRESULT monitor = ZK_Success;
    ZKRESULT outputID = ZK_Success;
    ZKRESULT parentConfigResult = ZK_Success;
    uint32_t parentConfigWord = 1;
    float downstreamGain = 0.0f;
    bool canMonitor = true;
    uint32_t customData = 1;
    const void* customDataPointer = &customData;
    bool globalContext = false;
    bool runtimeEnvironment = false;
    const uint8_t* media0 = nullptr;
    uint32_t media0Size = 0;
    const uint8_t* media1 = nullptr;
    uint32_t emitterCount = 0;
    uint32_t rayCount = 0;
    ZkTransform emitter0{};
    ZKRESULT emitter0Result = ZK_Success;
    uint32_t listenerCount = 0;
    ZkGameObjectID listener0 = 0;
    ZkTransform listener0Data{};
    ZKRESULT listener0Result = ZK_Success;
};

inline ProbeScript g_script;
inline ProbeLog g_log;

class ProbeSource final : public ZK::IZkSourcePlugin
{
public:
    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = ZK_PLUGIN_MALLOC(allocator, sizeof(ProbeSource));
        return memory != nullptr ? new (memory) ProbeSource : nullptr;
    }
    static ZK::IZkPlugin* CreateNothing(ZK::IZkPluginMemAlloc*) { return nullptr; }

    ProbeSource() { ++g_log.live; }
    ~ProbeSource() override { --g_log.live; }

    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        this->~ProbeSource();
        ZK_PLUGIN_FREE(allocator, this);
        return ZK_Success;
    }
    ZKRESULT Reset() override
    {
        ++g_log.resets;
        return g_script.resetResult;
    }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info.type = g_script.infoType;
        info.buildVersion = g_script.buildVersion;
        return ZK_Success;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkSourcePluginContext* context, ZK::IZkPluginParam* params,
                  ZkAudioFormat& format) override
    {
        g_log.formatAtInit = format;
        g_log.params = params;
        ReadContexts(*context);
        if (g_script.stereoDerived)
        {
            // Stereo float, the block align (still 4) left to the host through bit 18.
            format.channelConfig = ZkChannelConfig{ZkChannelConfig::kStereoWord};
            format.formatBits |= ZkAudioFormat::kDeriveBlockAlign;
        }
        return g_script.initResult;
    }
    float GetDuration() const override { return g_script.durationMs; }
    float GetEnvelope() const override { return g_script.envelope; }
    ZKRESULT StopLooping() override
    {
        ++g_log.stopLoopings;
        return ZK_Success;
    }
    ZKRESULT Seek(uint32_t frame) override
    {
        ++g_log.seeks;
        g_log.seekTarget = frame;
        return ZK_Success;
    }
    ZKRESULT TimeSkip(uint32_t&) override
    {
        ++g_log.timeSkips;
        return g_script.timeSkipResult;
    }
    void Execute(ZkAudioBuffer* buffer) override
    {
        ++g_log.executes;
        std::memset(buffer->data, 0, size_t{buffer->maxFrames} * 4 * buffer->NumChannels());
        buffer->validFrames = buffer->maxFrames;
        buffer->state = g_script.executeState;
    }

private:
    static void ReadContexts(ZK::IZkSourcePluginContext& context)
    {
        g_log.globalContext = context.GetGlobalContext() != nullptr;
        g_log.runtimeEnvironment = context.GetRuntimeEnvironment() != nullptr;
        g_log.gameObject = context.GetGameObjectID();
        g_log.loops = context.GetNumLoops();
        g_log.nodeID = context.GetNodeID();
        g_log.cookie = context.GetCookie();
        g_log.monitor = context.PostMonitorData(nullptr, 0);
        ZkUniqueID output = 0;
        g_log.outputID = context.GetOutputID(output);
        ZkChannelConfig parent{0x1234};
        g_log.parentConfigResult = context.GetParentChannelConfig(parent);
        g_log.parentConfigWord = parent.word;
        g_log.downstreamGain = context.GetDownstreamGain();
        g_log.canMonitor = context.CanPostMonitorData();
        uint32_t size = 5;
        g_log.customData = context.GetPluginCustomData(g_log.customDataPointer, size);
        context.GetPluginMedia(0, g_log.media0, g_log.media0Size);
        uint32_t size1 = 0;
        context.GetPluginMedia(1, g_log.media1, size1);
        ZK::IZkVoicePluginContext* voice = context.GetVoiceInfo();
        g_log.playingID = voice->GetPlayingID();
        g_log.priority = voice->GetPriority();
        g_log.pitchRatio = voice->GetPitchRatio(0.0f);
        ZK::IZkGameObjectPluginContext* object = context.GetGameObjectInfo();
        g_log.emitterCount = object->GetEmitterPositionCount();
        g_log.rayCount = object->GetRayCount();
        g_log.emitter0Result = object->GetEmitterPosition(0, g_log.emitter0);
        ZkGameObjectID listeners[4] = {};
        uint32_t count = 4;
        object->GetListeners(listeners, count);
        g_log.listenerCount = count;
        g_log.listener0 = listeners[0];
        g_log.listener0Result = object->GetListenerData(listeners[0], g_log.listener0Data);
    }
};

// Registers the probe and the creator that gives nothing. 1 when both are registered.
inline ZKRESULT RegisterTestSources()
{
    g_script = ProbeScript{};
    g_log = ProbeLog{};
    const ZKRESULT probe = ZK::SoundEngine::PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSource, kTestCompany, kProbeNumber,
                                                                         &ProbeSource::Create, nullptr, nullptr);
    if (probe != ZK_Success)
        return probe;
    return ZK::SoundEngine::PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSource, kTestCompany, kNullNumber,
                                                           &ProbeSource::CreateNothing, nullptr, nullptr);
}
} // namespace ZkSourceTest
