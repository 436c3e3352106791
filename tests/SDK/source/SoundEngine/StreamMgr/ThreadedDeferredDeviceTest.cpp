// The deferred device with the test hook of TestDeferredHook.h, driven step by step: loop order
// and buffered-byte accounting, one hook transfer shared by two streams with one cache id, refused
// batch items, cancellation, completions out of file order, failures, pinned files served from the
// stream cache, and many streams completed from the hook's thread with latency.
#include "StreamMgr/CZkDefaultIOHookBlocking.h"
#include "StreamMgr/CZkDeferredStreamDevice.h"
#include "StreamMgr/StreamMgrDevices.h"

#include "StreamTestSupport.h"
#include "TestDeferredHook.h"

#include <cmath>
#include <thread>
#include <vector>

namespace
{
using namespace ZkStreamTest;

constexpr uint32_t kGranularity = 4096;
constexpr uint32_t kMaxTransfers = 8;

class ThreadedDeferredDevice : public ::testing::Test
{
protected:
    void Start(bool useStreamCache)
    {
        m_manager = Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_manager, nullptr);
        ZkDeviceSettings settings = DefaultDeviceSettings();
        settings.schedulerKind = ZK_SchedulerDeferred;
        settings.ioMemoryBytes = 256 * 1024;
        settings.granularity = kGranularity;
        settings.maxTransfersInFlight = kMaxTransfers;
        settings.useStreamCache = useStreamCache;
        m_deviceId = CreateDevice(settings, &m_hook);
        ASSERT_NE(m_deviceId, ZK_InvalidDeviceID);
        m_hook.SetDeviceId(m_deviceId);
        SetFileLocationResolver(&m_hook);
        m_device = static_cast<CZkDeferredStreamDevice*>(GetDevice(m_deviceId));
    }
    void TearDown() override
    {
        if (m_manager)
            m_manager->Destroy();
        EXPECT_EQ(m_hook.OpenFiles(), 0) << "a file was left open";
    }
    IZkAutomaticStream* OpenAutomatic(uint32_t fileId, const ZkAutomaticStreamHeuristics& heuristics,
                                      uint32_t cacheId = ZK_NoCacheID)
    {
        ZkFileOpenFlags flags;
        flags.fileType = 1;
        flags.cacheId = cacheId;
        IZkAutomaticStream* stream = nullptr;
        EXPECT_EQ(m_manager->CreateAutomaticStreamByID(fileId, &flags, heuristics, nullptr, stream, true), ZK_Success);
        return stream;
    }
    IZkStandardStream* OpenStandard(uint32_t fileId)
    {
        ZkFileOpenFlags flags;
        flags.fileType = 1;
        IZkStandardStream* stream = nullptr;
        EXPECT_EQ(m_manager->CreateStandardStreamByID(fileId, &flags, ZK_OpenModeRead, stream, true), ZK_Success);
        return stream;
    }
    static ZkAutomaticStreamHeuristics Heuristics(float throughput, uint32_t loopStart = 0, uint32_t loopEnd = 0)
    {
        ZkAutomaticStreamHeuristics heuristics{};
        heuristics.throughput = throughput;
        heuristics.loopStart = loopStart;
        heuristics.loopEnd = loopEnd;
        heuristics.priority = 50;
        return heuristics;
    }

    MemoryScope m_memory;
    TestDeferredHook m_hook;
    ZK::IZkStreamMgr* m_manager = nullptr;
    uint32_t m_deviceId = ZK_InvalidDeviceID;
    CZkDeferredStreamDevice* m_device = nullptr;
};

