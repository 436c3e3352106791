// Shared by the spatial sink's tests: a sink context that keeps the monitor messages the sink posts
// and counts its wake-ups of the engine thread; the system sink made through the registry for the
// system output (0xAE0007) with spatial parameters set by SetParam and started on a bare device's
// context; and a fixture whose "speakers" endpoint offers spatial sound, with the worker's passes
// run on the test thread (ServiceSpatialStream) unless a test starts the real worker.
#pragma once

#include "SystemSinkTestSupport.h"

#include "ZkAudiolib/Common/Output/CZkSinkContext.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Voice/Neighbours/ZkAudioObjects.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <atomic>
#include <string>
#include <vector>

namespace ZkSpatialTest
{
using namespace ZkSinkTest;

constexpr uint32_t kSystemOutputKey = 0xAE0007;
constexpr ZkChannelConfig kBed{0x2D63F10C};
constexpr ZkChannelConfig kObjectsConfig{ZkChannelConfigType_Objects << 8};
// The static objects of the bed in interleaved 7.1.4 order.
constexpr uint32_t kBedTypes[12] = {0x2, 0x4, 0x8, 0x10, 0x80, 0x100, 0x20, 0x40, 0x200, 0x400, 0x800, 0x1000};

struct Message
{
    std::string text;
    uint32_t level = 0;
};

// The device's own context, keeping what the sink posts and waking a test event instead of the
// engine thread.
class RecordingContext final : public ZK::IZkSinkPluginContext
{
public:
    RecordingContext() : m_inner(m_device) { m_wake.Init(ZK::Platform::EventReset::Auto); }
    void SetOutputID(uint32_t deviceID, uint32_t pluginID) { m_inner.SetOutputID(deviceID, pluginID); }

    ZK::IZkGlobalPluginContext* GlobalContext() const override { return m_inner.GlobalContext(); }
    ZKRESULT GetOutputID(uint32_t& deviceID, uint32_t& pluginID) const override
    {
        return m_inner.GetOutputID(deviceID, pluginID);
    }
    ZKRESULT PostMonitorMessage(const char* message, uint32_t level) override
    {
        messages.push_back({message, level});
        return m_inner.PostMonitorMessage(message, level);
    }
    float GetDownstreamGain() const override { return 1.0f; }
    ZKRESULT GetParentChannelConfig(ZkChannelConfig& config) const override { return m_inner.GetParentChannelConfig(config); }
    ZK::IZkRuntimeEnvironment* GetRuntimeEnvironment() const override { return m_inner.GetRuntimeEnvironment(); }
    bool IsMainDevice() const override { return false; }
    ZKRESULT SignalEngineThread() override
    {
        wakes.fetch_add(1, std::memory_order_relaxed);
        m_wake.Set();
        return ZK_Success;
    }
    uint16_t NumRefillBuffers() const override { return m_inner.NumRefillBuffers(); }
    ZKRESULT ComputeSpeakerMatrix(ZkChannelConfig input, ZkChannelConfig output, float* matrix) override
    {
        return m_inner.ComputeSpeakerMatrix(input, output, matrix);
    }
    // Waits for the worker's next wake-up of the engine (false after the deadline).
    bool WaitForWake(uint32_t deadlineMs) { return m_wake.Wait(deadlineMs); }

