#include "ZkAudiolib/Common/FrontEnd/MainOutputGate.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/EngineSettings.h"
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"
#include "ZkAudiolib/Common/Output/CZkOutputDeviceMgr.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"

#include "Platform/PlatformThread.h"

namespace ZK::SoundEngine
{
namespace
{
constexpr uint32_t kMaxRounds = 200;
constexpr uint32_t kRoundMs = 5;

struct MainOutputState
{
    int32_t status;
    uint32_t deviceCount;
};

MainOutputState ReadState()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    return {CZkOutputDeviceMgr::GetMainOutputStatus(), CZkOutputDeviceMgr::DeviceCount()};
}

bool IsPending(const MainOutputState& state)
{
    return state.status == CZkOutputDeviceMgr::MainOutput_Unknown;
}

// One round of waiting: the engine thread is woken and given 5 ms, or, without it, the caller ticks.
void GiveTheEngineARound(EventManager& events)
{
    if (!EngineTicksByItself())
    {
        events.Tick(true);
        return;
    }
    EngineWakeEvent::Signal();
    ZK::Platform::SleepMilliseconds(kRoundMs);
}
} // namespace

ZKRESULT WaitForMainOutput()
{
    EventManager* events = g_pEventMgr;
    if (events == nullptr || !IsInitialized())
        return ZK_Fail;
    MainOutputState state = ReadState();
    for (uint32_t round = 0; round < kMaxRounds && IsPending(state) && state.deviceCount == 0; ++round)
    {
        GiveTheEngineARound(*events);
        state = ReadState();
    }
    for (uint32_t round = 0; round < kMaxRounds && IsPending(state); ++round)
    {
        events->EndFrame(true);
        GiveTheEngineARound(*events);
        state = ReadState();
    }
    return state.status == CZkOutputDeviceMgr::MainOutput_Ready ? ZK_Success : ZK_MainOutputNotReady;
}
} // namespace ZK::SoundEngine
