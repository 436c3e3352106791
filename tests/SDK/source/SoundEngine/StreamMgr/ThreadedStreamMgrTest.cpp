// The stream manager with running devices: device ids, the game's low-level I/O set-up, opens
// through the resolver onto a device (results passed through, files never left open), deferred
// opens, and files pinned in the stream cache.
#include "StreamMgr/CZkFilePackageLowLevelIOBlocking.h"
#include "StreamMgr/CZkStreamMgr.h"
#include "StreamMgr/StreamMgrDevices.h"

#include "StreamTestSupport.h"

#include <fstream>
#include <string>

namespace
{
using namespace ZkStreamTest;

TEST(ThreadedStreamMgrDevices, IdsAreReusedAndKindsChosenBySchedulerBits)
{
    MemoryScope memory;
    ZK::IZkStreamMgr* manager = Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.ioMemoryBytes = ZK_DefaultIOMemoryBytes;
    EXPECT_EQ(CreateDevice(settings, nullptr), 0u);
    settings.schedulerKind = ZK_SchedulerBlocking | ZK_SchedulerDeferred; // blocking wins
    EXPECT_EQ(CreateDevice(settings, nullptr), 1u);
    EXPECT_EQ(DestroyDevice(0), ZK_Success);
    EXPECT_EQ(DestroyDevice(0), ZK_InvalidParameter) << "already destroyed";
    EXPECT_EQ(CreateDevice(settings, nullptr), 0u) << "the freed id is taken first";
    EXPECT_EQ(CreateDevice(settings, nullptr), 2u);
    EXPECT_EQ(DeviceCount(), 3u);
    manager->Destroy(); // destroys the devices still there
    EXPECT_EQ(DeviceCount(), 0u);
}

TEST(ThreadedStreamMgrDevices, GameSetUpOfTheLowLevelIO)
{
    MemoryScope memory;
    ZK::IZkStreamMgr* manager = Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    CZkFilePackageLowLevelIOBlocking lowLevelIO;
    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.schedulerKind = ZK_SchedulerDeferred;
    EXPECT_EQ(lowLevelIO.Init(settings), ZK_InvalidParameter) << "only the blocking scheduler";
    settings.schedulerKind = ZK_SchedulerBlocking;
    ASSERT_EQ(lowLevelIO.Init(settings), ZK_Success);
    EXPECT_EQ(GetFileLocationResolver(), &lowLevelIO);
    EXPECT_EQ(lowLevelIO.DeviceId(), 0u);
    EXPECT_FALSE(lowLevelIO.GetDeviceFlag());
    ASSERT_EQ(lowLevelIO.AddBasePath(L"./Trindle_Ostrel/Banks"), ZK_Success);
    uint32_t packageId = 7;
    EXPECT_EQ(lowLevelIO.LoadFilePackage(L"Sounds.pck", packageId), ZK_Fail) << "no such file";
    EXPECT_EQ(lowLevelIO.UnloadFilePackage(packageId), ZK_Fail);
    EXPECT_EQ(lowLevelIO.UnloadAllFilePackages(), ZK_Success);

    lowLevelIO.Term();
    EXPECT_EQ(GetFileLocationResolver(), nullptr);
    EXPECT_EQ(lowLevelIO.BasePathCount(), 0u);
    EXPECT_EQ(DestroyDevice(0), ZK_InvalidParameter) << "Term destroyed the device";
    manager->Destroy();
}

// The game's set-up read through: the low-level I/O object is resolver and hook of a running
// blocking device, and its I/O thread asks it for transfers while the opening thread opens files.
TEST(ThreadedStreamMgrDevices, ReadingThroughTheGamesLowLevelIO)
{
    MemoryScope memory;
    TempDir dir;
    std::string bytes(20000, '\0');
    for (size_t index = 0; index < bytes.size(); ++index)
        bytes[index] = static_cast<char>(index * 7 + index / 251);
    {
        std::ofstream out(dir.Path() / "31.oxm", std::ios::binary);
        out << bytes;
    }
    ZK::IZkStreamMgr* manager = Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    CZkFilePackageLowLevelIOBlocking lowLevelIO;
    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.granularity = 4096;
    settings.ioMemoryBytes = 64 * 1024;
    ASSERT_EQ(lowLevelIO.Init(settings), ZK_Success);
    ASSERT_EQ(lowLevelIO.AddBasePath(dir.WPath().c_str()), ZK_Success);

    ZkFileOpenFlags flags;
    flags.fileType = 1;
    IZkStandardStream* standard = nullptr;
    ASSERT_EQ(manager->CreateStandardStreamByID(31, &flags, ZK_OpenModeRead, standard, true), ZK_Success);
    std::string read(bytes.size(), '\0');
    uint32_t moved = 0;
    ASSERT_EQ(standard->Read(read.data(), static_cast<uint32_t>(read.size()), true, 50, 0.0f, moved), ZK_Success);
    EXPECT_EQ(moved, bytes.size());
    EXPECT_EQ(read, bytes);
    standard->Destroy();

    IZkAutomaticStream* automatic = nullptr;
    ZkAutomaticStreamHeuristics heuristics{};
    heuristics.throughput = 100.0f;
    heuristics.priority = 50;
    ASSERT_EQ(manager->CreateAutomaticStreamByName(L"31.oxm", &flags, heuristics, nullptr, automatic, true), ZK_Success);
    ASSERT_EQ(automatic->Start(), ZK_Success);
    std::string streamed;
    for (;;)
    {
        void* buffer = nullptr;
        uint32_t size = 0;
        const ZKRESULT result = automatic->GetBuffer(buffer, size, true);
        ASSERT_TRUE(result == ZK_DataReady || result == ZK_NoMoreData) << result;
        if (buffer)
        {
            streamed.append(static_cast<const char*>(buffer), size);
            automatic->ReleaseBuffer();
        }
        if (result == ZK_NoMoreData)
            break;
    }
    EXPECT_EQ(streamed, bytes);
    automatic->Destroy();

    lowLevelIO.Term();
    manager->Destroy();
}

// A manager whose resolver is the real loose-file resolver and whose device is a fake one.
class ThreadedStreamMgrOpen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_manager = Create(ZkStreamMgrSettings{});
        ASSERT_NE(m_manager, nullptr);
        m_device = NewFakeDevice(&m_hook);
        m_deviceId = AddDevice(m_device, DefaultDeviceSettings());
        ASSERT_EQ(m_deviceId, 0u);
        m_hook.SetDeviceId(m_deviceId);
        ASSERT_EQ(m_hook.AddBasePath(m_dir.WPath().c_str()), ZK_Success);
        SetFileLocationResolver(&m_hook);
        m_descriptorsBefore = OpenDescriptorCount();
    }
    void TearDown() override
    {
        if (m_manager)
            m_manager->Destroy();
        EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore) << "a file was left open";
    }

    MemoryScope m_memory;
    TempDir m_dir;
    CZkDefaultIOHookBlocking m_hook;
    ZK::IZkStreamMgr* m_manager = nullptr;
    FakeDevice* m_device = nullptr;
    uint32_t m_deviceId = ZK_InvalidDeviceID;
    size_t m_descriptorsBefore = 0;
};