    std::vector<Message> messages; // engine thread only
    std::atomic<uint32_t> wakes{0};

private:
    CZkOutputDevice m_device;
    CZkSinkContext m_inner;
    ZK::Platform::ZkEvent m_wake;
};

// The spatial parameters as a share set's would set them.
struct SpatialParams
{
    uint8_t enable = 1;
    uint32_t mainConfig = 0x2D63F10C;
    uint8_t limitGiven = 1;
    uint16_t objectLimit = 32;
};

// The system output's sink made through the registry and started with its parameters.
class SpatialSink
{
public:
    explicit SpatialSink(const SpatialParams& wanted = {}, ZkChannelConfig requested = {}, uint32_t deviceID = 0)
    {
        params = static_cast<CZkSinkParamsSpatial*>(CZkSinkParamsSpatial::Create(&CZkPluginMemAlloc::ForParameters()));
        params->SetParam(CZkSinkParamsSpatial::Param_Enable, &wanted.enable, 1);
        params->SetParam(CZkSinkParamsSpatial::Param_MainConfig, &wanted.mainConfig, 4);
        params->SetParam(CZkSinkParamsSpatial::Param_LimitGiven, &wanted.limitGiven, 1);
        params->SetParam(CZkSinkParamsSpatial::Param_ObjectLimit, &wanted.objectLimit, 2);
        ZK::IZkPlugin* instance = nullptr;
        ZK::ZkPluginInfo info;
        EXPECT_EQ(PluginRegistry::CreatePlugin(kSystemOutputKey, instance, &CZkPluginMemAlloc::ForInstances(), info),
                  ZK_Success);
        m_sink = dynamic_cast<CZkSinkCoreAudio*>(instance);
        context.SetOutputID(deviceID, kSystemOutputKey);
        config = requested;
        result = m_sink->Init(&CZkPluginMemAlloc::ForInstances(), &context, params, config);
    }
    ~SpatialSink()
    {
        m_sink->Term(&CZkPluginMemAlloc::ForInstances());
        params->Term(&CZkPluginMemAlloc::ForParameters());
    }
    SpatialSink(const SpatialSink&) = delete;
    SpatialSink& operator=(const SpatialSink&) = delete;
    CZkSinkCoreAudio* operator->() { return m_sink; }
    CZkSinkCoreAudio* Get() { return m_sink; }

    RecordingContext context;
    CZkSinkParamsSpatial* params = nullptr;
    ZkChannelConfig config;
    ZKRESULT result = ZK_Fail;

private:
    CZkSinkCoreAudio* m_sink = nullptr;
};

// A planar buffer of its own samples.
struct OwnedBuffer
{
    std::vector<float> samples;
    ZkAudioBuffer buffer;

    OwnedBuffer(ZkChannelConfig config, uint16_t frames = kFrames)
    {
        samples.assign(static_cast<size_t>(config.NumChannels()) * frames, 0.0f);
        buffer.AttachData(samples.data(), frames, config);
        buffer.state = ZK_DataReady;
    }
    float* Channel(uint32_t channel) { return buffer.GetChannel(channel); }
};

class SpatialSinkTest : public SystemSinkTest
{
protected:
    void SetUp() override
    {
        SystemSinkTest::SetUp();
        CZkSinkCoreAudio::SetWorkerOnCaller(true);
        Offer(64);
    }
    void TearDown() override
    {
        ZK::MemoryMgr::FaultInjection::Disarm();
        CZkSinkCoreAudio::SetWorkerOnCaller(false);
        CZkSinkCoreAudio::SetWorkerWaitMs(CZkSinkCoreAudio::kWorkerWaitMs);
        const VirtualSpatialCapture capture = m_system->SpatialCapture(kSpeakers);
        EXPECT_EQ(capture.openClients, 0u) << "the spatial client was released";
        EXPECT_EQ(capture.openStreams, 0u) << "the spatial stream was released";
        for (const VirtualObjectCapture& object : capture.objects)
            EXPECT_TRUE(object.released) << "object of type " << object.type << " released";
        SystemSinkTest::TearDown();
    }
    // The speakers offer that many dynamic objects (0: spatial sound not enabled).
    void Offer(uint32_t objects, uint32_t available = VirtualSpatialSettings::kAllOffered)
    {
        VirtualSpatialSettings spatial;
        spatial.maxDynamicObjects = objects;
        spatial.availableDynamicObjects = available;
        m_system->SetSpatial(kSpeakers, spatial);
    }
    // The clock plays frames and the worker's pass runs on this thread.
    void Update(SpatialSink& sink, uint32_t frames = kFrames)
    {
        m_system->Advance(frames);
        sink->ServiceSpatialStream(0);
    }
    VirtualSpatialCapture Spatial() { return m_system->SpatialCapture(kSpeakers); }
    // The capture of the static object of a type.
    static const VirtualObjectCapture* StaticObject(const VirtualSpatialCapture& capture, uint32_t type)
    {
        for (const VirtualObjectCapture& object : capture.objects)
            if (object.type == type)
                return &object;
        return nullptr;
    }
    // The captures of the dynamic objects, in activation order.
    static std::vector<const VirtualObjectCapture*> DynamicObjects(const VirtualSpatialCapture& capture)
    {
        std::vector<const VirtualObjectCapture*> found;
        for (const VirtualObjectCapture& object : capture.objects)
            if (object.type == kAudioObjectTypeDynamic)
                found.push_back(&object);
        return found;
    }
};
} // namespace ZkSpatialTest
