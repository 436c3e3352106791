// Sound items (hierarchy item type 2) read through the bank parse: the common node body field by
// field, the property table's defaults, the output bus and parent links, and the source block.
// Bodies are written by tools/bank_writer.py.
#include "HierarchyFixture.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <functional>

namespace
{
using namespace ZkHierarchyTest;

constexpr ZkUniqueID kBus = 800;
constexpr ZkUniqueID kParent = 900;

struct BodyCase
{
    const char* name;
    std::string keys;
    ZKRESULT expected;
    std::function<void(const CZkSoundNode&)> check;
};

class SoundBody : public HierarchyTest
{
protected:
    void SetUp() override
    {
        HierarchyTest::SetUp();
        m_bus = AddNode(kBus, ZkNodeCategory_Bus, true);
        m_parent = AddNode(kParent, ZkNodeCategory_Playlist);
    }
    TestNode* m_bus = nullptr;
    TestNode* m_parent = nullptr;
};

TEST_F(SoundBody, FieldsOfTheCommonBody)
{
    const std::vector<BodyCase> cases = {
        {"all defaults", "", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.Parent(), nullptr);
             EXPECT_EQ(sound.OutputBus(), nullptr);
             EXPECT_EQ(sound.OverrideMask(), 0u);
             EXPECT_EQ(sound.Effects().Block(), nullptr) << "an effect block of count 0 is 2 bytes, no bypass byte";
             EXPECT_EQ(sound.Properties().Count(), 0u);
         }},
        {"absent properties read their defaults", "", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.GetFloatProperty(ZkProp_Priority), 50.0f);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_LoopCount), 1);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_MidiKeyMin), 0);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_MidiKeyMax), 127);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_MidiChannelMask), 65535);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_Attenuation), 0);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_CustomEffect), -1);
             EXPECT_EQ(sound.GetFloatProperty(ZkProp_Gain), 1.0f);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_FirstIdValued + 11), -1);
         }},
        {"properties and ranges", R"("props": {"priority": 80, "loop_count": 0, "53": 3}, "ranges": {"59": [0.5, 1.5]})",
         ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.GetFloatProperty(ZkProp_Priority), 80.0f);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_LoopCount), 0);
             EXPECT_EQ(sound.GetIntProperty(ZkProp_MidiChannelMask), 3);
             ZkPropertyValue low;
             ZkPropertyValue high;
             ASSERT_TRUE(sound.GetRange(ZkProp_InitialDelay, low, high));
             EXPECT_EQ(low.AsFloat(), 0.5f);
             EXPECT_EQ(high.AsFloat(), 1.5f);
             EXPECT_TRUE(sound.IsInfiniteLoop(nullptr));
         }},
        {"output bus and parent", R"("bus": 800, "parent": 900)", ZK_Success,
         [this](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.OutputBus(), m_bus);
             EXPECT_EQ(sound.Parent(), m_parent);
             EXPECT_EQ(sound.OverrideMask() & kOverrideBusBits, kOverrideBusBits);
             EXPECT_EQ(sound.Depth(), 1u);
         }},
        {"an unknown parent is ignored", R"("parent": 901)", ZK_Success,
         [](const CZkSoundNode& sound) { EXPECT_EQ(sound.Parent(), nullptr); }},
        {"an unknown output bus fails the read", R"("bus": 801)", ZK_Fail, nullptr},
        {"positioning byte without bit 0 is the whole block", R"("positioning": 2, "aux": 0, "extra_aux_bus": 7)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_TRUE(sound.GetFlagBit1()) << "bit 1 is stored even without bit 0";
             EXPECT_EQ(sound.OverrideMask() & kOverridePositioning, 0u);
             EXPECT_EQ(sound.ExtraAuxBusID(), 7u) << "the next block starts right after the one byte";
         }},
        {"positioning bit 0 without bit 1 is one byte", R"("positioning": 97, "extra_aux_bus": 7)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.OverrideMask() & kOverridePositioning, kOverridePositioning);
             EXPECT_EQ(sound.PositionMode(), 3u);
             EXPECT_EQ(sound.ExtraAuxBusID(), 7u);
         }},
        {"mode 0 reads no path block", R"("positioning": 3, "positioning_3d": 27, "extra_aux_bus": 7)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.PositionMode(), 0u);
             EXPECT_EQ(sound.PositioningBits() >> 3 & 0xF, 0xFu) << "Q bits 0, 1, 3, 4";
             EXPECT_EQ(sound.ExtraAuxBusID(), 7u);
         }},
        {"mode 3 reads no path block", R"("positioning": 99, "positioning_3d": 160, "extra_aux_bus": 7)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.PositionMode(), 3u);
             EXPECT_EQ(sound.PositioningBits() >> 7 & 0x3, 0x3u) << "Q bits 5 and 7";
             EXPECT_EQ(sound.ExtraAuxBusID(), 7u);
         }},
        {"mode 1 with an empty path reads its block", R"("positioning": 35, "path": {"mode": 1, "transition_time": 9}, "extra_aux_bus": 7)",
         ZK_Success, [](const CZkSoundNode& sound) { EXPECT_EQ(sound.ExtraAuxBusID(), 7u); }},
        {"a path to play is stored in the node's path data",
         R"("positioning": 67, "path": {"vertices": [[0, 0, 0, 100], [1, 1, 1, 100]], "items": [[0, 2]]}, "extra_aux_bus": 7)",
         ZK_Success,
         [](const CZkSoundNode& sound) {
             ASSERT_NE(sound.PathData(), nullptr);
             EXPECT_EQ(sound.PathData()->PathCount(), 1u);
             EXPECT_EQ(sound.ExtraAuxBusID(), 7u);
         }},
        {"aux byte without bit 3: the extra aux bus id follows", R"("aux": 21, "extra_aux_bus": 9)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.ExtraAuxBusID(), 9u);
             EXPECT_EQ(sound.OverrideMask() & (kOverrideGameAux | kOverrideUserAux | kOverrideExtraAux),
                       kOverrideGameAux | kOverrideUserAux | kOverrideExtraAux);
             EXPECT_EQ(sound.UserAuxBusID(0), 0u) << "no array without a non-zero id";
         }},
        {"four user aux buses", R"("aux": 2, "aux_buses": [1, 0, 3, 4], "extra_aux_bus": 9)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.UserAuxBusID(2), 3u);
             EXPECT_NE(sound.FlagsB() & kNodeFlagB_UseGameAuxSends, 0u);
             EXPECT_EQ(sound.ExtraAuxBusID(), 9u);
         }},
        {"max instances above 1023 keep their low 10 bits", R"("max_instances": 1025, "limit_flags": 31, "queue": 2, "below_threshold": 3, "advanced": 15)",
         ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.MaxInstances(), 1u);
             EXPECT_EQ(sound.QueueBehaviour(), 2u);
             EXPECT_EQ(sound.EffectiveQueueBehaviour(), 1u) << "below-threshold behaviour 3";
             EXPECT_EQ(sound.BelowThresholdBehaviour(), 3u);
             EXPECT_EQ(sound.AdvancedFlags(), 7u);
             EXPECT_EQ(sound.OverrideMask() & kOverrideParam37, kOverrideParam37);
             EXPECT_NE(sound.FlagsC() & kNodeFlagC_LimitCheckStops, 0u);
             EXPECT_EQ(sound.FlagsA() & 0x17, kNodeFlagA_TieBreakReversed | kNodeFlagA_VirtualOnLimit |
                                                  kNodeFlagA_GlobalLimit | kNodeFlagA_OverridesBehaviours);
         }},
        {"max instances 0 means unlimited", R"("max_instances": 1024)", ZK_Success,
         [](const CZkSoundNode& sound) { EXPECT_EQ(sound.MaxInstances(), 0u); }},
        {"behaviour byte", R"("behaviour": 63, "custom_effect_override": 1)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.OverrideMask() & kOverridePriority, kOverridePriority);
             EXPECT_EQ(sound.FlagsA() & (kNodeFlagA_PriorityDistanceOffset | kNodeFlagA_OverridesCustomEffect),
                       kNodeFlagA_PriorityDistanceOffset | kNodeFlagA_OverridesCustomEffect);
             EXPECT_EQ(sound.FlagsB() & 0xE0, 0xE0u);
             EXPECT_EQ(sound.FlagsC() & kNodeFlagC_MidiMode, kNodeFlagC_MidiMode);
         }},
        {"effects and plug-in attachments",
         R"("effects_override": 1, "effects": [{"slot": 1, "id": 77, "shareset": 1}, {"slot": 2, "id": 78, "rendered": 1}], "bypass": 18,
            "plugins_override": 1, "plugins": [{"index": 1, "id": 55}, {"index": 5, "id": 56}, {"index": 0, "id": 0}])",
         ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.EffectSlotID(1), 77u);
             EXPECT_EQ(sound.EffectSlotID(2), 0u) << "a rendered slot holds no effect";
             EXPECT_EQ(sound.Effects().Block()->slots[2].rendered, 1u);
             EXPECT_EQ(sound.Effects().BypassBits(), 18u);
             EXPECT_EQ(sound.EffectSlotObject(1), nullptr) << "no effect object is loaded";
             EXPECT_EQ(sound.OverrideMask() & (kOverrideEffectBypass | kOverridePluginAttachments),
                       kOverrideEffectBypass | kOverridePluginAttachments);
             ASSERT_EQ(sound.PluginAttachmentCount(), 3u);
             EXPECT_EQ(sound.PluginAttachments()[1].effectID, 55u);
             EXPECT_EQ(sound.PluginAttachments()[0].effectID, 0u) << "an index beyond the count is ignored";
         }},
        {"an effect slot index above 3 gives 31", R"("effects": [{"slot": 4, "id": 77}])", ZK_InvalidParameter, nullptr},
        {"a rendered entry with a slot above 3 stores nothing", R"("effects": [{"slot": 4, "id": 77, "rendered": 1}])", ZK_Success,
         [](const CZkSoundNode& sound) { EXPECT_EQ(sound.EffectSlotID(0), 0u); }},
        {"state properties set the state-driven mask", R"("state": {"properties": [[2, 0], [70, 0]]})", ZK_Success,
         [](const CZkSoundNode& sound) { EXPECT_EQ(sound.StateDrivenMask(), (1ull << 2) | (1ull << 6)); }},
        {"a subscription that fails ends the read (bit 200 is no parameter bit)", R"("rtpc": [{"parameter": 5000, "target": 2, "curve": 1, "points": [[0, 0], [100, 1]]},
                                            {"parameter": 5001, "target": 200, "curve": 2, "points": [[0, 0], [1, 1]]}])",
         ZK_Fail, nullptr},
        {"source plug-in parameters are stepped over", R"("plugin": 2, "plugin_params": "0102030405", "extra_aux_bus": 4)", ZK_Success,
         [](const CZkSoundNode& sound) {
             EXPECT_EQ(sound.PluginID(), 2u);
             EXPECT_EQ(sound.ExtraAuxBusID(), 4u);
             EXPECT_EQ(sound.Media().Kind(), 0u);
         }},
        {"an unknown source kind gives 2", R"("plugin": 3)", ZK_Fail, nullptr},
        {"a codec stream type above 2 gives 2", R"("stream_type": 3)", ZK_Fail, nullptr},
        {"a streamed codec source", R"("stream_type": 1, "source_flags": 9)", ZK_Success,
         [](const CZkSoundNode& sound) {
             const ZkMediaRef& media = sound.Media();
             EXPECT_EQ(media.mediaID, 100u);
             EXPECT_EQ(media.fileID, 100);
             EXPECT_EQ(media.Kind(), kMediaKindOwned);
             EXPECT_EQ(media.flags & (kMediaFlagLanguage | kMediaFlagPrefetch | kMediaFlagNoFileID),
                       kMediaFlagLanguage | kMediaFlagPrefetch | kMediaFlagNoFileID);
         }},
    };
    for (const BodyCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(Parse(BankOfItems(Sound(test.keys))), test.expected);
        CZkSoundNode* sound = FindSound(200);
        if (test.expected == ZK_Success)
        {
            ASSERT_NE(sound, nullptr);
            EXPECT_EQ(sound->Media().mediaID, 100u);
            test.check(*sound);
        }
        else
        {
            EXPECT_EQ(sound, nullptr) << "a failed read leaves no node";
        }
        ReleaseBanks();
        EXPECT_EQ(FindSound(200), nullptr);
        EXPECT_TRUE(m_bus->children.empty());
        EXPECT_TRUE(m_parent->children.empty());
        EXPECT_EQ(m_bus->RefCount(), 1u) << "the sound's reference on its bus went with it";
        EXPECT_EQ(m_parent->RefCount(), 1u);
        EXPECT_EQ(g_pRTPCMgr->SubscriptionCount(), 0u);
    }
}