TEST_F(ThreadedDeferredDevice, InitRefusesBadTransferCountsAndHooksThatAreNotDeferred)
{
    Start(false);
    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.schedulerKind = ZK_SchedulerDeferred;
    for (uint32_t count : {0u, ZK_MaxDeferredTransfersInFlight + 1})
    {
        settings.maxTransfersInFlight = count;
        EXPECT_EQ(CreateDevice(settings, &m_hook), ZK_InvalidDeviceID) << count;
    }
    settings.maxTransfersInFlight = ZK_MaxDeferredTransfersInFlight;
    CZkDefaultIOHookBlocking blocking;
    EXPECT_EQ(CreateDevice(settings, &blocking), ZK_InvalidDeviceID) << "a blocking hook cannot serve batches";
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_StreamMgr, 1);
        EXPECT_EQ(CreateDevice(settings, &m_hook), ZK_InvalidDeviceID) << "no transfer records";
    }
    const uint32_t second = CreateDevice(settings, &m_hook);
    EXPECT_NE(second, ZK_InvalidDeviceID);
    EXPECT_EQ(DestroyDevice(second), ZK_Success);
}

// 10000 bytes looping over 1000..9000 with transfers of 4096: each transfer's place in the loop,
// the bytes it counts as buffered (never past the loop end), and the buffers in loop order.
TEST_F(ThreadedDeferredDevice, LoopOrderAndBufferedBytesStopAtTheLoopEnd)
{
    Start(false);
    m_hook.AddFile(1, PatternBytes(10000));
    // 1 byte per ms: 380 bytes wanted, so the stream keeps exactly one transfer ahead.
    IZkAutomaticStream* stream = OpenAutomatic(1, Heuristics(1.0f, 1000, 9000));
    ASSERT_NE(stream, nullptr);
    auto* task = dynamic_cast<CZkStreamTask*>(stream);
    ASSERT_EQ(stream->Start(), ZK_Success);

    struct Step
    {
        uint64_t position;
        uint32_t size;
        uint32_t counted;
    };
    const Step steps[] = {{0, 4096, 4096},    {4096, 4096, 4096}, {8192, 1808, 808}, {1000, 4096, 4096},
                          {5096, 4096, 3904}, {1000, 4096, 4096}, {5096, 4096, 3904}};
    size_t received = 0;
    for (const Step& step : steps)
    {
        m_hook.WaitForReceived(++received);
        const auto transfer = m_hook.ReceivedTransfers().back();
        EXPECT_EQ(transfer.filePosition, step.position);
        EXPECT_EQ(transfer.requestedSize, step.size);
        EXPECT_EQ(task->GetBufferedBytes(), step.counted) << "at " << step.position;
        m_hook.Complete(1);
        void* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady);
        EXPECT_EQ(size, step.size);
        EXPECT_TRUE(MatchesPattern(data, step.position, size)) << "at " << step.position;
        EXPECT_EQ(stream->GetPosition(nullptr), step.position);
        EXPECT_EQ(stream->ReleaseBuffer(), ZK_Success);
    }
    m_hook.WaitForReceived(++received);
    stream->Destroy(); // with a transfer at the hook: cancelled, completed by the hook's thread
    m_hook.WaitForCancelCalls(1); // once the batch call that handed the transfer over has returned
    m_hook.WaitUntilDrained();
    EXPECT_EQ(m_hook.ReceivedTransfers().size(), received);
    EXPECT_EQ(m_hook.CancelCount(), 1u);
}

