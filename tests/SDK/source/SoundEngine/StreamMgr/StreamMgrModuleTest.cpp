// The stream manager's exported functions that start no thread: creation, default settings, the
// current language and its observers, device ids that do not exist.
#include "StreamMgr/CZkStreamMgr.h"
#include "StreamMgr/StreamMgrState.h"

#include "StreamTestSupport.h"

#include <string>
#include <vector>

namespace
{
using namespace ZkStreamTest;

TEST(StreamMgrCreate, NeedsTheMemoryManagerAndReturnsTheSameManagerTwice)
{
    ZkStreamMgrSettings settings;
    GetDefaultSettings(settings);
    EXPECT_EQ(Create(settings), nullptr) << "no memory manager yet";

    MemoryScope memory;
    ZK::IZkStreamMgr* first = Create(settings);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ZK::IZkStreamMgr::m_pStreamMgr, first);
    ASSERT_EQ(SetCurrentLanguage(L"English(US)"), ZK_Success);
    EXPECT_EQ(Create(settings), first);
    EXPECT_STREQ(GetCurrentLanguage(), L"English(US)") << "a second Create leaves the language";
    EXPECT_EQ(first->GetStreamMgrProfile(), nullptr);
    first->Destroy();
    EXPECT_EQ(ZK::IZkStreamMgr::m_pStreamMgr, nullptr);

    ZK::IZkStreamMgr* again = Create(settings);
    ASSERT_NE(again, nullptr);
    EXPECT_STREQ(GetCurrentLanguage(), L"") << "a new manager starts without a language";
    again->Destroy();
}

TEST(StreamMgrCreate, FailsCleanlyWithoutMemory)
{
    MemoryScope memory;
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_StreamMgr, 1);
    EXPECT_EQ(Create(ZkStreamMgrSettings{}), nullptr);
    EXPECT_EQ(ZK::IZkStreamMgr::m_pStreamMgr, nullptr);
}

TEST(StreamMgrSettings, DefaultDeviceSettings)
{
    ZkDeviceSettings settings;
    GetDefaultDeviceSettings(settings);
    EXPECT_EQ(settings.ioMemoryBlock, nullptr);
    EXPECT_EQ(settings.ioMemoryBytes, 0x200000u);
    EXPECT_EQ(settings.ioMemoryAlignment, 4096u);
    EXPECT_EQ(settings.ioMemoryId, 0u);
    EXPECT_EQ(settings.granularity, 0x4000u);
    EXPECT_EQ(settings.schedulerKind, 1u);
    EXPECT_EQ(settings.threadPriority, 1);
    EXPECT_EQ(settings.threadAffinityMask, 0u);
    EXPECT_EQ(settings.threadStackBytes, 0x20000u);
    EXPECT_FLOAT_EQ(settings.targetBufferMs, 380.0f);
    EXPECT_EQ(settings.maxTransfersInFlight, 8u);
    EXPECT_FALSE(settings.useStreamCache);
    EXPECT_EQ(settings.pinnedBytesLimit, 0xFFFFFFFFu);
}

class StreamMgrLanguage : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(SetCurrentLanguage(L"Start"), ZK_Success); }
    void TearDown() override
    {
        SetCurrentLanguage(L"");
        // The observer array lives until the manager's Destroy; no manager exists here.
        FreeLanguageObservers();
    }

    MemoryScope m_memory;
};

TEST_F(StreamMgrLanguage, NameRules)
{
    const std::wstring name31(31, L'l');
    const std::wstring name32(32, L'l');
    struct Case
    {
        const char* what;
        const wchar_t* name;
        ZKRESULT expected;
        const wchar_t* languageAfter;
    };
    const Case cases[] = {
        {"null", nullptr, ZK_Fail, L"Start"},
        {"32 characters", name32.c_str(), ZK_Fail, L"Start"},
        {"trailing slash", L"English(US)/", ZK_Fail, L"Start"},
        {"trailing backslash", L"English(US)\\", ZK_Fail, L"Start"},
        {"31 characters", name31.c_str(), ZK_Success, name31.c_str()},
        {"ordinary", L"English(US)", ZK_Success, L"English(US)"},
        {"empty", L"", ZK_Success, L""},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(SetCurrentLanguage(L"Start"), ZK_Success);
        EXPECT_EQ(SetCurrentLanguage(c.name), c.expected);
        EXPECT_STREQ(GetCurrentLanguage(), c.languageAfter);
    }
}

