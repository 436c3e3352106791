// The host contexts of effect and mixer plug-ins: media looked up once per index through the
// effect object and the bank manager's media index (with media of banks the fixture writer made),
// every media and bank reference given back when the context goes, the media refresh after a bank
// change, and what the contexts report of their owner.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankManagerFixture.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/MixGraph/TestMixContext.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Voice/EffectStageTestSupport.h"

#include <ZkAudiolib/Common/MixGraph/CZkMixerInputContext.h>
#include <ZkAudiolib/Common/MixGraph/CZkMixBus.h>
#include <ZK/SoundEngine/Common/ZkMeteringCallbacks.h>
#include <ZkAudiolib/Common/Plugins/CZkBusPluginContext.h>
#include <ZkAudiolib/Common/Plugins/CZkEffectPluginContext.h>

#include <MemoryMgr/ZkMemoryFaultInjection.h>
#include <ZK/SoundEngine/Common/IZkGlobalPluginContext.h>

namespace
{
using namespace ZkBankManagerTest;
using ZkMixGraphTest::TestBus;
using ZkMixGraphTest::TestMixContext;
namespace Fault = ZK::MemoryMgr::FaultInjection;

// An effect that takes new media when told to, and remembers what it was handed.
class MediaEffect final : public ZK::IZkInPlaceEffectPlugin
{
public:
    ZKRESULT Term(ZK::IZkPluginMemAlloc*) override { return ZK_Success; }
    ZKRESULT Reset() override { return ZK_Success; }
    ZKRESULT GetPluginInfo(ZK::ZkPluginInfo&) override { return ZK_Success; }
    ZKRESULT Init(ZK::IZkPluginMemAlloc*, ZK::IZkEffectPluginContext*, ZK::IZkPluginParam*, ZK::ZkEffectFormat&) override
    {
        return ZK_Success;
    }
    void Execute(ZkAudioBuffer*) override {}
    ZKRESULT SkipTime(uint32_t&) override { return ZK_Success; }
    bool TakesNewMedia(uint32_t) override { return takes; }
    ZKRESULT SetNewMedia(uint32_t, const uint8_t* data, uint32_t, const uint8_t* oldData) override
    {
        handed = data;
        previous = oldData;
        return accepts ? ZK_Success : ZK_Fail;
    }
    bool takes = true;
    bool accepts = true;
    const uint8_t* handed = nullptr;
    const uint8_t* previous = nullptr;
};

class PluginHostContext : public BankManagerTest
{
protected:
    void SetUp() override
    {
        BankManagerTest::SetUp();
        StartManager();
        bankID = LoadCopy(MediaBank("Effects.bnk", {{100, 32}, {101, 48}, {102, 16}}, 5));
        bank = FindBank(bankID);
        ASSERT_NE(bank, nullptr);
        ZkEffectTest::EffectFields fields;
        fields.media = {100, 101, 102, CZkEffectObject::kNoMedia, 555};
        effectObject = ZkEffectTest::MakeEffect(ZkIndexKind::CustomEffects, 0x5EFF, fields);
        ASSERT_NE(effectObject, nullptr);
    }
    void TearDown() override
    {
        while (voice.FirstOutput() != nullptr)
            voice.RemoveConnection(voice.FirstOutput());
        if (effectObject != nullptr)
            effectObject->Release();
        BankManagerTest::TearDown();
    }
    uint32_t MediaReferences(ZkUniqueID mediaID)
    {
        uint32_t references = 0;
        CopiesOf(mediaID, &references);
        return references;
    }

