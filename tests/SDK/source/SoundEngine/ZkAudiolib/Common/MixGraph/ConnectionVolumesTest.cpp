// Connection volumes and the positioning step: each output connection's gain and level (dry path
// from the instance's output level, dry levels and rays; sends from the send list), the volume
// threshold, sends that disappear, related contexts, and the matrices of the positioning step.
#include "TestMixContext.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"

#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/Positioning/ZkRay.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkMixGraphTest::TestBus;
using ZkMixGraphTest::TestMixContext;

constexpr float kThresholdDb = -96.3f;
constexpr ZkUniqueID kAuxBusID = 0xA0B;

class ConnectionVolumes : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        SetAudioFormatGlobals(48000, 1024);
        auxBus.SetKey(&auxNode);
        voice.View().gameObjectID = 3;
    }
    void TearDown() override
    {
        while (voice.FirstOutput() != nullptr)
            voice.RemoveConnection(voice.FirstOutput());
        voice.Sends().Term();
        EngineMemoryTest::TearDown();
    }
    void AddSend(float gain, float v = 0.0f, float w = 0.0f)
    {
        voice.Sends().AddLast(ZkSendRecord{3, kAuxBusID, gain, 1, v, std::bit_cast<uint32_t>(w)});
    }

    // The auxiliary bus's node: the sends name it by its id.
    ZkHierarchyTest::TestNode auxNode{kAuxBusID, ZkNodeCategory_Group, true};
    TestBus bus;
    TestBus auxBus;
    TestMixContext voice;
};

struct VolumeCase
{
    float modulation;
    float context;
    float connection; // the instance's output level (dry) or the sum of the sends
    float dryLevel;   // the game object's dry level towards the listener (dry path, rays tracked)
    float rayLevel;   // the loudest ray of the listener (dry path, rays tracked)
    float busDb;
    bool send;
};

TEST_F(ConnectionVolumes, LevelsAndBelowThresholdBitsMatchAnIndependentComputation)
{
    const VolumeCase cases[] = {
        {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, false},
        {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, -96.3f, false},        // the threshold itself: below
        {1.0f, 0.5f, 0.25f, 1.0f, 1.0f, -6.0f, false},
        {0.8f, 0.9f, 0.001f, 0.5f, 0.7f, 0.0f, false},
        {1.0f, 1.0f, 1e-5f, 1.0f, 1.0f, 0.0f, false},          // -100 dB
        {1.0f, 1.0f, 2e-5f, 0.9f, 1.0f, 0.0f, false},          // about -94.9 dB
        {1.0f, 1.0f, 0.3f, 1.0f, 1.0f, -12.5f, true},
        {0.5f, 1.0f, 1.7f, 1.0f, 1.0f, 3.0f, true},
        {1.0f, 1.0f, 3e-6f, 1.0f, 1.0f, 0.0f, true},
        {1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.0f, false},           // silence
        {1.0f, 1.0f, 0.123f, 0.77f, 0.35f, -40.0f, false},
    };
    std::string arguments;
    for (const VolumeCase& c : cases)
    {
        const float connection = c.send ? c.connection : c.connection * c.dryLevel;
        const float ray = c.send ? 1.0f : c.rayLevel;
        std::ostringstream line;
        line.precision(9);
        line << c.modulation << "," << c.context << "," << connection << "," << ray << "," << c.busDb;
        arguments += " " + line.str();
    }
    std::istringstream oracle(ZkEngineTest::RunPythonOracle(
        "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/connection_volumes.py", arguments));

    std::vector<ZkRay> rays(2);
    rays[0].listenerID = 3;
    rays[1].listenerID = 3;
    ZkListenerGainTable dryLevels;
    for (const VolumeCase& c : cases)
    {
        double expectedDb = 0.0;
        int expectedBelow = 0;
        ASSERT_TRUE(oracle >> expectedDb >> expectedBelow) << "the oracle answered every case";
        TestBus& destination = c.send ? auxBus : bus;
        destination.SetLevelDb(c.busDb);
        CZkMixerInputContext* connection = voice.ConnectTo(destination, c.send ? 1 : kConnectionDirect);
        ASSERT_NE(connection, nullptr);
        voice.View().modulationGain = c.modulation;
        voice.SetGain(c.context);
        voice.Sends().RemoveAll();
        if (c.send)
        {
            AddSend(c.connection * 0.25f, 0.5f, 0.125f);
            AddSend(c.connection * 0.75f, 0.25f, 0.375f);
        }
        voice.View().outputLevel = c.connection;
        voice.View().tracksRays = true;
        rays[0].dryGain = c.rayLevel;
        rays[1].dryGain = c.rayLevel * 0.5f;
        voice.View().rays = rays.data();
        voice.View().rayCount = 2;
        dryLevels.RemoveAll();
        ASSERT_NE(dryLevels.Insert(3, 0, c.dryLevel), nullptr);
        voice.View().dryLevels = &dryLevels;

        voice.UpdateSendConnections(true, kThresholdDb);
        if (expectedDb == -4096.0)
            EXPECT_EQ(connection->currentDb, -4096.0f);
        else
            EXPECT_NEAR(connection->currentDb, expectedDb, 0.03) << "case " << (&c - cases);
        EXPECT_EQ(connection->IsBelowThreshold(), expectedBelow == 1) << "case " << (&c - cases);
        EXPECT_EQ(voice.LoudestLevelDb(), connection->currentDb);
        if (c.send)
        {
            EXPECT_FLOAT_EQ(connection->gain, c.connection);
            EXPECT_FLOAT_EQ(connection->auxGainSum, 0.75f);
            EXPECT_FLOAT_EQ(connection->auxGainTotal, 0.5f);
        }
        voice.RemoveConnection(connection);
    }
    dryLevels.Term();
}

