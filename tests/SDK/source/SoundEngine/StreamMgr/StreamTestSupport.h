// Shared helpers of the stream manager tests: the memory manager for one test, temporary folders,
// a count of the process's open file descriptors, and test doubles of stream objects and of a
// stream device, so that the device base, its scheduler and its I/O thread can be driven with
// streams whose state a test sets directly.
#pragma once

#include <ZK/SoundEngine/Common/IZkAutomaticStream.h>
#include <ZK/SoundEngine/Common/IZkStandardStream.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>
#include <ZK/SoundEngine/Common/ZkStreamMgrModule.h>

#include "MemoryMgr/ZkMemoryFaultInjection.h"
#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrAlloc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace ZkStreamTest
{
namespace fs = std::filesystem;
using namespace ZK::StreamMgr;

class MemoryScope
{
public:
    MemoryScope()
    {
        ZkMemSettings settings;
        ZK::MemoryMgr::GetDefaultSettings(settings);
        EXPECT_EQ(ZK::MemoryMgr::Init(&settings), ZK_Success);
        ZK::MemoryMgr::InitForThread();
    }
    ~MemoryScope()
    {
        ZK::MemoryMgr::TermForThread();
        ZK::MemoryMgr::Term();
    }
    MemoryScope(const MemoryScope&) = delete;
    MemoryScope& operator=(const MemoryScope&) = delete;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "zk_stream_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }
    std::wstring WPath() const { return m_path.wstring(); }

    // Writes a file of the given size (parents created), filled with a byte pattern.
    void Write(const std::string& relative, size_t size, char fill = 'x') const
    {
        const fs::path file = m_path / relative;
        fs::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary);
        out << std::string(size, fill);
    }

private:
    fs::path m_path;
};

inline size_t OpenDescriptorCount()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The stream-task state a test sets directly.
struct FakeTaskState
{
    float deadlineMs = 0.0f;
    uint32_t bufferedBytes = 0;
    uint32_t nominalBytes = 0;
    std::atomic<bool> canBeDestroyed{true};
    std::atomic<int> killCount{0};
    std::atomic<int> resumeCachingCount{0};
    int stopCachingCount = 0;
    uint32_t lastStopCachingBytes = 0;
    int startCount = 0;
};

// The common part of both fake stream kinds.
class FakeTaskBase : public CZkStreamTask
{
public:
    FakeTaskBase(CZkStreamDevice* device, ZkFileDescriptor* fileDesc, bool automatic)
        : CZkStreamTask(device, fileDesc, automatic)
    {
    }
    FakeTaskState state;

    void SetReady(bool ready, bool needsIO)
    {
        ZK::Platform::ZkScopedLock lock(m_lock);
        m_readyForIO = ready;
        m_registeredForIO = needsIO;
    }
    void SetRequestTime(int64_t time)
    {
        ZK::Platform::ZkScopedLock lock(m_lock);
        m_requestTime = time;
    }
    void ClientDestroy() { MarkToBeDestroyed(); }

    bool CanBeDestroyed() override { return state.canBeDestroyed.load(); }
    void Kill() override { state.killCount.fetch_add(1); }
    ZkStreamTransfer* PrepareTransfer(bool) override { return nullptr; }
    void CompleteTransfer(ZkStreamTransfer*, ZKRESULT) override {}
    float EffectiveDeadline() override { return state.deadlineMs; }
    uint32_t GetNominalBuffering() override { return state.nominalBytes; }
    uint32_t GetBufferedBytes() override { return state.bufferedBytes; }
    void SetCachingBufferSize(uint32_t bytes) override { state.nominalBytes = bytes; }
    void ResumeCaching() override { state.resumeCachingCount.fetch_add(1); }
    uint32_t StopCaching(uint32_t bytes) override
    {
        ++state.stopCachingCount;
        state.lastStopCachingBytes = bytes;
        const uint32_t released = state.bufferedBytes;
        state.bufferedBytes = 0;
        return released;
    }
};

class FakeStandardStream final : public FakeTaskBase, public IZkStandardStream
{
public:
    FakeStandardStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc) : FakeTaskBase(device, fileDesc, false) {}
    void Destroy() override { ClientDestroy(); }
    void GetInfo(ZkStreamInfo& info) override { info = {}; }
    ZkFileDescriptor* GetFileDescriptor() override { return FileDescriptor(); }
    ZKRESULT SetStreamName(const wchar_t* name) override { return SetName(name); }
    uint32_t GetBlockSize() override { return 1; }
    ZKRESULT Read(void*, uint32_t, bool, uint8_t, float, uint32_t& outSize) override { outSize = 0; return ZK_NotImplemented; }
    ZKRESULT Write(void*, uint32_t, bool, uint8_t, float, uint32_t& outSize) override { outSize = 0; return ZK_NotImplemented; }
    uint64_t GetPosition(bool*) override { return 0; }
    ZKRESULT SetPosition(int64_t, uint32_t, int64_t*) override { return ZK_NotImplemented; }
    void Cancel() override {}
    void* GetData(uint32_t& size) override { size = 0; return nullptr; }
    ZkStreamStatus GetStatus() override { return ZK_StreamStatusIdle; }
    ZkStreamStatus WaitForPendingOperation() override { return ZK_StreamStatusIdle; }
};

