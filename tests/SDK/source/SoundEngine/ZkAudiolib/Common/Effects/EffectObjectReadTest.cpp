// Effect objects read from bodies of tools/bank_writer.py: each item type in its table with its
// plug-in, parameter block, media, subscriptions and initial values; the plug-in edge cases (none,
// unregistered, a block refusing its data); bodies whose counts run past the item, refused before
// the plug-in sees any data, cut at every byte and damaged by the writer's fault variants through
// the bank parser (no object left in the index); the run-time custom effect of source plug-ins.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankTestSupport.h"
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Effects/EffectObjectFixture.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "ZkAudiolib/Common/Banks/BankItemKinds.h"

namespace
{
using namespace ZkEffectTest;

const std::string kGain = std::to_string(kGainKey);
const std::string kLine = R"("points": [[0, 0], [100, 1]])";

using EffectObjectRead = EffectObjectTest;

TEST_F(EffectObjectRead, EachTypeFillsAnObjectInItsTable)
{
    const struct
    {
        const char* type;
        ZkIndexKind table;
    } cases[] = {{"shareset", ZkIndexKind::SharedEffects},
                 {"custom_effect", ZkIndexKind::CustomEffects},
                 {"audio_device", ZkIndexKind::AudioDevices}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.type);
        const ZkUniqueID id = 0x100 + static_cast<ZkUniqueID>(c.table);
        CZkEffectObject* object = Make(R"({"type": ")" + std::string(c.type) + R"(", "id": )" + std::to_string(id) +
                                       R"(, "plugin": )" + kGain + R"(, "data_f32": [0.25], "media": [7, 8],
            "rtpc": [{"parameter": 9, "combine": 3, "target": 0, "curve": 1, )" + kLine + R"(}],
            "initial": [{"param": 0, "kind": 3, "value": 0.5}, {"param": 300, "value": 2}]})");
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(g_pObjectIndex->Table(c.table).Table().Find(id), object);
        EXPECT_EQ(object->RefCount(), 1u);
        EXPECT_EQ(object->pluginID, kGainKey);
        ASSERT_NE(object->pluginParams, nullptr);
        EXPECT_FLOAT_EQ(static_cast<GainParams*>(object->pluginParams)->gain, 0.25f) << "the block got the data";
        EXPECT_EQ(object->GetMediaID(0), 7u);
        EXPECT_EQ(object->GetMediaID(1), 8u);
        EXPECT_EQ(object->GetMediaID(2), CZkEffectObject::kNoMedia);
        ASSERT_EQ(object->Subscriptions().Length(), 1u);
        const ZkEffectSubscription& subscription = object->Subscriptions()[0];
        EXPECT_EQ(subscription.gameParamID, 9u);
        EXPECT_EQ(subscription.kind, 3u);
        EXPECT_EQ(subscription.curve.PointCount(), 4u) << "two sentinels around the bank's points";
        ASSERT_EQ(object->InitialValues().Length(), 2u);
        EXPECT_EQ(object->InitialValues()[1].paramID, 300u) << "a two-byte varint";
        EXPECT_EQ(object->InitialValues()[1].drivenKind, 0u);
        EXPECT_FLOAT_EQ(object->InitialValues()[1].value, 2.0f);
    }
}

