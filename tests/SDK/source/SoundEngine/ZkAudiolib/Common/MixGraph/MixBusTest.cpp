// A mix bus's frame: inputs mixed into its objects (the ramped matrix mix of a channel bus against a
// numpy model, the objects of an object bus), what does not make it active, the end of its frame,
// its effect slots with their bypass, its meters and its dynamic-range window.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Voice/EffectStageTestSupport.h"

#include <ZkAudiolib/Common/Metering/ZkBusMeter.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/ObjectIndex/ObjectIndex.h>
#include <ZkAudiolib/Common/Playback/CZkPlayingMgr.h>
#include <ZkAudiolib/Common/Renderer/CZkAudioRenderer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using EffectStageTest::Block;
using ZkMixGraphTest::TestBus;
using ZkMixGraphTest::TestMixContext;

constexpr uint16_t kFrames = 64;
const ZkChannelConfig kStereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
const ZkChannelConfig kMono = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
const ZkChannelConfig kObjects(ZkChannelConfigType_Objects << 8);

// A test input: a mix context that publishes a known block into its connection each frame.
struct TestInput
{
    TestInput(ZkChannelConfig config, uint32_t index) : block(config, kFrames, 0.0f)
    {
        context.outputConfig = config;
        for (uint32_t c = 0; c < config.NumChannels(); ++c)
            for (uint32_t n = 0; n < kFrames; ++n)
                block.buffer.GetChannel(c)[n] = static_cast<float>(std::sin(0.05 * (n + 1) * (index + 1) + 0.7 * c) *
                                                                   (0.3 + 0.1 * index));
    }
    // Connects to the bus with matrices and gains of its own; the connection's entry publishes the block.
    CZkMixerInputContext* Connect(CZkMixBus& bus, float g0, float g1, const std::vector<float>& m0,
                                  const std::vector<float>& m1)
    {
        connection = context.ConnectTo(bus, kConnectionDirect);
        EXPECT_NE(connection, nullptr);
        ZkMixInputEntry& entry = connection->Entry(0);
        const uint32_t inputs = context.outputConfig.NumChannels();
        const uint32_t outputs = bus.GetChannelConfig().NumChannels();
        EXPECT_EQ(entry.matrices.Allocate(inputs, outputs), ZK_Success);
        const uint32_t stride = ZkVolumeMatrixPair::RowFloats(outputs);
        for (uint32_t i = 0; i < inputs; ++i)
            for (uint32_t o = 0; o < outputs; ++o)
            {
                entry.matrices.previous[i * stride + o] = m0[i * outputs + o];
                entry.matrices.current[i * stride + o] = m1[i * outputs + o];
            }
        connection->previousMixGain = g0;
        connection->nextMixGain = g1;
        Publish();
        return connection;
    }
    void Publish()
    {
        block.buffer.validFrames = kFrames;
        block.buffer.status = ZK_DataReady;
        connection->Entry(0).buffer = &block.buffer;
    }
    ~TestInput()
    {
        while (context.FirstOutput() != nullptr)
            context.RemoveConnection(context.FirstOutput());
    }

    TestMixContext context;
    Block block;
    CZkMixerInputContext* connection = nullptr;
};

class MixBus : public EffectStageTest::EffectStageFixture
{
protected:
    void SetUp() override
    {
        EffectStageFixture::SetUp();
        SetAudioFormatGlobals(48000, kFrames);
    }
    void TearDown() override
    {
        CZkAudioRenderer::ClearGraphDirty();
        EffectStageFixture::TearDown();
    }
};

std::string Join(const std::vector<float>& values)
{
    std::ostringstream text;
    text.precision(9);
    for (size_t i = 0; i < values.size(); ++i)
        text << (i != 0 ? "," : "") << values[i];
    return text.str();
}

