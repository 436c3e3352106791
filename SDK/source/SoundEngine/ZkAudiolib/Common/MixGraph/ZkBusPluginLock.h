// ZkBusPluginLock: the lock the buses take around the changes of their objects and effect
// instances while the game's job callback may process other buses on worker threads ("ZK::Bus"
// jobs). Without a job callback every bus runs on the engine thread and the lock is not taken.
//
// Threading: the guard is taken by the engine thread and by bus jobs. Ownership: process-wide.
#pragma once

#include "ZkAudiolib/Common/Renderer/CZkAudioRenderer.h"

#include <Platform/PlatformLock.h>

namespace ZK::SoundEngine
{
ZK::Platform::ZkCriticalSection& BusPluginLock();

class ZkBusPluginGuard
{
public:
    ZkBusPluginGuard() : m_locked(CZkAudioRenderer::HasJobCallback())
    {
        if (m_locked)
            BusPluginLock().Enter();
    }
    ~ZkBusPluginGuard()
    {
        if (m_locked)
            BusPluginLock().Leave();
    }
    ZkBusPluginGuard(const ZkBusPluginGuard&) = delete;
    ZkBusPluginGuard& operator=(const ZkBusPluginGuard&) = delete;

private:
    bool m_locked;
};
} // namespace ZK::SoundEngine
