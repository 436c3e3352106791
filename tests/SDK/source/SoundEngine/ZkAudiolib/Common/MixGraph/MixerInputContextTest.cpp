// Mix connections: made into a bus (both lists), refused by the bus's device, their entries
// (inside the connection, then in a block growing 2, 5, 12), pruning, and what a mixer plug-in
// reads of its input.
#include "TestMixContext.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/Containers/EngineMemoryFixture.h"

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/Containers/ZkNew.h>
#include <ZkAudiolib/Common/GameObjects/CZkRegisteredObj.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZkAudiolib/Common/Output/CZkOutputDevice.h>
#include <ZkAudiolib/Common/Positioning/ZkRay.h>
#include <ZkAudiolib/Common/Voice/ZkAudioSettings.h>

#include <gtest/gtest.h>

#include <vector>

namespace
{
using namespace ZK::SoundEngine;
using ZkMixGraphTest::TestBus;
using ZkMixGraphTest::TestMixContext;
namespace FaultInjection = ZK::MemoryMgr::FaultInjection;

class MixerInputContext : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        SetAudioFormatGlobals(48000, 1024);
        voice.View().gameObjectID = 77;
    }
    // Rays towards the given listeners, handed to the voice's view.
    void GiveRays(std::vector<ZkRay>& rays, std::initializer_list<ZkGameObjectID> listeners)
    {
        rays.resize(listeners.size());
        uint32_t i = 0;
        for (ZkGameObjectID listener : listeners)
            rays[i++].listenerID = listener;
        voice.View().rays = rays.data();
        voice.View().rayCount = i;
    }
    void TearDown() override
    {
        while (voice.FirstOutput() != nullptr)
            voice.RemoveConnection(voice.FirstOutput());
        EngineMemoryTest::TearDown();
    }
    TestBus bus;
    TestMixContext voice;
};

TEST_F(MixerInputContext, ConnectionJoinsBothListsAndLeavesThemWhenRemoved)
{
    CZkMixerInputContext* first = voice.ConnectTo(bus, kConnectionDirect);
    CZkMixerInputContext* second = voice.ConnectTo(bus, 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(voice.FirstOutput(), second) << "pushed at the head of the input's list";
    EXPECT_EQ(bus.FirstInput(), first) << "appended to the destination's list";
    EXPECT_EQ(first->nextInput, second);
    EXPECT_EQ(first->listenerID, 77u) << "no listener of the bus: the input's game object";
    EXPECT_EQ(first->currentDb, -4096.0f);
    EXPECT_EQ(first->EntryCount(), 1u);
    EXPECT_EQ(voice.CountConnectionsOfType(kConnectionDirect), 1u);
    EXPECT_EQ(voice.CountConnectionsOfType(1), 1u);

    voice.RemoveConnection(first);
    EXPECT_EQ(bus.FirstInput(), second);
    EXPECT_EQ(second->nextInput, nullptr);
    EXPECT_EQ(voice.FirstOutput(), second);
    EXPECT_EQ(second->nextOutput, nullptr);

    // The listener game object the bus's key references.
    auto* listener = ZK::ZkNew<CZkRegisteredObj>(CZkGameObject::kPool, 5);
    ASSERT_NE(listener, nullptr);
    bus.SetKey(nullptr, listener);
    listener->Release();
    CZkMixerInputContext* perListener = voice.ConnectTo(bus, kConnectionDirect);
    ASSERT_NE(perListener, nullptr);
    EXPECT_EQ(perListener->listenerID, 5u) << "the bus's listener";
    voice.RemoveConnection(perListener);
    bus.SetKey(nullptr);
}

TEST_F(MixerInputContext, EntriesStayInsideUntilASecondThenGrowTwoFiveTwelve)
{
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->HasEntryBlock());
    EXPECT_EQ(connection->EntryCapacity(), 1u);
    const uint32_t expected[] = {2, 5, 5, 5, 12};
    for (uint32_t i = 0; i < 5; ++i)
    {
        ZkMixInputEntry* entry = connection->AddEntry(0, i + 1);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(connection->HasEntryBlock());
        EXPECT_EQ(connection->EntryCapacity(), expected[i]) << "entry " << i + 2;
        EXPECT_EQ(entry->destinationConfig, bus.GetChannelConfig());
    }
    // Serials come from one counter; every entry kept its ray id through the moves.
    for (uint32_t i = 1; i < connection->EntryCount(); ++i)
    {
        EXPECT_EQ(connection->Entry(i).rayID, i);
        EXPECT_GT(connection->Entry(i).serial, connection->Entry(i - 1).serial);
    }
    FaultInjection::FailFrom(CZkMixerInputContext::kEntryPool, 1);
    for (uint32_t i = connection->EntryCount(); i < 12; ++i)
        EXPECT_NE(connection->AddEntry(0, i), nullptr) << "room left in the block";
    EXPECT_EQ(connection->AddEntry(0, 99), nullptr) << "the array cannot grow: no entry this frame";
    EXPECT_EQ(connection->EntryCount(), 12u);
    FaultInjection::Disarm();
}