TEST_F(MixBus, AChannelBusIsTheRampedMatrixMixOfItsInputs)
{
    TestBus bus(kStereo);
    struct InputConnection
    {
        ZkChannelConfig config;
        float g0;
        float g1;
        std::vector<float> m0;
        std::vector<float> m1;
    };
    const InputConnection connections[] = {
        {kMono, 1.0f, 0.5f, {0.7f, 0.7f}, {1.0f, 0.0f}},
        {kStereo, 0.25f, 0.75f, {1.0f, 0.0f, 0.0f, 1.0f}, {0.5f, 0.5f, 0.2f, 0.9f}},
        {kMono, 0.0f, 1.0f, {0.0f, 0.0f}, {0.3f, 0.6f}},
    };
    std::vector<std::unique_ptr<TestInput>> inputs;
    std::string arguments = std::to_string(kFrames) + " 2";
    for (const InputConnection& connection : connections)
    {
        inputs.push_back(std::make_unique<TestInput>(connection.config, static_cast<uint32_t>(inputs.size())));
        inputs.back()->Connect(bus, connection.g0, connection.g1, connection.m0, connection.m1);
        std::ostringstream text;
        text.precision(9);
        text << " " << connection.config.NumChannels() << ":" << connection.g0 << ":" << connection.g1 << ":" << Join(connection.m0) << ":"
             << Join(connection.m1);
        arguments += text.str();
    }
    for (auto& input : inputs)
        bus.MixInput(*input->connection);

    std::istringstream oracle(ZkEngineTest::RunCommand(
        "/usr/bin/python3 \"" + std::string(KP_SOURCE_DIR) +
        "/tests/SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/mix_model.py\" " + arguments));
    ASSERT_EQ(bus.Objects().Count(), 1u);
    const ZkBusObject& mix = bus.Objects()[0];
    EXPECT_EQ(mix.buffer.status, ZK_DataReady);
    EXPECT_EQ(mix.buffer.validFrames, kFrames);
    EXPECT_EQ(bus.Activity(), CZkMixBus::kActive);
    for (uint32_t o = 0; o < 2; ++o)
        for (uint32_t n = 0; n < kFrames; ++n)
        {
            double expected = 0.0;
            ASSERT_TRUE(oracle >> expected) << "the numpy model answered every sample";
            EXPECT_NEAR(mix.buffer.GetChannel(o)[n], expected, 2e-6) << "channel " << o << " frame " << n;
        }
}

TEST_F(MixBus, AnObjectBusKeepsEachInputObjectWithItsIdAndMetadata)
{
    TestBus bus(kObjects);
    TestInput first(kStereo, 0);
    TestInput second(kMono, 1);
    first.connection = first.context.ConnectTo(bus, kConnectionDirect);
    second.connection = second.context.ConnectTo(bus, kConnectionDirect);
    ASSERT_NE(first.connection, nullptr);
    ASSERT_NE(second.connection, nullptr);
    ZkBusObjectRecord records[2];
    records[0].id = NextAudioObjectID();
    records[0].positioning = ZkObjectPositioning{1.0f, 2.0f, 3.0f, 0.5f, 0.25f};
    records[1].id = NextAudioObjectID();
    records[1].positioning = ZkObjectPositioning{-4.0f, 0.0f, 8.0f, 1.0f, 0.0f};
    TestInput* inputs[] = {&first, &second};
    for (uint32_t frame = 0; frame < 2; ++frame)
    {
        for (uint32_t i = 0; i < 2; ++i)
        {
            if (frame == 1 && i == 1)
                continue; // the second object is fed only in the first frame
            inputs[i]->Publish();
            ZkMixInputEntry& entry = inputs[i]->connection->Entry(0);
            entry.key = records[i].id;
            entry.object = &records[i];
            entry.previousGain = entry.nextGain = 1.0f;
            inputs[i]->connection->previousMixGain = 0.5f;
            inputs[i]->connection->nextMixGain = 1.0f;
            bus.MixInput(*inputs[i]->connection);
        }
        ASSERT_EQ(bus.Objects().Count(), 2u) << "frame " << frame;
        for (uint32_t i = 0; i < 2; ++i)
        {
            const ZkBusObject* object = bus.Objects().Find(records[i].id);
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(object->record->positioning.x, records[i].positioning.x);
            EXPECT_EQ(object->record->positioning.spread, records[i].positioning.spread);
            EXPECT_EQ(object->channels, inputs[i]->context.outputConfig.NumChannels());
            if (frame == 0 || i == 0)
            {
                EXPECT_EQ(object->record->volume.previous, 0.5f);
                EXPECT_EQ(object->record->volume.next, 1.0f);
                EXPECT_EQ(object->buffer.GetChannel(0)[5], inputs[i]->block.buffer.GetChannel(0)[5]);
            }
        }
        bus.Process();
        bus.EndFrame();
    }
    ASSERT_EQ(bus.Objects().Count(), 1u) << "the object nothing fed leaves at the end of its frame";
    EXPECT_EQ(bus.Objects()[0].ID(), records[0].id);
}