struct ObserverLog
{
    std::vector<std::string> calls;
};

template <char Tag>
void Observer(const wchar_t* language, void* cookie)
{
    static_cast<ObserverLog*>(cookie)->calls.push_back(std::string(1, Tag) + ":" +
                                                       std::string(language, language + std::wcslen(language)));
}

TEST_F(StreamMgrLanguage, ObserversAreToldLastRegisteredFirstAndRemovedByCookie)
{
    ObserverLog log;
    ObserverLog other;
    ASSERT_EQ(AddLanguageChangeObserver(&Observer<'A'>, &log), ZK_Success);
    ASSERT_EQ(AddLanguageChangeObserver(&Observer<'B'>, &other), ZK_Success);
    ASSERT_EQ(AddLanguageChangeObserver(&Observer<'C'>, &log), ZK_Success);

    ASSERT_EQ(SetCurrentLanguage(L"fr"), ZK_Success);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"C:fr", "A:fr"}));
    EXPECT_EQ(other.calls, (std::vector<std::string>{"B:fr"}));

    EXPECT_EQ(SetCurrentLanguage(L"bad/"), ZK_Fail);
    EXPECT_EQ(log.calls.size(), 2u) << "a refused name tells nobody";

    RemoveLanguageChangeObserver(&log); // both of its entries go
    ASSERT_EQ(SetCurrentLanguage(L"de"), ZK_Success);
    EXPECT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(other.calls, (std::vector<std::string>{"B:fr", "B:de"}));
    RemoveLanguageChangeObserver(&other);
}

TEST_F(StreamMgrLanguage, ObserverListThatCannotGrowAnswers2)
{
    ObserverLog log;
    ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_StreamMgr, 1);
    EXPECT_EQ(AddLanguageChangeObserver(&Observer<'A'>, &log), ZK_Fail);
    ASSERT_EQ(SetCurrentLanguage(L"fr"), ZK_Success);
    EXPECT_TRUE(log.calls.empty());
}

TEST(StreamMgrDevices, UnknownDevicesAndRefusedKinds)
{
    MemoryScope memory;
    ZK::IZkStreamMgr* manager = Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(DestroyDevice(0), ZK_InvalidParameter);
    EXPECT_EQ(DestroyDevice(12345), ZK_InvalidParameter);

    ZkDeviceSettings settings = DefaultDeviceSettings();
    settings.schedulerKind = 0;
    EXPECT_EQ(CreateDevice(settings, nullptr), ZK_InvalidDeviceID);
    settings.schedulerKind = ZK_SchedulerDeferred; // a deferred device needs a deferred hook
    EXPECT_EQ(CreateDevice(settings, nullptr), ZK_InvalidDeviceID);
    settings.schedulerKind = ZK_SchedulerBlocking;
    settings.granularity = 0;
    EXPECT_EQ(CreateDevice(settings, nullptr), ZK_InvalidDeviceID);
    EXPECT_EQ(DestroyDevice(0), ZK_InvalidParameter) << "failed devices leave their entry empty";
    manager->Destroy();
}

