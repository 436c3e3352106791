// The sink parameter records, the base sink and its context, and the system output's metadata, as
// plug-ins of the registry.
#include "OutputTestSupport.h"

#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkSinkBase.h"
#include "ZkAudiolib/Common/Output/ZkSinkPluginParams.h"
#include "ZkAudiolib/Common/Output/ZkSystemOutputMeta.h"

#include <Plugins/Effects/Common/ZkPluginMemAlloc.h>

#include <cstring>

using namespace ZkOutputTest;

namespace
{
using Spatial = CZkSinkParamsSpatial;

class SinkPlugins : public OutputTest
{
protected:
    CZkPluginMemAlloc& Parameters() { return CZkPluginMemAlloc::ForParameters(); }
    CZkPluginMemAlloc& Instances() { return CZkPluginMemAlloc::ForInstances(); }
};

TEST_F(SinkPlugins, TheRegistryHasTheBaseSinkAndTheSystemOutputMetadata)
{
    PluginRegistry::Term();
    ASSERT_EQ(PluginRegistry::Init(nullptr), ZK_Success);
    ZK::IZkPlugin* instance = nullptr;
    ZK::ZkPluginInfo info;
    ASSERT_EQ(PluginRegistry::CreatePlugin(0xB50007, instance, &Instances(), info), ZK_Success);
    EXPECT_EQ(PluginRegistry::CheckPluginInfo(ZK::ZkPluginTypeSink, info), ZK_NothingToReport);
    EXPECT_NE(dynamic_cast<CZkSinkBase*>(instance), nullptr);
    instance->Term(&Instances());

    ZK::IZkPluginParam* params = nullptr;
    ASSERT_EQ(PluginRegistry::CreatePluginParam(&Parameters(), 0xB50007, params), ZK_Success);
    auto* basic = dynamic_cast<CZkSinkParamsBasic*>(params);
    ASSERT_NE(basic, nullptr);
    EXPECT_EQ(basic->channelConfig.word, 0x3102u);
    params->Term(&Parameters());

    const uint32_t metadataKey = ZK::ZkMakePluginKey(ZK::ZkPluginTypeMetadata, 0, 900);
    EXPECT_EQ(PluginRegistry::CreatePlugin(metadataKey, instance, &Instances(), info), ZK_Fail)
        << "parameters only";
    ASSERT_EQ(PluginRegistry::CreatePluginParam(&Parameters(), metadataKey, params), ZK_Success);
    auto* metadata = dynamic_cast<CZkSystemOutputMeta*>(params);
    ASSERT_NE(metadata, nullptr);
    EXPECT_EQ(metadata->flags, 0u);
    params->Term(&Parameters());
}

TEST_F(SinkPlugins, SpatialParametersMarkWhatChanged)
{
    auto* params = static_cast<Spatial*>(Spatial::Create(&Parameters()));
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(params->mainConfig.word, 0x2D63F10Cu);
    EXPECT_EQ(params->objectLimit, 32u);
    EXPECT_EQ(params->limitGiven, 1u);
    EXPECT_EQ(params->Init(&Parameters(), nullptr, 0), ZK_Success) << "an empty block keeps the defaults";
    EXPECT_EQ(params->mainConfig.word, 0x2D63F10Cu);

    uint32_t same = 0x2D63F10C;
    EXPECT_EQ(params->SetParam(Spatial::Param_MainConfig, &same, 4), ZK_Success);
    EXPECT_EQ(params->changed, 0u) << "the same configuration";
    uint32_t otherMask = 0x2D63F10C ^ 0x1000;
    EXPECT_EQ(params->SetParam(Spatial::Param_MainConfig, &otherMask, 4), ZK_Success);
    EXPECT_EQ(params->changed, 0x02u);
    const uint16_t limit = 8;
    EXPECT_EQ(params->SetParam(Spatial::Param_ObjectLimit, &limit, 2), ZK_Success);
    EXPECT_EQ(params->changed, 0x12u);
    const uint8_t on = 1;
    EXPECT_EQ(params->SetParam(Spatial::Param_Enable, &on, 1), ZK_Success);
    EXPECT_EQ(params->changed, 0x13u);
    EXPECT_EQ(params->SetParam(5, &on, 1), ZK_InvalidParameter);
    EXPECT_EQ(params->SetParam(Spatial::Param_Enable, nullptr, 1), ZK_InvalidParameter);
    EXPECT_EQ(params->SetParam(Spatial::Param_SecondConfig, &on, 1), ZK_InvalidParameter) << "too few bytes";

    auto* clone = static_cast<Spatial*>(params->Clone(&Parameters()));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->mainConfig, params->mainConfig);
    EXPECT_EQ(clone->objectLimit, 8u);
    EXPECT_EQ(clone->enable, 1u);
    EXPECT_EQ(clone->changed, 0u) << "a clone starts with nothing changed";
    clone->Term(&Parameters());