TEST_F(MixBus, BlocksWithoutAudioDoNotMakeTheBusActive)
{
    TestBus bus(kStereo);
    TestInput input(kMono, 0);
    input.Connect(bus, 1.0f, 1.0f, {1.0f, 1.0f}, {1.0f, 1.0f});
    const std::pair<ZKRESULT, uint16_t> blocks[] = {
        {ZK_NotProcessedThisFrame, kFrames}, {ZK_DataReady, 0}, {ZK_NoDataReady, kFrames}};
    for (const auto& [status, frames] : blocks)
    {
        input.block.buffer.status = status;
        input.block.buffer.validFrames = frames;
        bus.MixInput(*input.connection);
        EXPECT_EQ(bus.Activity(), CZkMixBus::kIdle) << "status " << status << ", " << frames << " frames";
        EXPECT_TRUE(bus.Objects().IsEmpty());
    }
    // A short block is padded with silence to the full frame.
    input.Publish();
    input.block.buffer.validFrames = 8;
    bus.MixInput(*input.connection);
    ASSERT_EQ(bus.Objects().Count(), 1u);
    EXPECT_EQ(bus.Objects()[0].buffer.GetChannel(0)[20], 0.0f);
    EXPECT_NE(bus.Objects()[0].buffer.GetChannel(0)[3], 0.0f);
    // The bus stays one more frame after its last input, then its object goes.
    bus.Process();
    bus.EndFrame();
    EXPECT_EQ(bus.Activity(), CZkMixBus::kActive);
    bus.Process();
    bus.EndFrame();
    EXPECT_EQ(bus.Activity(), CZkMixBus::kIdle);
    EXPECT_TRUE(bus.Objects().IsEmpty());
}

TEST_F(MixBus, AChildBusOutputReachesItsParentThroughTheMatricesItsFrameUpdateComputes)
{
    TestBus parent(kStereo);
    TestBus child(kStereo);
    ASSERT_NE(child.ConnectTo(parent, kConnectionDirect), nullptr);
    TestInput input(kStereo, 0);
    input.Connect(child, 1.0f, 1.0f, {1.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f, 1.0f});
    for (uint32_t frame = 0; frame < 2; ++frame)
    {
        child.PrepareFrame(true, -96.3f);
        parent.PrepareFrame(true, -96.3f);
        input.Publish();
        child.MixInput(*input.connection);
        child.Process();
        parent.MixInput(*child.FirstOutput());
        parent.Process();
        ASSERT_EQ(parent.Objects().Count(), 1u);
        for (uint32_t c = 0; c < 2; ++c)
            EXPECT_NEAR(parent.Objects()[0].buffer.GetChannel(c)[17], input.block.buffer.GetChannel(c)[17], 1e-6f)
                << "frame " << frame << " channel " << c;
        child.EndFrame();
        parent.EndFrame();
        EXPECT_EQ(child.FirstOutput()->Entry(0).buffer, nullptr) << "the published block is forgotten";
    }
}

TEST_F(MixBus, AnAuxSendLevelThatSwitchesBetweenZeroAndNonZeroMarksTheSendsChanged)
{
    TestBus bus(kStereo);
    EXPECT_TRUE(bus.AddSendLevel(2, 6.0f)) << "from 0 to 6";
    EXPECT_TRUE(bus.SendsChanged());
    bus.ClearSendsChanged();
    EXPECT_FALSE(bus.AddSendLevel(2, 3.0f)) << "6 to 9 stays non-zero";
    EXPECT_FALSE(bus.SendsChanged());
    EXPECT_EQ(bus.SendLevel(2), 9);
    EXPECT_TRUE(bus.AddSendLevel(2, -9.0f));
    EXPECT_TRUE(bus.AddProperty33(1.0f));
    EXPECT_FALSE(bus.AddProperty33(1.0f));
}

