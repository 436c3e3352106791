// The blocking device over real files through the loose-file hook: standard reads in chunks of the
// granularity, the end of the file, request and position rules, failed and short transfers,
// writes; automatic streams in loop order, GetBuffer results, buffer sizes and alignment; and a
// device that waits, while destroyed, for its clients to destroy their streams.
#include "StreamMgr/CZkDefaultIOHookBlocking.h"
#include "StreamMgr/StreamMgrDevices.h"

#include "StreamTestSupport.h"
#include "TestDeferredHook.h"

#include <cmath>
#include <condition_variable>
#include <fstream>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
using namespace ZkStreamTest;

// The loose-file hook, recording each read's size, with a block size, a failure and a gate on
// demand.
class RecordingHook final : public CZkDefaultIOHookBlocking
{
public:
    ZKRESULT Read(ZkFileDescriptor& fileDesc, const ZkIOHeuristics& heuristics, void* buffer,
                  ZkTransferInfo& transferInfo) override
    {
        {
            std::unique_lock lock(m_mutex);
            m_reads.push_back(transferInfo.requestedSize);
            if (m_hold)
            {
                m_inside = true;
                m_changed.notify_all();
                m_changed.wait(lock, [&] { return !m_hold; });
                m_inside = false;
            }
            if (m_failNext)
            {
                m_failNext = false;
                transferInfo.bytesTransferred = 0;
                return ZK_Fail;
            }
        }
        return CZkDefaultIOHookBlocking::Read(fileDesc, heuristics, buffer, transferInfo);
    }
    uint32_t GetBlockSize(ZkFileDescriptor& fileDesc) override
    {
        const uint32_t blockSize = m_blockSize.load();
        return blockSize ? blockSize : CZkDefaultIOHookBlocking::GetBlockSize(fileDesc);
    }

    void SetBlockSize(uint32_t blockSize) { m_blockSize = blockSize; }
    void FailNextRead()
    {
        std::lock_guard lock(m_mutex);
        m_failNext = true;
    }
    void Hold(bool hold)
    {
        {
            std::lock_guard lock(m_mutex);
            m_hold = hold;
        }
        m_changed.notify_all();
    }
    void WaitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_inside; });
    }
    std::vector<uint32_t> Reads()
    {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<uint32_t> m_reads;
    std::atomic<uint32_t> m_blockSize{0};
    bool m_failNext = false;
    bool m_hold = false;
    bool m_inside = false;
};

class ThreadedBlockingDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_manager = Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_manager, nullptr);
        m_descriptorsBefore = OpenDescriptorCount();
        ZkDeviceSettings settings = DefaultDeviceSettings();
        settings.ioMemoryBytes = 512 * 1024;
        m_deviceId = CreateDevice(settings, &m_hook);
        ASSERT_NE(m_deviceId, ZK_InvalidDeviceID);
        m_hook.SetDeviceId(m_deviceId);
        ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
        SetFileLocationResolver(&m_hook);
    }
    void TearDown() override
    {
        if (m_manager)
            m_manager->Destroy();
        EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore) << "a file was left open";
    }
    // A file of the given size with the position pattern.
    void WriteFile(const std::string& name, size_t size)
    {
        const std::vector<char> bytes = PatternBytes(size);
        std::ofstream out(m_dir.Path() / name, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    IZkStandardStream* OpenStandard(const wchar_t* name, uint32_t openMode = ZK_OpenModeRead)
    {
        IZkStandardStream* stream = nullptr;
        EXPECT_EQ(m_manager->CreateStandardStreamByName(name, nullptr, openMode, stream, true), ZK_Success);
        return stream;
    }
    ZKRESULT OpenAutomatic(const wchar_t* name, const ZkAutomaticStreamHeuristics& heuristics,
                           IZkAutomaticStream*& stream, const ZkAutomaticStreamBufferSettings* settings = nullptr)
    {
        return m_manager->CreateAutomaticStreamByName(name, nullptr, heuristics, settings, stream, true);
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
    // Replaces the device with one of another granularity.
    void UseGranularity(uint32_t granularity)
    {
        ASSERT_EQ(DestroyDevice(m_deviceId), ZK_Success);
        ZkDeviceSettings settings = DefaultDeviceSettings();
        settings.ioMemoryBytes = 512 * 1024;
        settings.granularity = granularity;
        m_deviceId = CreateDevice(settings, &m_hook);
        ASSERT_NE(m_deviceId, ZK_InvalidDeviceID);
        m_hook.SetDeviceId(m_deviceId);
    }

    MemoryScope m_memory;
    TempDir m_dir;
    RecordingHook m_hook;
    ZK::IZkStreamMgr* m_manager = nullptr;
    uint32_t m_deviceId = ZK_InvalidDeviceID;
    size_t m_descriptorsBefore = 0;
};

TEST_F(ThreadedBlockingDevice, AReadTakesTransfersOfTheGranularity)
{
    WriteFile("a.bin", 40000);
    IZkStandardStream* stream = OpenStandard(L"a.bin");
    ASSERT_NE(stream, nullptr);
    std::vector<char> data(40000, 0);
    uint32_t size = 0;
    ASSERT_EQ(stream->Read(data.data(), 40000, true, 50, 100.0f, size), ZK_Success);
    EXPECT_EQ(size, 40000u);
    EXPECT_EQ(m_hook.Reads(), (std::vector<uint32_t>{16384, 16384, 7232}));
    EXPECT_TRUE(MatchesPattern(data.data(), 0, 40000));
    bool endOfFile = false;
    EXPECT_EQ(stream->GetPosition(&endOfFile), 40000u);
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusCompleted);
    stream->Destroy();
}

TEST_F(ThreadedBlockingDevice, AReadPastTheEndMovesWhatIsThereAndThenNothing)
{
    WriteFile("small.bin", 100);
    IZkStandardStream* stream = OpenStandard(L"small.bin");
    ASSERT_NE(stream, nullptr);
    std::vector<char> data(2048, 0);
    uint32_t size = 0;
    ASSERT_EQ(stream->Read(data.data(), 2048, true, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(m_hook.Reads(), std::vector<uint32_t>{100});
    EXPECT_TRUE(MatchesPattern(data.data(), 0, 100));
    size = 99;
    EXPECT_EQ(stream->Read(data.data(), 2048, false, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusCompleted) << "completed at once";
    EXPECT_EQ(m_hook.Reads().size(), 1u) << "no transfer for nothing";
    stream->Destroy();
}

TEST_F(ThreadedBlockingDevice, RequestArgumentsAndPositions)
{
    WriteFile("b.bin", 100);
    m_hook.SetBlockSize(16);
    IZkStandardStream* stream = OpenStandard(L"b.bin");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetBlockSize(), 16u);
    std::vector<char> data(64);
    uint32_t size = 7;
    struct BadRequest
    {
        void* buffer;
        uint32_t size;
        uint8_t priority;
        float deadline;
        ZKRESULT expected;
    };
    const BadRequest requests[] = {{nullptr, 16, 50, 0.0f, ZK_InvalidParameter},
                                   {data.data(), 16, 101, 0.0f, ZK_InvalidParameter},
                                   {data.data(), 16, 50, -1.0f, ZK_InvalidParameter},
                                   {data.data(), 16, 50, std::nanf(""), ZK_InvalidParameter},
                                   {data.data(), 20, 50, 0.0f, ZK_Fail}};
    for (const BadRequest& request : requests)
    {
        EXPECT_EQ(stream->Read(request.buffer, request.size, true, request.priority, request.deadline, size),
                  request.expected);
        EXPECT_EQ(size, 0u);
    }

    struct Move
    {
        int64_t offset;
        uint32_t method;
        ZKRESULT expected;
        uint64_t position;
        int64_t reached;
        bool endOfFile;
    };
    const Move moves[] = {{10, ZK_MoveEnd, ZK_Success, 96, -4, false},
                          {0, 3, ZK_InvalidParameter, 96, 0, false},
                          {-200, ZK_MoveCurrent, ZK_InvalidParameter, 96, 0, false},
                          {std::numeric_limits<int64_t>::max(), ZK_MoveEnd, ZK_InvalidParameter, 96, 0, false},
                          {-20, ZK_MoveCurrent, ZK_Success, 64, -32, false},
                          {150, ZK_MoveBegin, ZK_Success, 144, 144, true}};
    for (const Move& move : moves)
    {
        int64_t reached = 1234;
        EXPECT_EQ(stream->SetPosition(move.offset, move.method, &reached), move.expected) << move.offset;
        EXPECT_EQ(reached, move.reached) << move.offset;
        bool endOfFile = !move.endOfFile;
        EXPECT_EQ(stream->GetPosition(&endOfFile), move.position) << move.offset;
        EXPECT_EQ(endOfFile, move.endOfFile) << move.offset;
    }
    EXPECT_EQ(stream->Read(data.data(), 16, true, 50, 0.0f, size), ZK_Success) << "beyond the end: nothing";
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(stream->SetPosition(64, ZK_MoveBegin, nullptr), ZK_Success);
    EXPECT_EQ(stream->Read(data.data(), 64, true, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 36u) << "cut at the end of the file";
    EXPECT_TRUE(MatchesPattern(data.data(), 64, 36));
    stream->Destroy();
}

TEST_F(ThreadedBlockingDevice, APendingRequestRefusesAnotherAndAMove)
{
    WriteFile("c.bin", 20000);
    IZkStandardStream* stream = OpenStandard(L"c.bin");
    ASSERT_NE(stream, nullptr);
    std::vector<char> data(20000);
    uint32_t size = 0;
    m_hook.Hold(true);
    ASSERT_EQ(stream->Read(data.data(), 20000, false, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 20000u) << "the size it will move";
    m_hook.WaitUntilHeld();
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusPending);
    EXPECT_EQ(stream->Read(data.data(), 16, false, 50, 0.0f, size), ZK_Fail);
    EXPECT_EQ(stream->SetPosition(0, ZK_MoveBegin, nullptr), ZK_Fail);
    m_hook.Hold(false);
    EXPECT_EQ(stream->WaitForPendingOperation(), ZK_StreamStatusCompleted);
    void* got = stream->GetData(size);
    EXPECT_EQ(got, data.data());
    EXPECT_EQ(size, 20000u);
    EXPECT_TRUE(MatchesPattern(data.data(), 0, 20000));
    stream->Destroy();
}

TEST_F(ThreadedBlockingDevice, AFailedTransferPutsTheStreamInErrorUntilCancelled)
{
    WriteFile("d.bin", 5000);
    IZkStandardStream* stream = OpenStandard(L"d.bin");
    ASSERT_NE(stream, nullptr);
    std::vector<char> data(5000);
    uint32_t size = 0;
    m_hook.FailNextRead();
    EXPECT_EQ(stream->Read(data.data(), 5000, true, 50, 0.0f, size), ZK_Fail);
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusError);
    EXPECT_EQ(stream->Read(data.data(), 5000, true, 50, 0.0f, size), ZK_Fail) << "refused while in error";
    stream->Cancel();
    EXPECT_EQ(stream->GetStatus(), ZK_StreamStatusCancelled);
    EXPECT_EQ(stream->Read(data.data(), 5000, true, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 5000u);
    stream->Destroy();
}

// The file shrinks after it was opened: the hook reads fewer bytes than asked. Neither kind of
// stream hands out the bytes that were not read.
TEST_F(ThreadedBlockingDevice, ShortReadsNeverCountBytesThatWereNotRead)
{
    WriteFile("e.bin", 40000);
    WriteFile("f.bin", 40000);
    IZkStandardStream* standard = OpenStandard(L"e.bin");
    IZkAutomaticStream* automatic = nullptr;
    ASSERT_EQ(OpenAutomatic(L"f.bin", Heuristics(1000.0f), automatic), ZK_Success);
    ASSERT_NE(standard, nullptr);
    fs::resize_file(m_dir.Path() / "e.bin", 20000);
    fs::resize_file(m_dir.Path() / "f.bin", 20000);

    std::vector<char> data(40000, 0x55);
    uint32_t size = 0;
    ASSERT_EQ(standard->Read(data.data(), 40000, true, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 20000u);
    standard->GetData(size);
    EXPECT_EQ(size, 20000u);
    EXPECT_TRUE(MatchesPattern(data.data(), 0, 20000));
    bool endOfFile = false;
    EXPECT_EQ(standard->GetPosition(&endOfFile), 20000u);
    EXPECT_TRUE(endOfFile);

    ASSERT_EQ(automatic->Start(), ZK_Success);
    uint64_t total = 0;
    ZKRESULT result;
    do
    {
        void* buffer = nullptr;
        size = 0;
        result = automatic->GetBuffer(buffer, size, true);
        if (buffer)
        {
            EXPECT_TRUE(MatchesPattern(buffer, total, size));
            total += size;
            automatic->ReleaseBuffer();
        }
    } while (result == ZK_DataReady);
    EXPECT_EQ(result, ZK_NoMoreData);
    EXPECT_EQ(total, 20000u);
    standard->Destroy();
    automatic->Destroy();
}

TEST_F(ThreadedBlockingDevice, WritesReachTheFileAndGrowIt)
{
    IZkStandardStream* stream = OpenStandard(L"out.bin", ZK_OpenModeWriteOverwrite);
    ASSERT_NE(stream, nullptr);
    std::vector<char> bytes = PatternBytes(20000);
    uint32_t size = 0;
    ASSERT_EQ(stream->Write(bytes.data(), 20000, true, 50, 0.0f, size), ZK_Success);
    EXPECT_EQ(size, 20000u);
    ZkStreamInfo info{};
    stream->GetInfo(info);
    EXPECT_EQ(info.size, 20000);
    EXPECT_EQ(stream->SetPosition(0, ZK_MoveBegin, nullptr), ZK_Success);
    const char header[4] = {'R', 'I', 'F', 'F'};
    ASSERT_EQ(stream->Write(const_cast<char*>(header), 4, true, 50, 0.0f, size), ZK_Success);
    stream->Destroy();
    m_manager->Destroy(); // the device closes the file
    m_manager = nullptr;
    std::ifstream in(m_dir.Path() / "out.bin", std::ios::binary);
    std::vector<char> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(written.size(), 20000u);
    EXPECT_EQ(std::string(written.data(), 4), "RIFF");
    EXPECT_TRUE(MatchesPattern(written.data() + 4, 4, 19996));
}

TEST_F(ThreadedBlockingDevice, AutomaticStreamsReturnTheirDataInLoopOrder)
{
    UseGranularity(2048);
    WriteFile("loop.bin", 10000);
    IZkAutomaticStream* stream = nullptr;
    ASSERT_EQ(OpenAutomatic(L"loop.bin", Heuristics(100.0f, 1000, 9000), stream), ZK_Success);
    ASSERT_EQ(stream->Start(), ZK_Success);
    struct Expected
    {
        uint64_t position;
        uint32_t size;
    };
    const Expected order[] = {{0, 2048},    {2048, 2048}, {4096, 2048}, {6144, 2048}, {8192, 1808},
                              {1000, 2048}, {3048, 2048}, {5096, 2048}, {7144, 2048}, {1000, 2048}};
    for (const Expected& expected : order)
    {
        void* data = nullptr;
        uint32_t size = 0;
        ASSERT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady) << expected.position;
        EXPECT_EQ(size, expected.size) << expected.position;
        EXPECT_TRUE(MatchesPattern(data, expected.position, size)) << expected.position;
        EXPECT_EQ(stream->ReleaseBuffer(), ZK_Success);
    }
    ZkAutomaticStreamHeuristics heuristics{};
    stream->GetHeuristics(heuristics);
    EXPECT_EQ(heuristics.loopStart, 1000u);
    EXPECT_EQ(heuristics.loopEnd, 9000u);
    stream->Destroy();
}

TEST_F(ThreadedBlockingDevice, GetBufferResultsFromNoDataToTheLastBuffer)
{
    WriteFile("g.bin", 40000);
    IZkAutomaticStream* stream = nullptr;
    ASSERT_EQ(OpenAutomatic(L"g.bin", Heuristics(1000.0f), stream), ZK_Success);
    void* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(stream->GetBuffer(data, size, false), ZK_NoDataReady) << "not started: no data yet";
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_NoDataReady) << "nothing to wait for";
    EXPECT_EQ(stream->ReleaseBuffer(), ZK_Fail);
    ASSERT_EQ(stream->Start(), ZK_Success);
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady);
    EXPECT_EQ(size, 16384u);
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady) << "a second buffer held at once";
    EXPECT_TRUE(MatchesPattern(data, 16384, size));
    EXPECT_EQ(stream->GetPosition(nullptr), 0u) << "the oldest buffer held";
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_NoMoreData) << "the last buffer comes with 17";
    EXPECT_EQ(size, 7232u);
    EXPECT_TRUE(MatchesPattern(data, 32768, size));
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_NoMoreData);
    EXPECT_EQ(data, nullptr);
    for (int held = 0; held < 3; ++held)
        EXPECT_EQ(stream->ReleaseBuffer(), ZK_Success);
    EXPECT_EQ(stream->ReleaseBuffer(), ZK_Fail);
    uint32_t buffered = 1;
    EXPECT_EQ(stream->QueryBufferingStatus(buffered), ZK_NoMoreData);
    EXPECT_EQ(buffered, 0u);
    bool endOfFile = false;
    EXPECT_EQ(stream->GetPosition(&endOfFile), 40000u);
    EXPECT_TRUE(endOfFile);
    // Back to the start: the stream reads again.
    int64_t reached = -1;
    EXPECT_EQ(stream->SetPosition(0, ZK_MoveBegin, &reached), ZK_Success);
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady);
    EXPECT_TRUE(MatchesPattern(data, 0, size));
    stream->Destroy();
}

