// Bus items (types 8 and 18) written by the bank writer and read through the bank parse: each field
// of the body, the device of top-level and child buses, the top-level list, the results of bad
// bodies, and type 18's category.
#include "BusFixture.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <functional>

namespace
{
using namespace ZkHierarchyTest;

using BusBody = BusTest;

constexpr uint64_t kOverrideBusMixBits = 0xE0000ull;

TEST_F(BusBody, EachFieldOfTheBodyIsRead)
{
    struct Case
    {
        const char* name;
        std::string keys;
        std::function<void(const CZkBus&)> check;
    };
    const std::vector<Case> cases = {
        {"defaults", "",
         [](const CZkBus& bus) {
             EXPECT_EQ(bus.Category(), ZkNodeCategory_Bus);
             EXPECT_TRUE(bus.IsBus());
             EXPECT_TRUE(bus.IsTopLevel());
             EXPECT_EQ(bus.DeviceID(), 0u);
             EXPECT_EQ(bus.ChannelConfig(), 0u);
             EXPECT_EQ(bus.RecoveryFrames(), 0u);
             EXPECT_FLOAT_EQ(bus.MaxDuckVolume(), -96.3f);
             EXPECT_EQ(bus.FirstDuckEntry(), nullptr);
             EXPECT_EQ(bus.MixerPlugin(), nullptr);
             EXPECT_FALSE(bus.IsBackgroundMusic());
             EXPECT_EQ(bus.MaxInstances(), 0u);
             EXPECT_EQ(bus.OverrideMask() & (kOverrideEffectBypass | kOverridePluginAttachments),
                       kOverrideEffectBypass | kOverridePluginAttachments)
                 << "a bus always overrides its effects and plug-ins";
             EXPECT_EQ(bus.BusFlags() & 0x30, 0x30) << "bits 4 and 5 are set at creation";
         }},
        {"properties", R"("props": {"0": -3.0, "5": -2.0, "priority": 20})",
         [](const CZkBus& bus) {
             EXPECT_EQ(bus.GetFloatProperty(0), -3.0f);
             EXPECT_EQ(bus.GetFloatProperty(5), -2.0f);
             EXPECT_EQ(bus.GetFloatProperty(ZkProp_Priority), 20.0f);
         }},
        {"limiter settings and background music", R"("bus_flags": 11, "max_instances": 1030)",
         [](const CZkBus& bus) {
             EXPECT_EQ(bus.FlagsA() & 0x13, kNodeFlagA_TieBreakReversed | kNodeFlagA_VirtualOnLimit)
                 << "bit 2 clear: the limit counts per game object";
             EXPECT_TRUE(bus.IsBackgroundMusic());
             EXPECT_EQ(bus.MaxInstances(), 6u) << "the low 10 bits of 1030";
         }},
        {"a standard configuration keeps the mask bits of 0x3FF3F", R"("channel_config": )" + std::to_string((0x40003u << 12) | 0x100u | 3u),
         [](const CZkBus& bus) { EXPECT_EQ(bus.ChannelConfig(), (0x3u << 12) | 0x100u | 2u); }},
        {"an anonymous configuration is kept", R"("channel_config": )" + std::to_string(0x6u),
         [](const CZkBus& bus) { EXPECT_EQ(bus.ChannelConfig(), 0x6u); }},
        {"bus flags B", R"("bus_flags_b": 3)",
         [](const CZkBus& bus) {
             EXPECT_EQ(bus.OverrideMask() & kOverrideBusMixBits, kOverrideBusMixBits);
             EXPECT_EQ(bus.BusFlags() & CZkBus::kFlagBank, CZkBus::kFlagBank);
         }},
        {"a recovery time longer than a buffer, in frames", R"("recovery_ms": 1000, "max_duck_volume": -12.0)",
         [](const CZkBus& bus) {
             EXPECT_EQ(bus.RecoveryFrames(), 48000u);
             EXPECT_EQ(bus.MaxDuckVolume(), -12.0f);
         }},
        {"a recovery time within a buffer is none", R"("recovery_ms": 20)",
         [](const CZkBus& bus) { EXPECT_EQ(bus.RecoveryFrames(), 0u) << "960 frames are not more than 1024"; }},
        {"ducks: a second entry for a target replaces the first, other properties are ignored",
         R"("ducks": [{"target": 71, "volume": -3.0, "fade_out": 100, "fade_in": 200, "property": 0},
                      {"target": 72, "volume": -4.0, "property": 5},
                      {"target": 71, "volume": -6.0, "fade_out": 50, "fade_in": 500, "curve": 2, "property": 0},
                      {"target": 73, "volume": -9.0, "property": 3}])",
         [](const CZkBus& bus) {
             const ZkDuckEntry* first = bus.FirstDuckEntry();
             ASSERT_NE(first, nullptr);
             EXPECT_EQ(first->targetBusID, 71u);
             EXPECT_EQ(first->volume, -6.0f);
             EXPECT_EQ(first->fadeOutMs, 50u);
             EXPECT_EQ(first->fadeInMs, 500u);
             EXPECT_EQ(first->curve, 2u);
             ASSERT_NE(first->next, nullptr);
             EXPECT_EQ(first->next->targetBusID, 72u);
             EXPECT_EQ(first->next->property, 5u);
             EXPECT_EQ(first->next->next, nullptr);
         }},
        {"effects and mixer", R"("effects": [{"slot": 1, "id": 5}], "bypass": 2, "mixer": 9, "mixer_shareset": 1)",
         [](const CZkBus& bus) {
             EXPECT_EQ(bus.EffectSlotID(1), 5u);
             EXPECT_EQ(bus.Effects().BypassBits(), 2u);
             ASSERT_NE(bus.MixerPlugin(), nullptr);
             EXPECT_EQ(bus.MixerPlugin()->effectID, 9u);
             EXPECT_EQ(bus.MixerPlugin()->isShareSet, 1u);
             EXPECT_EQ(bus.MixerPlugin()->priority, 0u);
         }},
        {"node flag", R"("node_flag": 1)",
         [](const CZkBus& bus) { EXPECT_NE(bus.FlagsA() & kNodeFlagA_OverridesCustomEffect, 0); }},
        {"plug-in attachments", R"("plugins": [{"index": 1, "id": 9, "shareset": 1}, {"index": 0, "id": 8}])",
         [](const CZkBus& bus) {
             ASSERT_EQ(bus.PluginAttachmentCount(), 2u);
             EXPECT_EQ(bus.PluginAttachments()[0].effectID, 8u);
             EXPECT_EQ(bus.PluginAttachments()[1].isShareSet, 1u);
         }},
        {"game parameters", R"("rtpc": [{"parameter": 5000, "target": 5, "curve": 1, "points": [[0, -96], [100, 0]]}])",
         [](const CZkBus& bus) { EXPECT_EQ(bus.ParamTargets().UsedBits(), 1ull << 5); }},
        {"3-D positioning", R"("positioning": 3, "positioning_3d": 1)",
         [](const CZkBus& bus) { EXPECT_TRUE(bus.GetFlagBit1()); }},
        {"a path block as in node bodies", R"("positioning": 35, "positioning_3d": 64, "path": {"mode": 4, "vertices": [[0, 0, 0, 10], [1, 2, 3, 10]], "items": [[0, 2]]})",
         [](const CZkBus& bus) {
             ASSERT_NE(bus.PathData(), nullptr);
             EXPECT_EQ(bus.PathData()->PathCount(), 1u);
             EXPECT_TRUE(bus.PathData()->IsListenerRelative());
             EXPECT_EQ(bus.PathData()->mode, 4u);
         }},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        Load(Bus("Master", test.keys));
        const CZkBus* bus = FindBus("Master");
        ASSERT_NE(bus, nullptr);
        test.check(*bus);
        ReleaseBanks();
        ASSERT_EQ(FindBus("Master"), nullptr);
    }
}