// What the game's bus metering callback received.
struct MeteringLog
{
    uint32_t calls = 0;
    ZkUniqueID busID = 0;
    ZkGameObjectID object = 0;
    ZkChannelConfig config;
    float peak = 0.0f;
    const float* rms = nullptr;
};
MeteringLog g_metering;

void RecordMetering(ZkBusMeteringCallbackInfo* info)
{
    ++g_metering.calls;
    g_metering.busID = info->busID;
    g_metering.object = info->gameObjID;
    g_metering.config = info->channelConfig;
    const auto* meter = static_cast<const IZkBusMeter*>(info->meteringData);
    g_metering.peak = meter->GetPeak()[0];
    g_metering.rms = meter->GetRMS();
}

TEST_F(MixBus, TheMeterOfEachOutputObjectGoesToTheGamesMeteringCallback)
{
    g_metering = MeteringLog{};
    ZkHierarchyTest::TestNode* node = ZkHierarchyTest::TestNode::CreateIndexed(0xB07, ZkNodeCategory_Bus, true);
    ASSERT_NE(node, nullptr);
    g_pPlayingMgr = ZK::ZkNew<CZkPlayingMgr>(CZkPlayingMgr::kPool);
    ASSERT_NE(g_pPlayingMgr, nullptr);
    ASSERT_EQ(g_pPlayingMgr->SetBusMeteringCallback(0xB07, &RecordMetering, ZkMeteringFlag_Peak, nullptr), ZK_Success);
    {
        TestBus bus(kStereo);
        bus.SetKey(node);
        TestInput input(kMono, 0);
        input.Connect(bus, 1.0f, 1.0f, {1.0f, 1.0f}, {1.0f, 1.0f});
        bus.MixInput(*input.connection);
        bus.Process();
        EXPECT_EQ(g_metering.calls, 0u) << "the bus was not told of the callback";
        bus.EndFrame();

        bus.SetMeteringFlags(g_pPlayingMgr->GetBusMeteringFlags(0xB07));
        input.Publish();
        bus.MixInput(*input.connection);
        bus.Process();
        ASSERT_EQ(g_metering.calls, 1u);
        EXPECT_EQ(g_metering.busID, 0xB07u);
        EXPECT_EQ(g_metering.object, ZK_ALL_GAME_OBJECTS) << "a bus without game object";
        EXPECT_EQ(g_metering.config, kStereo);
        EXPECT_NEAR(g_metering.peak, bus.Objects()[0].meter->GetPeak()[0], 0.0f);
        EXPECT_GT(g_metering.peak, 0.0f);
        EXPECT_EQ(g_metering.rms, nullptr) << "only what was asked for";
        bus.EndFrame();
    }
    g_pPlayingMgr->Term();
    ZK::ZkDelete(CZkPlayingMgr::kPool, g_pPlayingMgr);
    g_pPlayingMgr = nullptr;
    node->Release();
}

// A bus with the test plug-ins' effects: a node whose slots name the test effect object.
class MixBusEffects : public MixBus
{
protected:
    void SetUp() override
    {
        MixBus::SetUp();
        effect().pluginID = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, EffectStageTest::kCompany,
                                              EffectStageTest::kInPlaceID);
        node = std::make_unique<ZkHierarchyTest::TestNode>(0xB05, ZkNodeCategory_Bus, true);
        ASSERT_EQ(node->Effects().SetSlotValue(0, effect().ID(), false, 0), ZK_Success);
        bus = std::make_unique<TestBus>(kStereo);
        bus->SetKey(node.get());
        bus->RebuildEffects(); // the next frame builds the node's effects
    }
    void TearDown() override
    {
        input.reset();
        bus.reset();
        node.reset();
        MixBus::TearDown();
    }
    // One frame of the input at unity gain through the bus; the output's first sample.
    float Frame()
    {
        input->Publish();
        bus->MixInput(*input->connection);
        bus->Process();
        const float sample = bus->OutputList()[0].buffer.GetChannel(0)[10];
        bus->EndFrame();
        return sample;
    }

    std::unique_ptr<ZkHierarchyTest::TestNode> node;
    std::unique_ptr<TestBus> bus;
    std::unique_ptr<TestInput> input;
};