TEST_F(EffectObjectRead, PluginEdgeCases)
{
    const struct
    {
        const char* what;
        std::string item;
        ZKRESULT result;
        uint32_t pluginID;
        bool hasBlock;
    } cases[] = {
        {"no plug-in: the data size and bytes are still consumed",
         R"({"type": "shareset", "id": 1, "plugin": -1, "data": "01020304050607", "media": [9]})", ZK_Success,
         CZkEffectObject::kNoPlugin, false},
        {"an unregistered plug-in keeps its id, has no block, and the read goes on",
         R"({"type": "shareset", "id": 2, "plugin": 1234567, "data": "0102", "media": [9]})", ZK_Success, 1234567,
         false},
        {"a block refusing its data gives the plug-in's result",
         R"({"type": "shareset", "id": 3, "plugin": )" + kGain + R"(, "data": "010203", "media": [9]})",
         kGainRefusal, CZkEffectObject::kNoPlugin, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CZkEffectObject* object = nullptr;
        EXPECT_EQ(Read(WriteItems(c.item).at(0), object), c.result);
        EXPECT_EQ(object->pluginID, c.pluginID);
        EXPECT_EQ(object->pluginParams != nullptr, c.hasBlock);
        if (c.result == ZK_Success)
        {
            EXPECT_EQ(object->GetMediaID(0), 9u) << "the media after the data";
        }
    }
    EXPECT_EQ(GainParams::live, 0u) << "the refused block was destroyed";
}

TEST_F(EffectObjectRead, SetPluginFromFactoryKeepsTheOldBlockOnARefusal)
{
    CZkEffectObject* object = Make(R"({"type": "custom_effect", "id": 1, "plugin": )" + kGain + R"(, "data_f32": [0.5]})");
    const float three = 3.0f;
    EXPECT_EQ(object->SetPluginFromFactory(kGainKey, "abc", 3), kGainRefusal);
    EXPECT_FLOAT_EQ(static_cast<GainParams*>(object->pluginParams)->gain, 0.5f);
    EXPECT_EQ(object->SetPluginFromFactory(kGainKey, &three, sizeof(three)), ZK_Success);
    EXPECT_FLOAT_EQ(static_cast<GainParams*>(object->pluginParams)->gain, 3.0f);
    EXPECT_EQ(GainParams::live, 1u) << "the old block was replaced";
    EXPECT_EQ(object->SetPluginFromFactory(77, nullptr, 0), ZK_PluginNotRegistered);
    EXPECT_EQ(object->pluginID, 77u);
    EXPECT_EQ(object->pluginParams, nullptr);
}

// Each count one beyond what the item holds: read literally, the block would read past the item
// (the data size) or the entries would; the whole body is checked first, so the plug-in never sees
// a byte and nothing is applied.
TEST_F(EffectObjectRead, CountsPastTheItemAreRefusedBeforeAnythingIsApplied)
{
    const std::string body = R"("plugin": )" + kGain + R"(, "data_f32": [0.5], "media": [7],
        "rtpc": [{"parameter": 9, "combine": 3, "target": 0, "curve": 1, )" + kLine + R"(}],
        "initial": [{"param": 0, "kind": 3, "value": 0.5}])";
    const struct
    {
        const char* what;
        const char* damage;
        const char* type;
    } cases[] = {{"data size one beyond", R"("data_size": 5)", "shareset"},
                 {"media count one too large", R"("media_count": 2)", "shareset"},
                 {"subscription count one too large", R"("rtpc_count": 2)", "custom_effect"},
                 {"initial-value count one too large", R"("initial_count": 2)", "custom_effect"},
                 {"device effect count one too large", R"("effect_count": 1)", "audio_device"}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const uint32_t blocks = GainParams::live;
        CZkEffectObject* object = nullptr;
        EXPECT_EQ(Read(WriteItems(R"({"type": ")" + std::string(c.type) + R"(", "id": 5, )" + body + ", " + c.damage +
                                  "}")
                           .at(0),
                       object),
                  ZK_InvalidFile);
        EXPECT_EQ(GainParams::live, blocks) << "no block was made";
        EXPECT_EQ(object->pluginID, CZkEffectObject::kNoPlugin);
        EXPECT_EQ(object->Subscriptions().Length(), 0u);
        EXPECT_EQ(object->GetMediaID(0), CZkEffectObject::kNoMedia);
    }
}