TEST_F(ThreadedBlockingDevice, BufferSizesFollowTheAlignmentOfBothBlockSizes)
{
    WriteFile("h.bin", 40000);
    m_hook.SetBlockSize(2048);
    ZkAutomaticStreamBufferSettings settings{0, 0, 3072};
    IZkAutomaticStream* stream = nullptr;
    ASSERT_EQ(OpenAutomatic(L"h.bin", Heuristics(1000.0f), stream, &settings), ZK_Success);
    ASSERT_EQ(stream->Start(), ZK_Success);
    void* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(stream->GetBuffer(data, size, true), ZK_DataReady);
    EXPECT_EQ(size, 12288u) << "16384 rounded down to lcm(2048, 3072) = 6144";
    stream->ReleaseBuffer();
    EXPECT_EQ(stream->SetMinimalBufferSize(16385), ZK_Fail) << "no transfer can be that large";
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_Fail);
    EXPECT_EQ(stream->Start(), ZK_Fail);
    stream->Destroy();

    struct Refused
    {
        ZkAutomaticStreamBufferSettings settings;
        uint32_t blockSize;
    };
    const Refused refused[] = {{{3000, 0, 0}, 2048},  // not a multiple of the block size
                               {{32768, 0, 0}, 2048}, // above the granularity
                               {{0, 16385, 0}, 2048}, // a minimum no transfer reaches
                               {{0, 0, 0}, 3000},     // a block size that does not divide 16384
                               {{0, 0, 0}, 32768}};   // a block larger than the granularity
    for (const Refused& refusal : refused)
    {
        m_hook.SetBlockSize(refusal.blockSize);
        stream = reinterpret_cast<IZkAutomaticStream*>(&m_hook);
        EXPECT_EQ(OpenAutomatic(L"h.bin", Heuristics(1.0f), stream, &refusal.settings), ZK_Fail)
            << refusal.settings.bufferSize << " " << refusal.settings.minBufferSize << " " << refusal.blockSize;
        EXPECT_EQ(stream, nullptr);
    }
    m_hook.SetBlockSize(4096);
    IZkStandardStream* standard = nullptr;
    m_hook.SetBlockSize(3000);
    EXPECT_EQ(m_manager->CreateStandardStreamByName(L"h.bin", nullptr, ZK_OpenModeRead, standard, true), ZK_Fail);
}

