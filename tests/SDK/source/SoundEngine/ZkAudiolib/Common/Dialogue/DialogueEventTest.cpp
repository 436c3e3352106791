// Dialogue events read from writer-made banks and reached through the dynamic dialogue calls:
// resolution by ids, narrow and wide names, the property query by index, events shared by two
// banks, the bodies that run past their item (each refused whole, nothing left in the table), and
// allocation failures.
#include "SDK/source/SoundEngine/ZkAudiolib/Common/Banks/BankManagerFixture.h"

#include "ZkAudiolib/Common/Containers/ZkLcg64.h"
#include "ZkAudiolib/Common/Dialogue/CZkDialogueEvent.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <ZK/SoundEngine/Common/ZkDynamicDialogue.h>
#include <ZK/SoundEngine/Common/ZkIdFromName.h>

#include <gtest/gtest.h>

#include <bit>
#include <string>
#include <vector>

namespace
{
using namespace ZkBankManagerTest;
using namespace ZK::SoundEngine::DynamicDialogue;
namespace Fault = ZK::MemoryMgr::FaultInjection;

ZkUniqueID Id(const char* name) { return GetIDFromString(name); }

// A bank of dialogue events: Fallback (best match), Weights (weighted, full weights beside 30),
// Chance (probability 50 on event and node) and Props (custom properties).
const char* const kDialogueBank = R"({"name": "Dialogue.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
  {"type": "dialogue_event", "id": "Fallback", "arguments": ["Speaker", "Line"],
   "tree": {"Anna": {"Bye": 10}, "*": {"Hello": 20, "*": 21}}},
  {"type": "dialogue_event", "id": "Weights", "arguments": ["Speaker", "Line"], "mode": "weighted",
   "tree": {"Anna": {"Hello": {"node": 30, "weight": 100}},
            "*": {"Hello": {"node": 31, "weight": 30}, "*": {"node": 32, "weight": 100}}}},
  {"type": "dialogue_event", "id": "Chance", "probability": 50, "arguments": ["Speaker"],
   "tree": {"Anna": {"node": 40, "probability": 50}}},
  {"type": "dialogue_event", "id": "Props", "arguments": [], "tree": {"node": 50},
   "props": {"74": 1, "0": {"i32": 2}, "18": 3, "75": {"f32": 1.5}}, "ranges": {"76": [1, 2]}}]}]})";

// A bank of one event named Shared whose only path leads to node.
std::string SharedEventBank(const std::string& name, uint32_t node)
{
    return R"({"name": ")" + name + R"(", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
      {"type": "dialogue_event", "id": "Shared", "arguments": ["Speaker"], "tree": {"Anna": )" +
           std::to_string(node) + "}}]}]}";
}

// ASCII text as a wide string (empty for null).
std::wstring Widen(const char* text)
{
    return text == nullptr ? std::wstring() : std::wstring(text, text + std::char_traits<char>::length(text));
}

bool RejectAll(ZkUniqueID, ZkUniqueID, void*) { return false; }

class DialogueEvents : public BankManagerTest
{
protected:
    void SetUp() override
    {
        BankManagerTest::SetUp();
        StartManager();
    }
    uint32_t TableLength() { return m_index.Table(ZkIndexKind::DialogueEvents).Length(); }
    ZkUniqueID Resolve(const char* event, std::vector<const char*> names, ZkCandidateCallbackFunc callback = nullptr)
    {
        return ResolveDialogueEvent(event, names.data(), static_cast<uint32_t>(names.size()), 0, callback);
    }
};

TEST_F(DialogueEvents, PathsResolveByIdsAndByNames)
{
    LoadCopy(WriteBank(kDialogueBank));
    const struct
    {
        const char* name;
        const char* event;
        std::vector<const char*> path;
        ZkCandidateCallbackFunc callback;
        ZkUniqueID expected;
    } cases[] = {
        {"an exact path", "Fallback", {"Anna", "Bye"}, nullptr, 10},
        {"Anna lacks Hello: Hello under the first-level wildcard", "Fallback", {"Anna", "Hello"}, nullptr, 20},
        {"an unknown speaker", "Fallback", {"Bob", "Bye"}, nullptr, 21},
        {"an empty name is 0 and matches only a wildcard", "Fallback", {"", "Hello"}, nullptr, 20},
        {"a null name is 0 as well", "Fallback", {nullptr, "Hello"}, nullptr, 20},
        {"a callback rejecting every node", "Fallback", {"Anna", "Bye"}, RejectAll, 0},
        {"fewer values than arguments", "Fallback", {"Anna"}, nullptr, 0},
        {"more values than arguments", "Fallback", {"Anna", "Bye", "Bye"}, nullptr, 0},
        {"an event not loaded", "Nobody", {"Anna", "Bye"}, nullptr, 0},
        {"a null event name", nullptr, {"Anna", "Bye"}, nullptr, 0},
        {"depth 0 resolves to the root", "Props", {}, nullptr, 50},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Resolve(c.event, c.path, c.callback), c.expected);
        if (c.event == nullptr)
            continue;
        std::vector<ZkUniqueID> ids;
        std::vector<std::wstring> wide;
        for (const char* name : c.path)
        {
            ids.push_back(name == nullptr || *name == 0 ? 0 : Id(name));
            wide.push_back(Widen(name));
        }
        std::vector<const wchar_t*> wideNames;
        for (size_t index = 0; index < wide.size(); ++index)
            wideNames.push_back(c.path[index] == nullptr ? nullptr : wide[index].c_str());
        const std::wstring wideEvent = Widen(c.event);
        const auto count = static_cast<uint32_t>(ids.size());
        EXPECT_EQ(ResolveDialogueEvent(Id(c.event), ids.data(), count, 0, c.callback), c.expected) << "by ids";
        EXPECT_EQ(ResolveDialogueEvent(wideEvent.c_str(), wideNames.data(), count, 0, c.callback), c.expected)
            << "by wide names";
    }
}

