// The spatial stream's set-up as a table on the virtual spatial client: the parameters' object
// limit, the platform's object bound, what the client offers and each call that fails, against
// Init's result, the message and its level, the mode the sink runs in, the dynamic objects allowed
// and activated; and the device query of spatial support.
#include "SpatialSinkTestSupport.h"

#include <ZK/SoundEngine/Common/ZkPlatformDevices.h>

#include <functional>

using namespace ZkSpatialTest;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;

namespace
{
constexpr const char* kNone = "";
constexpr const char* kNotEnabled = "Microsoft Spatial Sound not enabled by user.";
constexpr const char* kSystemBelow =
    "System does not meet minimum requirement for System Audio Objects. System Audio Objects will be mixed.";
constexpr const char* kSettingBelow =
    "ZkPlatformInitSettings::uMaxSystemAudioObjects does not meet minimum requirement for System Audio Objects. "
    "System Audio Objects will be mixed.";
constexpr const char* kNoFormats = "Microsoft Spatial Sound: No supported formats.";

struct SetUpCase
{
    const char* name;
    uint8_t limitGiven = 1;
    uint16_t objectLimit = 32;
    uint32_t settingMax = 128;
    uint32_t offered = 64;
    std::function<void(VirtualSpatialPolicy&, VirtualSpatialSettings&)> arrange = nullptr;
    // What comes out.
    ZKRESULT result = ZK_Success;
    const char* message = kNone;
    uint32_t level = 0;
    bool spatial = true;
    uint32_t allowed = 0;
    uint32_t records = 0;
    ZkMemoryId armPool = -1; // the first allocation of that pool in Init fails
};

class SpatialSetUp : public SpatialSinkTest
{
protected:
    void Check(const SetUpCase& row)
    {
        SCOPED_TRACE(row.name);
        ZkPlatformInitSettings settings;
        FillDefaultPlatformInitSettings(settings);
        settings.uMaxSystemAudioObjects = row.settingMax;
        StorePlatformInitSettings(&settings);
        // Each row on an endpoint of its own: its calls are counted from the first.
        VirtualEndpointSettings endpoint = Speakers();
        endpoint.id = L"row " + std::to_wstring(++m_rows);
        m_system->AddEndpoint(endpoint);
        CZkMMDeviceNotifier::ReleaseShared(); // lists the new endpoint when it is made again
        CZkMMDeviceNotifier::AcquireShared();
        VirtualSpatialSettings spatial;
        spatial.maxDynamicObjects = row.offered;
        VirtualSpatialPolicy policy;
        if (row.arrange)
            row.arrange(policy, spatial);
        m_system->SetSpatial(endpoint.id, spatial);
        m_system->SetSpatialPolicy(endpoint.id, policy);
        if (row.armPool >= 0)
            FaultInjection::FailNth(row.armPool, 1);

        SpatialParams params;
        params.limitGiven = row.limitGiven;
        params.objectLimit = row.objectLimit;
        {
            SpatialSink sink(params, {}, GetIDFromString(endpoint.id.c_str()));
            if (row.armPool >= 0)
            {
                EXPECT_EQ(FaultInjection::FailedAllocations(), 1u);
                FaultInjection::Disarm();
            }
            EXPECT_EQ(sink.result, row.result);
            if (row.message[0] == '\0')
            {
                EXPECT_TRUE(sink.context.messages.empty()) << sink.context.messages.front().text;
            }
            else
            {
                ASSERT_EQ(sink.context.messages.size(), 1u);
                EXPECT_EQ(sink.context.messages[0].text, row.message);
                EXPECT_EQ(sink.context.messages[0].level, row.level);
            }
            if (row.result == ZK_Success)
            {
                EXPECT_EQ(sink->IsSpatial(), row.spatial);
                EXPECT_EQ(sink.config, row.spatial ? kObjectsConfig : kStereo)
                    << "objects in spatial mode, else the device's own layout";
                EXPECT_EQ(sink->MaxDynamicObjects(), row.allowed);
                EXPECT_EQ(sink->ActivatedObjects(), row.records);
                EXPECT_EQ(sink->RecordCount(), row.records);
                ZK::Zk3DAudioSinkCapabilities capabilities;
                sink->GetCapabilities(capabilities);
                EXPECT_EQ(capabilities.passthrough, row.spatial ? 1u : 0u);
                EXPECT_EQ(capabilities.maxSystemAudioObjects, row.allowed);
                EXPECT_EQ(capabilities.numSystemAudioObjectsAvailable, row.records);
                EXPECT_EQ(capabilities.channelConfig, row.spatial ? kBed : kStereo);
            }
            const VirtualSpatialCapture capture = m_system->SpatialCapture(endpoint.id);
            if (row.spatial && row.result == ZK_Success)
            {
                ASSERT_EQ(capture.streamActivations.size(), 1u);
                EXPECT_EQ(capture.streamActivations[0].maxDynamicObjectCount, row.allowed);
                EXPECT_EQ(capture.streamActivations[0].staticObjectTypeMask, 0x1FFEu);
                EXPECT_EQ(capture.streamActivations[0].minDynamicObjectCount, 0u);
                EXPECT_EQ(capture.streamActivations[0].category, kStreamCategoryGameEffects);
                EXPECT_EQ(capture.streamActivations[0].notifyObject, nullptr);
                EXPECT_EQ(capture.starts, 1u);
                EXPECT_EQ(DynamicObjects(capture).size(), row.records);
            }
        }
        const VirtualSpatialCapture capture = m_system->SpatialCapture(endpoint.id);
        EXPECT_EQ(m_system->Capture(endpoint.id).openStreams, 0u);
        EXPECT_EQ(capture.openClients, 0u);
        EXPECT_EQ(capture.openStreams, 0u);
        for (const VirtualObjectCapture& object : capture.objects)
            EXPECT_TRUE(object.released);
    }

