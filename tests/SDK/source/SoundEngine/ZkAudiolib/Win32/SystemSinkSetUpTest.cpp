// The system sink's set-up, as a table of endpoints and policies against Init's result, and the
// sink's own answers: the stream category and role by device kind, the format negotiated, the
// padding arithmetic of IsDataNeeded, a main mix matrixed onto a wider endpoint, and the plain
// mode of a sink asked for spatial audio where none is offered.
#include "SystemSinkTestSupport.h"

#include "ZkAudiolib/Common/Output/CZkSinkContext.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>
#include <ZK/SoundEngine/Common/ZkPlatformDevices.h>

#include <Platform/PlatformText.h>

#include <functional>

using namespace ZkSinkTest;

namespace
{
constexpr wchar_t kHeadset[] = L"{0.0.0.00000000}.{headset}";

// A sink made through the registry for a device kind and started on a bare device's context.
class SinkUnderTest
{
public:
    SinkUnderTest(uint32_t kind, uint32_t deviceID = 0, ZkChannelConfig config = {}, ZK::IZkPluginParam* params = nullptr)
        : m_context(m_device)
    {
        const uint32_t key = ZK::ZkMakePluginKey(ZK::ZkPluginTypeSink, 0, kind);
        ZK::IZkPlugin* instance = nullptr;
        ZK::ZkPluginInfo info;
        EXPECT_EQ(PluginRegistry::CreatePlugin(key, instance, &CZkPluginMemAlloc::ForInstances(), info), ZK_Success);
        m_sink = dynamic_cast<CZkSinkCoreAudio*>(instance);
        m_context.SetOutputID(deviceID, key);
        m_config = config;
        result = m_sink->Init(&CZkPluginMemAlloc::ForInstances(), &m_context, params, m_config);
    }
    ~SinkUnderTest() { m_sink->Term(&CZkPluginMemAlloc::ForInstances()); }
    CZkSinkCoreAudio* operator->() { return m_sink; }
    ZkChannelConfig Config() const { return m_config; }

