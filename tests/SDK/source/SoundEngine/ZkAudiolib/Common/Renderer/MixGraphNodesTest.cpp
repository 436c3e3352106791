// The mix graph with bus nodes read from banks on an output device: per-listener instances of an
// output bus, a listener removed, a child of a bus that mixes per listener, the bus node instance's
// send levels, and a mixer plug-in. Until node instances can start (the playing instances' part),
// no bus of a node can be made: the tests then skip.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/BusFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Output/OutputTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Voice/EffectStageTestSupport.h"

#include <ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h>
#include <ZkAudiolib/Common/MixGraph/CZkBusNodeInstance.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/MixGraph/IZkMixerPlugin.h>
#include <ZkAudiolib/Common/Parameters/CZkRTPCMgr.h>

#include <new>
#include <string>

namespace
{
using namespace ZK::SoundEngine;

// A mixer plug-in of the tests: it sums its inputs' first channel into both channels of the mix
// and records what the bus told it.
struct MixerLog
{
    uint32_t connected = 0;
    uint32_t disconnected = 0;
    uint32_t consumed = 0;
    uint32_t ended = 0;
    uint32_t ready = 0;
    uint32_t frameEnds = 0;
    bool meterSeen = false;
};
MixerLog g_mixer;

class SummingMixer final : public IZkMixerPlugin
{
public:
    static ZK::IZkPlugin* Create(ZK::IZkPluginMemAlloc* allocator)
    {
        void* memory = allocator->Malloc(sizeof(SummingMixer), __FILE__, __LINE__);
        return memory != nullptr ? new (memory) SummingMixer : nullptr;
    }
    ZKRESULT Term(ZK::IZkPluginMemAlloc* allocator) override
    {
        this->~SummingMixer();
        allocator->Free(this);
        return ZK_Success;
    }
    ZKRESULT Reset() override { return ZK_Success; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo& info) override
    {
        info = ZK::ZkPluginInfo{};
        info.type = ZK::ZkPluginTypeMixer;
        info.buildVersion = ZK::ZK_PLUGIN_BUILD_VERSION;
        return ZK_Success;
    }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext*, ZK::IZkPluginParam*, ZK::ZkEffectFormat&) override
    {
        return ZK_Success;
    }
    void OnInputConnected(IZkMixerInputContext*) override { ++g_mixer.connected; }
    void OnInputDisconnected(IZkMixerInputContext*) override { ++g_mixer.disconnected; }
    void ConsumeInput(IZkMixerInputContext*, ZkAudioBuffer* block, ZkAudioBuffer* mix) override
    {
        ++g_mixer.consumed;
        for (uint32_t c = 0; c < mix->NumChannels(); ++c)
            for (uint32_t k = 0; k < mix->maxFrames; ++k)
                mix->GetChannel(c)[k] += block->GetChannel(0)[k];
    }
    void OnInputsEnded(ZkAudioBuffer*) override { ++g_mixer.ended; }
    void OnOutputReady(ZkAudioBuffer*) override { ++g_mixer.ready; }
    void OnFrameEnd(ZkAudioBuffer*, const IZkBusMeter* meter) override
    {
        ++g_mixer.frameEnds;
        g_mixer.meterSeen = meter != nullptr;
    }
};

constexpr uint32_t kMixerNumber = 12;
constexpr ZkUniqueID kMixerEffectID = 0x3E0;

