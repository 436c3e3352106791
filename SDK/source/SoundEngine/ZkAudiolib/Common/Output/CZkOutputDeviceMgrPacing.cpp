// The output device manager's life: the pacing thread "ZK Suspended" that keeps the engine ticking
// while no hardware device drives it, the placeholder main device, and the end of every device.
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"
#include "ZkAudiolib/Common/Output/ZkOutputDeviceMgrState.h"
#include "ZkAudiolib/Common/Output/ZkPlatformAudio.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::SoundEngine
{
using OutputDeviceMgrState::Devices;
using OutputDeviceMgrState::Rendering;

namespace
{
constexpr char kPacingThreadName[] = "ZK Suspended";
} // namespace

void CZkOutputDeviceMgr::PacingThreadMain(void*)
{
    ZK::MemoryMgr::InitForThread();
    OutputDeviceMgrState::Render& render = Rendering();
    const uint32_t duration = BufferDurationMs();
    while (!render.quit.load(std::memory_order_acquire))
    {
        render.pacingEvent.Wait();
        while (render.idle.load(std::memory_order_acquire))
        {
            if (render.quit.load(std::memory_order_acquire))
                break;
            if (ShouldWakeEngine())
                EngineWakeEvent::Signal();
            ZK::Platform::SleepMilliseconds(duration);
        }
    }
    ZK::MemoryMgr::TermForThread();
}

ZKRESULT CZkOutputDeviceMgr::StartPacingThread()
{
    OutputDeviceMgrState::Render& render = Rendering();
    render.savedGain = -1.0f;
    render.currentGain = 1.0f;
    render.previousGain = 1.0f;
    render.state.store(Render_Running, std::memory_order_relaxed);
    render.countdownMs = 0;
    render.quit.store(false, std::memory_order_relaxed);
    render.renderWhileSuspended.store(1, std::memory_order_relaxed);
    if (!render.pacingEvent.Init(ZK::Platform::EventReset::Auto))
        return ZK_Fail;

    const ZK::Platform::ThreadProperties properties =
        ThreadStartProperties(GetPlatformInitSettings().outputThread, kPacingThreadName);
    const ZK::Platform::ThreadStartResult started =
        ZK::Platform::StartThread(render.pacingThread, &PacingThreadMain, nullptr, properties);
    if (started.status != ZK::Platform::ThreadStartStatus::Started)
    {
        render.pacingEvent.Term();
        return ZK_Fail;
    }

    // No device yet: the pacing thread drives the engine until the main output starts.
    InitPendingDevices(true);
    ZkOutputSettings empty;
    CZkOutputDevice* placeholder = ZK::ZkNew<CZkOutputDevice>(CZkOutputDevice::kPool, 0, empty, true, true);
    if (placeholder == nullptr)
        return ZK_InsufficientMemory;
    if (placeholder->InstallBaseSink(CZkOutputDevice::State_Running) != ZK_Success ||
        placeholder->SetDefaultSpeakerAngles() != ZK_Success)
    {
        DestroyDevice(placeholder);
        return ZK_InsufficientMemory;
    }
    Link(placeholder);
    return ZK_Success;
}

void CZkOutputDeviceMgr::TermDevices()
{
    OutputDeviceMgrState::DeviceList& list = Devices();
    // The other devices first, the main device last, each removal reported.
    for (;;)
    {
        CZkOutputDevice* victim = nullptr;
        for (CZkOutputDevice* device = list.head; device != nullptr; device = device->next)
        {
            if (victim == nullptr || !device->IsMain())
                victim = device;
            if (!device->IsMain())
                break;
        }
        if (victim == nullptr)
            break;
        RemoveDevice(victim, true);
    }
    OutputDeviceMgrState::Render& render = Rendering();
    render.currentGain = 1.0f;
    render.previousGain = 1.0f;
    if (list.captureName != nullptr)
        ZK::MemoryMgr::Free(CZkOutputDevice::kPool, list.captureName);
    list.captureName = nullptr;
    list.listenerUnion.Term();
    list.mainOutputStatus = MainOutput_Unknown;

    render.idle.store(false, std::memory_order_release);
    render.quit.store(true, std::memory_order_release);
    if (render.pacingEvent.IsInitialized())
        render.pacingEvent.Set();
    ZK::Platform::JoinThread(render.pacingThread);
    render.pacingEvent.Term();
    render.notificationCounter.store(0, std::memory_order_relaxed);
    render.processedNotifications = 0;
    render.state.store(Render_Running, std::memory_order_relaxed);
    render.countdownMs = 0;
    render.savedGain = -1.0f;
}
} // namespace ZK::SoundEngine