TEST_F(ConnectionVolumes, WithTheThresholdTestOffNothingIsBelow)
{
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    voice.View().outputLevel = 1e-7f;
    voice.UpdateSendConnections(false, kThresholdDb);
    EXPECT_FALSE(connection->IsBelowThreshold());
    voice.View().outputLevel = 0.0f;
    voice.UpdateSendConnections(false, kThresholdDb);
    EXPECT_EQ(connection->currentDb, -4096.0f);
    EXPECT_FALSE(connection->IsBelowThreshold());
    voice.UpdateSendConnections(true, kThresholdDb);
    EXPECT_TRUE(connection->IsBelowThreshold());
}

TEST_F(ConnectionVolumes, SendThatDisappearsFadesForOneFrameUnlessItWasAlreadyBelow)
{
    CZkMixerInputContext* send = voice.ConnectTo(auxBus, 1);
    AddSend(0.5f);
    voice.UpdateSendConnections(true, kThresholdDb);
    EXPECT_FLOAT_EQ(send->gain, 0.5f);
    EXPECT_FALSE(send->IsBelowThreshold());

    voice.Sends().RemoveAll();
    voice.UpdateSendConnections(true, kThresholdDb);
    ASSERT_EQ(voice.FirstOutput(), send) << "audible the frame before: kept one more frame";
    EXPECT_EQ(send->gain, 0.0f);
    EXPECT_TRUE(send->IsBelowThreshold());
    voice.UpdateSendConnections(true, kThresholdDb);
    EXPECT_EQ(voice.FirstOutput(), nullptr) << "below threshold already: removed at once";
    EXPECT_EQ(auxBus.FirstInput(), nullptr);
}

