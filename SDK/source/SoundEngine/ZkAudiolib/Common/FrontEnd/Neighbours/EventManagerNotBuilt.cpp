// The event manager's parts that are not built yet: the tick and the engine thread (ending a frame
// only wakes the engine thread, and the tick on the caller only applies the queued messages), and
// the timing reference. Each answers 4, does nothing and takes no reference. The parts that own
// them replace this file.
#include "ZkAudiolib/Common/FrontEnd/EventManager.h"

#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/Output/ZkEngineWakeEvent.h"

namespace ZK::SoundEngine
{
ZKRESULT EventManager::EndFrame(bool)
{
    m_ring.EndFrame(EngineWakeEvent::IsCreated() ? &EngineWakeEvent::Get() : nullptr);
    return ZK_Success;
}

void EventManager::RunTickOnCaller()
{
    ZK::Platform::ZkScopedLock guard(g_EngineLock);
    bool deviceChanged = false;
    ProcessMessages(deviceChanged);
}

ZKRESULT EventManager::Tick()
{
    return ZK_NotImplemented;
}

ZKRESULT EventManager::StartThread()
{
    return ZK_NotImplemented;
}

ZKRESULT EventManager::StopThread()
{
    return ZK_NotImplemented;
}

ZKRESULT EventManager::ResetTimingReference()
{
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