TEST_F(SoundBody, GameParametersSubscribeTheNode)
{
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("rtpc": [{"parameter": 5000, "target": 2, "curve": 1, "points": [[0, 0], [100, 1]]},
                                                  {"parameter": 5001, "target": 18, "curve": 2, "points": [[0, 0], [1, 1]]}])"))),
              ZK_Success);
    CZkSoundNode* sound = FindSound(200);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->ParamTargets().UsedBits(), (1ull << 2) | (1ull << 18));
    EXPECT_NE(g_pRTPCMgr->FindSubscription(&sound->ParamTargets(), 18), nullptr);
    g_pRTPCMgr->SetRTPCImmediate(5000, 50.0f, ZkRTPCKey::Global());
    EXPECT_FLOAT_EQ(sound->ParamValueForKey(2, ZkRTPCKey::Global()), 0.5f);
}

TEST_F(SoundBody, AnIdTakenByAnotherCategoryIsSkippedWith91)
{
    TestNode* container = AddNode(200, ZkNodeCategory_Playlist);
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("props": {"priority": 10}, "parent": 900)"))), ZK_Success);
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::Nodes).Table().Find(200), container);
    EXPECT_EQ(container->GetFloatProperty(ZkProp_Priority), 50.0f) << "the container is left unchanged";
    EXPECT_EQ(container->Parent(), nullptr);
    EXPECT_EQ(m_loaded.back()->itemCount, 1u) << "the bank references the container it found";
}

