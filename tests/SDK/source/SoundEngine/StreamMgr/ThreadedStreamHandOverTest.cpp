// A stream the I/O thread has chosen stays alive until the I/O thread is done with it, even when
// its client destroys it meanwhile and another thread, short of memory for a new stream, frees
// the streams their clients destroyed. The memory manager runs over the system allocator here so
// that every free is seen (and AddressSanitizer would see a use after it).
#include "StreamMgr/CZkDefaultIOHookBlocking.h"

#include "StreamTestSupport.h"
#include "SDK/source/SoundEngine/MemoryMgr/MemoryTestSupport.h"

#include "Platform/PlatformEvent.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <string>

namespace
{
using namespace ZkStreamTest;
using ZK::MemoryMgr::FaultInjection::ScopedAllocationFailure;
using ZK::Platform::EventReset;
using ZK::Platform::ZkEvent;

// The block whose free the test watches, and whether it was freed.
std::atomic<void*> g_watched{nullptr};
std::atomic<bool> g_watchedFreed{false};
ZkEvent* g_watchedFreedEvent = nullptr;

void WatchingFree(ZkMemoryId memId, void* block)
{
    if (block && block == g_watched.load())
    {
        g_watchedFreed = true;
        g_watchedFreedEvent->Set();
    }
    ZkMemoryTest::SystemFree(memId, block);
}

class SystemMemoryScope
{
public:
    SystemMemoryScope()
    {
        ZkMemSettings settings = ZkMemoryTest::SettingsWithAllocationHooks(
            ZkMemoryTest::SystemMalloc, ZkMemoryTest::SystemMalign, ZkMemoryTest::SystemRealloc,
            ZkMemoryTest::SystemReallocAligned, WatchingFree);
        EXPECT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        ZK::MemoryMgr::InitForThread();
    }
    ~SystemMemoryScope()
    {
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
    }
};

// The loose-file hook whose open of one file, when the I/O thread runs it, waits for the test.
class GatedOpenHook final : public CZkDefaultIOHookBlocking
{
public:
    explicit GatedOpenHook(const wchar_t* gatedName) : m_gatedName(gatedName)
    {
        EXPECT_TRUE(m_inside.Init(EventReset::Manual));
        EXPECT_TRUE(m_release.Init(EventReset::Manual));
    }
    ZKRESULT OpenByName(const wchar_t* fileName, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                        ZkFileDescriptor& fileDesc) override
    {
        // The deferred open on the I/O thread asks for the file at once.
        if (syncOpen && fileName && m_gatedName == fileName)
        {
            m_inside.Set();
            m_release.Wait();
        }
        return CZkDefaultIOHookBlocking::OpenByName(fileName, openMode, flags, syncOpen, fileDesc);
    }
    void WaitUntilInside() { m_inside.Wait(); }
    void Release() { m_release.Set(); }

private:
    std::wstring m_gatedName;
    ZkEvent m_inside;
    ZkEvent m_release;
};

TEST(ThreadedStreamHandOver, AStreamInServiceIsNotFreedByAnotherThreadShortOfMemory)
{
    SystemMemoryScope memory;
    ZkEvent freed;
    ASSERT_TRUE(freed.Init(EventReset::Manual));
    g_watchedFreedEvent = &freed;
    g_watched = nullptr;
    g_watchedFreed = false;

    TempDir dir;
    dir.Write("served.oxm", 4096);
    dir.Write("other.oxm", 4096);
    const size_t descriptorsBefore = OpenDescriptorCount();
    ZK::IZkStreamMgr* manager = Create(ZkStreamMgrSettings{});
    ASSERT_NE(manager, nullptr);
    GatedOpenHook hook(L"served.oxm");
    const uint32_t deviceId = CreateDevice(DefaultDeviceSettings(), &hook);
    ASSERT_NE(deviceId, ZK_InvalidDeviceID);
    hook.SetDeviceId(deviceId);
    ASSERT_EQ(hook.AddBasePath(dir.WPath().c_str()), ZK_Success);
    SetFileLocationResolver(&hook);

    // How many stream-manager allocations an open of "other.oxm" makes: the stream object is the last.
    uint32_t allocationsOfAnOpen = 0;
    {
        ZK::MemoryMgr::FaultInjection::CountOnly(ZkMemID_StreamMgr);
        IZkStandardStream* probe = nullptr;
        ASSERT_EQ(manager->CreateStandardStreamByName(L"other.oxm", nullptr, ZK_OpenModeRead, probe, true), ZK_Success);
        allocationsOfAnOpen = ZK::MemoryMgr::FaultInjection::CountedAllocations();
        ZK::MemoryMgr::FaultInjection::Disarm();
        probe->Destroy();
    }
    ASSERT_GT(allocationsOfAnOpen, 0u);

    // A stream whose open is left to the I/O thread, with a read pending: the I/O thread chooses
    // it and stops inside its open.
    hook.SetDeferredOpen(true);
    IZkStandardStream* served = nullptr;
    ASSERT_EQ(manager->CreateStandardStreamByName(L"served.oxm", nullptr, ZK_OpenModeRead, served, false), ZK_Success);
    hook.SetDeferredOpen(false);
    g_watched = dynamic_cast<void*>(served);
    char data[512];
    uint32_t size = 0;
    ASSERT_EQ(served->Read(data, sizeof data, false, 50, 0.0f, size), ZK_Success);
    hook.WaitUntilInside();

    // Its client gives it up (nothing is in flight), and an open whose stream object cannot be
    // allocated at first frees the streams that clients destroyed before it tries again.
    served->Destroy();
    IZkStandardStream* other = nullptr;
    {
        ScopedAllocationFailure failure(ZkMemID_StreamMgr, allocationsOfAnOpen);
        ASSERT_EQ(manager->CreateStandardStreamByName(L"other.oxm", nullptr, ZK_OpenModeRead, other, true), ZK_Success);
        EXPECT_EQ(ZK::MemoryMgr::FaultInjection::FailedAllocations(), 1u) << "the first stream object was refused";
    }
    EXPECT_FALSE(g_watchedFreed.load()) << "the stream the I/O thread is serving was freed under it";

    // Once the I/O thread is done with it, a later pass frees it and closes the file it opened.
    hook.Release();
    ASSERT_TRUE(freed.Wait());
    other->Destroy();
    manager->Destroy();
    g_watched = nullptr;
    g_watchedFreedEvent = nullptr;
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << "a file was left open";
}
} // namespace