TEST_F(EffectObjectRead, EveryCutOfEachBodyIsRefused)
{
    const std::vector<Item> items = WriteItems(R"({"type": "shareset", "id": 5, "plugin": )" + kGain +
                                               R"(, "data_f32": [0.5], "media": [7],
        "rtpc": [{"parameter": 9, "combine": 2, "target": 200, "curve": 1, )" + kLine + R"(}],
        "states": {"properties": [[0, 3]]}, "initial": [{"param": 0, "kind": 3, "value": 0.5}]},
        {"type": "audio_device", "id": 6, "plugin": -1, "bypass": 1, "effects": [{"slot": 0, "id": 99}]})");
    ASSERT_EQ(items.size(), 2u);
    for (const Item& item : items)
    {
        const uint32_t blocks = GainParams::live;
        for (uint32_t cut = 4; cut < item.body.size(); ++cut)
        {
            SCOPED_TRACE(testing::Message() << "type " << int{item.type} << " cut at " << cut);
            CZkEffectObject* object = CreateOfType(item.type, 1000 + cut);
            ASSERT_NE(object, nullptr);
            // An exact copy of the cut body, so that a read past it is a fault the sanitizer sees.
            const Bytes cutBody(item.body.begin(), item.body.begin() + cut);
            EXPECT_EQ(object->ReadFromBank(cutBody.data(), cut), ZK_InvalidFile);
            EXPECT_EQ(GainParams::live, blocks);
            object->Release();
        }
        CZkEffectObject* whole = nullptr;
        EXPECT_EQ(Read(item, whole), ZK_Success) << "the whole body";
        Bytes longer = item.body;
        longer.push_back(0);
        CZkEffectObject* extra = CreateOfType(item.type, 2000);
        EXPECT_EQ(extra->ReadFromBank(longer.data(), static_cast<uint32_t>(longer.size())), ZK_InvalidFile)
            << "a byte beyond the body";
        extra->Release();
    }
}

// Every allocation of a full read fails in turn: the read answers 52 (or succeeds when the failed
// allocation was not needed) and the object is left to its last release without leaks.
TEST_F(EffectObjectRead, EachAllocationFailureOfTheReadGives52)
{
    const Item item = WriteItems(R"({"type": "shareset", "id": 5, "plugin": )" + kGain + R"(, "data_f32": [0.5],
        "media": [7], "rtpc": [{"parameter": 9, "combine": 3, "target": 0, "curve": 1, )" + kLine + R"(}],
        "states": {"properties": [[0, 3]]}, "initial": [{"param": 0, "kind": 3, "value": 0.5}]})")
                          .at(0);
    for (const ZkMemoryId pool : {ZkMemID_Default, ZkMemID_BankObjects})
    {
        ZK::MemoryMgr::FaultInjection::CountOnly(pool);
        CZkEffectObject* probe = CreateOfType(item.type, 6);
        ASSERT_EQ(probe->ReadFromBank(item.body.data(), static_cast<uint32_t>(item.body.size())), ZK_Success);
        const uint32_t allocations = ZK::MemoryMgr::FaultInjection::CountedAllocations();
        ZK::MemoryMgr::FaultInjection::Disarm();
        probe->Release();
        for (uint32_t n = 1; n <= allocations; ++n)
        {
            SCOPED_TRACE(testing::Message() << "pool " << pool << ", allocation " << n);
            CZkEffectObject* object = CreateOfType(item.type, 7);
            ASSERT_NE(object, nullptr);
            ZK::MemoryMgr::FaultInjection::FailNth(pool, n);
            const ZKRESULT result = object->ReadFromBank(item.body.data(), static_cast<uint32_t>(item.body.size()));
            ZK::MemoryMgr::FaultInjection::Disarm();
            EXPECT_TRUE(result == ZK_InsufficientMemory || result == ZK_Success) << result;
            object->Release();
            EXPECT_EQ(GainParams::live, 0u);
        }
    }
}

TEST_F(EffectObjectRead, TheDeviceEffectListGivesTheSlotsAndTheirBypass)
{
    CZkEffectObject* device = Make(R"({"type": "audio_device", "id": 6, "effects_override": 1, "bypass": 5,
        "effects": [{"slot": 0, "id": 99, "shareset": 1}, {"slot": 2, "id": 98}, {"slot": 3, "id": 0}]})");
    EXPECT_EQ(device->DeviceEffectID(0), 99u);
    EXPECT_EQ(device->DeviceEffectID(1), 0u);
    EXPECT_EQ(device->DeviceEffectID(2), 98u);
    EXPECT_EQ(device->DeviceEffectID(3), 0u) << "an entry of effect 0 is skipped";
    EXPECT_EQ(device->DeviceBypassBits(), 5u);
    CZkEffectObject* refused = nullptr;
    EXPECT_EQ(Read(WriteItems(R"({"type": "audio_device", "id": 7, "effects": [{"slot": 4, "id": 99}]})").at(0),
                   refused),
              ZK_InvalidParameter)
        << "a slot index above 3";
}

