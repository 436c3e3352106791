// The renderer's mix graph without devices: levels (the deepest path decides, cycles get a deferred
// connection and the feedback flag), the order of the bus list, the graph update's rebuild and
// refresh, the failure of the level arrays, and the game-parameter outputs of the windows.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Parameters/ParametersFixture.h"

#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/Renderer/CZkAudioRenderer.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
using namespace ZK::SoundEngine;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;

class MixGraphLevels : public ZkParamTest::ParametersTest
{
protected:
    void SetUp() override
    {
        ParametersTest::SetUp();
        SetAudioFormatGlobals(48000, 64);
    }
    void TearDown() override
    {
        CZkAudioRenderer::DestroyAllBuses();
        CZkAudioRenderer::ClearGraphDirty();
        ParametersTest::TearDown();
    }
    // A listed bus of its own (no node, no device).
    CZkMixBus* Bus(const std::string& name)
    {
        CZkMixBus* bus = CZkMixBus::Create(ZkMixBusKey());
        EXPECT_NE(bus, nullptr);
        EXPECT_EQ(bus->Init(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), ZkMixBusKey()), ZK_Success);
        EXPECT_EQ(CZkAudioRenderer::AddBus(bus), ZK_Success);
        names[bus] = name;
        return bus;
    }
    static CZkMixerInputContext* Feed(CZkMixBus* input, CZkMixBus* output, uint32_t type = kConnectionDirect)
    {
        CZkMixerInputContext* connection = input->ConnectTo(*output, type);
        EXPECT_NE(connection, nullptr);
        return connection;
    }
    // Listed buses named by the letters, made in that order.
    void Make(const std::string& letters)
    {
        for (char letter : letters)
            made[letter] = Bus(std::string(1, letter));
    }
    // Connections "AR" (A's dry path into R) or "A~R" (an auxiliary send), separated by spaces.
    std::vector<CZkMixerInputContext*> Connect(const std::string& edges)
    {
        std::vector<CZkMixerInputContext*> connections;
        std::istringstream words(edges);
        std::string edge;
        while (words >> edge)
        {
            const bool send = edge.size() == 3 && edge[1] == '~';
            connections.push_back(Feed(made.at(edge.front()), made.at(edge.back()), send ? 1u : kConnectionDirect));
        }
        return connections;
    }
    static bool Deferred(const CZkMixerInputContext* connection)
    {
        return (connection->flags & CZkMixerInputContext::kFlagDeferred) != 0;
    }
    std::string Order() const
    {
        std::string order;
        for (uint32_t i = 0; i < CZkAudioRenderer::BusCount(); ++i)
            order += names.at(CZkAudioRenderer::BusAt(i)) + std::to_string(CZkAudioRenderer::BusAt(i)->level) + " ";
        return order;
    }

    std::map<const CZkMixBus*, std::string> names;
    std::map<char, CZkMixBus*> made;
};

TEST_F(MixGraphLevels, TheDeepestPathDecidesAndTheListRunsFromTheRoots)
{
    // Root <- A <- B <- C, and C also straight into A.
    Make("CBAR");
    Connect("AR BA CB C~A");
    CZkMixBus* c = made['C'];
    EXPECT_TRUE(CZkAudioRenderer::GraphChanged());
    ASSERT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    EXPECT_FALSE(CZkAudioRenderer::GraphChanged());
    EXPECT_FALSE(CZkAudioRenderer::HasFeedback());
    EXPECT_EQ(c->level, 3) << "through B, not straight into A";
    EXPECT_EQ(Order(), "R0 A1 B2 C3 ");
    ASSERT_EQ(CZkAudioRenderer::LevelCount(), 4u);
    for (uint32_t level = 0; level < 4; ++level)
        EXPECT_EQ(CZkAudioRenderer::BusesAtLevel(level), 1);
    // C without destination is a root of its own (it has no node with a parent); O feeds it.
    CZkMixBus* o = Bus("O");
    Feed(o, c);
    c->RemoveConnection(c->FirstOutput());
    c->RemoveConnection(c->FirstOutput());
    ASSERT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    EXPECT_EQ(c->level, 0);
    EXPECT_EQ(o->level, 1);
    EXPECT_EQ(Order(), "R0 C0 O1 A1 B2 ") << "within a level the order stays (O was listed first)";
}

TEST_F(MixGraphLevels, AnAuxCycleGetsADeferredConnectionTheFeedbackFlagAndFiniteLevels)
{
    // A into the root, B into A, and A sending back to B.
    Make("RAB");
    const std::vector<CZkMixerInputContext*> c = Connect("AR BA A~B");
    ASSERT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    EXPECT_TRUE(CZkAudioRenderer::HasFeedback());
    EXPECT_TRUE(Deferred(c[2])) << "the connection that closes the cycle";
    EXPECT_FALSE(Deferred(c[1]));
    EXPECT_FALSE(Deferred(c[0]));
    EXPECT_EQ(made['A']->level, 1);
    EXPECT_EQ(made['B']->level, 2);
    EXPECT_FALSE(CZkAudioRenderer::IsLevelSerial(0));
}