TEST_F(ThreadedBlockingDevice, HeuristicsAndBufferingTargets)
{
    WriteFile("i.bin", 40000);
    IZkAutomaticStream* stream = nullptr;
    ASSERT_EQ(OpenAutomatic(L"i.bin", Heuristics(192.0f), stream), ZK_Success);
    EXPECT_EQ(stream->GetNominalBuffering(), 72960u) << "380 ms of 192 bytes per ms";
    ZkAutomaticStreamHeuristics heuristics = Heuristics(1e30f);
    EXPECT_EQ(stream->SetHeuristics(heuristics), ZK_Success);
    EXPECT_EQ(stream->GetNominalBuffering(), 0xFFFFFFFFu) << "clamped, not undefined";
    heuristics = Heuristics(0.0f);
    EXPECT_EQ(stream->SetHeuristics(heuristics), ZK_Success);
    EXPECT_EQ(stream->GetNominalBuffering(), 380u) << "at least 1 byte per ms";
    EXPECT_EQ(stream->SetMinTargetBufferSize(5000), ZK_Success);
    EXPECT_EQ(stream->GetNominalBuffering(), 5000u);
    heuristics.priority = 101;
    EXPECT_EQ(stream->SetHeuristics(heuristics), ZK_InvalidParameter);
    ZkAutomaticStreamHeuristics kept{};
    stream->GetHeuristics(kept);
    EXPECT_EQ(kept.priority, 50);
    // A loop outside the file is no loop; one past its end ends at the end.
    heuristics = Heuristics(1.0f, 50000, 60000);
    EXPECT_EQ(stream->SetHeuristics(heuristics), ZK_Success);
    stream->GetHeuristics(kept);
    EXPECT_EQ(kept.loopEnd, 0u);
    heuristics = Heuristics(1.0f, 1000, 60000);
    EXPECT_EQ(stream->SetHeuristics(heuristics), ZK_Success);
    stream->GetHeuristics(kept);
    EXPECT_EQ(kept.loopEnd, 40000u);
    stream->Destroy();
}

