// The engine thread's wake-up event: an auto-reset event made at the platform audio start-up and
// closed when the renderer ends. The game's render requests, the endpoint of the system sink, the
// pacing thread of the output devices and a main device's sink set it; the engine thread waits on
// it.
//
// Threading: Create and Destroy on the thread that starts and stops the engine, while no other
// thread uses the event; Signal from any thread in between (it does nothing without an event).
// Ownership: one process-wide event.
#pragma once

#include "Platform/PlatformEvent.h"

namespace ZK::SoundEngine::EngineWakeEvent
{
// Makes the event (auto-reset, not signalled). False when the system refuses.
bool Create();
void Destroy();
bool IsCreated();
void Signal();
// The event itself, for the engine thread's wait.
ZK::Platform::ZkEvent& Get();
} // namespace ZK::SoundEngine::EngineWakeEvent