TEST_F(MixBusEffects, BypassingASlotForOneFrameResetsItsInstanceOnceAndUnbypassingWaitsForTheNextFrame)
{
    input = std::make_unique<TestInput>(kStereo, 0);
    input->Connect(*bus, 1.0f, 1.0f, {1.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f, 1.0f});
    const float dry = input->block.buffer.GetChannel(0)[10];
    EXPECT_NEAR(Frame(), dry * 0.5f, 1e-6f) << "the effect halves the mix";
    ASSERT_TRUE(bus->Slot(0).HasEffect());
    const uint32_t resets = EffectStageTest::g_log.resets;

    bus->SetBypass(1, 1);
    EXPECT_NEAR(Frame(), dry, 1e-6f) << "bypassed: the mix passes";
    EXPECT_EQ(EffectStageTest::g_log.resets, resets + 1) << "reset in the first bypassed frame";
    EXPECT_NEAR(Frame(), dry, 1e-6f);
    EXPECT_EQ(EffectStageTest::g_log.resets, resets + 1) << "and only then";

    bus->SetBypass(0, 1);
    EXPECT_TRUE((bus->BusFlags() & CZkMixBus::kFlagEffectChangePending) != 0) << "waits for the pending step";
    EXPECT_NEAR(Frame(), dry * 0.5f, 1e-6f);
    // Bypassing every effect passes the mix too.
    bus->SetBypass(CZkMixBus::kBypassAll, CZkMixBus::kBypassAll);
    EXPECT_NEAR(Frame(), dry, 1e-6f);
}

TEST_F(MixBusEffects, AnOutOfPlaceEffectOutputsItsOwnObjectsAndTheBusItsConfiguration)
{
    effect().pluginID =
        ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, EffectStageTest::kCompany, EffectStageTest::kOutOfPlaceID);
    EffectStageTest::g_log.outOfPlaceOutput = kMono;
    bus->RebuildEffects();
    input = std::make_unique<TestInput>(kStereo, 0);
    input->Connect(*bus, 1.0f, 1.0f, {1.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 0.0f, 1.0f});
    input->Publish();
    bus->MixInput(*input->connection);
    bus->Process();
    EXPECT_EQ(&bus->OutputList(), &bus->Slot(0).output) << "the slot's own objects are the output";
    EXPECT_EQ(bus->GetOutputConfig(), kMono);
    EXPECT_EQ(bus->OutputList()[0].buffer.validFrames, kFrames);
    bus->EndFrame();
    // A slot whose effect cannot be made stays empty and lets the mix through.
    effect().pluginID = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, EffectStageTest::kCompany, 99);
    bus->RebuildEffects();
    input->Publish();
    bus->MixInput(*input->connection);
    bus->Process();
    EXPECT_FALSE(bus->Slot(0).HasEffect());
    EXPECT_EQ(bus->GetOutputConfig(), kStereo);
    bus->EndFrame();
}

TEST_F(MixBus, TheOutputObjectsAreMeteredForTheBusesFlags)
{
    TestBus bus(kStereo);
    TestInput input(kMono, 0);
    input.Connect(bus, 1.0f, 1.0f, {1.0f, 0.5f}, {1.0f, 0.5f});
    bus.SetPluginMeteringFlags(ZkMeteringFlag_Peak | ZkMeteringFlag_RMS | 0x100);
    EXPECT_EQ(bus.ObjectMeteringFlags(), ZkMeteringFlag_Peak | ZkMeteringFlag_RMS) << "only measurements";
    bus.MixInput(*input.connection);
    bus.Process();
    const ZkBusObject& object = bus.Objects()[0];
    ASSERT_NE(object.meter, nullptr);
    float peak = 0.0f;
    for (uint32_t n = 0; n < kFrames; ++n)
        peak = std::max(peak, std::fabs(input.block.buffer.GetChannel(0)[n]));
    EXPECT_NEAR(object.meter->GetPeak()[0], peak * ZkBusMeter::kLevelScale, 1e-6f);
    EXPECT_NEAR(object.meter->GetPeak()[1], 0.5f * peak * ZkBusMeter::kLevelScale, 1e-6f);
    bus.EndFrame();
    bus.SetPluginMeteringFlags(0);
    bus.Process();
    EXPECT_EQ(bus.Objects()[0].meter, nullptr) << "no flags, no meter";
}