TEST_F(BusBody, ATopLevelBusTakesItsDeviceFromTheBodyAChildFromItsParent)
{
    Load(Bus("Master", R"("device": 77)") + ", " + Bus("Music", R"("parent": "Master")") + ", " +
         Bus("Voices", R"("parent": "Music")") + ", " + Bus("Other", R"("device": 0)"));
    CZkBus* master = FindBus("Master");
    CZkBus* music = FindBus("Music");
    CZkBus* voices = FindBus("Voices");
    ASSERT_NE(voices, nullptr);
    EXPECT_EQ(master->DeviceID(), 77u);
    EXPECT_EQ(music->DeviceID(), 77u);
    EXPECT_EQ(voices->DeviceID(), 77u);
    EXPECT_EQ(FindBus("Other")->DeviceID(), 0u);
    EXPECT_EQ(voices->Parent(), music);
    EXPECT_EQ(music->FindChildBus(voices->ID()), voices);
    EXPECT_EQ(master->ChildBusCount(), 1u);
    ASSERT_EQ(CZkBus::TopLevelCount(), 2u) << "the top-level buses, each once";
    EXPECT_EQ(CZkBus::TopLevelAt(0), master);
    EXPECT_EQ(CZkBus::TopLevelAt(1), FindBus("Other"));

    // A second bank naming the master bus again references it; the list does not change.
    Load(Bus("Master", R"("device": 77)"));
    EXPECT_EQ(master->RefCount(), 3u) << "two banks and the child bus";
    EXPECT_EQ(CZkBus::TopLevelCount(), 2u);
}

