// The per-bus and per-device callbacks: a bus must be loaded and a device must exist; one entry per
// bus, replaced by a second registration; the removal rules (a null volume callback removes, a null
// metering callback removes only with flags); what the callbacks receive.
#include "PlayingMgrFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/ObjectIndex/IndexTestObject.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Output/OutputTestSupport.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

using namespace ZkPlayingTest;

namespace
{
constexpr ZkUniqueID kBus = 0xB005;

struct MeterLog
{
    std::vector<ZkBusMeteringCallbackInfo> metering;
    std::vector<ZkSpeakerVolumeMatrixCallbackInfo> volumes;
};

void RecordMetering(ZkBusMeteringCallbackInfo* info)
{
    static_cast<MeterLog*>(info->cookie)->metering.push_back(*info);
}

void RecordVolumes(ZkSpeakerVolumeMatrixCallbackInfo* info)
{
    static_cast<MeterLog*>(info->cookie)->volumes.push_back(*info);
    info->volumes[0] = 0.25f;
}

void IgnoreDeviceMetering(ZkOutputDeviceMeteringCallbackInfo*) {}

class BusCallbacks : public PlayingMgrTest
{
protected:
    void SetUp() override
    {
        PlayingMgrTest::SetUp();
        m_bus = ZkIndexTest::TestObject::Create(g_pObjectIndex->Table(ZkIndexKind::Buses), kBus);
        ASSERT_NE(m_bus, nullptr);
    }
    void TearDown() override
    {
        m_bus->Release();
        PlayingMgrTest::TearDown();
    }

    ZkIndexTest::TestObject* m_bus = nullptr;
};

TEST_F(BusCallbacks, ABusThatIsNotLoadedIsRefusedWith15)
{
    MeterLog log;
    EXPECT_EQ(Manager().SetBusVolumeCallback(kBus + 1, &RecordVolumes, &log), ZK_InvalidID);
    EXPECT_EQ(Manager().SetBusMeteringCallback(kBus + 1, &RecordMetering, ZkMeteringFlag_Peak, &log), ZK_InvalidID);
    EXPECT_EQ(Manager().SetBusVolumeCallback(kBus + 1, nullptr, nullptr), ZK_InvalidID);
    EXPECT_FALSE(Manager().HasBusVolumeCallback(kBus + 1));
    EXPECT_EQ(Manager().GetBusMeteringFlags(kBus + 1), ZkMeteringFlag_None);
}

TEST_F(BusCallbacks, AVolumeCallbackGetsTheVoicesMatrixWithItsCookieUntilANullCallbackRemovesIt)
{
    MeterLog first;
    MeterLog second;
    ASSERT_EQ(Manager().SetBusVolumeCallback(kBus, &RecordVolumes, &first), ZK_Success);
    ASSERT_EQ(Manager().SetBusVolumeCallback(kBus, &RecordVolumes, &second), ZK_Success) << "replaces";
    EXPECT_TRUE(Manager().HasBusVolumeCallback(kBus));

    float matrix[4] = {1.0f, 1.0f, 0.0f, 0.0f};
    ZkSpeakerVolumeMatrixCallbackInfo info;
    info.volumes = matrix;
    info.gameObjID = kObjectID;
    EXPECT_TRUE(Manager().NotifyBusVolume(kBus, info));
    EXPECT_TRUE(first.volumes.empty());
    ASSERT_EQ(second.volumes.size(), 1u);
    EXPECT_EQ(second.volumes[0].cookie, &second);
    EXPECT_EQ(second.volumes[0].gameObjID, kObjectID);
    EXPECT_EQ(matrix[0], 0.25f) << "the callback may change the matrix";

    ASSERT_EQ(Manager().SetBusVolumeCallback(kBus, nullptr, &second), ZK_Success);
    EXPECT_FALSE(Manager().HasBusVolumeCallback(kBus));
    EXPECT_FALSE(Manager().NotifyBusVolume(kBus, info));
    EXPECT_EQ(second.volumes.size(), 1u);
}

struct MeteringStep
{
    bool withCallback;
    ZkMeteringFlags flags;
    bool entryAfter;
    ZkMeteringFlags flagsAfter;
};

TEST_F(BusCallbacks, AMeteringEntryGoesOnlyWithANullCallbackAndNonZeroFlags)
{
    const MeteringStep steps[] = {
        {true, static_cast<ZkMeteringFlags>(ZkMeteringFlag_Peak | ZkMeteringFlag_RMS), true,
         static_cast<ZkMeteringFlags>(ZkMeteringFlag_Peak | ZkMeteringFlag_RMS)},
        {false, ZkMeteringFlag_None, true, ZkMeteringFlag_None}, // kept, asking for nothing
        {true, ZkMeteringFlag_TruePeak, true, ZkMeteringFlag_TruePeak},
        {false, ZkMeteringFlag_Peak, false, ZkMeteringFlag_None},
        {false, ZkMeteringFlag_Peak, false, ZkMeteringFlag_None}, // removing nothing is fine
    };
    MeterLog log;
    int meter = 0;
    for (const MeteringStep& step : steps)
    {
        SCOPED_TRACE(testing::Message() << (step.withCallback ? "callback" : "null") << ", flags " << step.flags);
        ASSERT_EQ(Manager().SetBusMeteringCallback(kBus, step.withCallback ? &RecordMetering : nullptr, step.flags,
                                                   &log),
                  ZK_Success);
        EXPECT_EQ(Manager().GetBusMeteringFlags(kBus), step.flagsAfter);
        const size_t before = log.metering.size();
        EXPECT_EQ(Manager().NotifyBusMetering(kBus, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO), &meter,
                                              kObjectID),
                  step.entryAfter);
        EXPECT_EQ(log.metering.size(), before + (step.withCallback ? 1u : 0u)) << "a null callback is never called";
    }
    ASSERT_EQ(log.metering.size(), 2u);
    const ZkBusMeteringCallbackInfo& delivered = log.metering[1];
    EXPECT_EQ(delivered.cookie, &log);
    EXPECT_EQ(delivered.gameObjID, kObjectID);
    EXPECT_EQ(delivered.busID, kBus);
    EXPECT_EQ(delivered.channelConfig.word, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO).word);
    EXPECT_EQ(delivered.flags, ZkMeteringFlag_TruePeak);
    EXPECT_EQ(delivered.meteringData, &meter);
}

