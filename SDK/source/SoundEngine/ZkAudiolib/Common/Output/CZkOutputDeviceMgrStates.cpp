// The output device manager's per-tick decision: how many buffers the devices want, lost devices
// and their retries, the endpoint notifications, and the suspend and wake-up transitions.
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/CZkMMDeviceNotifier.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkOutputDeviceMgrState.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"
#include "ZkAudiolib/Common/Plugins/GlobalCallbacks.h"
#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"
#include "ZkAudiolib/Common/Voice/ZkAudioSettings.h"

#include <algorithm>
#include <limits>

namespace ZK::SoundEngine
{
using OutputDeviceMgrState::Devices;
using OutputDeviceMgrState::Rendering;

namespace
{
constexpr uint32_t kMillisecondsPerSecond = 1000;
constexpr uint32_t kNoLimit = std::numeric_limits<uint32_t>::max();

uint32_t FrameCounter()
{
    return g_pEventMgr != nullptr ? g_pEventMgr->frameCounter : 0;
}

void ResetTimingReference()
{
    if (g_pEventMgr != nullptr)
        g_pEventMgr->ResetTimingReference();
}
} // namespace

uint32_t CZkOutputDeviceMgr::BufferDurationMs()
{
    const uint32_t duration = ZkAudioSettings::BufferDurationMs();
    return duration < 1 ? kDefaultBufferDurationMs : duration;
}

uint32_t CZkOutputDeviceMgr::GetRenderState()
{
    return Rendering().state.load(std::memory_order_relaxed);
}

bool CZkOutputDeviceMgr::RendersWhileSuspended()
{
    return Rendering().renderWhileSuspended.load(std::memory_order_relaxed) != 0;
}

bool CZkOutputDeviceMgr::IsIdle()
{
    return Rendering().idle.load(std::memory_order_relaxed);
}

bool CZkOutputDeviceMgr::ShouldWakeEngine()
{
    return GetRenderState() != Render_Suspended || RendersWhileSuspended();
}

float CZkOutputDeviceMgr::CurrentOutputGain()
{
    return Rendering().currentGain;
}

float CZkOutputDeviceMgr::PreviousOutputGain()
{
    return Rendering().previousGain;
}

uint32_t CZkOutputDeviceMgr::CountdownMs()
{
    return Rendering().countdownMs;
}

void CZkOutputDeviceMgr::RaiseNotificationCounter()
{
    Rendering().notificationCounter.fetch_add(1, std::memory_order_relaxed);
}

int32_t CZkOutputDeviceMgr::NotificationCounter()
{
    return Rendering().notificationCounter.load(std::memory_order_relaxed);
}

int32_t CZkOutputDeviceMgr::ProcessedNotificationCount()
{
    return Rendering().processedNotifications;
}

ZKRESULT CZkOutputDeviceMgr::InitPendingDevices(bool renderWhileSuspended)
{
    ZKRESULT result = ZK_Success;
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->GetState() == CZkOutputDevice::State_OnBaseSink)
            continue;
        const ZKRESULT installed = device->InstallBaseSink(CZkOutputDevice::State_OnBaseSink);
        if (installed != ZK_Success && result == ZK_Success)
            result = installed;
    }
    CZkAudioRenderer::SetGraphDirty(0);
    OutputDeviceMgrState::Render& render = Rendering();
    render.renderWhileSuspended.store(renderWhileSuspended ? 1 : 0, std::memory_order_relaxed);
    render.idle.store(result == ZK_Success, std::memory_order_relaxed);
    render.pacingEvent.Set();
    return result;
}

ZKRESULT CZkOutputDeviceMgr::CompleteTransition(bool renderWhileSuspended)
{
    OutputDeviceMgrState::Render& render = Rendering();
    render.countdownMs = 0;
    if (render.state.load(std::memory_order_relaxed) == Render_Suspending)
    {
        render.renderWhileSuspended.store(renderWhileSuspended ? 1 : 0, std::memory_order_relaxed);
        const ZKRESULT result = InitPendingDevices(renderWhileSuspended);
        if (result == ZK_Success)
        {
            render.state.store(Render_Suspended, std::memory_order_relaxed);
            GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_Suspend);
        }
        return result;
    }
    // Waking up: the gain comes back at once and every device waiting on the base sink starts again.
    if (render.savedGain >= 0.0f)
        render.currentGain = render.savedGain;
    render.savedGain = -1.0f;
    render.renderWhileSuspended.store(1, std::memory_order_relaxed);
    render.state.store(Render_Running, std::memory_order_relaxed);
    for (CZkOutputDevice* device = Devices().head; device != nullptr; device = device->next)
    {
        if (device->GetState() != CZkOutputDevice::State_Running)
            device->SetState(CZkOutputDevice::State_Lost);
    }
    EngineWakeEvent::Signal();
    UpdateDeviceStates(true);
    GlobalCallbacks::Dispatch(ZK::ZkGlobalCallbackLocation_WakeupFromSuspend);
    return ZK_Success;
}