class MixGraphNodes : public ZkHierarchyTest::BusTest
{
protected:
    void SetUp() override
    {
        BusTest::SetUp();
        SetAudioFormatGlobals(48000, 1024);
        ZkOutputTest::g_sinkScript = ZkOutputTest::SinkScript{};
        ZkOutputTest::g_sinkLog = ZkOutputTest::SinkLog{};
        ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeSink, 0, ZkOutputTest::kSystemSinkNumber,
                                                 &ZkOutputTest::ScriptedSink::Create, nullptr, nullptr),
                  ZK_Success);
        ZkOutputSettings settings;
        settings.channelConfig = ZkOutputTest::kStereo;
        ASSERT_EQ(CZkOutputDeviceMgr::ReplaceMainOutput(settings), ZK_Success);
        const std::string device = std::to_string(CZkOutputDeviceMgr::kSystemShareSetID);
        Load(Bus("Master", R"("device": )" + device) + ", " + Bus("World", R"("parent": "Master")") + ", " +
             Bus("Listened", R"("parent": "Master", "positioning": 3)") + ", " +
             Bus("Room", R"("parent": "Listened")") + ", " +
             Bus("Mixed", R"("parent": "Master", "mixer_shareset": 1, "mixer": )" + std::to_string(kMixerEffectID)));
        emitter = Register(10);
        for (ZkGameObjectID listener : {100, 101})
            Register(listener);
        ZkListenerSet listeners;
        listeners.Add(100);
        listeners.Add(101);
        ASSERT_EQ(g_pRegistryMgr->SetListeners(10, listeners, ZkListenerOperation_Set), ZK_Success);
        g_mixer = MixerLog{};
        ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeMixer, ZkOutputTest::kTestCompany, kMixerNumber,
                                                 &SummingMixer::Create, nullptr, nullptr),
                  ZK_Success);
        // The share set (a type-16 object) that names the test mixer.
        mixerEffect = ZkEffectTest::MakeEffect(
            ZkIndexKind::SharedEffects, kMixerEffectID,
            ZK::ZkMakePluginKey(ZK::ZkPluginTypeMixer, ZkOutputTest::kTestCompany, kMixerNumber));
        ASSERT_NE(mixerEffect, nullptr);
        ASSERT_NE(CZkAudioRenderer::FindOrCreateBus(ZkMixBusKey(FindBus("Master"), 10)), nullptr);
        CZkAudioRenderer::DestroyAllBuses();
    }
    void TearDown() override
    {
        while (input.FirstOutput() != nullptr)
            input.RemoveConnection(input.FirstOutput());
        CZkAudioRenderer::DestroyAllBuses();
        mixerEffect->Release();
        CZkOutputDeviceMgr::TermDevices();
        PluginRegistry::Term();
        AudioBufferPool::Flush();
        BusTest::TearDown();
    }
    uint32_t InstancesOf(const char* name) const
    {
        uint32_t count = 0;
        for (uint32_t i = 0; i < CZkAudioRenderer::BusCount(); ++i)
            count += CZkAudioRenderer::BusAt(i)->Key().NodeID() == Id(name) ? 1u : 0u;
        return count;
    }
    uint32_t DryConnections() const
    {
        uint32_t count = 0;
        for (const CZkMixerInputContext* c = input.FirstOutput(); c != nullptr; c = c->nextOutput)
            count += c->connectionType == kConnectionDirect ? 1u : 0u;
        return count;
    }

    ZK::Platform::ScopedVirtualAudioSystem m_audioSystem;
    CZkRegisteredObj* emitter = nullptr;
    ZkMixGraphTest::TestMixContext input;
    CZkEffectObject* mixerEffect = nullptr;
};

TEST_F(MixGraphNodes, TwoListenersOfAPerListenerRouteGiveTwoInstancesAndTwoDryConnections)
{
    CZkAudioRenderer::ConnectVoice(input, FindBus("World"), emitter, true);
    EXPECT_EQ(InstancesOf("World"), 2u);
    EXPECT_EQ(DryConnections(), 2u);
    for (const CZkMixerInputContext* c = input.FirstOutput(); c != nullptr; c = c->nextOutput)
        EXPECT_EQ(c->GetOutputBus()->GetKeyGameObjectID(), c->listenerID) << "each keyed by its listener";
    CZkAudioRenderer::ConnectVoice(input, FindBus("World"), emitter, true);
    EXPECT_EQ(DryConnections(), 2u) << "routed once per listener";

    // Listener 101 leaves the emitter's set: the refresh drops exactly its connection.
    ZkListenerSet one;
    one.Add(100);
    ASSERT_EQ(g_pRegistryMgr->SetListeners(10, one, ZkListenerOperation_Set), ZK_Success);
    CZkAudioRenderer::RefreshConnections(input, emitter, true);
    ASSERT_EQ(DryConnections(), 1u);
    EXPECT_EQ(input.FirstOutput()->listenerID, 100u);
    for (uint32_t i = 0; i < CZkAudioRenderer::BusCount(); ++i)
    {
        CZkMixBus* bus = CZkAudioRenderer::BusAt(i);
        if (bus->Key().NodeID() == Id("World") && bus->GetKeyGameObjectID() == 101)
        {
            EXPECT_EQ(bus->FirstInput(), nullptr) << "nothing feeds the other listener's bus any more";
        }
    }
}

TEST_F(MixGraphNodes, AChildOfABusThatMixesPerListenerConnectsToOneParentPerListener)
{
    CZkAudioRenderer::ConnectVoice(input, FindBus("Room"), emitter, false);
    ASSERT_EQ(DryConnections(), 1u);
    CZkMixBus* room = input.FirstOutput()->GetOutputBus();
    EXPECT_EQ(room->GetKeyGameObjectID(), 10u);
    EXPECT_EQ(room->CountConnectionsOfType(kConnectionDirect), 2u) << "one parent per listener";
    EXPECT_EQ(InstancesOf("Listened"), 2u);
    ASSERT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    EXPECT_EQ(room->level, 3) << "master mix, Master, Listened, Room";
}