    const uint8_t block[12] = {1, 0x0C, 0x31, 0x60, 0x00, 0x02, 0x31, 0x00, 0x00, 0, 0x40, 0x00};
    EXPECT_EQ(params->SetParamsBlock(block, 12), ZK_Success);
    EXPECT_EQ(params->mainConfig.word, 0x0060310Cu);
    EXPECT_EQ(params->secondConfig.word, 0x00003102u);
    EXPECT_EQ(params->limitGiven, 0u);
    EXPECT_EQ(params->objectLimit, 64u);
    EXPECT_EQ(params->SetParamsBlock(block, 11), ZK_InvalidFile) << "a short block reads nothing";
    EXPECT_EQ(params->objectLimit, 64u);
    params->Term(&Parameters());
}

TEST_F(SinkPlugins, BasicParametersCloneAndStoreNothing)
{
    auto* params = static_cast<CZkSinkParamsBasic*>(CZkSinkParamsBasic::Create(&Parameters()));
    ASSERT_NE(params, nullptr);
    params->channelConfig = ZkChannelConfig::FromMask(0x60F);
    params->capabilityWords[0] = 16;
    params->objectsWanted = 1;
    const uint32_t value = 7;
    EXPECT_EQ(params->SetParam(3, &value, 4), ZK_Success);
    auto* clone = static_cast<CZkSinkParamsBasic*>(params->Clone(&Parameters()));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->channelConfig, params->channelConfig);
    EXPECT_EQ(clone->capabilityWords[0], 16u);
    EXPECT_EQ(clone->objectsWanted, 1u);
    clone->Term(&Parameters());
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_BankObjects, 1);
        EXPECT_EQ(params->Clone(&Parameters()), nullptr);
    }
    params->Term(&Parameters());
}

TEST_F(SinkPlugins, SystemOutputMetadataKeepsOneValueAndItsFlags)
{
    auto* meta = static_cast<CZkSystemOutputMeta*>(CZkSystemOutputMeta::Create(&Parameters()));
    ASSERT_NE(meta, nullptr);
    const uint32_t value = 0xC0FFEE;
    EXPECT_EQ(meta->SetParam(0, &value, 4), ZK_Success);
    EXPECT_EQ(meta->value, 0xC0FFEEu);
    EXPECT_EQ(meta->flags, 0x01u);
    EXPECT_EQ(meta->SetParam(1, &value, 4), ZK_InvalidParameter);
    EXPECT_EQ(meta->SetParam(0, nullptr, 4), ZK_InvalidParameter);
    auto* clone = static_cast<CZkSystemOutputMeta*>(meta->Clone(&Parameters()));
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->value, 0xC0FFEEu);
    EXPECT_EQ(clone->flags, 255u);
    EXPECT_EQ(clone->SetParamsBlock(nullptr, 0), ZK_Success);
    EXPECT_EQ(clone->value, 0u);
    EXPECT_EQ(clone->flags, 255u);
    const uint32_t blockValue = 9;
    EXPECT_EQ(clone->SetParamsBlock(&blockValue, 4), ZK_Success);
    EXPECT_EQ(clone->value, 9u);
    clone->Term(&Parameters());
    meta->Term(&Parameters());
}