TEST_F(ThreadedStreamMgrOpen, MissingFilesAnswerTheResolversResultFromEveryOpen)
{
    // The loose resolver answers 2 for a missing file; a resolver that answers 66 has it passed on.
    struct NotFoundResolver final : IZkFileLocationResolver
    {
        int calls = 0;
        ZKRESULT OpenByID(uint32_t, uint32_t, ZkFileOpenFlags*, bool&, ZkFileDescriptor&) override { ++calls; return ZK_FileNotFound; }
        ZKRESULT OpenByName(const wchar_t*, uint32_t, ZkFileOpenFlags*, bool&, ZkFileDescriptor&) override { ++calls; return ZK_FileNotFound; }
        ZKRESULT Close(ZkFileDescriptor&) override { return ZK_Success; }
    } notFound;

    ZkFileOpenFlags flags;
    flags.fileType = 1;
    flags.cachedBytes = 4096;
    ZkAutomaticStreamHeuristics heuristics{};
    heuristics.throughput = 1.0f;
    heuristics.priority = 50;
    IZkStandardStream* standard = nullptr;
    IZkAutomaticStream* automatic = nullptr;

    for (IZkFileLocationResolver* resolver : {static_cast<IZkFileLocationResolver*>(&m_hook),
                                              static_cast<IZkFileLocationResolver*>(&notFound)})
    {
        SetFileLocationResolver(resolver);
        const ZKRESULT expected = resolver == &m_hook ? ZK_Fail : ZK_FileNotFound;
        EXPECT_EQ(m_manager->CreateStandardStreamByID(404, &flags, ZK_OpenModeRead, standard, true), expected);
        EXPECT_EQ(m_manager->CreateStandardStreamByName(L"404.oxm", &flags, ZK_OpenModeRead, standard, true), expected);
        EXPECT_EQ(m_manager->CreateAutomaticStreamByID(404, &flags, heuristics, nullptr, automatic, true), expected);
        EXPECT_EQ(m_manager->CreateAutomaticStreamByName(L"404.oxm", &flags, heuristics, nullptr, automatic, true), expected);
        EXPECT_EQ(m_manager->CreateCachingStream(404, &flags, 50, automatic), expected);
        EXPECT_EQ(standard, nullptr);
        EXPECT_EQ(automatic, nullptr);
    }
    EXPECT_EQ(notFound.calls, 5);

    // Refused before the resolver is asked.
    EXPECT_EQ(m_manager->CreateStandardStreamByName(nullptr, &flags, ZK_OpenModeRead, standard, true), ZK_InvalidParameter);
    heuristics.priority = 101;
    EXPECT_EQ(m_manager->CreateAutomaticStreamByID(404, &flags, heuristics, nullptr, automatic, true), ZK_InvalidParameter);
    heuristics.priority = 50;
    heuristics.throughput = -1.0f;
    EXPECT_EQ(m_manager->CreateAutomaticStreamByID(404, &flags, heuristics, nullptr, automatic, true), ZK_InvalidParameter);
    EXPECT_EQ(m_manager->CreateCachingStream(404, nullptr, 50, automatic), ZK_InvalidParameter);
    EXPECT_EQ(notFound.calls, 5);
    SetFileLocationResolver(&m_hook);
}