// Two automatic streams with one cache id want the same bytes while a transfer for them is pending:
// the second joins the first one's transfer. The I/O thread is held inside the hook while both
// start, so both are prepared in one pass.
TEST_F(ThreadedDeferredDevice, TwoStreamsWithOneCacheIdShareOneHookTransfer)
{
    Start(true);
    m_hook.AddFile(1, PatternBytes(4096));
    m_hook.AddFile(2, PatternBytes(4096));
    m_hook.HoldBatches(true);
    IZkStandardStream* other = OpenStandard(2);
    ASSERT_NE(other, nullptr);
    std::vector<char> otherData(4096);
    uint32_t size = 0;
    ASSERT_EQ(other->Read(otherData.data(), 4096, false, 50, 0.0f, size), ZK_Success);
    m_hook.WaitForHeldBatch();

    IZkAutomaticStream* first = OpenAutomatic(1, Heuristics(1.0f), 77);
    IZkAutomaticStream* second = OpenAutomatic(1, Heuristics(1.0f), 77);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(first->Start(), ZK_Success);
    ASSERT_EQ(second->Start(), ZK_Success);
    m_hook.HoldBatches(false);
    m_hook.WaitForReceived(2);
    EXPECT_EQ(m_device->TransfersInFlight(), 3u) << "three records, two hook transfers";
    EXPECT_EQ(m_hook.QueuedCount(), 2u);
    m_hook.CompleteAll();

    void* firstData = nullptr;
    void* secondData = nullptr;
    uint32_t firstSize = 0;
    uint32_t secondSize = 0;
    EXPECT_EQ(first->GetBuffer(firstData, firstSize, true), ZK_NoMoreData) << "the whole file: the last buffer";
    EXPECT_EQ(second->GetBuffer(secondData, secondSize, true), ZK_NoMoreData);
    EXPECT_EQ(firstSize, 4096u);
    EXPECT_EQ(secondSize, 4096u);
    EXPECT_EQ(firstData, secondData) << "one buffer serves both";
    EXPECT_TRUE(MatchesPattern(firstData, 0, 4096));
    EXPECT_EQ(other->WaitForPendingOperation(), ZK_StreamStatusCompleted);
    EXPECT_EQ(m_hook.ReceivedTransfers().size(), 2u);
    EXPECT_EQ(first->ReleaseBuffer(), ZK_Success);
    EXPECT_EQ(second->ReleaseBuffer(), ZK_Success);
    first->Destroy();
    second->Destroy();
    other->Destroy();
}

// A batch call that returns 2 with per-item results {1, 2}: the refused item completes at once
// (the chunk fails), the taken one stays with the hook until it completes.
TEST_F(ThreadedDeferredDevice, RefusedBatchItemsCompleteAtOnceAndOnlyThose)
{
    Start(false);
    m_hook.AddFile(3, PatternBytes(8192));
    IZkStandardStream* stream = OpenStandard(3);
    ASSERT_NE(stream, nullptr);
    m_hook.RefuseNextBatch({ZK_Success, ZK_Fail});
    std::vector<char> data(8192);
    uint32_t size = 0;
    ASSERT_EQ(stream->Read(data.data(), 8192, false, 50, 0.0f, size), ZK_Success);
    m_hook.WaitForReceived(1);
    EXPECT_EQ(m_hook.QueuedCount(), 1u);
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusPending) << "the first chunk is still at the hook";
    m_hook.Complete(1);
    EXPECT_EQ(stream->WaitForPendingOperation(), ZK_StreamStatusError);
    EXPECT_EQ(m_hook.BatchSizes(), std::vector<size_t>{2});
    EXPECT_EQ(stream->Read(data.data(), 4096, true, 50, 0.0f, size), ZK_Fail) << "refused while in error";
    stream->Destroy();
}

TEST_F(ThreadedDeferredDevice, CancelReturnsOnceTheHookCompletedTheCancelledTransfer)
{
    Start(false);
    m_hook.AddFile(4, PatternBytes(4096));
    IZkStandardStream* stream = OpenStandard(4);
    ASSERT_NE(stream, nullptr);
    std::vector<char> data(4096, 0);
    uint32_t size = 0;
    ASSERT_EQ(stream->Read(data.data(), 4096, false, 50, 0.0f, size), ZK_Success);
    m_hook.WaitForReceived(1);
    stream->Cancel();
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusCancelled);
    EXPECT_EQ(m_hook.CancelCount(), 1u);
    EXPECT_EQ(m_device->FreeTransferInfoCount(), kMaxTransfers) << "the hook gave the transfer back";
    EXPECT_EQ(m_device->TransfersInFlight(), 0u);

    ASSERT_EQ(stream->Read(data.data(), 4096, false, 50, 0.0f, size), ZK_Success) << "a cancelled stream reads again";
    m_hook.WaitForReceived(2);
    m_hook.Complete(1);
    EXPECT_EQ(stream->WaitForPendingOperation(), ZK_StreamStatusCompleted);
    EXPECT_TRUE(MatchesPattern(data.data(), 0, 4096));

    // Destroy with a transfer at the hook waits for it the same way.
    ASSERT_EQ(stream->SetPosition(0, ZK_MoveBegin, nullptr), ZK_Success);
    ASSERT_EQ(stream->Read(data.data(), 4096, false, 50, 0.0f, size), ZK_Success);
    m_hook.WaitForReceived(3);
    stream->Destroy();
    EXPECT_EQ(m_hook.CancelCount(), 2u);
}

