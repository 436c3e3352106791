// CZkIOThread: the worker thread of one stream device ("ZK::IOThread"), base of every device. The
// thread sleeps until a stream needs I/O and a transfer slot is free, then asks its device for one
// transfer (PerformIO). Streams raise and lower the work counters; transfers take and give back
// slots; the device's I/O memory pauses and resumes automatic streams when memory runs out and
// comes back.
//
// Threading: Start and Stop run on the thread that creates and destroys the device. The counter
// operations may be called from any thread; they take the I/O lock, which is held only briefly and
// never while waiting. PerformIO, ClearStreamsOnStop and OnThreadStart run on the I/O thread.
// Ownership: the thread and its events belong to this object; Stop ends the thread and closes them.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>

#include "Platform/PlatformEvent.h"
#include "Platform/PlatformLock.h"
#include "Platform/PlatformThread.h"

#include <cstdint>

namespace ZK::StreamMgr
{
constexpr const char* kIOThreadName = "ZK::IOThread";
// While stopping, the thread looks again for streams whose owners destroyed them this often.
constexpr uint32_t kStopPollIntervalMs = 100;

class CZkIOThread
{
public:
    CZkIOThread() = default;
    virtual ~CZkIOThread();
    CZkIOThread(const CZkIOThread&) = delete;
    CZkIOThread& operator=(const CZkIOThread&) = delete;

    // One transfer (or none, when nothing is ready). Called on the I/O thread without the I/O lock.
    virtual void PerformIO() = 0;
    // Called on the I/O thread after Stop: kills and frees what it can; true when no stream is left.
    virtual bool ClearStreamsOnStop() = 0;
    virtual void OnThreadStart() = 0;

    // Starts the thread: 1, or 2 when the thread, an event, or the priority or affinity (a priority
    // of kThreadPriorityUnchanged excepted) could not be had; nothing is left running then.
    ZKRESULT Start(int32_t priority, uint32_t affinityMask, uint32_t stackBytes);
    // Sets the stop event and waits until the thread has ended (it ends once the device's streams
    // are gone), then closes the events.
    void Stop();

    void AddStandardStream();
    void RemoveStandardStream();
    void AddAutomaticStream();
    void RemoveAutomaticStream();
    void BeginTransfer();
    void EndTransfer();
    void PauseAutomaticStreams();
    void ResumeAutomaticStreams();

    bool AutomaticStreamsPaused();
    // No transfer in flight and no stream waiting for I/O (automatic streams paused for memory
    // count as waiting for nothing): what a test driving the engine faster than real time waits
    // for, so that streams are as full at every frame as a real-time run keeps them.
    bool IsIdle();
    uint32_t TransfersInFlight();
    uint32_t MaxTransfersInFlight();
    void SetMaxTransfersInFlight(uint32_t maximum);
    bool IsRunning() const { return m_thread.IsValid(); }
    // Exit code of the last thread, valid after Stop: 0 after a clean stop, 1 after a failed wait.
    int LastExitCode() const { return m_exitCode; }

    // Guards the device's I/O memory and transfer records as well as the counters here.
    Platform::ZkCriticalSection& IOLock() { return m_ioLock; }

protected:
    // True when a transfer slot is free (read under the I/O lock). The thread asks for a transfer
    // only then, even when work is signalled.
    bool HasFreeTransferSlot();

private:
    static void ThreadMain(void* argument);
    // Returns the thread's exit code: 0 after a clean stop, 1 after a failed wait.
    int Run();
    void CloseEvents();

    Platform::ZkThreadHandle m_thread;
    Platform::ZkCriticalSection m_ioLock;
    Platform::ZkEvent m_stopEvent;        // manual-reset, created clear
    Platform::ZkEvent m_transferSlotEvent; // manual-reset, set while a slot is free
    Platform::ZkEvent m_standardWorkEvent; // manual-reset, set while a standard stream needs I/O
    Platform::ZkEvent m_automaticWorkEvent; // manual-reset, set while an automatic stream needs I/O
    uint32_t m_maxTransfersInFlight = 0;
    int32_t m_standardCount = 0;
    int32_t m_automaticCount = 0;
    uint32_t m_transfersInFlight = 0;
    bool m_automaticPaused = false;
    int m_exitCode = 0;
};
} // namespace ZK::StreamMgr