    ZKRESULT result = ZK_Fail;

private:
    CZkOutputDevice m_device;
    CZkSinkContext m_context;
    CZkSinkCoreAudio* m_sink = nullptr;
    ZkChannelConfig m_config;
};

class SystemSinkSetUp : public SystemSinkTest
{
protected:
    // A stereo planar buffer of the engine's frames, every sample 0.25.
    ZkAudioBuffer& Mix()
    {
        m_samples.assign(2 * kFrames, 0.25f);
        m_mix.AttachData(m_samples.data(), kFrames, kStereo);
        return m_mix;
    }
    std::vector<float> m_samples;
    ZkAudioBuffer m_mix;
};

// Each endpoint failure ends the sink's Init with the Part's result; the device then waits on
// the base sink (state 0) and the status callback has the code.
TEST_F(SystemSinkSetUp, EveryEndpointFailureGivesItsResultAndTheDeviceWaitsOnTheBaseSink)
{
    struct Case
    {
        const char* name;
        std::function<void(VirtualAudioSystem&, VirtualEndpointPolicy&)> arrange;
        uint32_t deviceID;
        ZKRESULT result;
    };
    const Case cases[] = {
        {"activation fails", [](auto&, auto& policy) { policy.failActivate = true; }, 0, ZK_Fail},
        {"no mix format", [](auto&, auto& policy) { policy.failGetMixFormat = true; }, 0, ZK_Fail},
        {"every format refused", [](auto&, auto& policy) { policy.refuseEveryFormat = true; }, 0, ZK_Fail},
        {"initialisation fails", [](auto&, auto& policy) { policy.failInitialize = true; }, 0, ZK_Fail},
        {"start fails", [](auto&, auto& policy) { policy.failStart = true; }, 0, ZK_Fail},
        {"no default endpoint", [](auto& system, auto&) { system.SetDefaultEndpoint(DeviceRole::Console, L""); }, 0,
         ZK_DeviceNotFound},
        {"default endpoint disabled",
         [](auto& system, auto&) { system.SetEndpointState(kSpeakers, kDeviceStateDisabled); }, 0, ZK_DeviceNotFound},
        {"unknown device id", [](auto&, auto&) {}, 0x1234, ZK_Fail},
    };
    for (const Case& row : cases)
    {
        SCOPED_TRACE(row.name);
        VirtualEndpointPolicy policy;
        row.arrange(*m_system, policy);
        m_system->SetPolicy(kSpeakers, policy);
        g_statusEvents.clear();
        CZkOutputDevice* device = StartMainOutput(Settings(0, row.deviceID));
        ASSERT_NE(device, nullptr);
        EXPECT_FALSE(device->RunsRealSink());
        EXPECT_EQ(device->GetState(), CZkOutputDevice::State_OnBaseSink);
        ASSERT_GE(g_statusEvents.size(), 1u);
        EXPECT_EQ(g_statusEvents[0].event, ZkAudioDeviceEvent_Initialization);
        EXPECT_EQ(g_statusEvents[0].result, row.result);
        EXPECT_EQ(m_system->Capture(kSpeakers).openStreams, 0u) << "nothing left open";
        CZkOutputDeviceMgr::TermDevices();
        m_system->SetEndpointState(kSpeakers, kDeviceStateActive);
        m_system->SetDefaultEndpoint(DeviceRole::Console, kSpeakers);
    }
}

TEST_F(SystemSinkSetUp, AnEndpointWithoutADeviceFormatCannotBeOpened)
{
    CZkMMDeviceNotifier::ReleaseShared();
    VirtualEndpointSettings bare = Speakers();
    bare.id = L"bare";
    bare.hasDeviceFormat = false;
    m_system->AddEndpoint(bare);
    SinkUnderTest sink(CZkSinkCoreAudio::Kind_SystemOutput, GetIDFromString(L"bare"));
    EXPECT_EQ(sink.result, ZK_Fail);
}

// The kinds' stream categories and roles: 176 opens the communications role's default endpoint;
// every stream asks not to be ducked.
TEST_F(SystemSinkSetUp, EachDeviceKindHasItsCategoryAndRole)
{
    VirtualEndpointSettings headset = Speakers();
    headset.id = kHeadset;
    m_system->AddEndpoint(headset);
    m_system->SetDefaultEndpoint(DeviceRole::Communications, kHeadset);
    struct Case
    {
        uint32_t kind;
        uint32_t category;
        const wchar_t* endpoint;
    };
    const Case cases[] = {
        {174, kStreamCategoryGameEffects, kSpeakers}, {175, kStreamCategoryGameMedia, kSpeakers},
        {176, kStreamCategoryGameChat, kHeadset},     {177, kStreamCategoryGameChat, kSpeakers},
        {179, kStreamCategoryGameEffects, kSpeakers}, {180, kStreamCategoryGameEffects, kSpeakers},
    };
    for (const Case& row : cases)
    {
        SCOPED_TRACE(row.kind);
        SinkUnderTest sink(row.kind);
        ASSERT_EQ(sink.result, ZK_Success);
        EXPECT_EQ(sink->EndpointID(), GetIDFromString(row.endpoint));
        const VirtualEndpointCapture capture = m_system->Capture(row.endpoint);
        ASSERT_TRUE(capture.hasProperties);
        EXPECT_EQ(capture.properties.category, row.category);
        EXPECT_EQ(capture.properties.isOffload, 0u);
        EXPECT_EQ(capture.duckingOptOut, 1);
    }
}

// The endpoint's device format names its layout; a mix format of another channel count is asked
// for in that layout, and the endpoint's answer decides: supported, a closest match (taken as
// extensible float), or refused (the mix format).
TEST_F(SystemSinkSetUp, TheStreamFormatFollowsTheEndpointsLayoutWhenTheEndpointAgrees)
{
    struct Case
    {
        const wchar_t* id;
        uint16_t deviceFormatChannels;
        bool mixExtensible;
        bool refuseOtherCounts;
        bool closest;
        ZkChannelConfig device;
    };
    const ZkChannelConfig fivePointOne = ZkChannelConfig::FromMask(0x60F);
    const ZkChannelConfig quad = ZkChannelConfig::FromMask(0x603);
    const Case cases[] = {
        {L"same count", 2, true, false, false, kStereo},
        {L"plain mix format", 2, false, false, false, kStereo},
        {L"wider, supported", 6, true, false, false, fivePointOne},
        {L"wider, refused", 6, true, true, false, kStereo},
        {L"wider, closest match", 6, true, true, true, quad},
    };
    for (const Case& row : cases)
    {
        VirtualEndpointSettings endpoint = Speakers();
        endpoint.id = row.id;
        endpoint.deviceFormatChannels = row.deviceFormatChannels;
        endpoint.mixFormatExtensible = row.mixExtensible;
        m_system->AddEndpoint(endpoint);
        VirtualEndpointPolicy policy;
        policy.refuseOtherChannelCounts = row.refuseOtherCounts;
        policy.offerClosestMatch = row.closest;
        policy.closestMatch = MakePlainFloatFormat(kEngineRate, 4);
        m_system->SetPolicy(row.id, policy);
    }
    for (const Case& row : cases)
    {
        SCOPED_TRACE(ZK::Platform::WideToUtf8(std::wstring(row.id)));
        SinkUnderTest sink(CZkSinkCoreAudio::Kind_SystemOutput, GetIDFromString(row.id));
        ASSERT_EQ(sink.result, ZK_Success);
        EXPECT_EQ(sink->DeviceConfig(), row.device);
        EXPECT_EQ(sink.Config(), row.device) << "no configuration asked: the device's own";
        const VirtualEndpointCapture capture = m_system->Capture(row.id);
        ASSERT_EQ(capture.initializeCalls.size(), 1u);
        const WaveFormat& format = capture.initializeCalls[0].format;
        EXPECT_TRUE(IsExtensible(format));
        EXPECT_TRUE(IsFloat32(format));
        EXPECT_EQ(format.channels, row.device.NumChannels());
        EXPECT_EQ(format.channelMask, row.device.Mask());
        EXPECT_EQ(format.validBitsPerSample, 32u);
    }
}

// Buffers = (endpoint buffer frames - padding) / frames per buffer, in whole buffers.
TEST_F(SystemSinkSetUp, IsDataNeededCountsTheWholeBuffersThatFitInTheFreeRoom)
{
    SinkUnderTest sink(CZkSinkCoreAudio::Kind_SystemOutput);
    ASSERT_EQ(sink.result, ZK_Success);
    ASSERT_EQ(sink->EndpointBufferFrames(), 4096u);
    struct Step
    {
        uint32_t write;   // buffers written first
        uint32_t advance; // frames then played
        uint32_t buffers; // then wanted
    };
    const Step steps[] = {{0, 0, 4}, {1, 0, 3}, {3, 0, 0}, {0, 1023, 0}, {0, 1, 1}, {0, 2048, 3}, {3, 4096, 4}};
    for (const Step& step : steps)
    {
        for (uint32_t buffer = 0; buffer < step.write; ++buffer)
        {
            EXPECT_EQ(sink->Consume(&Mix(), nullptr, nullptr, ZkRamp()), kFrames);
            sink->DataReady();
        }
        m_system->Advance(step.advance);
        uint32_t buffers = 99;
        EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
        EXPECT_EQ(buffers, step.buffers) << "after " << step.write << " written, " << step.advance << " played";
    }
    EXPECT_EQ(m_system->Capture(kSpeakers).underrunFrames, 0u);
}

// A stereo main mix on a 5.1 endpoint goes through the direct speaker matrix: the fronts carry
// the pair, the other speakers stay silent.
TEST_F(SystemSinkSetUp, AMainMixOfAnotherLayoutIsMatrixedOntoTheEndpoint)
{
    VirtualEndpointSettings wide = Speakers();
    wide.id = L"wide";
    wide.deviceFormatChannels = 6;
    m_system->AddEndpoint(wide);
    CZkMMDeviceNotifier::ReleaseShared();
    SinkUnderTest sink(CZkSinkCoreAudio::Kind_SystemOutput, GetIDFromString(L"wide"), kStereo);
    ASSERT_EQ(sink.result, ZK_Success);
    EXPECT_EQ(sink.Config(), kStereo) << "the engine renders what it asked for";
    EXPECT_EQ(sink->DeviceConfig(), ZkChannelConfig::FromMask(0x60F));
    ZK::Zk3DAudioSinkCapabilities capabilities;
    EXPECT_EQ(sink->GetCapabilities(capabilities), ZK_Success);
    EXPECT_EQ(capabilities.channelConfig, kStereo);
    EXPECT_EQ(capabilities.passthrough, 0u);

    ZkAudioBuffer& mix = Mix();
    std::fill_n(mix.GetChannel(1), kFrames, -0.5f);
    sink->Consume(&mix, nullptr, nullptr, ZkRamp());
    sink->DataReady();
    const VirtualEndpointCapture capture = m_system->Capture(L"wide");
    ASSERT_EQ(capture.written.size(), 6u * kFrames);
    for (uint32_t frame = 0; frame < kFrames; frame += 97)
    {
        const float* samples = &capture.written[6u * frame];
        EXPECT_NEAR(samples[0], 0.25f, 1e-6f) << "front left";
        EXPECT_NEAR(samples[1], -0.5f, 1e-6f) << "front right";
        EXPECT_EQ(samples[3], 0.0f) << "LFE";
        EXPECT_EQ(samples[4], 0.0f) << "back left";
        EXPECT_EQ(samples[5], 0.0f) << "back right";
    }
}

// Spatial audio asked for by the parameters of an endpoint that offers no dynamic objects: the
// sink runs plain in the endpoint's layout; the parameters' changed set is read at Init, and a change afterwards
// makes the sink report itself lost so that it is set up again.
TEST_F(SystemSinkSetUp, ASinkAskedForSpatialAudioRunsPlainAndAChangeOfParametersResetsIt)
{
    auto* params = static_cast<CZkSinkParamsSpatial*>(CZkSinkParamsSpatial::Create(&CZkPluginMemAlloc::ForParameters()));
    ASSERT_NE(params, nullptr);
    params->enable = 1;
    params->changed = 0x3;
    {
        SinkUnderTest sink(CZkSinkCoreAudio::Kind_SystemOutput, 0, {}, params);
        ASSERT_EQ(sink.result, ZK_Success);
        EXPECT_EQ(sink.Config(), kStereo) << "plain: not objects";
        EXPECT_EQ(params->changed, 0u);
        uint32_t buffers = 0;
        EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
        const uint8_t enable = 0;
        EXPECT_EQ(params->SetParam(CZkSinkParamsSpatial::Param_Enable, &enable, 1), ZK_Success);
        sink->DataReady();
        EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Fail);
        EXPECT_EQ(params->changed, 0u);
    }
    params->Term(&CZkPluginMemAlloc::ForParameters());
    EXPECT_EQ(GetDeviceSpatialAudioSupport(GetIDFromString(kSpeakers)), ZK_NotImplemented) << "no dynamic objects";
    EXPECT_EQ(GetDeviceSpatialAudioSupport(0x1234), ZK_Fail) << "no such endpoint";
}
} // namespace