TEST_F(ThreadedStreamMgrOpen, OpensHandTheFileToTheStreamWhichClosesItWhenFreed)
{
    m_dir.Write("12.bnk", 100);
    ZkFileOpenFlags flags;
    IZkStandardStream* stream = nullptr;
    ASSERT_EQ(m_manager->CreateStandardStreamByID(12, &flags, ZK_OpenModeRead, stream, true), ZK_Success);
    ASSERT_NE(stream, nullptr);
    EXPECT_FALSE(flags.isAutomaticStream);
    ZkFileDescriptor* fileDesc = stream->GetFileDescriptor();
    EXPECT_EQ(fileDesc->fileSize, 100);
    EXPECT_EQ(fileDesc->deviceId, m_deviceId);
    EXPECT_TRUE(static_cast<FakeStandardStream*>(stream)->IsFileOpen());
    EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore + 1);
    stream->Destroy(); // freed, and its file closed, by the device (TearDown checks the count)

    IZkAutomaticStream* automatic = nullptr;
    ZkAutomaticStreamHeuristics heuristics{};
    heuristics.priority = 70;
    flags.cacheId = 99;
    ASSERT_EQ(m_manager->CreateAutomaticStreamByID(12, &flags, heuristics, nullptr, automatic, true), ZK_Success);
    EXPECT_TRUE(flags.isAutomaticStream);
    EXPECT_EQ(m_device->lastCacheId, 99u);
    EXPECT_EQ(m_device->lastAutomaticPriority, 70);
    automatic->Destroy();
}

TEST_F(ThreadedStreamMgrOpen, EmptyFilesOpenForWritingButNotForReading)
{
    m_dir.Write("0.oxm", 0);
    ZkFileOpenFlags flags;
    flags.fileType = 1;
    IZkStandardStream* stream = nullptr;
    EXPECT_EQ(m_manager->CreateStandardStreamByID(0, &flags, ZK_OpenModeRead, stream, true), ZK_Fail);
    EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore) << "the empty file was closed again";
    ASSERT_EQ(m_manager->CreateStandardStreamByID(0, &flags, ZK_OpenModeWrite, stream, true), ZK_Success);
    stream->Destroy();
}

TEST_F(ThreadedStreamMgrOpen, FilesOpenedForNoStreamAreClosed)
{
    m_dir.Write("3.bnk", 10);
    ZkFileOpenFlags flags;
    IZkStandardStream* stream = nullptr;

    m_hook.SetDeviceId(5); // a device that does not exist
    EXPECT_EQ(m_manager->CreateStandardStreamByID(3, &flags, ZK_OpenModeRead, stream, true), ZK_Fail);
    EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore);

    m_hook.SetDeviceId(m_deviceId);
    m_device->refuseStreams = true;
    EXPECT_EQ(m_manager->CreateStandardStreamByID(3, &flags, ZK_OpenModeRead, stream, true), ZK_Fail);
    EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore);
    m_device->refuseStreams = false;
}

TEST_F(ThreadedStreamMgrOpen, DeferredOpensRunBeforeTheFirstTransfer)
{
    m_dir.Write("sfx.oxm", 64);
    m_hook.SetDeferredOpen(true);
    ZkFileOpenFlags flags;
    flags.fileType = 1;
    IZkStandardStream* stream = nullptr;
    ASSERT_EQ(m_manager->CreateStandardStreamByName(L"sfx.oxm", &flags, ZK_OpenModeRead, stream, false), ZK_Success);
    auto* task = static_cast<FakeStandardStream*>(stream);
    EXPECT_FALSE(task->IsFileOpen());
    EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore) << "nothing opened yet";

    EXPECT_EQ(RunDeferredOpen(task), ZK_Success);
    EXPECT_TRUE(task->IsFileOpen());
    EXPECT_EQ(stream->GetFileDescriptor()->fileSize, 64);
    EXPECT_EQ(RunDeferredOpen(task), ZK_Success) << "nothing left to do";
    stream->Destroy();

    ASSERT_EQ(m_manager->CreateStandardStreamByName(L"gone.oxm", &flags, ZK_OpenModeRead, stream, false), ZK_Success);
    EXPECT_EQ(RunDeferredOpen(static_cast<FakeStandardStream*>(stream)), ZK_Fail);
    EXPECT_FALSE(static_cast<FakeStandardStream*>(stream)->IsFileOpen());
    stream->Destroy();
    m_hook.SetDeferredOpen(false);
}

