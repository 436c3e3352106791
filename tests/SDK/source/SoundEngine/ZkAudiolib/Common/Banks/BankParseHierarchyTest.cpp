// The "HIRC" chunk: items created and read under the engine lock, objects already present
// referenced (and sounds and play actions read again), 91 for containers, the item count bound,
// the top-level bus rule with message 55, and the items of the music engine's handler.
#include "BankTestSupport.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include <ZK/SoundEngine/Common/ZkIdFromName.h>

namespace
{
using namespace ZkBankTest;

const char* const kMedia = R"("media": [{"id": 100, "wave": {"rate": 48000, "frames": 480, "parts": [{"tone": 440}]}}], )";

std::string Hierarchy(const std::string& items, const std::string& extra = "")
{
    return R"({"tag": "BKHD"}, {"tag": "DIDX"}, {"tag": "DATA"}, {"tag": "HIRC", )" + extra + R"("items": [)" + items + "]}";
}

const char* const kSoundActionEvent = R"({"type": "sound", "id": 200, "media": 100},
    {"type": "action", "id": 300, "action": "play", "target": 200},
    {"type": "action", "id": 301, "action": "stop", "target": 200},
    {"type": "event", "id": 400, "actions": [300, 301]})";

using BankParseHierarchy = BankParseTest;

TEST_F(BankParseHierarchy, ItemsOfAKindWithNoReaderEndTheParseWith4)
{
    BankItemKinds::Set(6, nullptr); // the fixture's tear-down gives the built-in kinds back
    const Bytes bank = WriteBank(Bank(Hierarchy(R"({"type": 6, "id": 600, "hex": "00"})")));
    EXPECT_EQ(ParseMemory(bank), ZK_NotImplemented) << "no reader for switch containers";
}

TEST_F(BankParseHierarchy, CreatesReadsAndHoldsEachObject)
{
    UseTestKinds();
    const Bytes bank = WriteBank(Bank(Hierarchy(kSoundActionEvent), kMedia));
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(bank, 1, ZkBankSourceMemoryCopy, &parsed), ZK_Success);
    ASSERT_EQ(parsed->itemCount, 4u);
    EXPECT_EQ(parsed->itemCapacity, 4u) << "the list is sized by the item count";
    TestItem* sound = Find(ZkIndexKind::Nodes, 200);
    TestItem* play = Find(ZkIndexKind::Actions, 300);
    TestItem* event = Find(ZkIndexKind::Events, 400);
    ASSERT_NE(sound, nullptr);
    ASSERT_NE(play, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(parsed->items[0], sound);
    EXPECT_EQ(parsed->items[3], event);
    EXPECT_EQ(sound->reads, 1u);
    EXPECT_EQ(sound->RefCount(), 1u) << "the bank's reference only";
    EXPECT_EQ(ZK::LoadLittleEndian<uint32_t>(sound->body.data()), 200u) << "the read gets the body from the id on";
    EXPECT_EQ(play->actionType, 0x0403);
    EXPECT_EQ(m_events.indexed, 1u) << "events are indexed after their read";
}

TEST_F(BankParseHierarchy, ASecondBankReferencesPresentObjectsAndRereadsSoundsAndPlayActions)
{
    UseTestKinds();
    const Bytes first = WriteBank(Bank(Hierarchy(kSoundActionEvent), kMedia));
    const Bytes second = WriteBank(Bank(Hierarchy(kSoundActionEvent), kMedia));
    ASSERT_EQ(ParseMemory(first, 1), ZK_Success);
    TestItem* sound = Find(ZkIndexKind::Nodes, 200);
    TestItem* play = Find(ZkIndexKind::Actions, 300);
    TestItem* stop = Find(ZkIndexKind::Actions, 301);
    TestItem* event = Find(ZkIndexKind::Events, 400);
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(second, 2, ZkBankSourceMemoryCopy, &parsed), ZK_Success);
    EXPECT_EQ(parsed->itemCount, 4u);
    for (TestItem* item : {sound, play, stop, event})
        EXPECT_EQ(item->RefCount(), 2u) << item->ID() << ": one reference per bank";
    EXPECT_EQ(sound->rereads, 1u) << "a sound takes the new bank's media reference";
    EXPECT_EQ(play->rereads, 1u) << "a play action is read again";
    EXPECT_EQ(stop->rereads, 0u) << "other actions are only referenced";
    EXPECT_EQ(event->reads + event->rereads, 1u);
    EXPECT_EQ(m_sounds.creates, 1u);

    // A sound whose media the game set, and a play action with flag 0x20, keep what they have.
    sound->keepsItsData = true;
    play->keepsItsData = true;
    ASSERT_EQ(ParseMemory(second, 3), ZK_Success);
    EXPECT_EQ(sound->rereads, 1u);
    EXPECT_EQ(play->rereads, 1u);
    EXPECT_EQ(sound->RefCount(), 3u);
}