// The base sink takes a valid requested configuration and offers objects only when its parameters
// ask for them and the configuration is not front centre alone.
TEST_F(SinkPlugins, TheBaseSinkAnswersItsParametersAndAlwaysOneBuffer)
{
    struct Case
    {
        uint32_t requested;
        uint8_t objectsWanted;
        uint32_t answered;
        uint32_t capabilities;
    };
    const uint32_t mono = ZkChannelConfig::FromMask(ZK_SPEAKER_FRONT_CENTER).word;
    const uint32_t fiveOne = ZkChannelConfig::FromMask(0x60F).word;
    const uint32_t objects = ZkChannelConfigType_Objects << 8;
    const Case cases[] = {
        {fiveOne, 0, fiveOne, fiveOne},
        {0, 0, 0x3102, 0x3102},        // no request: the parameters' stereo
        {objects, 0, 0x3102, 0x3102},  // objects are no configuration to take
        {0x0E00, 0, 0x3102, 0x3102},   // the main-mix request type is no configuration either
        {fiveOne, 1, objects, fiveOne},
        {mono, 1, mono, mono},         // front centre alone stays mono
    };
    CZkOutputDevice device;
    CZkSinkContext context(device);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.requested << " objects " << int(c.objectsWanted));
        auto* sink = static_cast<CZkSinkBase*>(CZkSinkBase::Create(&Instances()));
        CZkSinkParamsBasic params;
        params.objectsWanted = c.objectsWanted;
        params.capabilityWords[0] = 12;
        ZkChannelConfig config(c.requested);
        EXPECT_EQ(sink->Init(&Instances(), &context, &params, config), ZK_Success);
        EXPECT_EQ(config.word, c.answered);
        ZK::Zk3DAudioSinkCapabilities capabilities;
        EXPECT_EQ(sink->GetCapabilities(capabilities), ZK_Success);
        EXPECT_EQ(capabilities.channelConfig.word, c.capabilities);
        EXPECT_EQ(capabilities.maxSystemAudioObjects, 12u);
        uint32_t buffers = 0;
        EXPECT_EQ(sink->IsDataNeeded(buffers), ZK_Success);
        EXPECT_EQ(buffers, 1u);
        EXPECT_FALSE(sink->IsStarved());
        EXPECT_EQ(sink->SinkKind(), ZK::kZkSinkKind3DAudio);
        EXPECT_EQ(sink->Term(&Instances()), ZK_Success);
    }
}

TEST_F(SinkPlugins, TheSinkContextTellsTheDeviceAndWakesTheEngineForTheMainDeviceOnly)
{
    ASSERT_TRUE(EngineWakeEvent::Create());
    CZkOutputDevice* main = StartMainOutput();
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(CZkOutputDeviceMgr::AddOutput(Settings(0, 5), nullptr, 0), ZK_ListenerSetConflict);
    CZkSinkContext mainContext(*main);
    mainContext.SetOutputID(0, 0xAE0007);
    uint32_t deviceID = 1;
    uint32_t pluginID = 0;
    EXPECT_EQ(mainContext.GetOutputID(deviceID, pluginID), ZK_Success);
    EXPECT_EQ(deviceID, 0u);
    EXPECT_EQ(pluginID, 0xAE0007u);
    EXPECT_EQ(mainContext.PostMonitorMessage("WASAPI: Could not start Audio Stream.", 2), ZK_Fail);
    EXPECT_EQ(mainContext.GetDownstreamGain(), 1.0f);
    ZkChannelConfig parent;
    EXPECT_EQ(mainContext.GetParentChannelConfig(parent), ZK_Success);
    EXPECT_EQ(parent, main->MainMixConfig());
    EXPECT_TRUE(mainContext.IsMainDevice());
    EXPECT_EQ(mainContext.NumRefillBuffers(), 4u);
    EXPECT_NE(mainContext.GetRuntimeEnvironment(), nullptr);

    EXPECT_FALSE(EngineWakeEvent::Get().Wait(0));
    EXPECT_EQ(mainContext.SignalEngineThread(), ZK_Success);
    EXPECT_TRUE(EngineWakeEvent::Get().Wait(0));
    CZkOutputDevice other;
    CZkSinkContext otherContext(other);
    EXPECT_FALSE(otherContext.IsMainDevice());
    EXPECT_EQ(otherContext.SignalEngineThread(), ZK_Fail);
    EXPECT_FALSE(EngineWakeEvent::Get().Wait(0));

    // A mono mix onto 5.1 through the front centre; stereo onto 5.1 by direct assignment.
    float matrix[2 * 8] = {};
    EXPECT_EQ(mainContext.ComputeSpeakerMatrix(ZkChannelConfig::FromMask(ZK_SPEAKER_FRONT_CENTER),
                                               ZkChannelConfig::FromMask(0x60F), matrix),
              ZK_Success);
    EXPECT_EQ(matrix[2], 1.0f);
    EXPECT_EQ(matrix[0], 0.0f);
    EXPECT_EQ(mainContext.ComputeSpeakerMatrix(kStereo, ZkChannelConfig::FromMask(0x60F), matrix), ZK_Success);
    EXPECT_EQ(matrix[0], 1.0f);
    EXPECT_EQ(matrix[8 + 1], 1.0f);
    EngineWakeEvent::Destroy();
}
} // namespace