// The window of a bus whose node enables it: made through the bus's own creation.
class MixBusWindow : public MixBus
{
protected:
    void TearDown() override
    {
        node.reset();
        MixBus::TearDown();
    }
    CZkMixBus* Make(float thresholdDb, float ratio, float releaseSeconds, bool dbMode)
    {
        node = std::make_unique<ZkHierarchyTest::TestNode>(0xB06, ZkNodeCategory_Bus, true);
        node->SetOverrides(0xE0000);
        EXPECT_EQ(node->StoreFloat(27, thresholdDb), ZK_Success);
        EXPECT_EQ(node->StoreFloat(28, ratio), ZK_Success);
        EXPECT_EQ(node->StoreFloat(29, releaseSeconds), ZK_Success);
        CZkMixBus* bus = CZkMixBus::Create(ZkMixBusKey(node.get(), 0, nullptr));
        EXPECT_NE(bus, nullptr);
        EXPECT_NE(bus->Window(), nullptr);
        EXPECT_EQ(bus->Init(kStereo, ZkMixBusKey()), ZK_Success);
        bus->PrepareFrame(false, -96.3f); // a bus without node instance: 0 dB
        if (dbMode)
            bus->windowFlags |= CZkMixBus::kWindowDbMode;
        return bus;
    }
    // One window update with the loudest input at inputDb; the window's target in dB.
    static float Update(CZkMixBus& bus, float inputDb)
    {
        // Two inputs report; the louder counts.
        bus.RaiseWindowInput(inputDb - 10.0f);
        bus.RaiseWindowInput(inputDb);
        bus.UpdateWindow();
        return bus.Window()->topWithVolumeDb;
    }
    static bool Releasing(const CZkMixBus& bus) { return (bus.windowFlags & CZkMixBus::kWindowReleasing) != 0; }

    std::unique_ptr<ZkHierarchyTest::TestNode> node;
};

TEST_F(MixBusWindow, ARatioOfTwoHalvesTheExcessAndReleaseZeroDropsAtOnce)
{
    for (bool dbMode : {true, false})
    {
        CZkMixBus* bus = Make(-20.0f, 2.0f, 0.0f, dbMode);
        EXPECT_EQ(bus->Window()->ratioFactor, 0.5f);
        EXPECT_NEAR(Update(*bus, -14.0f), -17.0f, 0.05f) << "6 dB over with ratio 2: 3 dB over";
        EXPECT_NEAR(Update(*bus, -40.0f), -20.0f, 0.05f) << "release 0: at once to the threshold";
        EXPECT_FALSE(Releasing(*bus));
        EXPECT_EQ(bus->Window()->inputPeakDb, -4096.0f) << "the input peak starts again";
        CZkMixBus::Destroy(bus);
    }
    // A ratio of 0 from the node (no compression defined) holds the window at the threshold.
    CZkMixBus* bus = Make(-20.0f, 0.0f, 0.0f, true);
    EXPECT_EQ(bus->Window()->ratioFactor, 0.0f);
    EXPECT_NEAR(Update(*bus, -14.0f), -20.0f, 0.05f);
    CZkMixBus::Destroy(bus);
}

TEST_F(MixBusWindow, AReleaseTimeDecaysByItsCoefficientAndKeepsTheBusAliveWhileHalfADecibelAbove)
{
    constexpr float kRelease = 0.01f;
    CZkMixBus* bus = Make(-20.0f, 2.0f, kRelease, true);
    const float c = std::exp(-static_cast<float>(kFrames) / (kRelease * 48000.0f));
    EXPECT_NEAR(bus->Window()->releaseCoefficient, c, 1e-6f);
    Update(*bus, 0.0f); // 20 dB over: the top rises to -10
    EXPECT_TRUE(Releasing(*bus)) << "a rising top moves";
    float above = 10.0f;
    for (int frame = 0; frame < 40; ++frame)
    {
        const float top = Update(*bus, -60.0f);
        above *= c;
        EXPECT_NEAR(top, -20.0f + above, 1e-3f) << "frame " << frame;
        EXPECT_EQ(Releasing(*bus), above >= 0.5f) << "frame " << frame;
    }
    CZkMixBus::Destroy(bus);
}
} // namespace
