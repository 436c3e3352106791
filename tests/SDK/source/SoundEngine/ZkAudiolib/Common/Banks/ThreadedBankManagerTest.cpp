// The bank manager with its "ZK::BankManager" thread: requests from several game threads run in the
// order they were submitted (more than the ten preallocated queue nodes), a cancelled cookie is
// never called, an unload waits for the last source reading the bank, and without an engine thread
// the waiting callers tick the engine. The bank thread is held where needed by the global engine
// lock, which its request to clear the prepared events takes: no test waits on time.
#include "BankManagerFixture.h"

#include "SDK/source/SoundEngine/ZkAudiolib/Common/ProcessThreads.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"

#include "MemoryMgr/ZkMemoryFaultInjection.h"

#include <thread>

namespace
{
using namespace ZkBankManagerTest;

class ThreadedBankManagerTest : public BankManagerTest
{
protected:
    void SetUp() override
    {
        BankManagerTest::SetUp();
        StartManager(true);
    }

    // Queues a request that keeps the bank thread busy until the global engine lock is left.
    void HoldTheBankThread()
    {
        g_EngineLock.Enter();
        BankRequest clear;
        clear.kind = ZkBankRequestClearPreparedEvents;
        ASSERT_EQ(m_manager->SubmitRequest(clear), ZK_Success);
    }
    // Lets the bank thread go and waits until every request queued so far has run.
    void ReleaseTheBankThreadAndWait()
    {
        g_EngineLock.Leave();
        ASSERT_EQ(ClearPreparedEvents(), ZK_Success);
    }
};

TEST_F(ThreadedBankManagerTest, RequestsFromSeveralThreadsRunInTheOrderTheyWereSubmitted)
{
    constexpr int kThreads = 4;
    constexpr int kRequestsPerThread = 6;
    HoldTheBankThread();
    std::mutex order;
    std::vector<ZkBankID> submitted;
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread)
    {
        threads.emplace_back([&, thread] {
            ZK::MemoryMgr::InitForThread();
            for (int index = 0; index < kRequestsPerThread; ++index)
            {
                // Banks nobody loaded: each unload reports 54 with its bank id.
                const ZkBankID bankID = static_cast<ZkBankID>(1000 + thread * 100 + index);
                std::lock_guard guard(order);
                ASSERT_EQ(UnloadBank(bankID, nullptr, &CallbackLog::Record, &order), ZK_Success);
                submitted.push_back(bankID);
            }
            ZK::MemoryMgr::TermForThread();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_GE(m_threaded.QueuedRequests(), static_cast<uint32_t>(kThreads * kRequestsPerThread));
    EXPECT_GT(m_threaded.ExtraNodes(), 0u) << "more requests than the ten preallocated nodes";
    ReleaseTheBankThreadAndWait();

    const std::vector<CallbackLog::Call> calls = CallbackLog::Calls();
    ASSERT_EQ(calls.size(), submitted.size());
    for (size_t index = 0; index < calls.size(); ++index)
    {
        EXPECT_EQ(calls[index].id, submitted[index]) << index;
        EXPECT_EQ(calls[index].result, ZK_BankNotLoaded);
    }
    EXPECT_EQ(m_threaded.ExtraNodes(), 0u) << "the extra nodes were freed after use";
}

TEST_F(ThreadedBankManagerTest, ACancelledCookieIsNeverCalledButItsRequestRuns)
{
    const Bytes bank = MediaBank("Cancelled.bnk", {{100, 32}});
    HoldTheBankThread();
    int cancelled = 0;
    int kept = 0;
    ZkBankID bankID = 0;
    ASSERT_EQ(LoadBankMemoryCopy(bank.data(), static_cast<uint32_t>(bank.size()), &CallbackLog::Record, &cancelled,
                                 bankID),
              ZK_Success);
    ASSERT_EQ(UnloadBank(0x77u, nullptr, &CallbackLog::Record, &kept), ZK_Success);
    CancelBankCallbackCookie(&cancelled);
    ReleaseTheBankThreadAndWait();
    const std::vector<CallbackLog::Call> calls = CallbackLog::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].cookie, &kept);
    EXPECT_NE(FindBank(bankID), nullptr) << "the load ran";
    EXPECT_EQ(UnloadBank(bankID, nullptr), ZK_Success);
}

// A request refused at submission (no node for it, or no cell for its cookie) is never run and
// never called back; the requests queued around it are not disturbed.
TEST_F(ThreadedBankManagerTest, ARequestThatCannotBeQueuedIsDroppedWithoutItsCallback)
{
    namespace Fault = ZK::MemoryMgr::FaultInjection;
    HoldTheBankThread();
    std::vector<int> cookies(BankRequestQueue::kPreallocatedNodes + 2);
    std::vector<ZkBankID> accepted;
    // Without memory the block's nodes are all a queue has (the bank thread may or may not have
    // taken the request that holds it out yet).
    Fault::FailFrom(ZkMemID_Default, 1);
    for (uint32_t index = 0; index < cookies.size(); ++index)
    {
        const ZkBankID bankID = 0x100 + index;
        const ZKRESULT submitted = UnloadBank(bankID, nullptr, &CallbackLog::Record, &cookies[index]);
        if (submitted == ZK_Success)
            accepted.push_back(bankID);
        else
        {
            EXPECT_EQ(submitted, ZK_InsufficientMemory) << index;
            EXPECT_FALSE(m_manager->Cookies().IsRegistered(&cookies[index])) << index;
        }
    }
    Fault::Disarm();
    EXPECT_GE(accepted.size(), BankRequestQueue::kPreallocatedNodes - 1);
    EXPECT_LE(accepted.size(), BankRequestQueue::kPreallocatedNodes);

    // Every cookie cell is taken: the next registration needs a cell it cannot have, and the node
    // its request was given goes back.
    int refused = 0;
    Fault::FailNth(ZkCallbackCookieList::kPool, 1);
    EXPECT_EQ(UnloadBank(0x200u, nullptr, &CallbackLog::Record, &refused), ZK_InsufficientMemory);
    Fault::Disarm();
    EXPECT_EQ(m_threaded.ExtraNodes(), 0u);
    EXPECT_FALSE(m_manager->Cookies().IsRegistered(&refused));

    ReleaseTheBankThreadAndWait();
    const std::vector<CallbackLog::Call> calls = CallbackLog::Calls();
    ASSERT_EQ(calls.size(), accepted.size());
    for (size_t index = 0; index < calls.size(); ++index)
    {
        EXPECT_EQ(calls[index].id, accepted[index]) << index;
        EXPECT_EQ(calls[index].result, ZK_BankNotLoaded) << index;
    }
}

TEST_F(ThreadedBankManagerTest, AnUnloadWhileASourceReadsTheBankCallsBackAfterTheSourceStops)
{
    const ZkBankID bankID = LoadCopy(MediaBank("Playing.bnk", {{100, 32}}));
    ReadingSource source(100);
    ASSERT_EQ(source.started, ZK_Success);
    int cookie = 0;
    ASSERT_EQ(UnloadBank(bankID, nullptr, &CallbackLog::Record, &cookie), ZK_Success);
    ASSERT_EQ(ClearPreparedEvents(), ZK_Success); // the unload has run on the bank thread
    EXPECT_EQ(FindBank(bankID), nullptr);
    Tick(); // the engine releases its reference (message 26)
    EXPECT_TRUE(CallbackLog::Calls().empty()) << "the source still reads the bank";
    LoadedBank* other = nullptr;
    EXPECT_EQ(m_manager->GetMedia(100, other).data, nullptr) << "an unloading bank's copy is not handed out";
    EXPECT_EQ(source.data[31], 32) << "the media block is still there";

    source.Stop();
    const std::vector<CallbackLog::Call> calls = CallbackLog::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].id, bankID);
    EXPECT_EQ(calls[0].result, ZK_Success);
    EXPECT_EQ(m_manager->Media().Length(), 0u);
}

// Without an engine thread the game thread waiting for a synchronous unload, and the bank thread
// clearing the banks, run the engine's ticks themselves.
TEST_F(ThreadedBankManagerTest, WithoutTheEngineThreadSynchronousUnloadsAndClearingReturn)
{
    UnloadAndClearWithoutTheEngineThread();
}

TEST_F(ThreadedBankManagerTest, TheBankThreadIsNamedAndThereIsOnePerProcess)
{
    const std::vector<std::string> running = ZkProcessTest::ThreadNames();
    EXPECT_NE(std::find(running.begin(), running.end(), "ZK::BankManager"), running.end());
    ThreadedBankManager second;
    EXPECT_EQ(second.Init(), ZK_Fail) << "a bank thread runs already";
    EXPECT_FALSE(second.HasThread());
    second.StopThread();
    second.Term();
    m_manager->StopThread();
    const std::vector<std::string> stopped = ZkProcessTest::ThreadNames();
    EXPECT_EQ(std::find(stopped.begin(), stopped.end(), "ZK::BankManager"), stopped.end());
}
} // namespace