TEST_F(BusCallbacks, ATableThatCannotGrowRefusesWith52AndKeepsWhatItHad)
{
    MeterLog log;
    ZK::MemoryMgr::FaultInjection::FailNth(ZkMemID_Default, 1);
    EXPECT_EQ(Manager().SetBusMeteringCallback(kBus, &RecordMetering, ZkMeteringFlag_Peak, &log),
              ZK_InsufficientMemory);
    ZK::MemoryMgr::FaultInjection::Disarm();
    EXPECT_EQ(Manager().GetBusMeteringFlags(kBus), ZkMeteringFlag_None);
    EXPECT_FALSE(Manager().NotifyBusMetering(kBus, ZkChannelConfig{}, nullptr, kObjectID));
}

class DeviceCallbacks : public ZkOutputTest::OutputTest
{
protected:
    void TearDown() override
    {
        m_callbacks.Term();
        OutputTest::TearDown();
    }

    CZkMeteringCallbacks m_callbacks;
};

TEST_F(DeviceCallbacks, AnOutputDeviceMustExistAndDeviceZeroIsTheMainOne)
{
    EXPECT_EQ(m_callbacks.SetOutputDeviceMeteringCallback(0, &IgnoreDeviceMetering, ZkMeteringFlag_Peak, nullptr),
              ZK_DeviceNotFound)
        << "no main output yet";
    const CZkOutputDevice* main = StartMainOutput();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(m_callbacks.SetOutputDeviceMeteringCallback(0, &IgnoreDeviceMetering, ZkMeteringFlag_Peak, nullptr),
              ZK_Success);
    EXPECT_EQ(m_callbacks.SetOutputDeviceMeteringCallback(main->OutputID(), nullptr, ZkMeteringFlag_Peak, nullptr),
              ZK_Success);
    EXPECT_EQ(m_callbacks.SetOutputDeviceMeteringCallback(ZkMakeOutputID(0x1234, 0x5678), &IgnoreDeviceMetering,
                                                          ZkMeteringFlag_Peak, nullptr),
              ZK_DeviceNotFound);
}
} // namespace