TEST_F(SoundBody, ASoundThatAnotherBankBringsIsReadAgainPartially)
{
    ASSERT_EQ(Parse(BankOfItems(Sound(R"("props": {"priority": 10}, "bus": 800, "effects": [{"slot": 0, "id": 5}])"))), ZK_Success);
    CZkSoundNode* sound = FindSound(200);
    ASSERT_NE(sound, nullptr);
    ASSERT_EQ(Parse(BankOfItems(R"({"type": "sound", "id": 200, "media": 101, "media_size": 64, "props": {"priority": 90},
                                    "effects": [{"slot": 0, "id": 6}], "effects_override": 1})")),
              ZK_Success);
    EXPECT_EQ(FindSound(200), sound);
    EXPECT_EQ(sound->Media().mediaID, 101u) << "the new bank's source";
    EXPECT_EQ(sound->Media().mediaSize, 64u);
    EXPECT_EQ(sound->GetFloatProperty(ZkProp_Priority), 10.0f) << "nothing after the effect block";
    EXPECT_EQ(sound->EffectSlotID(0), 5u) << "the effects are not attached again";
    EXPECT_EQ(m_bus->children.size(), 1u) << "nor is the bus";
    EXPECT_EQ(sound->RefCount(), 2u) << "both banks hold it";
}
} // namespace