TEST_F(EffectObjectRead, ASubscriptionWithTheSameTargetAndCurveReplacesTheFirst)
{
    CZkEffectObject* object = Make(R"({"type": "shareset", "id": 5, "rtpc": [
        {"parameter": 9, "combine": 3, "target": 0, "curve": 1, )" + kLine + R"(},
        {"parameter": 10, "combine": 2, "target": 0, "curve": 2, )" + kLine + R"(},
        {"parameter": 11, "combine": 2, "target": 0, "curve": 1, "points": [[0, 5]]}]})");
    ASSERT_EQ(object->Subscriptions().Length(), 2u);
    EXPECT_EQ(object->Subscriptions()[0].gameParamID, 10u) << "curve 2 stays";
    EXPECT_EQ(object->Subscriptions()[1].gameParamID, 11u) << "the second (0, 1) replaced the first";
    EXPECT_EQ(object->Subscriptions()[1].curve.PointCount(), 3u);
}

TEST_F(EffectObjectRead, RunTimeCustomEffectOfASourcePlugin)
{
    EXPECT_EQ(CZkEffectObject::SourcePluginObjectID(101, 0), 0x80650002u);
    CZkEffectObject* object = CZkEffectObject::FindOrCreateSourcePlugin(101, 0);
    ASSERT_NE(object, nullptr);
    m_objects.push_back(object);
    EXPECT_EQ(object->ID(), 0x80650002u);
    EXPECT_EQ(object->pluginID, 0x650002u);
    EXPECT_EQ(g_pObjectIndex->Table(ZkIndexKind::CustomEffects).Table().Find(0x80650002u), object);
    CZkEffectObject* again = CZkEffectObject::FindOrCreateSourcePlugin(101, 0);
    EXPECT_EQ(again, object) << "found, not made twice";
    EXPECT_EQ(object->RefCount(), 2u);
    again->Release();
}

// Through the bank parser: the writer's damaged copies of a bank with an effect object leave no
// object in any effect table, whatever they end with.
class EffectObjectBanks : public ZkBankTest::BankParseTest
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        ASSERT_EQ(StartRegistryWithGain(), ZK_Success);
    }
    void TearDown() override
    {
        PluginRegistry::Term();
        BankParseTest::TearDown();
    }
    uint32_t EffectObjects()
    {
        return m_index.Table(ZkIndexKind::SharedEffects).Length() + m_index.Table(ZkIndexKind::CustomEffects).Length() +
               m_index.Table(ZkIndexKind::AudioDevices).Length();
    }
};

TEST_F(EffectObjectBanks, DamagedBodiesLeaveNoObjectInTheIndex)
{
    const auto banks = ZkSoundFixtures::WriteBankWithFaultVariants(
        R"({"name": "Effects.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
            {"type": "shareset", "id": 5, "plugin": )" + kGain + R"(, "data_f32": [0.5], "media": [7],
             "rtpc": [{"parameter": 9, "combine": 3, "target": 0, "curve": 1, )" + kLine + R"(}],
             "initial": [{"param": 0, "kind": 3, "value": 0.5}]}]}]})");
    uint32_t effectVariants = 0;
    for (const auto& [name, bytes] : banks)
    {
        SCOPED_TRACE(name);
        const ZKRESULT result = ParseMemory(bytes, static_cast<ZkBankID>(m_banks.size() + 1));
        if (name.find(".effect_") != std::string::npos)
        {
            ++effectVariants;
            EXPECT_EQ(result, ZK_InvalidFile);
            EXPECT_EQ(EffectObjects(), 0u);
        }
        EXPECT_EQ(GainParams::live, EffectObjects()) << "a block only with an object";
        for (LoadedBank* bank : m_banks)
        {
            bank->ReleaseItemList();
            bank->Destroy();
        }
        m_banks.clear();
        EXPECT_EQ(EffectObjects(), 0u);
    }
    EXPECT_EQ(effectVariants, 4u);
}
} // namespace
