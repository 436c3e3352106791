// The event manager's tick: the frames to render, the loop of messages, due actions, positions and
// rendered frames with the global callbacks at their fixed points, the end of a game frame, and the
// start and stop of whoever ticks (the engine thread, or the game's thread without one).
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include "ZkAudiolib/Common/Buffers/AudioBufferPool.h"
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineMessageHandlers.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EngineThread.h"
#include "ZkAudiolib/Common/GameObjects/CZkRegistryMgr.h"
#include "ZkAudiolib/Common/Mixing/ZkFlushDenormals.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Parameters/CZkModulatorMgr.h"
#include "ZkAudiolib/Common/Parameters/CZkTransitionMgr.h"
#include "ZkAudiolib/Common/Playback/CZkActiveInstances.h"
#include "ZkAudiolib/Common/Playback/CZkSharedItemArray.h"
#include "ZkAudiolib/Common/Playback/ZkVoiceLists.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include "Platform/PlatformClock.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace ZK::SoundEngine
{
namespace
{
constexpr double kSecondsPerMillisecond = 0.001;

void Callbacks(ZK::ZkGlobalCallbackLocation location)
{
    GlobalCallbacks::Dispatch(location);
}

// The whole frames of x (clamped to the 32-bit range).
uint32_t WholeFrames(double x)
{
    if (!(x > 0.0))
        return 0;
    if (x >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return static_cast<uint32_t>(x);
}
} // namespace

void EventManager::Tick(bool synchronous)
{
    // In offline rendering only the game's RenderAudio drives the engine.
    if (IsOfflineRendering() && !synchronous)
        return;
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    m_tick.tickStartTime = ZK::Platform::PerformanceCounter();
    Callbacks(ZK::ZkGlobalCallbackLocation_Begin);

    uint32_t frames = FramesToRender();
    if (frames > 0)
    {
        m_tick.lastRenderTime = std::max(m_tick.lastRenderTime, m_tick.tickStartTime);
        m_tick.idleTicks = 0;
    }
    else
    {
        CountIdleTick();
    }

    for (;;)
    {
        if (frames > 0)
            Callbacks(ZK::ZkGlobalCallbackLocation_PreProcessMessages);
        // Each frame applies the messages that arrived while the previous one rendered.
        bool deviceChanged = false;
        const bool processed = ProcessMessages(deviceChanged);
        if (deviceChanged ||
            CZkOutputDeviceMgr::NotificationCounter() != CZkOutputDeviceMgr::ProcessedNotificationCount())
            frames = FramesToRender();
        const bool executed = ExecuteDuePendingActions();
        if (processed || executed)
            m_tick.dirty = true;
        if (m_tick.dirty && frames > 0)
        {
            if (g_pRegistryMgr != nullptr)
                g_pRegistryMgr->FlushDirtyGameObjects();
            Callbacks(ZK::ZkGlobalCallbackLocation_PostMessagesProcessed);
            if (g_pRegistryMgr != nullptr)
                g_pRegistryMgr->UpdatePositions();
            m_tick.dirty = false;
        }
        CZkAudioRenderer::UpdateGraph();
        if (ZkVoiceLists::StartPending())
            ZkVoiceLists::ProcessActiveNodes();
        if (frames == 0)
            break;
        RenderFrame();
        --frames;
        std::atomic_ref<uint32_t>(frameCounter).store(frameCounter + 1, std::memory_order_relaxed);
    }
    Callbacks(ZK::ZkGlobalCallbackLocation_End);
}

void EventManager::RenderFrame()
{
    Callbacks(ZK::ZkGlobalCallbackLocation_BeginRender);
    const uint32_t nextFrame = frameCounter + 1;
    if (g_pTransitionMgr != nullptr)
        g_pTransitionMgr->ProcessTransitions(nextFrame);
    if (g_pSharedItemArray != nullptr)
        g_pSharedItemArray->ForEachActive(nextFrame);
    ZkVoiceLists::ProcessActive();
    if (g_pModulatorMgr != nullptr)
        g_pModulatorMgr->Update();
    RenderPassNoDenormals(&CZkAudioRenderer::RenderPass);
    AudioBufferPool::Flush();
    CZkActiveInstances::FlushCommands();
    Callbacks(ZK::ZkGlobalCallbackLocation_EndRender);
}

void EventManager::CountIdleTick()
{
    ++m_tick.idleTicks;
    // A buffer shorter than 1 ms counts as 1 ms.
    const uint32_t bufferMs = std::max(1u, ZkAudioSettings::BufferDurationMs());
    const uint32_t timeoutMs = GetEngineSettings().tickTimeoutMs;
    if (m_tick.idleTicks <= timeoutMs / bufferMs || !CZkOutputDeviceMgr::ShouldWakeEngine())
        return;
    const double idleMs =
        static_cast<double>(m_tick.tickStartTime - m_tick.lastRenderTime) / TicksPerMillisecond();
    if (idleMs <= timeoutMs)
        return;
    // No frame for longer than the device time-out: the devices waiting for a new start get one.
    CZkOutputDeviceMgr::InitPendingDevices(CZkOutputDeviceMgr::RendersWhileSuspended());
    m_tick.lastRenderTime = m_tick.tickStartTime;
    m_tick.idleTicks = 0;
}

uint32_t EventManager::FramesToRender()
{
    const uint32_t ready = CZkOutputDeviceMgr::PlatformUpdateDevices();
    const double rate = ZkAudioSettings::SampleRate();
    const double framesPerBuffer = std::max<uint16_t>(1, ZkAudioSettings::FramesPerBuffer());
    if (IsOfflineRendering())
    {
        const float seconds = m_offlineFrameTimeSeconds;
        if (seconds > 0.0f)
        {
            const double x = rate * seconds / framesPerBuffer + m_tick.frameFraction;
            const uint32_t frames = WholeFrames(x);
            m_tick.frameFraction = static_cast<float>(x - frames);
            return frames;
        }
        m_tick.frameFraction = 0.0f;
        return ready;
    }
    if (!CZkOutputDeviceMgr::IsIdle())
    {
        m_tick.frameFraction = 0.0f;
        return ready;
    }

    // Timer mode: no device consumes buffers, so the clock says how many frames are due.
    if (CZkOutputDeviceMgr::GetRenderState() == CZkOutputDeviceMgr::Render_Suspended &&
        !CZkOutputDeviceMgr::RendersWhileSuspended())
    {
        m_tick.frameFraction = 0.0f;
        return 1;
    }
    if (m_tick.lastRenderTime > m_tick.tickStartTime)
        return 0;
    const double elapsedMs =
        static_cast<double>(m_tick.tickStartTime - m_tick.lastRenderTime) / TicksPerMillisecond();
    const double x = elapsedMs * (rate / framesPerBuffer * kSecondsPerMillisecond) + m_tick.frameFraction;
    const uint32_t frames = WholeFrames(x);
    if (frames > 0)
        m_tick.frameFraction = static_cast<float>(x - frames);
    // After a stall of more than a second of buffers, one frame instead of catching up.
    const auto buffersPerSecond = static_cast<uint32_t>(rate / framesPerBuffer);
    return frames > buffersPerSecond ? 1 : frames;
}

void EventManager::RenderPassNoDenormals(RenderStep step)
{
    ZkFlushDenormals flushToZero;
    step();
}

ZKRESULT EventManager::EndFrame(bool allowSyncRender)
{
    const bool posted = m_ring.EndFrame(nullptr);
    if (IsOfflineRendering() || (allowSyncRender && GetEngineSettings().engineThread == 0))
        Tick(true);
    else if (posted)
        EngineWakeEvent::Signal();
    return ZK_Success;
}

ZKRESULT EventManager::ResetTimingReference()
{
    m_tick.lastRenderTime = ZK::Platform::PerformanceCounter();
    return ZK_Success;
}

ZKRESULT EventManager::StartThread()
{
    SeedEngineRandom(0);
    ZKRESULT result = ZK_Success;
    if (GetEngineSettings().engineThread != 0)
    {
        result = EngineThread::Start(*this);
        if (result == ZK_Success)
            m_tick.driver = TickState::Driver::OwnThread;
    }
    else
    {
        InitAudioThreadCOM();
        m_tick.driver = TickState::Driver::Caller;
    }
    EndFrame(false);
    return result;
}

void EventManager::StopThread()
{
    if (m_tick.driver == TickState::Driver::OwnThread)
        EngineThread::Stop();
    else if (m_tick.driver == TickState::Driver::Caller)
        TermAudioThreadCOM();
    m_tick.driver = TickState::Driver::None;
}
} // namespace ZK::SoundEngine
