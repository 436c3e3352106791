// The bank manager's requests without a bank thread, through the interface calls: loads, unloads
// and clearing, their results and callbacks, and the engine without its own thread.
#include "BankManagerFixture.h"
#include "ZkAudiolib/Common/GameSyncs/CZkStateMgr.h"

namespace
{
using namespace ZkBankManagerTest;

class BankRequests : public BankManagerTest
{
protected:
    void SetUp() override
    {
        BankManagerTest::SetUp();
        StartManager();
    }
};

TEST_F(BankRequests, ASecondLoadReports69AndOneUnloadRemovesTheBank)
{
    const Bytes bank = MediaBank("Twice.bnk", {{100, 64}});
    ZkBankID bankID = 0;
    ASSERT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_Success);
    EXPECT_EQ(bankID, GetBankIDFromString("Twice"));
    EXPECT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_BankAlreadyLoaded);
    int cookie = 0;
    EXPECT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), &CallbackLog::Record, &cookie,
                                 bankID),
              ZK_Success)
        << "the asynchronous form reports through its callback";
    ASSERT_EQ(CallbackLog::Calls().size(), 1u);
    EXPECT_EQ(CallbackLog::Calls()[0].result, ZK_BankAlreadyLoaded);
    EXPECT_EQ(CallbackLog::Calls()[0].id, bankID);
    EXPECT_EQ(CallbackLog::Calls()[0].cookie, &cookie);
    ASSERT_NE(FindBank(bankID), nullptr);
    EXPECT_EQ(FindBank(bankID)->loadCount.load(), 1);

    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
    EXPECT_EQ(FindBank(bankID), nullptr);
    EXPECT_EQ(CopiesOf(100), 0u) << "its media left the index";
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_BankNotLoaded);
}

TEST_F(BankRequests, UnloadingAnUnknownBankGives54AndAPreparedOnlyBankGives2)
{
    EXPECT_EQ(UnloadBank(0x1234u, nullptr), ZK_BankNotLoaded);
    EXPECT_EQ(UnloadBank("Unknown.bnk", nullptr), ZK_BankNotLoaded);
    // Preparations cannot be made yet: the record a bank preparation would leave is made here.
    LoadedBank* prepared = LoadedBank::Create(0x5678, nullptr);
    ASSERT_NE(prepared, nullptr);
    prepared->preparationCount.store(1);
    prepared->structureCount = 1;
    ASSERT_TRUE(m_manager->BankTable().InsertUnique(prepared->key, prepared));
    int cookie = 0;
    EXPECT_EQ(UnloadBank(0x5678u, nullptr, &CallbackLog::Record, &cookie), ZK_Success);
    ASSERT_EQ(CallbackLog::Calls().size(), 1u) << "called before the call returned";
    EXPECT_EQ(CallbackLog::Calls()[0].result, ZK_Fail);
    EXPECT_EQ(UnloadBank(0x5678u, nullptr), ZK_Fail);

    // Clearing leaves it too; the manager's termination drops its preparation.
    EXPECT_EQ(ClearBanks(), ZK_Success);
    EXPECT_EQ(FindBank(0x5678), prepared);
}

TEST_F(BankRequests, WithoutABankThreadAnAsynchronousLoadCallsBackBeforeReturning)
{
    const Bytes bank = MediaBank("Async.bnk", {{100, 32}, {101, 48}});
    ZkBankID bankID = 0;
    int cookie = 0;
    ASSERT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), &CallbackLog::Record, &cookie,
                                 bankID),
              ZK_Success);
    ASSERT_EQ(CallbackLog::Calls().size(), 1u);
    EXPECT_EQ(CallbackLog::Calls()[0].result, ZK_Success);
    EXPECT_EQ(CallbackLog::Calls()[0].memory, nullptr) << "a copy names no memory";
    EXPECT_FALSE(m_manager->Cookies().IsRegistered(&cookie)) << "the cookie went with its call";

    // The unload's callback, too, comes before the call returns: the caller ticked the engine.
    ASSERT_EQ(UnloadBank(bankID, nullptr, &CallbackLog::Record, &cookie), ZK_Success);
    ASSERT_EQ(CallbackLog::Calls().size(), 2u);
    EXPECT_EQ(CallbackLog::Calls()[1].id, bankID);
    EXPECT_EQ(CallbackLog::Calls()[1].result, ZK_Success);
    EXPECT_EQ(FindBank(bankID), nullptr);
}

TEST_F(BankRequests, AMemoryViewIsKeyedByItsBlockAndNamedToItsCallbacks)
{
    const Bytes bank = MediaBank("View.bnk", {{100, 32}});
    ZkBankID bankID = 0;
    ASSERT_EQ(LoadBankMemoryView(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_Success);
    ASSERT_NE(FindBank(bankID, bank.data()), nullptr);
    EXPECT_EQ(FindBank(bankID), nullptr);
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_BankNotLoaded) << "the view is found by its block only";
    int cookie = 0;
    ASSERT_EQ(UnloadBank(bankID, bank.data(), &CallbackLog::Record, &cookie), ZK_Success);
    ASSERT_EQ(CallbackLog::Calls().size(), 1u);
    EXPECT_EQ(CallbackLog::Calls()[0].memory, bank.data());
    EXPECT_EQ(FindBank(bankID, bank.data()), nullptr);
}