TEST_F(MixGraphNodes, AnAuxSendSwitchingFromZeroMarksTheSendsChangedOnce)
{
    CZkAudioRenderer::ConnectVoice(input, FindBus("World"), emitter, false);
    ASSERT_EQ(DryConnections(), 1u);
    CZkMixBus* bus = input.FirstOutput()->GetOutputBus();
    CZkBusNodeInstance* instance = bus->NodeInstance();
    ASSERT_NE(instance, nullptr);
    bus->ClearSendsChanged();
    instance->SetParameterValue(CZkBusNodeInstance::kParamAuxSend0 + 2, 6.0f, 6.0f);
    EXPECT_TRUE(bus->SendsChanged());
    bus->ClearSendsChanged();
    instance->SetParameterValue(CZkBusNodeInstance::kParamAuxSend0 + 2, 9.0f, 3.0f);
    EXPECT_FALSE(bus->SendsChanged());
    EXPECT_EQ(bus->SendLevel(2), 9);
}

// The banks go while a bus of their node idles (the engine's end clears them before its last
// frames): the bus instance holds the last reference to the node and must be done with the node
// before it lets that reference go.
TEST_F(MixGraphNodes, ABusThatOutlivesItsBankIsDestroyedWithoutTouchingItsReleasedNode)
{
    CZkAudioRenderer::ConnectVoice(input, FindBus("World"), emitter, false);
    ASSERT_EQ(DryConnections(), 1u);
    ASSERT_NE(input.FirstOutput()->GetOutputBus()->NodeInstance(), nullptr);
    input.RemoveConnection(input.FirstOutput());
    ReleaseBanks();
    ASSERT_NE(FindBus("World"), nullptr) << "held by its idle bus alone";
    ASSERT_GT(CZkAudioRenderer::BusCount(), 0u) << "the idle buses stay until the clean-up";
    CZkAudioRenderer::DestroyAllBuses();
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    EXPECT_EQ(FindBus("World"), nullptr) << "gone with the bus's reference";
}

// A bus made while a game parameter holds its bus volume at silence starts from that volume: the
// subscription brings only later changes, so a start at 0 dB would rise to +4096 dB (an infinite
// gain) when the level comes back.
TEST_F(MixGraphNodes, ABusMadeWhileItsLevelIsSilentFollowsTheLevelFromSilence)
{
    Load(Bus("Leveled", R"("parent": "Master", "rtpc": [{"parameter": "Level", "target": 5, "curve": "LevelCurve",
                                                          "scaling": 2, "points": [[0, -1], [100, 0]]}])"));
    ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(Id("Level"), 0.0f, ZkRTPCKey::Global()), ZK_Success);
    CZkAudioRenderer::ConnectVoice(input, FindBus("Leveled"), emitter, false);
    ASSERT_EQ(DryConnections(), 1u);
    CZkMixBus* bus = input.FirstOutput()->GetOutputBus();
    const struct
    {
        float level;
        float db;
    } steps[] = {{0.0f, -4096.0f}, {50.0f, -6.02f}, {100.0f, 0.0f}};
    for (const auto& step : steps)
    {
        ASSERT_EQ(g_pRTPCMgr->SetRTPCImmediate(Id("Level"), step.level, ZkRTPCKey::Global()), ZK_Success);
        bus->PrepareFrame(false, -96.0f);
        EXPECT_NEAR(bus->GetLevelDb(), step.db, 0.01) << "level " << step.level;
    }
}

TEST_F(MixGraphNodes, AMixerPlugInHearsOfItsInputsAndMixesThemForTheBus)
{
    CZkAudioRenderer::ConnectVoice(input, FindBus("Mixed"), emitter, false);
    ASSERT_EQ(DryConnections(), 1u);
    CZkMixBus* bus = input.FirstOutput()->GetOutputBus();
    ASSERT_NE(bus->MixerPlugin(), nullptr) << "made when the first input connected";
    EXPECT_EQ(g_mixer.connected, 1u);

    EffectStageTest::Block block(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO), 1024, 0.25f);
    input.FirstOutput()->Entry(0).buffer = &block.buffer;
    bus->SetPluginMeteringFlags(ZkMeteringFlag_Peak);
    bus->MixInput(*input.FirstOutput());
    bus->Process();
    EXPECT_EQ(g_mixer.consumed, 1u);
    EXPECT_EQ(g_mixer.ended, 1u);
    EXPECT_EQ(g_mixer.ready, 1u);
    EXPECT_EQ(g_mixer.frameEnds, 1u);
    EXPECT_TRUE(g_mixer.meterSeen);
    ASSERT_EQ(bus->Objects().Count(), 1u);
    EXPECT_EQ(bus->Objects()[0].buffer.GetChannel(1)[100], 0.25f) << "the plug-in's mix";
    bus->EndFrame();

    input.RemoveConnection(input.FirstOutput());
    EXPECT_EQ(g_mixer.disconnected, 1u);
}
} // namespace