TEST_F(ConnectionVolumes, RelatedContextIsRaisedAndItsConnectionsTakeTheOffset)
{
    // The bus's own dry path into a parent: the voice's connection into the bus relates to it.
    TestBus parent;
    bus.View().gameObjectID = 3; // the listener of both dry paths
    CZkMixerInputContext* busDry = bus.ConnectTo(parent, kConnectionDirect);
    ASSERT_NE(busDry, nullptr);
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    ASSERT_EQ(connection->GetRelatedContext(), &parent);

    voice.View().outputLevel = 0.5f;
    voice.View().raisesRelated = true;
    voice.View().relatedOffsetDb = -3.0f;
    voice.UpdateSendConnections(true, kThresholdDb);
    const float db = connection->currentDb;
    EXPECT_NEAR(db, -6.02f, 0.03f);
    EXPECT_FLOAT_EQ(parent.LoudestLevelDb(), db - 3.0f) << "the related context's peak was raised";

    // The related context's loudest level now stands 10 dB above what the voice recorded (its own
    // offset lies below that): the connection moves by those 10 dB.
    parent.View().relatedOffsetDb = -200.0f;
    parent.RaiseLoudestLevel(db - 3.0f + 10.0f);
    const float gain = connection->gain;
    voice.ApplyRelatedLevels();
    EXPECT_NEAR(connection->currentDb, db + 10.0f, 1e-4f);
    EXPECT_NEAR(connection->gain, gain * std::pow(10.0f, 0.5f), gain * 0.01f);
    bus.RemoveConnection(busDry);
}

TEST_F(ConnectionVolumes, NewMatrixStartsWithoutARampAndBelowThresholdConnectionsMixSilence)
{
    voice.outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    voice.View().outputLevel = 1.0f;
    voice.UpdateSendConnections(true, kThresholdDb);
    voice.SetGain(0.5f);
    voice.ComputeConnectionVolumes(0.8f);
    EXPECT_FLOAT_EQ(connection->nextMixGain, 1.0f * 0.5f * 0.8f);
    const ZkMixInputEntry& entry = connection->Entry(0);
    ASSERT_TRUE(entry.matrices.IsAllocated());
    EXPECT_EQ(entry.matrices.inputs, 1u);
    EXPECT_EQ(entry.matrices.outputs, 2u);
    EXPECT_GT(entry.matrices.current[0], 0.0f) << "a centred mono voice reaches the left speaker";
    for (uint32_t i = 0; i < entry.matrices.MatrixFloats(); ++i)
        EXPECT_EQ(entry.matrices.previous[i], entry.matrices.current[i]) << "no ramp from silence";

    // Nothing moved: the same matrix again.
    const std::vector<float> before(entry.matrices.current, entry.matrices.current + entry.matrices.MatrixFloats());
    voice.ComputeConnectionVolumes(0.8f);
    EXPECT_EQ(std::vector<float>(entry.matrices.current, entry.matrices.current + entry.matrices.MatrixFloats()), before);

    // Panned hard right in two dimensions: the matrix is built again and ramps from the old one.
    voice.View().positioning.panX = 100.0f;
    voice.View().positioning.flags = 1; // two-dimensional position panning
    voice.ComputeConnectionVolumes(0.8f);
    EXPECT_EQ(std::vector<float>(entry.matrices.previous, entry.matrices.previous + entry.matrices.MatrixFloats()), before);
    EXPECT_LT(entry.matrices.current[0], before[0]);

    voice.View().outputLevel = 0.0f;
    voice.UpdateSendConnections(true, kThresholdDb);
    voice.ComputeConnectionVolumes(0.8f);
    EXPECT_EQ(connection->nextMixGain, 0.0f);
    EXPECT_FLOAT_EQ(connection->previousMixGain, 0.4f);

    // Positioned in three dimensions (not built yet): a silent matrix.
    voice.View().outputLevel = 1.0f;
    voice.UpdateSendConnections(true, kThresholdDb);
    voice.View().positioning.flags = ZkMixPositioning::kFlag3D;
    voice.ComputeConnectionVolumes(1.0f);
    for (uint32_t i = 0; i < entry.matrices.MatrixFloats(); ++i)
        EXPECT_EQ(entry.matrices.current[i], 0.0f);
}
} // namespace