    uint32_t m_rows = 0;
};

TEST_F(SpatialSetUp, TheObjectCountsTheClientAndEachFailureDecideTheModeAndTheMessage)
{
    auto failAt = [](SpatialCall call, uint32_t n) {
        return [call, n](VirtualSpatialPolicy& policy, VirtualSpatialSettings&) { policy.FailAt(call, n); };
    };
    const SetUpCase cases[] = {
        {.name = "defaults, 64 offered", .allowed = 64, .records = 64},
        {.name = "more offered than the setting allows", .settingMax = 40, .offered = 64, .allowed = 40, .records = 40},
        {.name = "16 offered", .offered = 16, .message = kSystemBelow, .level = 1},
        {.name = "setting at 16", .settingMax = 16, .message = kSettingBelow, .level = 1},
        {.name = "no object limit", .limitGiven = 0},
        {.name = "not enabled", .offered = 0, .message = kNotEnabled, .level = 1, .spatial = false},
        {.name = "the count fails", .arrange = failAt(SpatialCall::GetMaxDynamicObjectCount, 1), .message = kNotEnabled,
         .level = 1, .spatial = false},
        {.name = "activation fails", .arrange = failAt(SpatialCall::Activate, 1),
         .message = "Microsoft Spatial Sound: Could not activate SpatialAudioClient", .level = 2, .spatial = false},
        {.name = "no enumerator", .arrange = failAt(SpatialCall::GetFormatEnumerator, 1),
         .message = "Microsoft Spatial Sound internal error: no enumerator.", .level = 2, .spatial = false},
        {.name = "no formats", .arrange = [](auto&, VirtualSpatialSettings& spatial) { spatial.formats.clear(); },
         .message = kNoFormats, .level = 2, .spatial = false},
        {.name = "the format count fails", .arrange = failAt(SpatialCall::GetFormatCount, 1), .message = kNoFormats,
         .level = 2, .spatial = false},
        {.name = "GetFormat fails", .arrange = failAt(SpatialCall::GetFormat, 1),
         .message = "MSSpatial: No supported formats.", .level = 2, .spatial = false},
        {.name = "a stereo object format",
         .arrange = [](auto&, VirtualSpatialSettings& spatial) { spatial.formats = {MakeFloatFormat(kEngineRate, 2)}; },
         .message = kNoFormats, .level = 2, .spatial = false},
        {.name = "the stream fails", .arrange = failAt(SpatialCall::ActivateStream, 1),
         .message = "Microsoft Spatial Sound: Could not activate Spatial Audio Stream.", .level = 2, .spatial = false},
        {.name = "the available count fails", .arrange = failAt(SpatialCall::GetAvailableDynamicObjectCount, 1),
         .message = "Microsoft Spatial Sound: Could not query available objects.", .level = 2, .spatial = false},
        {.name = "the fifth dynamic object fails", .arrange = failAt(SpatialCall::ActivateDynamicObject, 5),
         .message = "Microsoft Spatial Sound: Failed to activate dynamic object. Some sounds will be mixed.",
         .level = 2, .allowed = 64, .records = 4},
        {.name = "fewer available than offered",
         .arrange = [](auto&, VirtualSpatialSettings& spatial) { spatial.availableDynamicObjects = 10; },
         .allowed = 64, .records = 10},
        {.name = "a static object fails", .arrange = failAt(SpatialCall::ActivateStaticObject, 7),
         .message = "Microsoft Spatial Sound: Failed to activate channel.", .level = 2, .spatial = false},
        {.name = "the start fails", .arrange = failAt(SpatialCall::Start, 1), .result = ZK_Fail,
         .message = "Microsoft Spatial Sound: Could not start Spatial Audio Stream.", .level = 2, .spatial = false},
    };
    for (const SetUpCase& row : cases)
        Check(row);
}

// Out of memory in the set-up: the record array leaves the sink spatial without dynamic objects;
// the bed ring leaves it plain.
TEST_F(SpatialSetUp, RefusedAllocationsGiveUpTheObjectsOrTheSpatialMode)
{
    Check({.name = "the record array", .message =
               "Microsoft Spatial Sound: Failed to allocate memory for dynamic objects. Some sounds will be mixed.",
           .level = 2, .allowed = 64, .records = 0, .armPool = ZkMemID_Processing});
    Check({.name = "the bed ring", .spatial = false, .armPool = ZkMemID_Default});
}

// The object format must be the one the engine writes: float, one channel, the engine's rate.
TEST_F(SpatialSetUp, AnEngineAtAnotherRateThanTheObjectFormatStaysPlain)
{
    SetAudioFormatGlobals(44100, kFrames);
    Check({.name = "engine at 44.1 kHz, objects at 48 kHz", .message = kNoFormats, .level = 2, .spatial = false});
}

// A mono main mix is never spatial; parameters that do not ask for it leave the stream alone.
TEST_F(SpatialSetUp, AMonoRequestOrDisabledParametersNeverAskForTheSpatialClient)
{
    {
        SpatialSink mono({}, ZkChannelConfig::FromMask(0x4));
        EXPECT_EQ(mono.result, ZK_Success);
        EXPECT_FALSE(mono->IsSpatial());
        EXPECT_EQ(mono.config, ZkChannelConfig::FromMask(0x4));
    }
    {
        SpatialParams off;
        off.enable = 0;
        SpatialSink sink(off);
        EXPECT_FALSE(sink->IsSpatial());
    }
    EXPECT_EQ(Spatial().clientActivations.size(), 0u);
}

// The client's activation record: our application id, a tracing id of this run.
TEST_F(SpatialSetUp, TheClientIsActivatedWithTheProgramsRecord)
{
    {
        SpatialSink sink;
        ASSERT_TRUE(sink->IsSpatial());
    }
    const VirtualSpatialCapture capture = Spatial();
    ASSERT_EQ(capture.clientActivations.size(), 1u);
    EXPECT_NE(capture.clientActivations[0].applicationId, Guid{});
    EXPECT_NE(capture.clientActivations[0].tracingContextId, Guid{});
    EXPECT_EQ(capture.clientActivations[0].majorVersion, 1);
    ASSERT_EQ(capture.streamFormats.size(), 1u);
    EXPECT_EQ(capture.streamFormats[0].channels, 1u);
    EXPECT_EQ(capture.streamFormats[0].samplesPerSecond, kEngineRate);
}

TEST_F(SpatialSetUp, TheDeviceQueryAsksTheEndpointsSpatialClient)
{
    VirtualEndpointSettings plain = Speakers();
    plain.id = L"plain";
    m_system->AddEndpoint(plain);
    VirtualEndpointSettings failing = Speakers();
    failing.id = L"failing";
    m_system->AddEndpoint(failing);
    VirtualSpatialSettings offers;
    offers.maxDynamicObjects = 8;
    m_system->SetSpatial(L"failing", offers);
    VirtualSpatialPolicy policy;
    policy.FailAt(SpatialCall::Activate, 1);
    m_system->SetSpatialPolicy(L"failing", policy);

    EXPECT_EQ(GetDeviceSpatialAudioSupport(GetIDFromString(kSpeakers)), ZK_Success) << "objects offered";
    EXPECT_EQ(GetDeviceSpatialAudioSupport(GetIDFromString(L"plain")), ZK_NotImplemented) << "none offered";
    EXPECT_EQ(GetDeviceSpatialAudioSupport(0x1234), ZK_Fail) << "no such endpoint";
    EXPECT_EQ(GetDeviceSpatialAudioSupport(GetIDFromString(L"failing")), ZK_Fail) << "the activation fails";
}
} // namespace