// A transfer dropped while the batch that carries it is being handed to the hook: the hook is asked
// to cancel it only once the batch call has returned, and it completes once. The hook here
// completes whatever it is asked to cancel, so asking too early would complete the transfer twice.
TEST_F(ThreadedDeferredDevice, ACancellationReachesTheHookOnlyOnceItHoldsTheTransfer)
{
    Start(false);
    m_hook.CompleteEveryCancelled(true);
    m_hook.AddFile(6, PatternBytes(3 * kGranularity));
    m_hook.HoldBatches(true);
    IZkAutomaticStream* stream = OpenAutomatic(6, Heuristics(1.0f));
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->Start(), ZK_Success);
    m_hook.WaitForHeldBatch(); // the I/O thread is inside BatchRead with the stream's first transfer
    ASSERT_EQ(stream->Stop(), ZK_Success); // drops what the client does not hold: cancels that transfer
    EXPECT_EQ(m_hook.CancelCount(), 0u) << "the hook does not hold the transfer yet";

    m_hook.HoldBatches(false);
    m_hook.WaitForCancelCalls(1);
    m_hook.WaitUntilDrained();
    EXPECT_EQ(m_hook.CancelsOfTransfersNotHeld(), 0u);
    m_hook.CompleteAll(); // nothing is left to complete
    m_hook.WaitUntilDrained();
    EXPECT_EQ(m_device->FreeTransferInfoCount(), kMaxTransfers) << "every transfer record came back once";
    EXPECT_EQ(m_device->TransfersInFlight(), 0u);
    stream->Destroy();
}

TEST_F(ThreadedDeferredDevice, CompletionsOutOfFileOrderAreAppliedInFileOrder)
{
    Start(false);
    m_hook.AddFile(5, PatternBytes(3 * kGranularity));
    IZkStandardStream* stream = OpenStandard(5);
    ASSERT_NE(stream, nullptr);
    std::vector<char> data(3 * kGranularity, 0);
    uint32_t size = 0;
    ASSERT_EQ(stream->Read(data.data(), 3 * kGranularity, false, 50, 0.0f, size), ZK_Success);
    m_hook.WaitForReceived(3);
    EXPECT_EQ(m_hook.BatchSizes(), std::vector<size_t>{3}) << "all chunks in one batch";
    for (int newest = 0; newest < 2; ++newest)
    {
        m_hook.Complete(1, ZK_Success, true);
        m_hook.WaitUntilDrained();
        uint32_t applied = 99;
        stream->GetData(applied);
        EXPECT_EQ(applied, 0u) << "nothing applied before the first chunk";
        EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusPending);
    }
    m_hook.Complete(1);
    EXPECT_EQ(stream->WaitForPendingOperation(), ZK_StreamStatusCompleted);
    stream->GetData(size);
    EXPECT_EQ(size, 3 * kGranularity);
    EXPECT_TRUE(MatchesPattern(data.data(), 0, size));
    bool endOfFile = false;
    EXPECT_EQ(stream->GetPosition(&endOfFile), 3u * kGranularity);
    EXPECT_TRUE(endOfFile);
    stream->Destroy();
}

TEST_F(ThreadedDeferredDevice, AFailedTransferKillsAnAutomaticStream)
{
    Start(false);
    m_hook.AddFile(6, PatternBytes(3 * kGranularity));
    m_hook.FailTransfersAt(kGranularity);
    IZkAutomaticStream* stream = OpenAutomatic(6, Heuristics(1.0f));
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->Start(), ZK_Success);
    m_hook.WaitForReceived(1);
    m_hook.Complete(1);
    void* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady);
    ASSERT_EQ(stream->ReleaseBuffer(), ZK_Success);
    m_hook.WaitForReceived(2);
    m_hook.Complete(1);
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_Fail);
    EXPECT_EQ(data, nullptr);
    uint32_t buffered = 0;
    EXPECT_EQ(stream->QueryBufferingStatus(buffered), ZK_Fail);
    EXPECT_EQ(stream->Start(), ZK_Fail) << "a killed stream does not start again";
    stream->Destroy();
}

