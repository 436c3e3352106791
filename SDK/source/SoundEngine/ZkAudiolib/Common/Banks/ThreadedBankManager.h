// ThreadedBankManager: the bank manager that runs its requests on a thread of its own,
// "ZK::BankManager". The interface calls only queue their requests (SubmitRequest) and return; the
// thread takes them out one at a time, strictly in the order they were submitted, and executes
// them. The synchronous interface forms wait on an event that the request's callback signals
// (BankSyncWait). Unloads are handed to the engine thread without waiting for it (the callback
// comes from the engine thread once the bank is released).
//
// The thread takes the bank-manager thread properties of the platform settings (priority, affinity,
// stack size); a priority the system refuses for lack of privilege leaves the thread's priority
// unchanged, any other refusal fails the start. One bank thread exists per process.
//
// Life cycle: construct, Init (the plain set-up, the queue's ten nodes, the wake event, the thread),
// requests, StopThread (stops and joins the thread), Term (drops the requests still queued without
// calling their callbacks, then the plain termination), destroy.
// Threading: SubmitRequest, PrepareWait, Wait and CancelCookie from any thread but the bank thread;
// the queue lock guards the queue. Ownership: the queue's nodes and the thread are the manager's.
#pragma once

#include "ZkAudiolib/Common/Banks/BankManager.h"
#include "ZkAudiolib/Common/Banks/BankRequestQueue.h"

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"
#include "Platform/PlatformThread.h"

#include <atomic>
#include <cstdint>

namespace ZK::SoundEngine
{
class ThreadedBankManager final : public BankManager
{
public:
    static constexpr const char* kThreadName = "ZK::BankManager";

    ThreadedBankManager() = default;
    ~ThreadedBankManager() override;

    // The plain set-up, then the queue (52), the wake event and the thread (2 when either cannot be
    // made, or when a bank thread already runs in this process).
    ZKRESULT Init() override;
    ZKRESULT Term() override;
    // Queues a copy of the request and wakes the thread. 1; 52 when no node can be had; the cookie
    // list's failure. A request that is not queued calls no callback (its holdings are freed).
    ZKRESULT SubmitRequest(BankRequest& request) override;
    // The wait record's event (2 when the system refuses it).
    ZKRESULT PrepareWait(BankSyncWait& wait) override;
    // Waits for the callback when the submit result is 1 (running the engine's ticks meanwhile when
    // the engine has no thread of its own) and returns its result; else the submit result. The event
    // is closed either way.
    ZKRESULT Wait(BankSyncWait& wait, ZKRESULT submitResult) override;
    ZkBankCallbackFunc SyncCallback() const override { return &BankSyncWait::Callback; }
    void StopThread() override;
    void CancelCookie(void* cookie) override { Cookies().Cancel(cookie); }
    ZKRESULT UnloadThroughEngine(LoadedBank& bank, ZkBankCallbackFunc callback, void* cookie) override
    {
        return UnloadThroughEngineAsync(bank, callback, cookie);
    }

    bool HasThread() const { return m_thread.IsValid(); }
    // The kernel's id of the bank thread (0 before it runs).
    uint32_t ThreadID() const { return m_threadID.load(std::memory_order_acquire); }
    // Requests queued and not yet taken by the thread; nodes allocated beyond the ten.
    uint32_t QueuedRequests();
    uint32_t ExtraNodes();

private:
    static void ThreadMain(void* argument);
    void Run();
    bool TakeRequest(BankRequest& request);

    ZK::Platform::ZkCriticalSection m_queueLock;
    BankRequestQueue m_queue;
    ZK::Platform::ZkEvent m_wake;
    std::atomic<bool> m_stop{false};
    ZK::Platform::ZkThreadHandle m_thread;
    std::atomic<uint32_t> m_threadID{0};
};
} // namespace ZK::SoundEngine