    ZkBankID bankID = 0;
    LoadedBank* bank = nullptr;
    CZkEffectObject* effectObject = nullptr;
    TestMixContext voice;
};

TEST_F(PluginHostContext, SameIndexTwiceGivesTheSamePointerAndTakesOneReference)
{
    const uint32_t mediaBefore = MediaReferences(100);
    const int32_t bankBefore = bank->loadCount.load();
    {
        CZkEffectPluginContext context;
        context.Bind(&voice, 0, effectObject);
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        context.FindMedia(0, data, size);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(size, 32u);
        EXPECT_EQ(data[0], 5) << "the bank's bytes";
        const uint8_t* again = nullptr;
        uint32_t againSize = 0;
        context.FindMedia(0, again, againSize);
        EXPECT_EQ(again, data);
        EXPECT_EQ(againSize, 32u);
        EXPECT_EQ(MediaReferences(100), mediaBefore + 1);
        EXPECT_EQ(bank->loadCount.load(), bankBefore + 1);
        EXPECT_EQ(context.MediaEntryCount(), 1u);
    }
    EXPECT_EQ(MediaReferences(100), mediaBefore);
    EXPECT_EQ(bank->loadCount.load(), bankBefore);
}

TEST_F(PluginHostContext, DestroyedWithThreeEntriesItDropsThreeMediaAndThreeBankReferences)
{
    const int32_t bankBefore = bank->loadCount.load();
    const uint32_t before[3] = {MediaReferences(100), MediaReferences(101), MediaReferences(102)};
    {
        CZkEffectPluginContext context;
        context.Bind(&voice, 1, effectObject);
        for (uint32_t index = 0; index < 3; ++index)
        {
            const uint8_t* data = nullptr;
            uint32_t size = 0;
            context.FindMedia(index, data, size);
            EXPECT_NE(data, nullptr) << index;
        }
        EXPECT_EQ(bank->loadCount.load(), bankBefore + 3);
        EXPECT_EQ(context.MediaEntryCount(), 3u);
    }
    EXPECT_EQ(bank->loadCount.load(), bankBefore);
    EXPECT_EQ(MediaReferences(100), before[0]);
    EXPECT_EQ(MediaReferences(101), before[1]);
    EXPECT_EQ(MediaReferences(102), before[2]);
}

TEST_F(PluginHostContext, MissingMediaAndAFullTableGiveNullAndTakeNothing)
{
    CZkEffectPluginContext context;
    context.Bind(&voice, 0, effectObject);
    struct Case
    {
        const char* name;
        uint32_t index;
    } cases[] = {{"an index without media", 3}, {"media the index does not hold", 4}, {"an index past the node's", 9}};
    for (const Case& c : cases)
    {
        const uint8_t* data = reinterpret_cast<const uint8_t*>(&c);
        uint32_t size = 7;
        context.FindMedia(c.index, data, size);
        EXPECT_EQ(data, nullptr) << c.name;
        EXPECT_EQ(size, 0u) << c.name;
    }
    const uint32_t mediaBefore = MediaReferences(100);
    const int32_t bankBefore = bank->loadCount.load();
    Fault::FailFrom(CZkPluginContextBase::kTablePool, 1);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    context.FindMedia(0, data, size);
    Fault::Disarm();
    EXPECT_EQ(data, nullptr) << "the table cannot grow";
    EXPECT_EQ(MediaReferences(100), mediaBefore) << "the media reference was dropped again";
    EXPECT_EQ(bank->loadCount.load(), bankBefore) << "and the bank's";
    EXPECT_EQ(context.MediaEntryCount(), 0u);
}

TEST_F(PluginHostContext, MediaRefreshHandsTheNewVersionToAPluginThatTakesIt)
{
    CZkEffectPluginContext context;
    context.Bind(&voice, 0, effectObject);
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    context.FindMedia(1, data, size);
    ASSERT_NE(data, nullptr);
    const uint32_t references = MediaReferences(101);
    const int32_t bankReferences = bank->loadCount.load();

    MediaEffect plugin;
    plugin.accepts = false;
    context.RefreshMedia(101, plugin);
    EXPECT_EQ(plugin.previous, data);
    EXPECT_EQ(MediaReferences(101), references) << "refused: the new references are dropped";
    EXPECT_EQ(bank->loadCount.load(), bankReferences);

    plugin.accepts = true;
    context.RefreshMedia(101, plugin);
    EXPECT_EQ(MediaReferences(101), references) << "accepted: the old references are dropped";
    EXPECT_EQ(bank->loadCount.load(), bankReferences);
    const uint8_t* now = nullptr;
    context.FindMedia(1, now, size);
    EXPECT_EQ(now, plugin.handed);

    plugin.takes = false;
    plugin.handed = nullptr;
    context.RefreshMedia(101, plugin);
    EXPECT_EQ(plugin.handed, nullptr) << "not asked for: nothing fetched";
    context.RefreshMedia(100, plugin); // a media the context does not hold: nothing
}

TEST_F(PluginHostContext, WhatTheEffectContextReportsOfItsOwner)
{
    CZkEffectPluginContext context;
    context.Bind(&voice, 2, effectObject);
    EXPECT_EQ(context.GetOwnerGain(), 0.0f) << "connections never computed: -4096 dB";
    ZkChannelConfig config(0x1234);
    EXPECT_EQ(context.GetOutputConfig(config), ZK_Fail);
    EXPECT_EQ(config.word, 0u);
    EXPECT_EQ(context.PostMonitoring(nullptr, 0), ZK_NotImplemented);
    EXPECT_EQ(context.AttachMonitor(), ZK_Fail);
    EXPECT_TRUE(context.IsMonitoringAllowed());
    EXPECT_EQ(context.DetachMonitor(), ZK_Fail);
    EXPECT_TRUE(context.IsActive());
    EXPECT_EQ(context.GetGlobalContext(), GetGlobalPluginContext());
    const void* custom = &config;
    uint32_t customSize = 3;
    EXPECT_EQ(context.GetCustomData(custom, customSize), 0u);
    EXPECT_EQ(custom, nullptr);
    EXPECT_EQ(customSize, 0u);

    TestBus bus(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1));
    TestBus aux(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
    voice.ConnectTo(bus, kConnectionDirect);
    voice.ConnectTo(aux, 1); // the send is the head of the list; the first direct one counts
    EXPECT_EQ(context.GetOutputConfig(config), ZK_Success);
    EXPECT_EQ(config, bus.GetChannelConfig());
    voice.View().nodeID = 0xD0D;
    EXPECT_EQ(context.GetNodeID(), 0xD0Du);
    voice.RaiseLoudestLevel(-6.0f);
    EXPECT_NEAR(context.GetOwnerGain(), 0.5f, 0.005f);
    while (voice.FirstOutput() != nullptr)
        voice.RemoveConnection(voice.FirstOutput());
}

TEST_F(PluginHostContext, BusContextWithoutDeviceAndWithoutCustomData)
{
    TestBus bus;
    CZkBusPluginContext context;
    context.BindBus(&bus, 0, 0x30040, effectObject);
    uint32_t shareSet = 0;
    uint32_t device = 0;
    context.GetOutputDeviceIDs(shareSet, device);
    EXPECT_EQ(shareSet, 0xFFFFFFFFu);
    EXPECT_EQ(device, 0xFFFFFFFFu);
    EXPECT_EQ(context.GetFramesPerBuffer(), ZK::SoundEngine::ZkAudioSettings::FramesPerBuffer());
    const void* custom = &device;
    uint32_t size = 1;
    EXPECT_EQ(context.GetCustomData(custom, size), 0u);
    EXPECT_EQ(custom, nullptr);
    const uint8_t* data = nullptr;
    context.FindMedia(2, data, size);
    EXPECT_NE(data, nullptr) << "the bus's media provider maps its indexes too";
    EXPECT_EQ(size, 16u);
}

TEST_F(PluginHostContext, BusContextAnswersWithTheBusesVolumeDestinationAndMeteringBits)
{
    TestBus bus(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_5POINT1));
    CZkBusPluginContext context;
    context.BindBus(&bus, 1, 0x30040, effectObject);
    bus.SetLevelDb(-6.0f);
    EXPECT_NEAR(context.GetOwnerGain(), 0.5f, 0.005f) << "the bus's own volume";
    ZkChannelConfig config;
    EXPECT_EQ(context.GetOutputConfig(config), ZK_Fail) << "no destination yet";
    TestBus parent(ZkChannelConfig::FromMask(ZK_SPEAKER_SETUP_STEREO));
    ASSERT_NE(bus.ConnectTo(parent, kConnectionDirect), nullptr);
    EXPECT_EQ(context.GetOutputConfig(config), ZK_Success);
    EXPECT_EQ(config, parent.GetChannelConfig());
    context.SetMeteringFlags(ZkMeteringFlag_TruePeak);
    EXPECT_EQ(bus.ObjectMeteringFlags(), ZkMeteringFlag_TruePeak);
    bus.RemoveConnection(bus.FirstOutput());
}
} // namespace
