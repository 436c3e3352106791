#include "ZkAudiolib/Common/FrontEnd/EngineThread.h"

#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformThread.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <algorithm>
#include <atomic>

namespace ZK::SoundEngine
{
namespace
{
struct ThreadState
{
    ZK::Platform::ZkThreadHandle handle;
    std::atomic<bool> quit{false};
    std::atomic<uint32_t> threadID{0};
};

ThreadState& State()
{
    static ThreadState state;
    return state;
}

// How long the thread sleeps between ticks: the thread time-out (at least 1 ms, so that a buffer
// shorter than 4 ms does not make it spin), or until woken while the output is suspended.
uint32_t WaitMilliseconds()
{
    if (CZkOutputDeviceMgr::GetRenderState() == CZkOutputDeviceMgr::Render_Suspended)
        return ZK::Platform::kWaitInfinite;
    return std::max(1u, ZkAudioSettings::EngineThreadTimeoutMs());
}
} // namespace

ZKRESULT EngineThread::Start(EventManager& events)
{
    ThreadState& state = State();
    if (state.handle.IsValid())
        return ZK_Fail;
    state.quit.store(false, std::memory_order_release);
    const ZK::Platform::ThreadProperties properties =
        ThreadStartProperties(GetPlatformInitSettings().engineThread, kThreadName);
    const ZK::Platform::ThreadStartResult started = ZK::Platform::StartThread(state.handle, &Main, &events, properties);
    return started.status == ZK::Platform::ThreadStartStatus::Started ? ZK_Success : ZK_Fail;
}

void EngineThread::Stop()
{
    ThreadState& state = State();
    state.quit.store(true, std::memory_order_release);
    if (!state.handle.IsValid())
        return;
    EngineWakeEvent::Signal();
    ZK::Platform::JoinThread(state.handle);
    state.threadID.store(0, std::memory_order_release);
}

bool EngineThread::IsRunning()
{
    return State().handle.IsValid();
}

uint32_t EngineThread::ThreadID()
{
    return State().threadID.load(std::memory_order_acquire);
}

bool EngineThread::IsEngineThread()
{
    const uint32_t id = ThreadID();
    return id != 0 && id == ZK::Platform::CurrentThreadId();
}

void EngineThread::Main(void* argument)
{
    auto& events = *static_cast<EventManager*>(argument);
    ThreadState& state = State();
    ZK::MemoryMgr::InitForThread();
    state.threadID.store(ZK::Platform::CurrentThreadId(), std::memory_order_release);
    InitAudioThreadCOM();
    // The first round ticks at once, as if a wait had timed out; every wait, whether woken or timed
    // out, leads to a tick unless the thread is to end.
    do
    {
        events.Tick(false);
        EngineWakeEvent::Get().Wait(WaitMilliseconds());
    } while (!state.quit.load(std::memory_order_acquire));
    TermAudioThreadCOM();
    ZK::MemoryMgr::TermForThread();
}
} // namespace ZK::SoundEngine