// Without the engine thread, the tick a synchronous unload and ClearBanks wait for is run by the
// waiting caller.
TEST_F(BankRequests, WithoutTheEngineThreadSynchronousUnloadsAndClearingReturn)
{
    UnloadAndClearWithoutTheEngineThread();
}

TEST_F(BankRequests, ClearingReleasesEveryObjectOfTheShippedBanks)
{
    // The Init bank declares the game's state groups.
    ZK::SoundEngine::CZkStateMgr states;
    ASSERT_EQ(states.Init(), ZK_Success);
    ZK::SoundEngine::g_pStateMgr = &states;
    struct StatesGo
    {
        ZK::SoundEngine::CZkStateMgr& states;
        ~StatesGo()
        {
            ZK::SoundEngine::g_pStateMgr = nullptr;
            states.Term();
        }
    } statesGo{states};
    m_buses.placements[GetIDFromString("Master Audio Bus")] = {0, 0xE611314A};
    m_buses.placements[GetIDFromString("Music")] = {GetIDFromString("Master Audio Bus")};
    m_buses.placements[GetIDFromString("Effects")] = {GetIDFromString("Master Audio Bus")};
    const Bytes init = ShippedBank("Init.bnk");
    const Bytes main = ShippedBank("Main.bnk");
    ZkBankID initID = 0;
    ZkBankID mainID = 0;
    ASSERT_EQ(LoadBankMemoryCopy(init.data(), static_cast<uint32_t>(init.size()), initID), ZK_Success);
    // The Init bank's master bus asked for the main output (message 55): the output devices' part,
    // which this engine does not run.
    m_events.Ring().DiscardMessages();
    ASSERT_EQ(LoadBankMemoryCopy(main.data(), static_cast<uint32_t>(main.size()), mainID), ZK_Success);
    EXPECT_EQ(mainID, GetBankIDFromString("Main.bnk"));
    LoadedBank* mainBank = FindBank(mainID);
    ASSERT_NE(mainBank, nullptr);
    EXPECT_EQ(mainBank->registeredMedia, mainBank->entryCount);
    EXPECT_EQ(m_manager->Media().Length(), mainBank->entryCount) << "one media per sound";
    EXPECT_GT(m_index.Table(ZkIndexKind::Events).Length(), 5u);

    ASSERT_EQ(ClearBanks(), ZK_Success);
    for (uint32_t table = 0; table < kIndexTableCount; ++table)
    {
        if (table != static_cast<uint32_t>(ZkIndexKind::SettingsGroups))
        {
            EXPECT_EQ(m_index.Table(static_cast<ZkIndexKind>(table)).Length(), 0u) << "table " << table;
        }
    }
    EXPECT_EQ(m_manager->Media().Length(), 0u);
    EXPECT_EQ(m_manager->BankTable().Length(), 0u);
}

TEST_F(BankRequests, AFailedLoadLeavesNoBankAndNoMedia)
{
    // The "DIDX" entry reaches past "DATA": the parse refuses the bank.
    const Bytes bank = WriteBank(R"({"name": "Bad.bnk", "media": [{"id": 100, "hex": "0102030405060708"}],
        "chunks": [{"tag": "BKHD"}, {"tag": "DIDX", "entries": [{"id": 100, "offset": 0, "size": 64}]},
                   {"tag": "DATA"}]})");
    ZkBankID bankID = 0;
    EXPECT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_InvalidFile);
    EXPECT_EQ(LoadBankMemoryView(bank.data(), static_cast<uint32_t>(bank.size()), bankID), ZK_InvalidFile);
    EXPECT_EQ(m_manager->BankTable().Length(), 0u);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
}

TEST_F(BankRequests, ClearingPreparedEventsAndUnknownKindsAnswer1)
{
    EXPECT_EQ(ClearPreparedEvents(), ZK_Success);
    int cookie = 0;
    const ZkUniqueID events[2] = {10, 11};
    EXPECT_EQ(PrepareEvent(Preparation_Load, events, 2, &CallbackLog::Record, &cookie), ZK_Success);
    EXPECT_EQ(PrepareEvent(Preparation_Unload, events, 1), ZK_InvalidID) << "not loaded";
    EXPECT_EQ(PrepareBank(Preparation_Unload, "Some.bnk"), ZK_Success) << "nothing to unprepare";
    ASSERT_EQ(CallbackLog::Calls().size(), 1u);
    EXPECT_EQ(CallbackLog::Calls()[0].result, ZK_InvalidID);
    EXPECT_EQ(CallbackLog::Calls()[0].id, 0u) << "several events name none";
    BankRequest unknown;
    unknown.kind = 42;
    EXPECT_EQ(m_manager->ExecuteRequest(unknown), ZK_Success);
}

TEST_F(BankRequests, ASourceReadingABankCopyKeepsTheBankUntilItStops)
{
    const ZkBankID bankID = LoadCopy(MediaBank("Held.bnk", {{100, 32}}));
    ReadingSource source(100);
    ASSERT_EQ(source.started, ZK_Success);
    EXPECT_EQ(source.bank, FindBank(bankID));
    EXPECT_EQ(source.size, 32u);
    EXPECT_EQ(source.data[0], 1);
    EXPECT_EQ(source.bank->loadCount.load(), 2) << "the bank's own reference and the source's";
    source.Stop();
    EXPECT_EQ(FindBank(bankID)->loadCount.load(), 1);
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
}
} // namespace