TEST_F(DialogueEvents, WeightedEventsAndProbabilitiesDrawFromTheEnginesGenerator)
{
    LoadCopy(WriteBank(kDialogueBank));
    bool seen[3] = {};
    uint32_t chancePassed = 0;
    for (uint64_t seed = 1; seed <= 300; ++seed)
    {
        ZK::ZkLcg64::Engine().Seed(seed);
        const ZkUniqueID node = Resolve("Weights", {"Anna", "Hello"});
        ASSERT_TRUE(node == 30 || node == 32) << "weight 30 beside weights of 100: " << node;
        seen[node - 30] = true;

        ZK::ZkLcg64::Engine().Seed(seed);
        ZK::ZkLcg64 twin(seed);
        const uint64_t roll = uint64_t{twin.Draw()} * 10000 / 2147483647;
        ASSERT_EQ(Resolve("Chance", {"Anna"}), roll < 2500 ? 40u : 0u) << "seed " << seed;
        chancePassed += roll < 2500 ? 1u : 0u;
    }
    EXPECT_TRUE(seen[0] && seen[2]);
    EXPECT_GT(chancePassed, 0u);
}

TEST_F(DialogueEvents, CustomPropertiesByIndex)
{
    LoadCopy(WriteBank(kDialogueBank));
    const struct
    {
        uint32_t index;
        ZKRESULT result;
        int32_t value;
    } cases[] = {{0, ZK_Success, 1}, {182, ZK_Success, 2}, {200, ZK_Success, 3}, {2, ZK_PartialSuccess, -7},
                 {256 + 182, ZK_Success, 2}};
    for (const auto& c : cases)
    {
        int32_t value = -7;
        EXPECT_EQ(GetDialogueEventCustomPropertyValue(Id("Props"), c.index, value), c.result) << c.index;
        EXPECT_EQ(value, c.value) << c.index;
    }
    int32_t bits = 0;
    float number = 0.0f;
    ASSERT_EQ(GetDialogueEventCustomPropertyValue(Id("Props"), 1, bits), ZK_Success);
    ASSERT_EQ(GetDialogueEventCustomPropertyValue(Id("Props"), 1, number), ZK_Success);
    EXPECT_EQ(number, 1.5f);
    EXPECT_EQ(bits, std::bit_cast<int32_t>(1.5f)) << "the two forms give the same 32 bits";
    EXPECT_EQ(GetDialogueEventCustomPropertyValue(Id("Nobody"), 0, bits), ZK_InvalidID);
    EXPECT_EQ(GetDialogueEventCustomPropertyValue(Id("Fallback"), 0, bits), ZK_PartialSuccess);

    auto* props = static_cast<CZkDialogueEvent*>(m_index.GetPtrAndAddRef(ZkIndexKind::DialogueEvents, Id("Props")));
    ASSERT_NE(props, nullptr);
    EXPECT_EQ(props->PropertyCount(), 4u);
    EXPECT_EQ(props->RangedPropertyCount(), 1u);
    const char* names[] = {"a"};
    uint32_t ids[1] = {};
    EXPECT_EQ(props->ArgumentNamesToIDs(names, ids, 1), ZK_Fail) << "Props has no argument";
    props->Release();
}