// A pinned file's caching stream fills the cache; an automatic stream with the file id as cache id
// then takes those bytes without a hook transfer.
TEST_F(ThreadedDeferredDevice, PinnedFilesServeLaterStreamsFromTheCache)
{
    Start(true);
    m_hook.AddFile(7, PatternBytes(3 * kGranularity));
    ZkFileOpenFlags flags;
    flags.fileType = 1;
    flags.cachedBytes = 2 * kGranularity;
    ASSERT_EQ(m_manager->PinFileInCache(7, &flags, 40), ZK_Success);
    m_hook.WaitForReceived(2);
    m_hook.CompleteAll();
    m_hook.WaitUntilDrained();
    float percent = 0.0f;
    bool cacheFull = true;
    EXPECT_EQ(m_manager->GetBufferStatusForPinnedFile(7, percent, cacheFull), ZK_Success);
    EXPECT_FLOAT_EQ(percent, 100.0f);
    EXPECT_FALSE(cacheFull);
    EXPECT_EQ(m_hook.ReceivedTransfers().size(), 2u) << "the cache holds what was asked, nothing more";

    IZkAutomaticStream* stream = OpenAutomatic(7, Heuristics(1.0f), 7);
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(stream->Start(), ZK_Success);
    for (uint64_t position : {0u, kGranularity})
    {
        void* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady);
        EXPECT_EQ(size, kGranularity);
        EXPECT_TRUE(MatchesPattern(data, position, size));
        EXPECT_EQ(stream->ReleaseBuffer(), ZK_Success);
    }
    m_hook.WaitForReceived(3);
    EXPECT_EQ(m_hook.ReceivedTransfers().back().filePosition, 2u * kGranularity) << "only the uncached part";
    m_hook.CompleteAll();
    stream->Destroy();
    EXPECT_EQ(m_manager->UnpinFileInCache(7, 40), ZK_Success);
}

// Many clients on their own threads, the hook completing on its thread with latency: every stream
// gets its file whole and in order.
TEST_F(ThreadedDeferredDevice, ManyStreamsCompletedWithLatencyFromTheHooksThread)
{
    Start(true);
    m_hook.SetAutomatic(true, 1);
    constexpr uint32_t kStreams = 4;
    constexpr uint32_t kFileBytes = 50000;
    for (uint32_t file = 0; file < kStreams; ++file)
        m_hook.AddFile(100 + file, PatternBytes(kFileBytes));
    std::vector<IZkAutomaticStream*> streams;
    for (uint32_t file = 0; file < kStreams; ++file)
        streams.push_back(OpenAutomatic(100 + file, Heuristics(50.0f), file % 2 ? ZK_NoCacheID : 100 + file));
    std::vector<std::thread> clients;
    std::vector<uint64_t> bytesRead(kStreams, 0);
    std::vector<int> badBuffers(kStreams, 0);
    for (uint32_t index = 0; index < kStreams; ++index)
    {
        clients.emplace_back([&, index] {
            IZkAutomaticStream* stream = streams[index];
            stream->Start();
            for (;;)
            {
                void* data = nullptr;
                uint32_t size = 0;
                const ZKRESULT result = stream->GetBuffer(data, size, true);
                if (data)
                {
                    badBuffers[index] += MatchesPattern(data, bytesRead[index], size) ? 0 : 1;
                    bytesRead[index] += size;
                    stream->ReleaseBuffer();
                }
                if (result != ZK_DataReady)
                    break;
            }
            stream->Destroy();
        });
    }
    for (std::thread& client : clients)
        client.join();
    for (uint32_t index = 0; index < kStreams; ++index)
    {
        EXPECT_EQ(bytesRead[index], kFileBytes) << index;
        EXPECT_EQ(badBuffers[index], 0) << index;
    }
}
} // namespace
