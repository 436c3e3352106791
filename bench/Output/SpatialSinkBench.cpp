// The system sink's frame of 1,024 frames on the virtual endpoint: in spatial mode (the engine side
// writing a 7.1.4 bed and 64 objects into their rings, and the worker's update copying them into 12
// static and 64 dynamic objects), beside the plain path a user gets without spatial sound (a
// stereo mix interleaved and written to the endpoint). Nanoseconds per frame, each side alone.
#include "Support/BenchMemory.h"
#include "Support/PeerRatios.h"

#include "ZkAudiolib/Common/Output/CZkOutputDevice.h"
#include "ZkAudiolib/Common/Output/CZkSinkContext.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Plugins/PluginRegistry.h"
#include "ZkAudiolib/Common/Voice/Neighbours/ZkAudioObjects.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"
#include "ZkAudiolib/Win32/ZkSinkCoreAudio.h"

#include <Platform/Audio/VirtualAudioSystem.h>
#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using namespace ZK::Platform;

constexpr uint16_t kFrames = 1024;
constexpr uint32_t kRate = 48000;
constexpr uint32_t kObjects = 64;
constexpr wchar_t kSpeakers[] = L"bench.speakers";
constexpr uint32_t kSystemOutputKey = 0xAE0007;

// The engine's audio format, the registry and a virtual endpoint offering 64 dynamic objects,
// made once for the program.
VirtualAudioSystem& Audio()
{
    static VirtualAudioSystem* s_audio = [] {
        EnsureMemoryMgr();
        SetAudioFormatGlobals(kRate, kFrames);
        StorePlatformInitSettings(nullptr);
        if (!EngineWakeEvent::Create() || PluginRegistry::Init(nullptr) != ZK_Success)
            std::abort();
        auto* audio = new VirtualAudioSystem;
        InstallEndpointProvider(audio);
        VirtualEndpointSettings speakers;
        speakers.id = kSpeakers;
        speakers.friendlyName = L"Bench speakers";
        audio->AddEndpoint(speakers);
        VirtualSpatialSettings spatial;
        spatial.maxDynamicObjects = kObjects;
        spatial.captureSamples = false;
        audio->SetSpatial(kSpeakers, spatial);
        CZkSinkCoreAudio::SetWorkerOnCaller(true);
        return audio;
    }();
    return *s_audio;
}

// A system sink on the bench's endpoint, spatial or plain, and the buffers it is fed.
class SinkFrame
{
public:
    explicit SinkFrame(bool spatial) : m_context(m_device)
    {
        Audio();
        m_params = static_cast<CZkSinkParamsSpatial*>(CZkSinkParamsSpatial::Create(&CZkPluginMemAlloc::ForParameters()));
        m_params->enable = spatial ? 1 : 0;
        ZK::IZkPlugin* instance = nullptr;
        ZK::ZkPluginInfo info;
        PluginRegistry::CreatePlugin(kSystemOutputKey, instance, &CZkPluginMemAlloc::ForInstances(), info);
        m_sink = dynamic_cast<CZkSinkCoreAudio*>(instance);
        m_context.SetOutputID(0, kSystemOutputKey);
        ZkChannelConfig config;
        if (m_sink == nullptr || m_sink->Init(&CZkPluginMemAlloc::ForInstances(), &m_context, m_params, config) != ZK_Success ||
            m_sink->IsSpatial() != spatial)
            std::abort();
        const ZkChannelConfig main = spatial ? ZkChannelConfig(CZkSinkCoreAudio::kBedConfigWord) : config;
        m_mainSamples.assign(main.NumChannels() * kFrames, 0.25f);
        m_main.AttachData(m_mainSamples.data(), kFrames, main);
        m_objectSamples.assign(kObjects * kFrames, 0.5f);
        for (uint32_t i = 0; spatial && i < kObjects; ++i)
        {
            ZkAudioObject object;
            object.buffer.AttachData(&m_objectSamples[i * kFrames], kFrames, ZkChannelConfig::FromMask(0x4));
            object.buffer.state = ZK_DataReady;
            object.key = 1000 + i;
            object.gain = ZkRamp(0.5f, 0.5f);
            m_list.push_back(object);
        }
        m_objects = ZkAudioObjects{m_list.data(), static_cast<uint32_t>(m_list.size()), static_cast<uint32_t>(m_list.size())};
    }
    ~SinkFrame()
    {
        m_sink->Term(&CZkPluginMemAlloc::ForInstances());
        m_params->Term(&CZkPluginMemAlloc::ForParameters());
    }
    // The engine's side of one frame.
    void Consume()
    {
        m_sink->Consume(&m_main, nullptr, m_list.empty() ? nullptr : &m_objects, ZkRamp(1.0f, 1.0f));
        m_sink->DataReady();
    }
    // The clock plays the frame; in spatial mode the worker's update follows.
    void Play()
    {
        Audio().Advance(kFrames);
        if (m_sink->IsSpatial())
            m_sink->ServiceSpatialStream(0);
        Audio().TakeCapture(kSpeakers);
    }

private:
    CZkOutputDevice m_device;
    CZkSinkContext m_context;
    CZkSinkParamsSpatial* m_params = nullptr;
    CZkSinkCoreAudio* m_sink = nullptr;
    std::vector<float> m_mainSamples;
    ZkAudioBuffer m_main;
    std::vector<float> m_objectSamples;
    std::vector<ZkAudioObject> m_list;
    ZkAudioObjects m_objects;
};

// Nanoseconds per frame of one side of the frame (the other side runs untimed).
void Measure(benchmark::State& state, bool spatial, bool timeConsume)
{
    SinkFrame frame(spatial);
    double ns = 0.0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        frame.Consume();
        auto end = std::chrono::steady_clock::now();
        if (timeConsume)
            ns += std::chrono::duration<double, std::nano>(end - start).count();
        start = std::chrono::steady_clock::now();
        frame.Play();
        end = std::chrono::steady_clock::now();
        if (!timeConsume)
            ns += std::chrono::duration<double, std::nano>(end - start).count();
        frames += kFrames;
    }
    state.counters["ns_per_frame"] = benchmark::Counter(ns / static_cast<double>(frames));
}

void SpatialConsume(benchmark::State& state) { Measure(state, true, true); }
void PlainConsume(benchmark::State& state) { Measure(state, false, true); }
void SpatialUpdate(benchmark::State& state) { Measure(state, true, false); }
void PlainWrite(benchmark::State& state) { Measure(state, false, false); }

const bool s_registered = [] {
    PeerBench::PeerRuns("SinkConsume/bed_and_64_objects", "ours", SpatialConsume);
    PeerBench::PeerRuns("SinkConsume/bed_and_64_objects", "plain_stereo", PlainConsume);
    PeerBench::PeerRuns("SinkUpdate/12_static_64_dynamic", "ours", SpatialUpdate);
    PeerBench::PeerRuns("SinkUpdate/12_static_64_dynamic", "plain_stereo", PlainWrite);
    return true;
}();
} // namespace