ZKRESULT CZkOutputDeviceMgr::SetSuspended(bool suspend, bool renderWhileSuspended, uint32_t delayMs)
{
    OutputDeviceMgrState::Render& render = Rendering();
    const uint32_t target = suspend ? Render_Suspended : Render_Running;
    const uint32_t state = render.state.load(std::memory_order_relaxed);
    if (state == target)
    {
        render.renderWhileSuspended.store(suspend && !renderWhileSuspended ? 0 : 1, std::memory_order_relaxed);
        return ZK_PartialSuccess;
    }
    const uint32_t duration = BufferDurationMs();
    if (suspend && state == Render_Running)
    {
        // The output fades out over at least two buffers before the devices leave their sinks.
        render.savedGain = render.currentGain;
        render.currentGain = 0.0f;
        render.state.store(Render_Suspending, std::memory_order_relaxed);
        render.countdownMs = std::max(delayMs, 2 * duration);
    }
    else
    {
        render.state.store(suspend ? Render_Suspending : Render_WakingUp, std::memory_order_relaxed);
        render.countdownMs = std::max(delayMs, render.countdownMs);
    }
    if (render.countdownMs >= duration)
    {
        render.renderWhileSuspended.store(renderWhileSuspended ? 1 : 0, std::memory_order_relaxed);
        return ZK_PartialSuccess;
    }
    return CompleteTransition(renderWhileSuspended);
}

uint32_t CZkOutputDeviceMgr::UpdateDeviceStates(bool force)
{
    OutputDeviceMgrState::Render& render = Rendering();
    OutputDeviceMgrState::DeviceList& list = Devices();
    const uint32_t duration = BufferDurationMs();
    // Devices that wait for a new start are retried during the first buffers of every second. A
    // buffer longer than a second still counts one buffer per "second".
    const uint32_t buffersPerSecond = std::max(1u, kMillisecondsPerSecond / duration);
    if (FrameCounter() % buffersPerSecond < GetPlatformInitSettings().numRefillBuffers)
        force = true;

    const uint32_t state = render.state.load(std::memory_order_relaxed);
    if (render.countdownMs == 0 && (state == Render_Suspending || state == Render_WakingUp))
        CompleteTransition(RendersWhileSuspended());

    const int32_t notifications = render.notificationCounter.load(std::memory_order_relaxed);
    if (notifications != render.processedNotifications && list.count != 0)
    {
        render.processedNotifications = notifications;
        if (CZkMMDeviceNotifier* notifier = CZkMMDeviceNotifier::Shared())
            notifier->ProcessNotifications();
        force = false;
    }

    const bool wasIdle = render.idle.load(std::memory_order_relaxed);
    const uint32_t renderState = render.state.load(std::memory_order_relaxed);
    uint32_t count = kNoLimit;
    bool anyDriving = false;
    bool reinitialised = false;
    for (CZkOutputDevice* device = list.head; device != nullptr; device = device->next)
    {
        int32_t action = CZkOutputDevice::State_Lost;
        uint32_t buffers = 0;
        if (device->Sink() == nullptr)
        {
            action = CZkOutputDevice::State_Lost;
        }
        else if (renderState == Render_Running || renderState == Render_Suspending)
        {
            action = device->GetState() == CZkOutputDevice::State_Running ? CZkOutputDevice::State_Running
                                                                          : CZkOutputDevice::State_Lost;
            if (device->Sink()->IsDataNeeded(buffers) == ZK_Fail)
            {
                device->SetDeviceLost();
                action = CZkOutputDevice::State_Lost;
            }
        }
        else
        {
            // Suspended or waking up: a device still on its own sink (a wake-up that reversed a
            // suspension before it completed) still tells how many buffers it takes.
            action = device->GetState();
            if (action == CZkOutputDevice::State_Running && device->Sink()->IsDataNeeded(buffers) == ZK_Fail)
            {
                device->SetDeviceLost();
                action = CZkOutputDevice::State_Lost;
            }
        }

        const bool drives = device->DrivesEngine();
        anyDriving = anyDriving || drives;
        if (action == CZkOutputDevice::State_Running)
        {
            if (drives)
                count = std::min(count, buffers);
        }
        else if (action == CZkOutputDevice::State_Lost && force)
        {
            // Whether the device drives is judged from its state before this new start: a device
            // back from the base sink drives the engine from the next update on.
            if (IsOfflineRendering())
            {
                device->InstallBaseSink(CZkOutputDevice::State_Running);
            }
            else if (device->InitSink() != ZK_Success)
            {
                device->TermEffects();
                device->InstallBaseSink(CZkOutputDevice::State_OnBaseSink);
            }
            else
            {
                ReportDeviceEvent(*device, ZkAudioDeviceEvent_Initialization, ZK_Success);
                ResetTimingReference();
                device->Sink()->IsDataNeeded(buffers);
            }
            reinitialised = true;
        }
    }

    render.idle.store(!anyDriving, std::memory_order_relaxed);
    if (list.head == nullptr)
        return 0;
    if (!anyDriving)
    {
        uint32_t buffers = 0;
        ZK::IZkSinkPlugin* sink = list.head->Sink();
        if (sink == nullptr || sink->IsDataNeeded(buffers) != ZK_Success)
        {
            --render.processedNotifications; // the queue is read again at the next tick
            return 0;
        }
        count = buffers;
        if (!wasIdle)
        {
            InitPendingDevices(true);
            count = 0;
        }
    }
    else if (wasIdle && renderState == Render_Running)
    {
        uint32_t buffers = 0;
        if (list.head->Sink() != nullptr)
            list.head->Sink()->IsDataNeeded(buffers);
        count = buffers;
    }
    if (reinitialised)
        CZkAudioRenderer::SetGraphDirty(0);
    if (count == kNoLimit)
        count = 0;

    if (count > 0)
    {
        const uint64_t span = uint64_t{count} * duration;
        if (span < render.countdownMs)
        {
            render.countdownMs -= static_cast<uint32_t>(span);
        }
        else if (render.state.load(std::memory_order_relaxed) == Render_Suspending)
        {
            count = std::max(1u, render.countdownMs / duration);
            render.countdownMs = 0;
        }
        else if (render.state.load(std::memory_order_relaxed) == Render_WakingUp)
        {
            render.countdownMs = 0;
        }
    }
    return count;
}
} // namespace ZK::SoundEngine