TEST_F(DialogueEvents, ASecondBankReferencesTheEventWithoutReadingItAgain)
{
    const ZkBankID first = LoadCopy(WriteBank(SharedEventBank("First.bnk", 10)));
    const ZkBankID second = LoadCopy(WriteBank(SharedEventBank("Second.bnk", 99)));
    EXPECT_EQ(Resolve("Shared", {"Anna"}), 10u) << "the first bank's tree stays";
    ASSERT_EQ(UnloadBank(first, nullptr), ZK_Success);
    EXPECT_EQ(Resolve("Shared", {"Anna"}), 10u) << "the second bank keeps the event";
    ASSERT_EQ(UnloadBank(second, nullptr), ZK_Success);
    EXPECT_EQ(Resolve("Shared", {"Anna"}), 0u);
    EXPECT_EQ(TableLength(), 0u);
}

TEST_F(DialogueEvents, BodiesRunningPastTheirItemAreRefusedWhole)
{
    const auto banks = ZkSoundFixtures::WriteBankWithFaultVariants(R"({"name": "Faults.bnk", "chunks": [{"tag": "BKHD"},
      {"tag": "HIRC", "items": [{"type": "dialogue_event", "id": "Cut", "arguments": ["Speaker"],
        "tree": {"Anna": 10}, "props": {"74": 1}, "ranges": {"75": [1, 2]}}]}]})");
    uint32_t variants = 0;
    for (const auto& [name, bytes] : banks)
    {
        if (name.find(".dialogue_") == std::string::npos)
            continue;
        SCOPED_TRACE(name);
        ++variants;
        ZkBankID bankID = 0;
        const ZKRESULT result = LoadBankMemoryCopy(bytes.data(), static_cast<uint32_t>(bytes.size()), bankID);
        if (name.find("tree_empty") != std::string::npos)
        {
            // No tree data: the event loads and resolves nothing.
            ASSERT_EQ(result, ZK_Success);
            EXPECT_EQ(Resolve("Cut", {"Anna"}), 0u);
            EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
        }
        else
        {
            EXPECT_EQ(result, ZK_InvalidFile);
        }
        EXPECT_EQ(TableLength(), 0u) << "nothing left in the dialogue-event table";
    }
    EXPECT_EQ(variants, 8u);
}

TEST_F(DialogueEvents, AllocationFailuresLeaveNoEventBehind)
{
    const Bytes bank = WriteBank(R"({"name": "Alloc.bnk", "chunks": [{"tag": "BKHD"}, {"tag": "HIRC", "items": [
      {"type": "dialogue_event", "id": "Cut", "arguments": ["Speaker"], "tree": {"Anna": 10},
       "props": {"74": 1}, "ranges": {"75": [1, 2]}}]}]})");
    // Pool 1 gives the event, its tree, its property list and its ranged list, in that order.
    const struct
    {
        uint32_t failing;
        ZKRESULT result;
    } cases[] = {{1, ZK_Fail}, {2, ZK_InsufficientMemory}, {3, ZK_Fail}, {4, ZK_Fail}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.failing);
        Fault::FailNth(CZkDialogueEvent::kPool, c.failing);
        ZkBankID bankID = 0;
        EXPECT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID), c.result);
        Fault::Disarm();
        EXPECT_EQ(TableLength(), 0u);
    }
    const ZkBankID bankID = LoadCopy(bank);
    EXPECT_EQ(Resolve("Cut", {"Anna"}), 10u);
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
}
} // namespace
