// The mix graph on an output device: an input without output bus reaches the device's master mix
// through a bus of its game object; a device that changes its configuration loses its buses at the
// next refresh and gets new ones when the input is routed again; no device, or an unusable
// configuration, makes no bus; running out of memory at any step leaves nothing half made.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Output/OutputTestSupport.h"

#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>

namespace
{
using namespace ZK::SoundEngine;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;

class MixGraphDevice : public ZkOutputTest::OutputTest
{
protected:
    void TearDown() override
    {
        while (input.FirstOutput() != nullptr)
            input.RemoveConnection(input.FirstOutput());
        CZkAudioRenderer::DestroyAllBuses();
        OutputTest::TearDown();
    }
    void Route() { CZkAudioRenderer::ConnectVoice(input, nullptr, nullptr, false); }
    // The bus the input feeds (null without one).
    CZkMixBus* Destination() const
    {
        return input.FirstOutput() != nullptr ? input.FirstOutput()->GetOutputBus() : nullptr;
    }

    ZkMixGraphTest::TestMixContext input;
};

TEST_F(MixGraphDevice, AnInputWithoutOutputBusReachesTheMainDevicesMasterMix)
{
    Route();
    EXPECT_EQ(input.FirstOutput(), nullptr) << "no main device: no bus";
    CZkOutputDevice* device = StartMainOutput();
    ASSERT_NE(device, nullptr);
    Route();
    CZkMixBus* bus = Destination();
    ASSERT_NE(bus, nullptr);
    ASSERT_EQ(CZkAudioRenderer::BusCount(), 2u);
    CZkMixBus* master = device->MasterMix();
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(bus->FirstOutput()->GetOutputBus(), master);
    EXPECT_EQ(bus->GetChannelConfig(), device->channelConfig) << "the configuration of what it feeds";
    EXPECT_EQ(bus->GetOutputDevice(), device);
    Route();
    EXPECT_EQ(input.FirstOutput()->nextOutput, nullptr) << "routed once";
    ASSERT_EQ(CZkAudioRenderer::ComputeBusLevels(), ZK_Success);
    EXPECT_EQ(master->level, 0);
    EXPECT_EQ(bus->level, 1);
    EXPECT_EQ(CZkAudioRenderer::BusAt(0), master);
}

TEST_F(MixGraphDevice, ADeviceThatChangesItsConfigurationLosesItsBusesAtTheNextRefresh)
{
    CZkOutputDevice* device = StartMainOutput();
    Route();
    ASSERT_EQ(CZkAudioRenderer::BusCount(), 2u);
    CZkAudioRenderer::ClearGraphDirty();
    CZkAudioRenderer::SetGraphDirty(0);
    CZkAudioRenderer::UpdateGraph();
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 2u) << "the device still matches";

    device->channelConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    CZkAudioRenderer::SetGraphDirty(0);
    CZkAudioRenderer::UpdateGraph();
    EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    EXPECT_EQ(device->MasterMix(), nullptr);
    EXPECT_EQ(input.FirstOutput(), nullptr);

    Route();
    ASSERT_NE(Destination(), nullptr);
    EXPECT_EQ(Destination()->GetChannelConfig(), device->channelConfig) << "made again with the new configuration";
    EXPECT_EQ(device->MasterMix()->GetChannelConfig(), device->channelConfig);
}

TEST_F(MixGraphDevice, AnUnusableDeviceConfigurationMakesNoBus)
{
    CZkOutputDevice* device = StartMainOutput();
    for (ZkChannelConfig config : {ZkChannelConfig(ZkChannelConfigType_MainMix << 8 | 2), ZkChannelConfig(0x100)})
    {
        device->channelConfig = config;
        Route();
        EXPECT_EQ(input.FirstOutput(), nullptr);
        EXPECT_EQ(CZkAudioRenderer::BusCount(), 0u);
    }
}

TEST_F(MixGraphDevice, RunningOutOfMemoryAtAnyStepLeavesNothingHalfMade)
{
    CZkOutputDevice* device = StartMainOutput();
    for (uint32_t n = 1;; ++n)
    {
        FaultInjection::FailNth(FaultInjection::kAnyPool, n);
        Route();
        const bool failed = FaultInjection::FailedAllocations() != 0;
        FaultInjection::Disarm();
        // Every listed bus is the master mix or reaches it; the input feeds a listed bus or none.
        for (uint32_t i = 0; i < CZkAudioRenderer::BusCount(); ++i)
        {
            CZkMixBus* bus = CZkAudioRenderer::BusAt(i);
            EXPECT_TRUE(bus == device->MasterMix() || bus->FirstOutput() != nullptr) << "step " << n;
        }
        if (CZkMixBus* destination = Destination())
        {
            bool listed = false;
            for (uint32_t i = 0; i < CZkAudioRenderer::BusCount(); ++i)
                listed = listed || CZkAudioRenderer::BusAt(i) == destination;
            EXPECT_TRUE(listed) << "step " << n;
        }
        while (input.FirstOutput() != nullptr)
            input.RemoveConnection(input.FirstOutput());
        CZkAudioRenderer::DestroyAllBuses();
        EXPECT_EQ(device->MasterMix(), nullptr);
        if (!failed)
        {
            EXPECT_GT(n, 3u) << "the routing allocates";
            break;
        }
    }
}
} // namespace