// DestroyDevice waits for the device's clients to destroy their streams, and returns once they have.
TEST_F(ThreadedBlockingDevice, DestroyingADeviceWaitsForItsStreams)
{
    WriteFile("j.bin", 40000);
    IZkAutomaticStream* automatic = nullptr;
    ASSERT_EQ(OpenAutomatic(L"j.bin", Heuristics(1000.0f), automatic), ZK_Success);
    IZkStandardStream* standard = OpenStandard(L"j.bin");
    ASSERT_NE(standard, nullptr);
    ASSERT_EQ(automatic->Start(), ZK_Success);
    std::atomic<bool> destroyed{false};
    std::thread destroyer([&] {
        EXPECT_EQ(DestroyDevice(m_deviceId), ZK_Success);
        destroyed = true;
    });
    // The device kills what its clients still hold; waiting on a killed stream ends.
    void* data = nullptr;
    uint32_t size = 0;
    while (automatic->GetBuffer(data, size, true) == ZK_DataReady)
        automatic->ReleaseBuffer();
    EXPECT_FALSE(destroyed.load()) << "the device is still waiting for its streams";
    automatic->Destroy();
    EXPECT_FALSE(destroyed.load());
    standard->Destroy();
    destroyer.join();
    EXPECT_TRUE(destroyed.load());
}
} // namespace
