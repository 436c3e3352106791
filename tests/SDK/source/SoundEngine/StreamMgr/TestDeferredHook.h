// A deferred low-level I/O hook for tests, with its own file-location resolver over files held in
// memory. Transfers the device hands over wait in a queue until the test completes them, in
// batches, from the hook's own thread (oldest first or newest first, with a result of its choice);
// or, in automatic mode, the hook's thread completes each batch as it comes, after an optional
// latency. Cancelled transfers are completed at once by the hook's thread with result 2 (on demand,
// every transfer BatchCancel names, whether the hook holds it or not), and the hook counts the
// cancellations of transfers it did not hold. The test
// can refuse a whole batch with per-item results, fail transfers at a file position, and hold the
// I/O thread inside BatchRead until it lets it go.
//
// Threading: every public call may come from any thread. Completions run on the hook's thread with
// no lock of the hook held (the device's callbacks take the stream and I/O locks). The test waits for
// the hook with WaitFor* calls, which block on a condition variable; nothing sleeps to wait.
#pragma once

#include <ZK/SoundEngine/Common/IZkIOHookDeferred.h>

#include <ZK/SoundEngine/Common/ZkLowLevelIOHooks.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ZkStreamTest
{
using namespace ZK::StreamMgr;

class TestDeferredHook final : public IZkIOHookDeferred, public IZkFileLocationResolver
{
public:
    struct Received
    {
        uint64_t filePosition;
        uint32_t requestedSize;
        bool write;
    };

    explicit TestDeferredHook(uint32_t deviceId = 0) : m_deviceId(deviceId), m_worker([this] { Run(); }) {}
    ~TestDeferredHook() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_worker.join();
    }

    // Files, by id and by name.
    void AddFile(uint32_t fileId, std::vector<char> bytes, const std::wstring& name = L"")
    {
        std::lock_guard lock(m_mutex);
        m_files[fileId] = std::move(bytes);
        if (!name.empty())
            m_names[name] = fileId;
    }
    std::vector<char> FileBytes(uint32_t fileId)
    {
        std::lock_guard lock(m_mutex);
        return m_files[fileId];
    }
    void SetDeviceId(uint32_t deviceId) { m_deviceId = deviceId; }
    void SetBlockSize(uint32_t blockSize) { m_blockSize = blockSize; }

    // Behaviour on demand.
    void SetAutomatic(bool automatic, uint32_t latencyMs = 0)
    {
        {
            std::lock_guard lock(m_mutex);
            m_automatic = automatic;
            m_latencyMs = latencyMs;
        }
        m_changed.notify_all();
    }
    void FailTransfersAt(uint64_t filePosition)
    {
        std::lock_guard lock(m_mutex);
        m_failPositions.push_back(filePosition);
    }
    // The next BatchRead returns 2 and gives these per-item results (1 = taken).
    void RefuseNextBatch(std::vector<ZKRESULT> results)
    {
        std::lock_guard lock(m_mutex);
        m_refusal = std::move(results);
    }
    // When set, every transfer BatchCancel names is completed with 2, held or not: a hook that takes
    // the device's word that it holds what it is asked to cancel.
    void CompleteEveryCancelled(bool every)
    {
        std::lock_guard lock(m_mutex);
        m_completeEveryCancelled = every;
    }
    // While held, BatchRead waits inside the hook (on the device's I/O thread) until Release.
    void HoldBatches(bool hold)
    {
        {
            std::lock_guard lock(m_mutex);
            m_holdBatches = hold;
        }
        m_changed.notify_all();
    }

    // Completes the oldest (or newest) count queued transfers in one batch callback.
    void Complete(uint32_t count, ZKRESULT result = ZK_Success, bool newestFirst = false)
    {
        {
            std::lock_guard lock(m_mutex);
            m_commands.push_back({count, result, newestFirst});
        }
        m_changed.notify_all();
    }
    void CompleteAll(ZKRESULT result = ZK_Success) { Complete(0xFFFFFFFFu, result); }

    // Waits until the hook has received at least count transfers in all.
    void WaitForReceived(size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_received.size() >= count; });
    }
    // Waits until BatchCancel was called count times in all.
    void WaitForCancelCalls(size_t count)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_cancelCalls >= count; });
    }
    // Waits at most within until the hook has completed more than count transfers (cancellations
    // not counted), their callbacks returned; false when the time ran out.
    bool WaitForCompletedBeyond(size_t count, std::chrono::milliseconds within)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, within, [&] { return m_completedCount > count; });
    }
    // Waits until the I/O thread is held inside BatchRead.
    void WaitForHeldBatch()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_insideHeldBatch; });
    }
    // Waits until the hook's thread has carried out every completion asked for (and every
    // cancellation) and is idle; transfers nobody asked to complete stay queued.
    void WaitUntilDrained()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_cancelled.empty() && m_commands.empty() && !m_busy; });
    }

    std::vector<Received> ReceivedTransfers()
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    std::vector<size_t> BatchSizes()
    {
        std::lock_guard lock(m_mutex);
        return m_batchSizes;
    }
    size_t QueuedCount()
    {
        std::lock_guard lock(m_mutex);
        return m_queue.size();
    }
    size_t CompletedCount()
    {
        std::lock_guard lock(m_mutex);
        return m_completedCount;
    }
    size_t CancelCount()
    {
        std::lock_guard lock(m_mutex);
        return m_cancelCalls;
    }
    // Transfers BatchCancel named that the hook neither had queued nor was completing.
    size_t CancelsOfTransfersNotHeld()
    {
        std::lock_guard lock(m_mutex);
        return m_cancelsNotHeld;
    }
    int OpenFiles() const { return m_openFiles.load(); }

    // IZkFileLocationResolver
    ZKRESULT OpenByID(uint32_t fileId, uint32_t, ZkFileOpenFlags*, bool& syncOpen, ZkFileDescriptor& fileDesc) override
    {
        std::lock_guard lock(m_mutex);
        auto file = m_files.find(fileId);
        if (file == m_files.end())
            return ZK_FileNotFound;
        syncOpen = true;
        fileDesc.fileSize = static_cast<int64_t>(file->second.size());
        fileDesc.fileHandle = reinterpret_cast<void*>(static_cast<uintptr_t>(fileId) + 1);
        fileDesc.deviceId = m_deviceId;
        ++m_openFiles;
        return ZK_Success;
    }
    ZKRESULT OpenByName(const wchar_t* name, uint32_t openMode, ZkFileOpenFlags* flags, bool& syncOpen,
                        ZkFileDescriptor& fileDesc) override
    {
        uint32_t fileId;
        {
            std::lock_guard lock(m_mutex);
            auto found = m_names.find(name ? name : L"");
            if (found == m_names.end())
                return ZK_FileNotFound;
            fileId = found->second;
        }
        return OpenByID(fileId, openMode, flags, syncOpen, fileDesc);
    }
    // Serves both the resolver and the hook.
    ZKRESULT Close(ZkFileDescriptor& fileDesc) override
    {
        fileDesc.fileHandle = nullptr;
        --m_openFiles;
        return ZK_Success;
    }

    // IZkLowLevelIOHook
    uint32_t GetBlockSize(ZkFileDescriptor&) override { return m_blockSize; }
    bool GetDeviceFlag() override { return false; }

    // IZkIOHookDeferred
    ZKRESULT BatchRead(uint32_t count, const ZkBatchIOItem* items, ZkDeferredBatchCallback callback,
                       ZKRESULT* results) override
    {
        return Batch(count, items, callback, results, false);
    }
    ZKRESULT BatchWrite(uint32_t count, const ZkBatchIOItem* items, ZkDeferredBatchCallback callback,
                        ZKRESULT* results) override
    {
        return Batch(count, items, callback, results, true);
    }
    void BatchCancel(uint32_t count, const ZkBatchCancelItem* items, bool&) override
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_cancelCalls;
            for (uint32_t index = 0; index < count; ++index)
            {
                ZkDeferredTransferInfo* info = items[index].transferInfo;
                const auto named = [&](const Pending& pending) { return pending.info == info; };
                auto queued = std::find_if(m_queue.begin(), m_queue.end(), named);
                if (queued != m_queue.end())
                {
                    m_cancelled.push_back(*queued);
                    m_queue.erase(queued);
                    continue;
                }
                if (std::any_of(m_completing.begin(), m_completing.end(), named))
                    continue; // being completed: its completion follows
                ++m_cancelsNotHeld;
                if (m_completeEveryCancelled)
                    m_cancelled.push_back({info, 0, false, nullptr});
            }
        }
        m_changed.notify_all();
    }