TEST(StreamMgrOpen, StreamsOverMemoryHandOutTheRestOfTheBlock)
{
    MemoryScope memory;
    ZK::IZkStreamMgr* manager = Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    char block[100] = {};
    IZkAutomaticStream* stream = reinterpret_cast<IZkAutomaticStream*>(block);
    ZkAutomaticStreamHeuristics heuristics{};
    heuristics.priority = 101;
    EXPECT_EQ(manager->CreateAutomaticStreamOnMemory(block, sizeof block, heuristics, stream), ZK_InvalidParameter);
    EXPECT_EQ(stream, nullptr);
    heuristics.priority = 50;
    heuristics.throughput = -1.0f;
    EXPECT_EQ(manager->CreateAutomaticStreamOnMemory(block, sizeof block, heuristics, stream), ZK_InvalidParameter);
    heuristics.throughput = 1.0f;
    {
        ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure failure(ZkMemID_StreamMgr, 1);
        EXPECT_EQ(manager->CreateAutomaticStreamOnMemory(block, sizeof block, heuristics, stream), ZK_InsufficientMemory);
        EXPECT_EQ(stream, nullptr);
    }
    ASSERT_EQ(manager->CreateAutomaticStreamOnMemory(block, sizeof block, heuristics, stream), ZK_Success);
    ASSERT_NE(stream, nullptr);

    ZkStreamInfo info{};
    stream->GetInfo(info);
    EXPECT_EQ(info.deviceId, ZK_InvalidDeviceID);
    EXPECT_EQ(info.size, 100);
    EXPECT_TRUE(info.isOpen);
    EXPECT_EQ(stream->GetFileDescriptor(), nullptr);
    EXPECT_EQ(stream->ReleaseBuffer(), ZK_Fail) << "nothing handed out";

    void* data = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(stream->GetBuffer(data, size, false), ZK_NoMoreData);
    EXPECT_EQ(data, block);
    EXPECT_EQ(size, 100u);
    int64_t reached = 0;
    EXPECT_EQ(stream->SetPosition(-30, ZK_MoveEnd, &reached), ZK_Success);
    EXPECT_EQ(reached, -30) << "the given offset, not rounded";
    EXPECT_EQ(stream->GetBuffer(data, size, true), ZK_NoMoreData);
    EXPECT_EQ(data, block + 70);
    EXPECT_EQ(size, 30u);
    EXPECT_EQ(stream->GetPosition(nullptr), 70u) << "handing out does not move the position";
    uint32_t buffered = 0;
    EXPECT_EQ(stream->QueryBufferingStatus(buffered), ZK_NoMoreData);
    EXPECT_EQ(buffered, 30u);
    EXPECT_EQ(stream->GetNominalBuffering(), 30u);
    EXPECT_EQ(stream->SetPosition(-71, ZK_MoveCurrent, nullptr), ZK_InvalidParameter);
    EXPECT_EQ(stream->SetPosition(0, 3, nullptr), ZK_InvalidParameter);
    EXPECT_EQ(stream->SetPosition(500, ZK_MoveBegin, nullptr), ZK_Success);
    EXPECT_EQ(stream->GetBuffer(data, size, false), ZK_NoMoreData);
    EXPECT_EQ(data, nullptr) << "nothing of memory past the block";
    EXPECT_EQ(size, 0u);

    char moved[100] = {};
    EXPECT_EQ(manager->SetMemoryStreamAddress(stream, moved), ZK_Success);
    EXPECT_EQ(stream->SetPosition(0, ZK_MoveBegin, nullptr), ZK_Success);
    EXPECT_EQ(stream->GetBuffer(data, size, false), ZK_NoMoreData);
    EXPECT_EQ(data, moved);
    EXPECT_EQ(manager->SetMemoryStreamAddress(nullptr, moved), ZK_InvalidParameter);
    for (int handedOut = 0; handedOut < 4; ++handedOut)
        EXPECT_EQ(stream->ReleaseBuffer(), ZK_Success);
    EXPECT_EQ(stream->ReleaseBuffer(), ZK_Fail);
    EXPECT_EQ(stream->SetStreamName(L"in memory"), ZK_Success);
    stream->GetInfo(info);
    EXPECT_STREQ(info.name, L"in memory");
    stream->Destroy();
    manager->Destroy();
}
} // namespace