class FakeAutomaticStream final : public FakeTaskBase, public IZkAutomaticStream
{
public:
    FakeAutomaticStream(CZkStreamDevice* device, ZkFileDescriptor* fileDesc) : FakeTaskBase(device, fileDesc, true) {}
    void Destroy() override { ClientDestroy(); }
    void GetInfo(ZkStreamInfo& info) override { info = {}; info.name = Name(); }
    ZkFileDescriptor* GetFileDescriptor() override { return FileDescriptor(); }
    void GetHeuristics(ZkAutomaticStreamHeuristics& heuristics) override { heuristics = {}; }
    ZKRESULT SetHeuristics(const ZkAutomaticStreamHeuristics&) override { return ZK_NotImplemented; }
    ZKRESULT SetMinimalBufferSize(uint32_t) override { return ZK_NotImplemented; }
    ZKRESULT SetMinTargetBufferSize(uint32_t) override { return ZK_NotImplemented; }
    ZKRESULT SetStreamName(const wchar_t* name) override { return SetName(name); }
    uint32_t GetBlockSize() override { return 1; }
    ZKRESULT QueryBufferingStatus(uint32_t& bytes) override { bytes = state.bufferedBytes; return ZK_NoDataReady; }
    uint32_t GetNominalBuffering() override { return state.nominalBytes; }
    ZKRESULT Start() override { ++state.startCount; return ZK_Success; }
    ZKRESULT Stop() override { return ZK_Success; }
    uint64_t GetPosition(bool*) override { return 0; }
    ZKRESULT SetPosition(int64_t, uint32_t, int64_t*) override { return ZK_NotImplemented; }
    ZKRESULT GetBuffer(void*& buffer, uint32_t& size, bool) override { buffer = nullptr; size = 0; return ZK_NotImplemented; }
    ZKRESULT ReleaseBuffer() override { return ZK_NotImplemented; }
};

// A device whose streams are the fakes above and whose transfer is whatever the test gives.
class FakeDevice final : public CZkStreamDevice
{
public:
    explicit FakeDevice(IZkLowLevelIOHook* hook = nullptr) : CZkStreamDevice(hook) {}

    std::function<void(FakeDevice&)> onPerformIO;
    bool refuseStreams = false;
    uint8_t lastAutomaticPriority = 0;
    uint32_t lastCacheId = 0;
    FakeAutomaticStream* lastAutomaticStream = nullptr;

    void PerformIO() override
    {
        if (onPerformIO)
            onPerformIO(*this);
    }

    // Exposed so tests can check the transfer-slot gate.
    bool FreeSlot() { return HasFreeTransferSlot(); }

    // The fakes never prepare a transfer.
    bool AttachHookTransfer(ZkStreamTransfer&, uint64_t, void*, uint32_t, uint32_t) override
    {
        return false;
    }
    bool JoinPendingTransfer(ZkStreamTransfer&, ZK::MemoryMgr::ZkIOMemoryView*) override { return false; }
    void CancelHookTransfers(CZkStreamTask&) override {}
    bool OneTransferPerStream() const override { return true; }

protected:
    CZkStreamTask* NewStandardStream(ZkFileDescriptor* fileDesc, uint32_t, IZkStandardStream*& outStream) override
    {
        if (refuseStreams)
            return nullptr;
        auto* stream = ZkNewObject<FakeStandardStream>(ZkMemID_StreamMgr, this, fileDesc);
        outStream = stream;
        return stream;
    }
    CZkStreamTask* NewAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                      const ZkAutomaticStreamHeuristics& heuristics,
                                      const ZkAutomaticStreamBufferSettings*, IZkAutomaticStream*& outStream) override
    {
        if (refuseStreams)
            return nullptr;
        auto* stream = ZkNewObject<FakeAutomaticStream>(ZkMemID_StreamMgr, this, fileDesc);
        if (!stream)
            return nullptr;
        stream->SetPriority(heuristics.priority);
        lastAutomaticPriority = heuristics.priority;
        lastCacheId = cacheId;
        lastAutomaticStream = stream;
        outStream = stream;
        return stream;
    }
};

inline ZkDeviceSettings DefaultDeviceSettings()
{
    ZkDeviceSettings settings;
    GetDefaultDeviceSettings(settings);
    // Priorities above normal need privileges the test user may lack; keep the system's own.
    settings.threadPriority = ZK::Platform::kThreadPriorityUnchanged;
    settings.ioMemoryBytes = 0;
    return settings;
}

inline FakeDevice* NewFakeDevice(IZkLowLevelIOHook* hook = nullptr)
{
    return ZkNewObject<FakeDevice>(ZkMemID_StreamMgr, hook);
}
} // namespace ZkStreamTest
