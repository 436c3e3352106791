// AlsaPump: the thread that turns an ALSA PCM's readiness into the stream's event. It waits on the
// PCM's poll descriptors and sets the event when the PCM has room for a period (or reports an
// error, so that the stream's owner finds out at its next call), at most once per period; while
// the PCM is not running (nothing queued yet, or after an underrun) its descriptors stay ready and
// the period alone paces the event, so the owner keeps being woken to write.
//
// Threading: Start and Stop on the stream's thread; the pump thread only polls and sets the event.
// Ownership: the stream owns the pump; the PCM and the event must outlive Stop.
#pragma once

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformThread.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdint>

namespace ZK::Platform
{
class AlsaPump
{
public:
    AlsaPump() = default;
    ~AlsaPump() { Stop(); }
    AlsaPump(const AlsaPump&) = delete;
    AlsaPump& operator=(const AlsaPump&) = delete;

    // False when the thread or its stop signal cannot be made.
    bool Start(snd_pcm_t* pcm, ZkEvent* event, uint32_t periodMicroseconds);
    void Stop();
    bool IsRunning() const { return m_thread.IsValid(); }

private:
    static void Main(void* argument);
    void Run();
    // Waits on the stop signal alone; true when it was given.
    bool WaitForStop(int timeoutMilliseconds) const;

    snd_pcm_t* m_pcm = nullptr;
    ZkEvent* m_event = nullptr;
    uint32_t m_periodMicroseconds = 0;
    int m_stopSignal = -1; // an eventfd
    ZkThreadHandle m_thread;
};
} // namespace ZK::Platform