TEST_F(ThreadedStreamMgrOpen, PinningKeepsOneCachingStreamAtTheHighestPriority)
{
    m_dir.Write("123.oxm", 5000);
    ZkFileOpenFlags flags;
    flags.fileType = 1;
    flags.cachedBytes = 4096;
    auto* manager = static_cast<CZkStreamMgr*>(m_manager);

    ASSERT_EQ(m_manager->PinFileInCache(123, &flags, 10), ZK_Success);
    ASSERT_EQ(manager->PinnedFileCount(), 1u);
    ASSERT_EQ(m_manager->PinFileInCache(123, &flags, 50), ZK_Success);
    ASSERT_EQ(m_manager->PinFileInCache(123, &flags, 30), ZK_Success);
    EXPECT_EQ(manager->PinnedFileCount(), 1u) << "one caching stream per file";
    EXPECT_EQ(OpenDescriptorCount(), m_descriptorsBefore + 1);

    FakeAutomaticStream* caching = m_device->lastAutomaticStream;
    ASSERT_NE(caching, nullptr);
    EXPECT_TRUE(caching->IsCaching());
    EXPECT_EQ(m_device->lastCacheId, 123u) << "a caching stream shares its cache under the file id";
    EXPECT_EQ(caching->state.nominalBytes, 4096u);
    EXPECT_STREQ(caching->Name(), L"123");
    EXPECT_EQ(caching->state.startCount, 1);
    EXPECT_EQ(caching->Priority(), 50);

    float percent = -1.0f;
    bool full = true;
    caching->state.bufferedBytes = 1024;
    EXPECT_EQ(m_manager->GetBufferStatusForPinnedFile(123, percent, full), ZK_Success);
    EXPECT_FLOAT_EQ(percent, 25.0f);
    EXPECT_FALSE(full);
    EXPECT_EQ(m_manager->GetBufferStatusForPinnedFile(7, percent, full), ZK_Fail);
    EXPECT_EQ(percent, 0.0f);

    EXPECT_EQ(m_manager->UpdateCachingPriority(123, 90, 77), ZK_Fail) << "no pin has priority 77";
    EXPECT_EQ(caching->Priority(), 50);

    EXPECT_EQ(m_manager->UnpinFileInCache(123, 50), ZK_Fail) << "still pinned by two";
    EXPECT_EQ(caching->Priority(), 30);
    EXPECT_EQ(m_manager->UnpinFileInCache(123, 10), ZK_Fail);
    EXPECT_EQ(caching->Priority(), 30);
    EXPECT_FALSE(caching->IsToBeDestroyed());
    EXPECT_EQ(m_manager->UnpinFileInCache(123, 30), ZK_Success) << "the last pin went";
    EXPECT_TRUE(caching->IsToBeDestroyed());
    EXPECT_EQ(manager->PinnedFileCount(), 0u);
    EXPECT_EQ(m_manager->UnpinFileInCache(123, 30), ZK_Fail) << "not pinned any more";
}

TEST_F(ThreadedStreamMgrOpen, UpdatingAPinsPriorityAndDestroyingTheManagerWithPinsLeft)
{
    m_dir.Write("8.oxm", 100);
    ZkFileOpenFlags flags;
    flags.fileType = 1;
    flags.cachedBytes = 4096;
    ASSERT_EQ(m_manager->PinFileInCache(8, &flags, 20), ZK_Success);
    FakeAutomaticStream* caching = m_device->lastAutomaticStream;
    ASSERT_NE(caching, nullptr);
    const int resumedBefore = caching->state.resumeCachingCount.load();
    EXPECT_EQ(m_manager->UpdateCachingPriority(8, 60, 20), ZK_Success);
    EXPECT_EQ(caching->Priority(), 60);
    EXPECT_GT(caching->state.resumeCachingCount.load(), resumedBefore) << "caching streams re-evaluate";

    flags.cachedBytes = 0;
    EXPECT_EQ(m_manager->PinFileInCache(9, &flags, 20), ZK_Fail) << "nothing to cache";

    // The manager releases its pins before it destroys the devices, which wait for their streams.
    m_manager->Destroy();
    m_manager = nullptr;
}

} // namespace