TEST_F(MixerInputContext, MovedEntriesTakeTheirMatricesAndFilterAlong)
{
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    ZkMixInputEntry& first = connection->Entry(0);
    ASSERT_EQ(first.matrices.Allocate(2, 2), ZK_Success);
    first.matrices.current[0] = 0.75f;
    ASSERT_EQ(first.filter.Setup(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO)), ZK_Success);
    const float* matrix = first.matrices.current;
    ASSERT_NE(connection->AddEntry(0, 1), nullptr);
    EXPECT_EQ(connection->Entry(0).matrices.current, matrix);
    EXPECT_EQ(connection->Entry(0).matrices.current[0], 0.75f);
    EXPECT_TRUE(connection->Entry(0).filter.HasAllMemory());
    connection->RemoveEntry(0);
    EXPECT_EQ(connection->EntryCount(), 1u);
    EXPECT_EQ(connection->Entry(0).rayID, 1u) << "the last entry moved into the hole";
    // Everything left is given back with the connection (the fixture checks the mappings).
}

TEST_F(MixerInputContext, PruneKeepsEntriesWithChannelsAndRemovesKeptEmptyOnes)
{
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    connection->Entry(0).configWord = stereo.word;                    // channels: kept
    connection->AddEntry(0, 1)->configWord = 0;                      // no keep byte: reset, stale
    ZkMixInputEntry* kept = connection->AddEntry(0, 2);
    kept->configWord = 0;
    kept->keep = 1;                                                   // kept empty: removed
    connection->AddEntry(0, 3)->configWord = ZkChannelConfig(0x300).word; // objects: kept
    connection->PruneEntries(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO));
    ASSERT_EQ(connection->EntryCount(), 3u);
    EXPECT_EQ(connection->Entry(1).configWord, ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO).word);
    EXPECT_EQ(connection->Entry(1).stale, 1);
    EXPECT_EQ(connection->Entry(2).rayID, 3u);
}

TEST_F(MixerInputContext, RefreshMakesOneEntryPerRayOfTheListener)
{
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    std::vector<ZkRay> rays;
    GiveRays(rays, {77, 8, 77, 77});
    const ZkChannelConfig stereo = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO);
    connection->RefreshFromInput(stereo, false);
    ASSERT_EQ(connection->EntryCount(), 1u) << "one ray is tracked: one entry";
    EXPECT_EQ(connection->Entry(0).rays.count, 3u);
    voice.View().tracksRays = true;
    connection->RefreshFromInput(stereo, false);
    ASSERT_EQ(connection->EntryCount(), 3u);
    for (uint32_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(connection->Entry(i).rays.count, 1u);
        EXPECT_EQ(connection->Entry(i).configWord, stereo.word);
        EXPECT_EQ(connection->Entry(i).stale, 1);
    }
    EXPECT_EQ(connection->Entry(1).rays.items[0], &rays[2]);
    EXPECT_EQ(connection->Entry(2).rays.items[0], &rays[3]);
}