TEST_F(BankParseHierarchy, AFailedRereadDropsTheReferenceAndEndsTheParse)
{
    UseTestKinds();
    const Bytes bank = WriteBank(Bank(Hierarchy(kSoundActionEvent), kMedia));
    ASSERT_EQ(ParseMemory(bank, 1), ZK_Success);
    TestItem* sound = Find(ZkIndexKind::Nodes, 200);
    m_sounds.readResult = ZK_AlreadyExists;
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(bank, 2, ZkBankSourceMemoryCopy, &parsed), ZK_Success) << "91 counts as success";
    EXPECT_EQ(sound->RefCount(), 2u);
    m_sounds.readResult = ZK_InvalidFile;
    ASSERT_EQ(ParseMemory(bank, 3, ZkBankSourceMemoryCopy, &parsed), ZK_InvalidFile);
    EXPECT_EQ(sound->RefCount(), 2u) << "the reference of the failed bank is dropped";
    EXPECT_EQ(parsed->itemCount, 0u);
}

TEST_F(BankParseHierarchy, AlreadyCompleteCountsAsSuccessForContainersOnly)
{
    UseTestKinds();
    m_containers.readResult = ZK_AlreadyExists;
    const Bytes containers = WriteBank(Bank(Hierarchy(R"({"type": 5, "id": 600, "hex": "00"},
        {"type": 5, "id": 601, "hex": "00"})")));
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(containers, 1, ZkBankSourceMemoryCopy, &parsed), ZK_Success);
    EXPECT_EQ(parsed->itemCount, 0u) << "an object that answered 91 is not the bank's";
    EXPECT_EQ(Find(ZkIndexKind::Nodes, 600), nullptr) << "and is released";
    EXPECT_EQ(m_containers.creates, 2u);

    m_events.readResult = ZK_AlreadyExists;
    const Bytes events = WriteBank(Bank(Hierarchy(R"({"type": "event", "id": 400, "actions": []})")));
    EXPECT_EQ(ParseMemory(events, 2), ZK_AlreadyExists) << "not for events";
    EXPECT_EQ(Find(ZkIndexKind::Events, 400), nullptr);
}

TEST_F(BankParseHierarchy, ConstructorsThatGiveNothingAndBadItemFraming)
{
    UseTestKinds();
    m_actions.failCreates = true;
    EXPECT_EQ(ParseMemory(WriteBank(Bank(Hierarchy(kSoundActionEvent), kMedia)), 1), ZK_Fail)
        << "an action kind the factory does not create";
    m_actions.failCreates = false;
    struct Case
    {
        const char* label;
        std::string items;
        std::string extra;
        ZKRESULT result;
    };
    const Case cases[] = {
        {"an item body of 0 bytes", R"({"type": 5, "id": 600, "hex": "00", "size": 0})", "", ZK_InvalidFile},
        {"an item body of 3 bytes", R"({"type": 5, "hex": "010203"})", "", ZK_InvalidFile},
        {"an item beyond its chunk", R"({"type": 5, "id": 600, "hex": "00", "size": 4000})", "", ZK_InvalidFile},
        {"a count of 0", R"({"type": 5, "id": 600, "hex": "00"})", R"("count": 0, )", ZK_Success},
        {"a count one too many", R"({"type": 5, "id": 600, "hex": "00"})", R"("count": 2, )", ZK_InvalidFile},
        {"a count of 0x40000000", R"({"type": 5, "id": 600, "hex": "00"})", R"("count": "0x40000000", )", ZK_InvalidFile},
    };
    ZkBankID bankID = 10;
    for (const Case& c : cases)
    {
        ZK::MemoryMgr::FaultInjection::CountOnly(LoadedBank::kPool);
        LoadedBank* parsed = nullptr;
        EXPECT_EQ(ParseMemory(WriteBank(Bank(Hierarchy(c.items, c.extra))), bankID++, ZkBankSourceMemoryCopy, &parsed),
                  c.result)
            << c.label;
        EXPECT_LE(ZK::MemoryMgr::FaultInjection::CountedAllocations(), 2u) << c.label << ": the record and the list";
        ZK::MemoryMgr::FaultInjection::Disarm();
        EXPECT_LE(parsed->itemCapacity, 2u) << c.label << ": never sized by a count the chunk cannot hold";
    }
}

TEST_F(BankParseHierarchy, MusicItemsGoToTheHandlerOrAreSkipped)
{
    UseTestKinds();
    const Bytes bank = WriteBank(Bank(Hierarchy(R"({"type": 11, "id": 900, "hex": "0102030405"},
        {"type": 5, "id": 600, "hex": "00"}, {"type": 0, "id": 901, "hex": ""}, {"type": 30, "id": 902, "hex": "09"})")));
    LoadedBank* parsed = nullptr;
    ASSERT_EQ(ParseMemory(bank, 1, ZkBankSourceMemoryCopy, &parsed), ZK_Success) << "no music engine: skipped";
    EXPECT_EQ(parsed->itemCount, 1u);

    static std::vector<uint8_t> s_types;
    static uint32_t s_readBytes = 0;
    static ZKRESULT s_answer = ZK_Success;
    s_types.clear();
    // A handler that reads the id and two more bytes of its items and takes them.
    EngineHooks::SetHierarchyItemHandler([](const uint8_t* header, LoadedBank* record, ZkBankID) {
        s_types.push_back(header[0]);
        uint8_t bytes[6];
        uint32_t got = 0;
        g_pBankManager->Reader().Read(bytes, s_readBytes, got);
        EXPECT_NE(record, nullptr);
        return s_answer;
    });
    const std::vector<std::pair<uint32_t, ZKRESULT>> handlerCases = {
        {6, ZK_Success}, {0, ZK_PartialSuccess}, {4, ZK_PartialSuccess}, {6, ZK_InvalidID}};
    ZkBankID bankID = 2;
    for (const auto& [readBytes, answer] : handlerCases)
    {
        s_readBytes = readBytes;
        s_answer = answer;
        s_types.clear();
        const ZKRESULT expected = answer == ZK_InvalidID ? ZK_InvalidID : ZK_Success;
        EXPECT_EQ(ParseMemory(WriteBank(Bank(Hierarchy(R"({"type": 11, "id": 900, "hex": "0102030405"},
            {"type": 12, "id": 903, "hex": "0a0b"}, {"type": 5, "id": 600, "hex": "00"})"))), bankID++),
                  expected)
            << "the handler read " << readBytes << " bytes and answered " << answer;
        EXPECT_EQ(s_types.front(), 11);
    }
    s_readBytes = 6;
    s_answer = ZK_Success;
    EXPECT_EQ(ParseMemory(WriteBank(Bank(Hierarchy(R"({"type": 13, "id": 904, "hex": ""},
        {"type": 5, "id": 600, "hex": "00"})"))), bankID++), ZK_InvalidFile) << "the handler read past its item";
}

// The bus rule and message 55, observed through the message ring of an event manager.
class BankParseBuses : public BankParseTest, public IZkMessageDispatcher
{
protected:
    void SetUp() override
    {
        BankParseTest::SetUp();
        UseTestKinds();
        ASSERT_EQ(m_eventMgr.Ring().Init(CZkMessageRing::kMinimumCapacityBytes * 4, this), ZK_Success);
        g_pEventMgr = &m_eventMgr;
        GetEngineSettings().mainOutput = ZkOutputSettings{};
        m_buses.placements[kMaster] = {0, kSystem};
        m_buses.placements[kMusic] = {kMaster, TestBusKind::kNoDevice};
        m_buses.placements[kOther] = {0, TestBusKind::kNoDevice};
    }
    void TearDown() override
    {
        g_pEventMgr = nullptr;
        m_eventMgr.Ring().Term();
        GetEngineSettings().mainOutput = ZkOutputSettings{};
        BankParseTest::TearDown();
    }
    void Dispatch(const uint8_t* message, bool&) override
    {
        const ZkMessageHeader header = ReadMessageHeader(message);
        std::vector<uint8_t> bytes(message, message + header.size);
        messages.push_back(bytes);
    }
    void Discard(const uint8_t*) override {}
    // The messages posted so far, as the engine thread would read them.
    void ReadMessages()
    {
        m_eventMgr.Ring().EndFrame(nullptr);
        bool deviceChanged = false;
        ZK::Platform::ZkScopedLock guard(g_EngineLock);
        m_eventMgr.Ring().ProcessMessages(false, deviceChanged);
    }

    static constexpr ZkUniqueID kSystem = 0xE611314A;
    const ZkUniqueID kMaster = ZK::SoundEngine::GetIDFromString("Master");
    const ZkUniqueID kMusic = ZK::SoundEngine::GetIDFromString("Music");
    const ZkUniqueID kOther = ZK::SoundEngine::GetIDFromString("Other");
    EventManager m_eventMgr;
    std::vector<std::vector<uint8_t>> messages;
};

TEST_F(BankParseBuses, TheFirstBusTakesTheMainOutputAndMessage55IsPosted)
{
    EXPECT_EQ(ZK::SoundEngine::GetIDFromString("System"), kSystem);
    const Bytes bank = WriteBank(Bank(Hierarchy(R"({"type": "bus", "id": "Master", "device": "System"},
        {"type": "bus", "id": "Music", "parent": "Master"})")));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    EXPECT_EQ(GetEngineSettings().mainOutput.audioDeviceShareSetID, kSystem) << "the master bus's device";
    ASSERT_EQ(m_buses.topLevel.size(), 1u);
    ReadMessages();
    ASSERT_EQ(messages.size(), 1u) << "one message for the chunk";
    ASSERT_EQ(messages[0].size(), 20u);
    EXPECT_EQ(ReadMessageHeader(messages[0].data()).type, 55);
    ZkOutputSettings posted;
    std::memcpy(&posted, messages[0].data() + 4, sizeof(posted));
    EXPECT_EQ(posted.audioDeviceShareSetID, kSystem);

    // A second bank with another top-level bus: the list is not empty, and there is no main device
    // waiting for a bus. The master bus again: referenced, already in the list.
    messages.clear();
    const Bytes second = WriteBank(Bank(Hierarchy(R"({"type": "bus", "id": "Other"},
        {"type": "bus", "id": "Master", "device": "System"})")));
    ASSERT_EQ(ParseMemory(second, 2), ZK_Success);
    EXPECT_EQ(m_buses.topLevel.size(), 2u);
    EXPECT_EQ(Find(ZkIndexKind::Buses, kMaster)->RefCount(), 2u);
    ReadMessages();
    EXPECT_TRUE(messages.empty());
}

TEST_F(BankParseBuses, AMainOutputAlreadyNamedGoesToTheBus)
{
    GetEngineSettings().mainOutput.audioDeviceShareSetID = 77;
    const Bytes bank = WriteBank(Bank(Hierarchy(R"({"type": "bus", "id": "Master", "device": "System"})")));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    EXPECT_EQ(Find(ZkIndexKind::Buses, kMaster)->deviceID, 77u);
    EXPECT_EQ(GetEngineSettings().mainOutput.audioDeviceShareSetID, 77u);
    ReadMessages();
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(BankParseBuses, ABusWithoutDeviceKeepsTheMainOutputUnset)
{
    // No device on the bus or above it: -1 is taken as the main output's device (the output layer
    // then keeps its own default).
    const Bytes bank = WriteBank(Bank(Hierarchy(R"({"type": "bus", "id": "Other"})")));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    EXPECT_EQ(GetEngineSettings().mainOutput.audioDeviceShareSetID, TestBusKind::kNoDevice);
    // A bus on device 0: the main output stays unnamed and the bus is given 0.
    const ZkUniqueID zero = ZK::SoundEngine::GetIDFromString("Zero");
    m_buses.placements[zero] = {0, 0};
    GetEngineSettings().mainOutput = ZkOutputSettings{};
    m_buses.topLevel.clear();
    ASSERT_EQ(ParseMemory(WriteBank(Bank(Hierarchy(R"({"type": "bus", "id": "Zero"})"))), 2), ZK_Success);
    EXPECT_EQ(GetEngineSettings().mainOutput.audioDeviceShareSetID, 0u);
    EXPECT_EQ(m_buses.deviceSets, 1u);
    EXPECT_EQ(Find(ZkIndexKind::Buses, zero)->deviceID, 0u);
}

TEST_F(BankParseBuses, ATopLevelListThatCannotGrowEndsTheParse)
{
    const Bytes bank = WriteBank(Bank(Hierarchy(R"({"type": "bus", "id": "Master", "device": "System"})")));
    ASSERT_EQ(ParseMemory(bank), ZK_Success);
    m_buses.topLevel.clear(); // the master bus left the list: a second bank puts it back
    m_buses.refuseTopLevel = true;
    LoadedBank* parsed = nullptr;
    EXPECT_EQ(ParseMemory(bank, 2, ZkBankSourceMemoryCopy, &parsed), ZK_InsufficientMemory);
    EXPECT_EQ(parsed->itemCount, 0u);
    EXPECT_EQ(Find(ZkIndexKind::Buses, kMaster)->RefCount(), 1u);
}
} // namespace
