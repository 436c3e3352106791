// EngineThread: the engine's own thread, "ZK::EventManager" (the kernel keeps "ZK::EventManage").
// It runs the engine tick whenever its wake-up event is signalled (RenderAudio, the output devices'
// sinks, the pacing thread) and at least every thread time-out (a quarter of a buffer: 5 ms at
// 1024 frames and 48 kHz); while the output is suspended it waits without time-out.
//
// The thread takes the engine-thread properties of the platform settings (priority, affinity, stack
// size). A priority the system refuses for lack of privilege leaves the thread as the system made
// it; any other refusal, or a refused affinity, fails the start.
//
// Life cycle: Start (EventManager::StartThread), Stop (EventManager::StopThread), once each per
// engine run; one engine thread per process.
// Threading: Start and Stop on the thread that starts and stops the engine. The thread sets itself
// up for memory and audio devices on entry and tears that down on exit.
// Ownership: the thread handle and its flags are process-wide.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class EventManager;

class EngineThread
{
public:
    static constexpr const char* kThreadName = "ZK::EventManager";

    // Starts the thread ticking events. 1; 2 when the thread cannot be made or runs already, or its
    // priority or affinity is refused.
    static ZKRESULT Start(EventManager& events);
    // Sets the quit flag, wakes the thread and waits for it to end. Nothing without a thread.
    static void Stop();
    static bool IsRunning();
    // The kernel's id of the engine thread while it runs, else 0.
    static uint32_t ThreadID();
    // Whether the caller is the engine thread.
    static bool IsEngineThread();

private:
    static void Main(void* argument);
};
} // namespace ZK::SoundEngine
