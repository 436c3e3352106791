// The bank interface calls: the requests they make (file names with ".bnk", bank ids from names,
// memory banks and their checks, preparations and their ids), the bank reader's I/O settings, and
// the answers before the engine's initialisation.
#include "BankManagerFixture.h"

#include "ZkAudiolib/Common/Banks/BankCallSupport.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
using namespace ZkBankManagerTest;

// A bank manager that records what reaches it and runs nothing.
class RequestRecorder final : public BankManager
{
public:
    struct Seen
    {
        uint32_t kind;
        ZkBankID bankID;
        std::string fileName;
        bool nameOwned;
        uint32_t sourceKind;
        const void* memory;
        std::vector<ZkUniqueID> ids;
        BankRequest request;
    };

    ZKRESULT SubmitRequest(BankRequest& request) override
    {
        Seen seen{request.kind, request.bankID, request.fileName != nullptr ? request.fileName : "",
                  request.nameOwned != 0, request.sourceKind, request.data.bank.memory, {}, request};
        if (request.kind == ZkBankRequestPrepareEvents || request.kind == ZkBankRequestUnprepareEvents)
        {
            const auto& events = request.data.events;
            for (uint32_t index = 0; index < events.eventCount; ++index)
                seen.ids.push_back(events.eventCount == 1 ? events.eventID : events.eventIDs[index]);
        }
        if (request.kind == ZkBankRequestPrepareGameSyncs)
        {
            const auto& values = request.data.gameSyncs;
            for (uint32_t index = 0; index < values.valueCount; ++index)
                seen.ids.push_back(values.valueCount == 1 ? values.valueID : values.valueIDs[index]);
        }
        requests.push_back(seen);
        FreeRequestHoldings(request);
        return ZK_Success;
    }

    std::vector<Seen> requests;
};

class BankInterfaceCalls : public ZkEngineTest::EngineMemoryTest
{
protected:
    void SetUp() override
    {
        EngineMemoryTest::SetUp();
        ZK::MemoryMgr::InitForThread();
        g_pBankManager = &m_recorder;
    }
    void TearDown() override
    {
        g_pBankManager = nullptr;
        m_recorder.Term();
        ZK::MemoryMgr::TermForThread();
        EngineMemoryTest::TearDown();
    }
    const RequestRecorder::Seen& Last() const { return m_recorder.requests.back(); }

    RequestRecorder m_recorder;
};

TEST_F(BankInterfaceCalls, NamesGetTheBankExtensionAndTheBankIDIsTheNamesWithoutIt)
{
    struct Case
    {
        const char* name;
        const wchar_t* wide;
        const char* fileName;
        const char* idText; // the text the bank id is the id of
    };
    const Case cases[] = {
        {"Init.bnk", L"Init.bnk", "Init.bnk", "Init"},
        {"Init", L"Init", "Init.bnk", "Init"},
        {"Init.BNK", L"Init.BNK", "Init.BNK.bnk", "Init"}, // the extension is matched byte for byte
        {".bnk", L".bnk", ".bnk.bnk", ""},                 // 4 characters: not a name with an extension
        {"bnk", L"bnk", "bnk.bnk", "bnk"},
        {"a.b.bnk", L"a.b.bnk", "a.b.bnk", "a.b"},
        {"Musique\xC3\xA9", L"Musique\u00E9", "Musique\xC3\xA9.bnk", "Musique\xC3\xA9"},
    };
    for (const Case& c : cases)
    {
        const ZkBankID expected = GetIDFromString(c.idText);
        ZkBankID bankID = 0;
        LoadBank(c.name, bankID);
        EXPECT_EQ(bankID, expected) << c.name;
        EXPECT_EQ(Last().fileName, c.fileName) << c.name;
        EXPECT_EQ(Last().sourceKind, ZkBankSourceByName);
        EXPECT_EQ(Last().nameOwned, !ZK::SoundEngine::BankCalls::HasBankExtension(c.name))
            << "the synchronous form keeps the caller's text";
        bankID = 0;
        LoadBank(c.name, &CallbackLog::Record, nullptr, bankID);
        EXPECT_EQ(bankID, expected) << c.name;
        EXPECT_EQ(Last().fileName, c.fileName) << c.name;
        EXPECT_TRUE(Last().nameOwned);
        bankID = 0;
        LoadBank(c.wide, bankID);
        EXPECT_EQ(bankID, expected) << c.name;
        EXPECT_EQ(Last().fileName, c.fileName) << c.name;
        LoadBank(c.wide, &CallbackLog::Record, nullptr, bankID);
        EXPECT_EQ(Last().fileName, c.fileName) << c.name;

        UnloadBank(c.name, nullptr);
        EXPECT_EQ(Last().kind, ZkBankRequestUnload);
        EXPECT_EQ(Last().bankID, expected) << c.name;
        EXPECT_EQ(Last().fileName, c.fileName) << c.name;
        UnloadBank(c.wide, nullptr, &CallbackLog::Record, nullptr);
        EXPECT_EQ(Last().bankID, expected) << c.name;
    }
    ZkBankID bankID = 7;
    EXPECT_EQ(LoadBank(static_cast<const char*>(nullptr), bankID), ZK_InvalidParameter);
    EXPECT_EQ(bankID, 0u);
    const size_t before = m_recorder.requests.size();
    EXPECT_EQ(LoadBank(static_cast<const wchar_t*>(nullptr), &CallbackLog::Record, nullptr, bankID),
              ZK_InvalidParameter);
    EXPECT_EQ(m_recorder.requests.size(), before) << "no request";
}

