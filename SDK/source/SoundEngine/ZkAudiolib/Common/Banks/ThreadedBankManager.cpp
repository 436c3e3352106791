#include "ZkAudiolib/Common/Banks/ThreadedBankManager.h"

#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
using ZK::Platform::ZkScopedLock;

namespace
{
// One bank thread per process: a second start fails while the first runs.
std::atomic<bool> g_bankThreadRuns{false};
} // namespace

ThreadedBankManager::~ThreadedBankManager()
{
    StopThread();
    ThreadedBankManager::Term();
}

ZKRESULT ThreadedBankManager::Init()
{
    ZKRESULT result = BankManager::Init();
    if (result != ZK_Success)
        return result;
    {
        ZkScopedLock guard(m_queueLock);
        result = m_queue.Init();
    }
    if (result != ZK_Success)
        return result;
    if (!m_wake.Init(ZK::Platform::EventReset::Auto))
        return ZK_Fail;
    if (g_bankThreadRuns.exchange(true))
        return ZK_Fail;
    m_stop.store(false, std::memory_order_release);

    const ZK::Platform::ThreadProperties properties =
        ThreadStartProperties(GetPlatformInitSettings().bankThread, kThreadName);
    // A priority refused for lack of privilege leaves the thread as the system made it (the platform
    // layer reports it started); any other refusal, or a refused affinity, fails the start.
    const ZK::Platform::ThreadStartResult started = ZK::Platform::StartThread(m_thread, &ThreadMain, this, properties);
    if (started.status != ZK::Platform::ThreadStartStatus::Started)
    {
        g_bankThreadRuns.store(false);
        return ZK_Fail;
    }
    return ZK_Success;
}

void ThreadedBankManager::StopThread()
{
    m_stop.store(true, std::memory_order_release);
    if (m_thread.IsValid())
    {
        m_wake.Set();
        ZK::Platform::JoinThread(m_thread);
        g_bankThreadRuns.store(false);
    }
    m_wake.Term();
}

ZKRESULT ThreadedBankManager::Term()
{
    {
        ZkScopedLock guard(m_queueLock);
        m_queue.Term(); // what is still queued is dropped: no callback is called
    }
    return BankManager::Term();
}

ZKRESULT ThreadedBankManager::SubmitRequest(BankRequest& request)
{
    ZkScopedLock guard(m_queueLock);
    if (!m_queue.Push(request))
    {
        FreeRequestHoldings(request);
        return ZK_InsufficientMemory;
    }
    if (request.callback != nullptr)
    {
        const ZKRESULT registered = Cookies().Add(request.cookie);
        if (registered != ZK_Success)
        {
            m_queue.PopLast();
            FreeRequestHoldings(request);
            return registered;
        }
    }
    m_wake.Set();
    return ZK_Success;
}

ZKRESULT ThreadedBankManager::PrepareWait(BankSyncWait& wait)
{
    return wait.Prepare();
}

ZKRESULT ThreadedBankManager::Wait(BankSyncWait& wait, ZKRESULT submitResult)
{
    const ZKRESULT result = submitResult == ZK_Success ? AwaitWithEngine(wait) : submitResult;
    wait.event.Term();
    return result;
}

uint32_t ThreadedBankManager::QueuedRequests()
{
    ZkScopedLock guard(m_queueLock);
    return m_queue.Length();
}

uint32_t ThreadedBankManager::ExtraNodes()
{
    ZkScopedLock guard(m_queueLock);
    return m_queue.ExtraNodes();
}

bool ThreadedBankManager::TakeRequest(BankRequest& request)
{
    ZkScopedLock guard(m_queueLock);
    return m_queue.Pop(request);
}

void ThreadedBankManager::ThreadMain(void* argument)
{
    static_cast<ThreadedBankManager*>(argument)->Run();
}

void ThreadedBankManager::Run()
{
    ZK::MemoryMgr::InitForThread();
    m_threadID.store(ZK::Platform::CurrentThreadId(), std::memory_order_release);
    for (;;)
    {
        m_wake.Wait();
        if (m_stop.load(std::memory_order_acquire))
            break;
        BankRequest request;
        while (TakeRequest(request))
        {
            ExecuteRequest(request);
            FreeRequestHoldings(request);
        }
    }
    m_threadID.store(0, std::memory_order_release);
    ZK::MemoryMgr::TermForThread();
}
} // namespace ZK::SoundEngine