TEST_F(MixerInputContext, PluginViewOfThePositioningBlock)
{
    CZkMixerInputContext* connection = voice.ConnectTo(bus, 2);
    ZkMixPositioning& positioning = voice.View().positioning;
    positioning.panX = 150.0f;
    positioning.panY = -250.0f;
    positioning.panZ = 50.0f;
    positioning.ratio = 40.0f;
    positioning.flags = 5 | ZkMixPositioning::kFlagPanner | (3u << ZkMixPositioning::kSpatialModeShift) |
                        (6u << ZkMixPositioning::kSpatialKindShift);
    float x = 0, y = 0, z = 0;
    connection->GetPannerPosition(x, y, z);
    EXPECT_EQ(x, 1.0f);
    EXPECT_EQ(y, -1.0f);
    EXPECT_EQ(z, 0.5f);
    EXPECT_FLOAT_EQ(connection->GetPositioningRatio(), 0.4f);
    EXPECT_EQ(connection->GetPannerMode(), 5u);
    EXPECT_TRUE(connection->IsPannerFlagSet());
    EXPECT_EQ(connection->GetSpatialMode(), 3u);
    EXPECT_EQ(connection->GetSpatialKind(), 6u);
    EXPECT_EQ(connection->GetConnectionType(), 2u);
    connection->SetUserData(0xFEEDu);
    EXPECT_EQ(connection->GetUserData(), 0xFEEDu);
    EXPECT_EQ(connection->ForwardToPositioning(), &positioning);

    std::vector<ZkRay> rays;
    GiveRays(rays, {77, 9, 77});
    rays[2].distance = 12.5f;
    EXPECT_EQ(connection->GetListenerRecordCount(), 2u);
    ZkRay record;
    EXPECT_EQ(connection->GetListenerRecord(1, record), ZK_Success);
    EXPECT_EQ(record.distance, 12.5f);
    EXPECT_EQ(connection->GetListenerRecord(2, record), ZK_Fail);
    EXPECT_EQ(connection->EvaluateCurveA(5), 0.0f) << "no record, no curve";
}

TEST_F(MixerInputContext, VolumeMatricesOfAnEntryWithoutMatrixAreZeroFilled)
{
    voice.outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    CZkMixerInputContext* connection = voice.ConnectTo(bus, kConnectionDirect);
    const size_t floats = 6 * 4; // 6 inputs x (2 outputs rounded up to 4)
    std::vector<float> current(floats, 9.0f);
    std::vector<float> previous(floats, 9.0f);
    connection->GetVolumeMatrices(current.data(), previous.data());
    EXPECT_EQ(current, std::vector<float>(floats, 0.0f));
    EXPECT_EQ(previous, std::vector<float>(floats, 0.0f));

    ASSERT_EQ(connection->Entry(0).matrices.Allocate(6, 2), ZK_Success);
    connection->Entry(0).matrices.current[5] = 0.5f;
    connection->Entry(0).matrices.previous[7] = 0.25f;
    connection->GetVolumeMatrices(current.data(), previous.data());
    EXPECT_EQ(current[5], 0.5f);
    EXPECT_EQ(previous[7], 0.25f);
}

TEST_F(MixerInputContext, DeviceThatCannotLayOutTheConfigurationRefusesTheConnection)
{
    CZkOutputDevice device;
    bus.device = &device;
    voice.outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    // No memory for a layout: neither the configuration nor the one without centre can be laid out.
    FaultInjection::FailFrom(ZkMemID_Default, 1);
    EXPECT_EQ(voice.ConnectTo(bus, kConnectionDirect), nullptr);
    FaultInjection::Disarm();
    EXPECT_EQ(voice.FirstOutput(), nullptr);
    EXPECT_EQ(bus.FirstInput(), nullptr);
    // Mono needs no layout; a laid-out configuration connects.
    voice.outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_MONO);
    FaultInjection::FailFrom(ZkMemID_Default, 1);
    EXPECT_NE(voice.ConnectTo(bus, kConnectionDirect), nullptr);
    FaultInjection::Disarm();
    voice.outputConfig = ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1);
    EXPECT_NE(voice.ConnectTo(bus, kConnectionDirect), nullptr);
}
} // namespace