TEST_F(BankInterfaceCalls, LoadsAndUnloadsByIDAndAVeryLongName)
{
    LoadBank(0x1234u);
    EXPECT_EQ(Last().kind, ZkBankRequestLoad);
    EXPECT_EQ(Last().bankID, 0x1234u);
    EXPECT_EQ(Last().sourceKind, ZkBankSourceByID);
    EXPECT_TRUE(Last().fileName.empty());
    int memory = 0;
    UnloadBank(0x1234u, &memory, &CallbackLog::Record, nullptr);
    EXPECT_EQ(Last().sourceKind, ZkBankSourceMemoryView) << "a memory address names a view";
    EXPECT_EQ(Last().memory, &memory);

    // The file name is copied whole; the id is made from its first 259 bytes.
    const std::string longName(1000, 'x');
    ZkBankID bankID = 0;
    LoadBank(longName.c_str(), bankID);
    EXPECT_EQ(Last().fileName, longName + ".bnk");
    EXPECT_EQ(bankID, GetIDFromString(std::string(259, 'x').c_str()));
}

TEST_F(BankInterfaceCalls, MemoryBanksAreCheckedBeforeARequestIsMade)
{
    // A bank of version 140 whose header asks for 64-byte alignment, in a block aligned to 64.
    const Bytes bank = WriteBank(R"({"name": "Aligned.bnk", "chunks": [{"tag": "BKHD", "alignment": 64}]})");
    ASSERT_GE(bank.size(), ZK_MinimumMemoryBankBytes);
    alignas(64) uint8_t block[256] = {};
    std::memcpy(block, bank.data(), bank.size());
    std::memcpy(block + 64 + 1, bank.data(), bank.size());
    const auto size = static_cast<uint32_t>(bank.size());
    ZkBankID bankID = 0;

    EXPECT_EQ(LoadBankMemoryView(block, ZK_MinimumMemoryBankBytes - 1, bankID), ZK_InvalidParameter);
    EXPECT_EQ(LoadBankMemoryCopy(block, ZK_MinimumMemoryBankBytes - 1, bankID), ZK_InvalidParameter);
    EXPECT_EQ(LoadBankMemoryCopy(nullptr, size, bankID), ZK_InvalidParameter);
    EXPECT_EQ(LoadBankMemoryView(block + 65, size, bankID), ZK_BankMisaligned) << "one byte off";
    std::memcpy(block + 144, bank.data(), bank.size());
    EXPECT_EQ(LoadBankMemoryView(block + 144, size, &CallbackLog::Record, nullptr, bankID), ZK_BankMisaligned)
        << "16 bytes are not the 64 the header asks for";
    EXPECT_TRUE(m_recorder.requests.empty());

    EXPECT_EQ(LoadBankMemoryCopy(block + 65, size, bankID), ZK_Success) << "a copy needs no alignment";
    EXPECT_EQ(bankID, GetBankIDFromString("Aligned.bnk"));
    EXPECT_EQ(Last().sourceKind, ZkBankSourceMemoryCopy);
    EXPECT_EQ(Last().memory, block + 65);
    bankID = 0;
    EXPECT_EQ(LoadBankMemoryView(block, size, bankID), ZK_Success);
    EXPECT_EQ(bankID, GetBankIDFromString("Aligned.bnk"));
    EXPECT_EQ(Last().sourceKind, ZkBankSourceMemoryView);

    // Banks older than version 135 are aligned to 16 bytes whatever their header says.
    const Bytes old = WriteBank(R"({"name": "Old.bnk", "chunks": [{"tag": "BKHD", "version": 134, "alignment": 64}]})");
    std::memcpy(block + 144, old.data(), old.size());
    EXPECT_EQ(LoadBankMemoryView(block + 144, static_cast<uint32_t>(old.size()), bankID), ZK_Success);
}