TEST_F(MixGraphLevels, BusesOfOneLevelThatFeedEachOtherRunOneAfterTheOther)
{
    // P, Q and S feed the root; Q and S send to each other. Each reaches the other one level down,
    // so both end on level 2, where S takes Q's send (the other send closes the cycle).
    Make("SQPR");
    const std::vector<CZkMixerInputContext*> c = Connect("PR QR SR Q~S S~Q");
    ASSERT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    ASSERT_TRUE(CZkAudioRenderer::HasFeedback());
    EXPECT_FALSE(Deferred(c[3])) << "Q's send into S";
    EXPECT_TRUE(Deferred(c[4])) << "S's send into Q";
    EXPECT_EQ(Order(), "R0 P1 Q2 S2 ") << "Q runs before the bus that takes its send";
    EXPECT_FALSE(CZkAudioRenderer::IsLevelSerial(1)) << "one bus";
    EXPECT_TRUE(CZkAudioRenderer::IsLevelSerial(2));
}

TEST_F(MixGraphLevels, LevelArraysThatCannotGrowLeaveTheGraphChanged)
{
    CZkMixBus* root = Bus("R");
    Feed(Bus("A"), root);
    FaultInjection::FailFrom(ZkMemID_Processing, 1);
    EXPECT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Fail);
    FaultInjection::Disarm();
    EXPECT_TRUE(CZkAudioRenderer::GraphChanged()) << "buses are not processed";
    EXPECT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    EXPECT_FALSE(CZkAudioRenderer::GraphChanged());
}

TEST_F(MixGraphLevels, TheGraphUpdateRebuildsEverythingOrDropsWhatLostItsPurpose)
{
    CZkMixBus* root = Bus("R");
    CZkMixBus* a = Bus("A");
    CZkMixBus* b = Bus("B");
    Feed(a, root);
    Feed(b, a, 1); // only a send: no dry path left when refreshed
    CZkAudioRenderer::UpdateGraph();
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 3u) << "a clean graph is left alone";

    CZkAudioRenderer::SetGraphDirty(0);
    CZkAudioRenderer::UpdateGraph();
    // B feeds only a send; the root has no device; A then has no destination: all go.
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphClean);

    Feed(Bus("A"), Bus("R"));
    CZkAudioRenderer::SetGraphRebuildAll();
    CZkAudioRenderer::SetGraphDirty(0);
    EXPECT_EQ(CZkAudioRenderer::GraphDirty(), CZkAudioRenderer::kGraphRebuildAll) << "a rebuild stays pending";
    CZkAudioRenderer::UpdateGraph();
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    EXPECT_TRUE(CZkAudioRenderer::GraphChanged());
}

TEST_F(MixGraphLevels, WindowOutputsKeepTheLargestValuePerObjectAndTheGlobalMaximumPerParameter)
{
    constexpr ZkUniqueID kFirst = 900;
    constexpr ZkUniqueID kSecond = 800;
    CZkRegisteredObj* a = Register(10);
    CZkRegisteredObj* b = Register(11);
    CZkAudioRenderer::RecordGameParameterOutput(kFirst, 10, 3.0f);
    CZkAudioRenderer::RecordGameParameterOutput(kFirst, 10, 5.0f);
    CZkAudioRenderer::RecordGameParameterOutput(kFirst, 10, 4.0f);
    CZkAudioRenderer::RecordGameParameterOutput(kFirst, 11, 7.0f);
    CZkAudioRenderer::RecordGameParameterOutput(kSecond, 11, -2.0f);
    EXPECT_EQ(CZkAudioRenderer::GameParameterOutputCount(), 3u);
    CZkAudioRenderer::FlushGameParameterOutputs();
    EXPECT_EQ(CZkAudioRenderer::GameParameterOutputCount(), 0u);
    const auto value = [](ZkUniqueID id, const ZkRTPCKey& key) {
        ZkRTPCKey scope = key;
        float v = 0.0f;
        g_pRTPCMgr->GetRTPCValue(id, scope, v);
        return v;
    };
    EXPECT_EQ(value(kFirst, ZkRTPCKey::ForObject(a)), 5.0f);
    EXPECT_EQ(value(kFirst, ZkRTPCKey::ForObject(b)), 7.0f);
    EXPECT_EQ(value(kFirst, ZkRTPCKey::Global()), 7.0f) << "the largest of the run";
    EXPECT_EQ(value(kSecond, ZkRTPCKey::Global()), -2.0f);
}
} // namespace