private:
    struct Pending
    {
        ZkDeferredTransferInfo* info;
        uintptr_t fileId;
        bool write;
        ZkDeferredBatchCallback callback;
    };
    struct Command
    {
        uint32_t count;
        ZKRESULT result;
        bool newestFirst;
    };

    ZKRESULT Batch(uint32_t count, const ZkBatchIOItem* items, ZkDeferredBatchCallback callback, ZKRESULT* results,
                   bool write)
    {
        std::unique_lock lock(m_mutex);
        if (m_holdBatches)
        {
            m_insideHeldBatch = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return !m_holdBatches; });
            m_insideHeldBatch = false;
        }
        m_batchSizes.push_back(count);
        std::vector<ZKRESULT> refusal;
        refusal.swap(m_refusal);
        bool allTaken = true;
        for (uint32_t index = 0; index < count; ++index)
        {
            results[index] = index < refusal.size() ? refusal[index] : ZK_Success;
            if (results[index] != ZK_Success)
            {
                allTaken = false;
                continue;
            }
            const auto fileId = reinterpret_cast<uintptr_t>(items[index].fileDesc->fileHandle) - 1;
            m_received.push_back({items[index].transferInfo->filePosition, items[index].transferInfo->requestedSize, write});
            m_queue.push_back({items[index].transferInfo, fileId, write, callback});
        }
        lock.unlock();
        m_changed.notify_all();
        return allTaken ? ZK_Success : ZK_Fail;
    }

    // Moves the bytes of one transfer (hook thread, lock held: the files are guarded by it).
    ZKRESULT Perform(const Pending& pending, ZKRESULT wanted)
    {
        ZkDeferredTransferInfo& info = *pending.info;
        info.bytesTransferred = 0;
        if (wanted != ZK_Success ||
            std::find(m_failPositions.begin(), m_failPositions.end(), info.filePosition) != m_failPositions.end())
            return ZK_Fail;
        std::vector<char>& file = m_files[static_cast<uint32_t>(pending.fileId)];
        if (pending.write)
        {
            if (file.size() < info.filePosition + info.requestedSize)
                file.resize(info.filePosition + info.requestedSize);
            std::memcpy(file.data() + info.filePosition, info.buffer, info.requestedSize);
            info.bytesTransferred = info.requestedSize;
            return ZK_Success;
        }
        const uint64_t available = info.filePosition < file.size() ? file.size() - info.filePosition : 0;
        const uint32_t moved = static_cast<uint32_t>(std::min<uint64_t>(available, info.requestedSize));
        std::memcpy(info.buffer, file.data() + info.filePosition, moved);
        std::memset(static_cast<char*>(info.buffer) + moved, 0, info.requestedSize - moved);
        info.bytesTransferred = moved;
        return ZK_Success;
    }

    void Run()
    {
        std::unique_lock lock(m_mutex);
        for (;;)
        {
            m_changed.wait(lock, [&] {
                return m_stop || !m_cancelled.empty() || !m_commands.empty() || (m_automatic && !m_queue.empty());
            });
            if (m_stop)
                return;
            std::vector<Pending> batch;
            std::vector<ZKRESULT> results;
            bool cancelled = false;
            if (!m_cancelled.empty())
            {
                batch.assign(m_cancelled.begin(), m_cancelled.end());
                m_cancelled.clear();
                results.assign(batch.size(), ZK_Fail);
                cancelled = true;
            }
            else
            {
                Command command{0xFFFFFFFFu, ZK_Success, false};
                if (!m_commands.empty())
                {
                    command = m_commands.front();
                    m_commands.pop_front();
                }
                while (!m_queue.empty() && batch.size() < command.count)
                {
                    if (command.newestFirst)
                    {
                        batch.push_back(m_queue.back());
                        m_queue.pop_back();
                    }
                    else
                    {
                        batch.push_back(m_queue.front());
                        m_queue.pop_front();
                    }
                }
                for (const Pending& pending : batch)
                    results.push_back(Perform(pending, command.result));
            }
            m_busy = true;
            m_completing = batch;
            const uint32_t latencyMs = m_latencyMs;
            lock.unlock();
            // The hook's own latency, when asked for; no test waits on it.
            if (latencyMs > 0 && !cancelled)
                std::this_thread::sleep_for(std::chrono::milliseconds(latencyMs));
            if (cancelled)
            {
                for (size_t index = 0; index < batch.size(); ++index)
                    batch[index].info->callback(batch[index].info, results[index]);
            }
            else if (!batch.empty())
            {
                std::vector<ZkDeferredTransferInfo*> infos;
                for (const Pending& pending : batch)
                    infos.push_back(pending.info);
                batch.front().callback(static_cast<uint32_t>(infos.size()), infos.data(), results.data());
            }
            lock.lock();
            if (!cancelled)
                m_completedCount += batch.size();
            m_completing.clear();
            m_busy = false;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<uint32_t, std::vector<char>> m_files;
    std::map<std::wstring, uint32_t> m_names;
    std::deque<Pending> m_queue;
    std::vector<Pending> m_cancelled;
    std::vector<Pending> m_completing; // taken by the hook's thread, callbacks not yet returned
    std::deque<Command> m_commands;
    std::vector<Received> m_received;
    std::vector<size_t> m_batchSizes;
    std::vector<uint64_t> m_failPositions;
    std::vector<ZKRESULT> m_refusal;
    size_t m_completedCount = 0;
    size_t m_cancelCalls = 0;
    size_t m_cancelsNotHeld = 0;
    bool m_completeEveryCancelled = false;
    std::atomic<int> m_openFiles{0};
    std::atomic<uint32_t> m_deviceId;
    std::atomic<uint32_t> m_blockSize{1};
    uint32_t m_latencyMs = 0;
    bool m_automatic = false;
    bool m_holdBatches = false;
    bool m_insideHeldBatch = false;
    bool m_busy = false;
    bool m_stop = false;
    std::thread m_worker; // last: starts once every member above exists
};

// Bytes whose value tells their position, so a buffer shows where it came from.
inline std::vector<char> PatternBytes(size_t size)
{
    std::vector<char> bytes(size);
    for (size_t index = 0; index < size; ++index)
        bytes[index] = static_cast<char>((index * 7 + index / 251) & 0xFF);
    return bytes;
}

inline bool MatchesPattern(const void* data, uint64_t position, uint32_t size)
{
    const std::vector<char> expected = PatternBytes(position + size);
    return std::memcmp(data, expected.data() + position, size) == 0;
}
} // namespace ZkStreamTest