TEST_F(BankInterfaceCalls, PreparationsCarryTheirKindAndIDs)
{
    const ZkUniqueID ids[3] = {10, 11, 12};
    EXPECT_EQ(PrepareEvent(Preparation_Load, ids, 0), ZK_InvalidParameter);
    EXPECT_EQ(PrepareEvent(Preparation_Load, static_cast<const ZkUniqueID*>(nullptr), 2), ZK_InvalidParameter);
    EXPECT_TRUE(m_recorder.requests.empty());
    struct Case
    {
        PreparationType type;
        uint32_t kind;
    };
    for (const Case c : {Case{Preparation_Load, ZkBankRequestPrepareEvents},
                         Case{Preparation_Unload, ZkBankRequestUnprepareEvents},
                         Case{Preparation_LoadAndDecode, ZkBankRequestUnprepareEvents}})
    {
        PrepareEvent(c.type, ids, 3);
        EXPECT_EQ(Last().kind, c.kind) << c.type;
        EXPECT_EQ(Last().ids, std::vector<ZkUniqueID>(ids, ids + 3));
        PrepareEvent(c.type, ids, 1, &CallbackLog::Record, nullptr);
        EXPECT_EQ(Last().ids, std::vector<ZkUniqueID>{10});
    }
    const char* names[2] = {"Play_Music", nullptr};
    PrepareEvent(Preparation_Load, names, 2);
    EXPECT_EQ(Last().ids, (std::vector<ZkUniqueID>{GetIDFromString("Play_Music"), 0})) << "a null name is id 0";
    const wchar_t* wide[1] = {L"Play_Music"};
    PrepareEvent(Preparation_Load, wide, 1, &CallbackLog::Record, nullptr);
    EXPECT_EQ(Last().ids, std::vector<ZkUniqueID>{GetIDFromString("Play_Music")});

    EXPECT_EQ(PrepareGameSyncs(Preparation_Load, ZkGroupType_State, 5, ids, 0), ZK_InvalidParameter);
    EXPECT_EQ(PrepareGameSyncs(Preparation_Load, ZkGroupType_State, "Group", static_cast<const char**>(nullptr), 1),
              ZK_InvalidParameter);
    PrepareGameSyncs(Preparation_Unload, ZkGroupType_Switch, "Surface", names, 2);
    EXPECT_EQ(Last().kind, ZkBankRequestPrepareGameSyncs);
    EXPECT_EQ(Last().request.data.gameSyncs.groupID, GetIDFromString("Surface"));
    EXPECT_EQ(Last().request.data.gameSyncs.groupType, ZkGroupType_Switch);
    EXPECT_EQ(Last().request.data.gameSyncs.prepare, 0);
    PrepareGameSyncs(Preparation_Load, ZkGroupType_State, 5, ids, 1, &CallbackLog::Record, nullptr);
    EXPECT_EQ(Last().request.data.gameSyncs.prepare, 1);
    EXPECT_EQ(Last().ids, std::vector<ZkUniqueID>{10});

    PrepareBank(Preparation_LoadAndDecode, "Main", ZkBankContent_StructureOnly);
    EXPECT_EQ(Last().kind, ZkBankRequestPrepareBank);
    EXPECT_EQ(Last().request.data.preparation.decode, 1);
    EXPECT_EQ(Last().request.data.preparation.content, ZkBankContent_StructureOnly);
    EXPECT_EQ(Last().fileName, "Main.bnk");
    EXPECT_EQ(Last().bankID, GetBankIDFromString("Main"));
    PrepareBank(Preparation_Unload, 9u, &CallbackLog::Record, nullptr);
    EXPECT_EQ(Last().kind, ZkBankRequestUnprepareBank);
    EXPECT_EQ(Last().request.data.preparation.decode, 0);
    EXPECT_EQ(Last().request.data.preparation.content, ZkBankContent_All);
}

TEST_F(BankInterfaceCalls, TheBankReadersIOSettingsAreChecked)
{
    struct Case
    {
        float throughput;
        signed char priority;
        ZKRESULT result;
    };
    const Case cases[] = {
        {-1.0f, 50, ZK_InvalidParameter},
        {10.0f, 101, ZK_InvalidParameter},
        {10.0f, -1, ZK_InvalidParameter}, // 255 as an unsigned byte
        {std::numeric_limits<float>::quiet_NaN(), 50, ZK_InvalidParameter},
        {0.0f, 100, ZK_Success},
        {std::numeric_limits<float>::infinity(), 0, ZK_Success},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetBankLoadIOSettings(c.throughput, c.priority), c.result) << c.throughput << " " << int{c.priority};
}

TEST_F(BankInterfaceCalls, BeforeTheEnginesInitialisationBankCallsAnswer2)
{
    g_pBankManager = nullptr;
    ZkBankID bankID = 0;
    EXPECT_EQ(LoadBank("Init.bnk", bankID), ZK_Fail);
    EXPECT_EQ(LoadBank(L"Init", &CallbackLog::Record, nullptr, bankID), ZK_Fail);
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Fail);
    EXPECT_EQ(ClearPreparedEvents(), ZK_Fail);
    EXPECT_EQ(ClearBanks(), ZK_Fail);
    EXPECT_EQ(SetBankLoadIOSettings(1.0f, 1), ZK_Fail);
    CancelBankCallbackCookie(&bankID);
    void* decoded = nullptr;
    uint32_t decodedSize = 0;
    EXPECT_EQ(DecodeBank(nullptr, 0, -1, decoded, decodedSize), ZK_InvalidFile) << "no image";
    EXPECT_TRUE(CallbackLog::Calls().empty());
}
} // namespace