TEST_F(BusBody, BadBodiesEndTheParseWithTheirResult)
{
    struct Case
    {
        const char* name;
        std::string items;
        ZKRESULT expected;
    };
    const std::vector<Case> cases = {
        {"a parent bus that is not loaded", Bus("Music", R"("parent": "Master")"), ZK_Fail},
        {"a bus would be its own child", Bus("Master", R"("parent": "Master")"), ZK_BusWouldBeOwnChild},
        {"an effect slot above 3", Bus("Master", R"("effects": [{"slot": 4, "id": 5}])"), ZK_InvalidParameter},
        {"an effect slot above 3 with an unused last byte", Bus("Master", R"("effects": [{"slot": 9, "id": 5}], "node_flag": 1)"),
         ZK_InvalidParameter},
        {"a duck count that runs past the body", Bus("Master", R"("duck_count": 3, "ducks": [{"target": 1, "volume": -3}])"),
         ZK_InvalidFile},
        {"a property count that runs past the body", Bus("Master", R"("prop_count": 200, "props": {"0": -3.0})"),
         ZK_InvalidFile},
        {"an effect count that runs past the body", Bus("Master", R"("effect_count": 40)"), ZK_InvalidFile},
        {"an attachment count that runs past the body", Bus("Master", R"("plugin_count": 30)"), ZK_InvalidFile},
    };
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(Parse(BankOfItems(test.items)), test.expected);
        EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Buses).Length(), 0u) << "the bus that failed was released";
        EXPECT_EQ(CZkBus::TopLevelCount(), 0u);
        ReleaseBanks();
    }
}

TEST_F(BusBody, Type18IsABusOfCategory10)
{
    Load(Bus("Master") + ", " + Bus("Spatial", R"("parent": "Master")", "bus18") + ", " + Bus("Plain", R"("parent": "Master")"));
    const CZkBus* spatial = FindBus("Spatial");
    ASSERT_NE(spatial, nullptr);
    EXPECT_EQ(spatial->Category(), ZkNodeCategory_BusType18);
    EXPECT_TRUE(spatial->IsBus());
    EXPECT_TRUE(spatial->NeedsProcessing()) << "a type-18 bus always has a mix stage of its own";
    EXPECT_FALSE(FindBus("Plain")->NeedsProcessing());
    EXPECT_EQ(FindBus("Master")->ChildBusCount(), 2u);
}
} // namespace
