// A bus effect reading the game's custom data through its bus plug-in context: the block posted for
// (the bus's node id, the effect's own plug-in key, the bus's game object), else the block for all
// game objects, scales the bus's output by the gain it holds; blocks for another plug-in or another
// bus do not reach it.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Hierarchy/HierarchyTestNodes.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Voice/EffectStageTestSupport.h"

#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/ObjectIndex/ObjectIndex.h>
#include <ZkAudiolib/Common/Plugins/CZkPluginCustomData.h>
#include <ZkAudiolib/Common/Renderer/CZkAudioRenderer.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

namespace
{
using namespace ZK::SoundEngine;
using EffectStageTest::Block;
using ZkMixGraphTest::TestBus;
using ZkMixGraphTest::TestMixContext;

constexpr uint16_t kFrames = 64;
constexpr uint32_t kGainPluginID = 21;
constexpr ZkUniqueID kBusNode = 0xB07;
constexpr ZkGameObjectID kListener = 0x6A;
const ZkChannelConfig kStereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);

// Multiplies the bus's mix by the float its custom data holds (1 without data).
class CustomDataGainEffect final : public EffectStageTest::TestPlugin<ZK::IZkInPlaceEffectPlugin, true>
{
public:
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext* context, ZK::IZkPluginParam*,
                  ZK::ZkEffectFormat&) override
    {
        m_context = context;
        return ZK_Success;
    }
    void Execute(ZkAudioBuffer* buffer) override
    {
        const void* data = nullptr;
        uint32_t size = 0;
        m_context->GetCustomData(data, size);
        float gain = 1.0f;
        if (data != nullptr && size == sizeof(gain))
            std::memcpy(&gain, data, sizeof(gain));
        for (uint32_t c = 0; c < buffer->NumChannels(); ++c)
            for (uint32_t k = 0; k < buffer->validFrames; ++k)
                buffer->GetChannel(c)[k] *= gain;
    }

private:
    ZK::IZkEffectPluginContext* m_context = nullptr;
};

class BusCustomData : public EffectStageTest::EffectStageFixture
{
protected:
    void SetUp() override
    {
        EffectStageFixture::SetUp();
        SetAudioFormatGlobals(48000, kFrames);
        ASSERT_EQ(PluginRegistry::RegisterPlugin(ZK::ZkPluginTypeEffect, EffectStageTest::kCompany, kGainPluginID,
                                                 EffectStageTest::CreateIn<CustomDataGainEffect>, nullptr, nullptr),
                  ZK_Success);
        effect().pluginID = ZK::ZkMakePluginKey(ZK::ZkPluginTypeEffect, EffectStageTest::kCompany, kGainPluginID);
        node = std::make_unique<ZkHierarchyTest::TestNode>(kBusNode, ZkNodeCategory_Bus, true);
        ASSERT_EQ(node->Effects().SetSlotValue(0, effect().ID(), false, 0), ZK_Success);
        bus = std::make_unique<TestBus>(kStereo);
        bus->SetKey(node.get(), &listener);
        bus->RebuildEffects();
        input.outputConfig = kStereo;
        connection = input.ConnectTo(*bus, kConnectionDirect);
        ASSERT_NE(connection, nullptr);
        ZkMixInputEntry& entry = connection->Entry(0);
        ASSERT_EQ(entry.matrices.Allocate(2, 2), ZK_Success);
        const uint32_t stride = ZkVolumeMatrixPair::RowFloats(2);
        for (uint32_t c = 0; c < 2; ++c)
            entry.matrices.previous[c * stride + c] = entry.matrices.current[c * stride + c] = 1.0f;
        connection->previousMixGain = connection->nextMixGain = 1.0f;
    }
    void TearDown() override
    {
        CZkPluginCustomData::Clear();
        while (input.FirstOutput() != nullptr)
            input.RemoveConnection(input.FirstOutput());
        bus.reset();
        node.reset();
        CZkAudioRenderer::ClearGraphDirty();
        EffectStageFixture::TearDown();
    }
    // One frame of a constant 0.8 through the bus: the output's level in dB relative to the input.
    double FrameGainDb()
    {
        block.buffer.validFrames = kFrames;
        block.buffer.status = ZK_DataReady;
        connection->Entry(0).buffer = &block.buffer;
        bus->MixInput(*connection);
        bus->Process();
        const float sample = bus->OutputList()[0].buffer.GetChannel(1)[kFrames / 2];
        bus->EndFrame();
        return 20.0 * std::log10(sample / 0.8);
    }
    static void Send(ZkUniqueID busNode, ZkGameObjectID gameObject, uint32_t pluginID, float gain)
    {
        void* copy = ZK::MemoryMgr::Malloc(CZkPluginCustomData::kDataPool, sizeof(gain));
        std::memcpy(copy, &gain, sizeof(gain));
        ASSERT_EQ(CZkPluginCustomData::Post(busNode, gameObject, ZK::ZkPluginTypeEffect, EffectStageTest::kCompany,
                                            pluginID, copy, sizeof(gain), true),
                  ZK_Success);
    }

    CZkGameObject listener{kListener};
    std::unique_ptr<ZkHierarchyTest::TestNode> node;
    std::unique_ptr<TestBus> bus;
    TestMixContext input;
    CZkMixerInputContext* connection = nullptr;
    Block block{kStereo, kFrames, 0.8f};
};

TEST_F(BusCustomData, TheEffectScalesTheBusByTheGainOfItsBlock)
{
    EXPECT_NEAR(FrameGainDb(), 0.0, 1e-4) << "no data: the effect passes the mix";
    ASSERT_TRUE(bus->Slot(0).HasEffect());
    Send(kBusNode, CZkPluginCustomData::kAnyGameObject, kGainPluginID, 0.5f);
    EXPECT_NEAR(FrameGainDb(), -6.0206, 1e-3) << "the all-objects block";
    Send(kBusNode, kListener, kGainPluginID, 0.25f);
    EXPECT_NEAR(FrameGainDb(), -12.0412, 1e-3) << "the bus's own game object";
    Send(kBusNode + 1, kListener, kGainPluginID, 2.0f);
    Send(kBusNode, kListener, kGainPluginID + 1, 2.0f);
    EXPECT_NEAR(FrameGainDb(), -12.0412, 1e-3) << "another bus's and another plug-in's blocks do not reach it";
    Send(kBusNode, kListener, kGainPluginID, 0.0f);
    ASSERT_EQ(CZkPluginCustomData::Post(kBusNode, kListener, ZK::ZkPluginTypeEffect, EffectStageTest::kCompany,
                                        kGainPluginID, nullptr, 0, true),
              ZK_Success);
    EXPECT_NEAR(FrameGainDb(), -6.0206, 1e-3) << "its own block removed: the all-objects block again";
}
} // namespace
