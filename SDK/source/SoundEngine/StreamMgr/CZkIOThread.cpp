#include "StreamMgr/CZkIOThread.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

CZkIOThread::~CZkIOThread()
{
    Stop();
}

ZKRESULT CZkIOThread::Start(int32_t priority, uint32_t affinityMask, uint32_t stackBytes)
{
    bool eventsReady;
    {
        ZkScopedLock lock(m_ioLock);
        eventsReady = m_standardWorkEvent.Init(Platform::EventReset::Manual) &&
                      m_automaticWorkEvent.Init(Platform::EventReset::Manual) &&
                      m_stopEvent.Init(Platform::EventReset::Manual) &&
                      m_transferSlotEvent.Init(Platform::EventReset::Manual);
        m_standardCount = 0;
        m_automaticCount = 0;
        m_transfersInFlight = 0;
        m_automaticPaused = false;
        if (eventsReady)
            m_transferSlotEvent.Set();
    }
    if (!eventsReady)
    {
        CloseEvents();
        return ZK_Fail;
    }

    Platform::ThreadProperties properties;
    properties.name = kIOThreadName;
    properties.stackSizeBytes = stackBytes;
    properties.priority = priority;
    properties.affinityMask = affinityMask;
    // A priority the system refuses for lack of privilege counts as applied-unchanged (the platform
    // layer reports it as started); any other refusal, or a refused affinity, fails the start.
    const Platform::ThreadStartResult started = Platform::StartThread(m_thread, &ThreadMain, this, properties);
    if (started.status != Platform::ThreadStartStatus::Started)
    {
        CloseEvents();
        return ZK_Fail;
    }
    return ZK_Success;
}

void CZkIOThread::Stop()
{
    if (m_thread.IsValid())
    {
        m_stopEvent.Set();
        Platform::JoinThread(m_thread);
    }
    CloseEvents();
}

void CZkIOThread::CloseEvents()
{
    // Under the I/O lock: a stream may still lower its counter (and touch an event) meanwhile.
    ZkScopedLock lock(m_ioLock);
    m_stopEvent.Term();
    m_standardWorkEvent.Term();
    m_automaticWorkEvent.Term();
    m_transferSlotEvent.Term();
    m_standardCount = 0;
    m_automaticCount = 0;
}

void CZkIOThread::ThreadMain(void* argument)
{
    auto* self = static_cast<CZkIOThread*>(argument);
    self->m_exitCode = self->Run();
}

int CZkIOThread::Run()
{
    ZK::MemoryMgr::InitForThread();
    OnThreadStart();

    Platform::ZkEvent* const slotWait[] = {&m_stopEvent, &m_transferSlotEvent};
    Platform::ZkEvent* const workWait[] = {&m_stopEvent, &m_standardWorkEvent, &m_automaticWorkEvent};
    constexpr int kStopSignalled = 0;
    for (;;)
    {
        // Linux waits are not interrupted by completion routines: each wait ends on an event.
        int signalled = Platform::WaitForAnyEvent(slotWait, 2, Platform::kWaitInfinite);
        if (signalled == kStopSignalled)
        {
            if (ClearStreamsOnStop())
                break;
            // The stop event stays set: look again later for streams their owners destroyed.
            Platform::SleepMilliseconds(kStopPollIntervalMs);
            continue;
        }
        if (signalled < 0)
        {
            ZK::MemoryMgr::TermForThread();
            return 1;
        }

        signalled = Platform::WaitForAnyEvent(workWait, 3, Platform::kWaitInfinite);
        if (signalled == kStopSignalled)
            continue; // the slot wait above sees the stop event at once
        if (signalled < 0)
        {
            ZK::MemoryMgr::TermForThread();
            return 1;
        }
        if (HasFreeTransferSlot())
            PerformIO();
    }
    ZK::MemoryMgr::TermForThread();
    return 0;
}

bool CZkIOThread::HasFreeTransferSlot()
{
    ZkScopedLock lock(m_ioLock);
    return m_transfersInFlight < m_maxTransfersInFlight;
}

void CZkIOThread::AddStandardStream()
{
    ZkScopedLock lock(m_ioLock);
    if (++m_standardCount == 1)
        m_standardWorkEvent.Set();
}

void CZkIOThread::RemoveStandardStream()
{
    ZkScopedLock lock(m_ioLock);
    if (--m_standardCount == 0)
        m_standardWorkEvent.Reset();
}

void CZkIOThread::AddAutomaticStream()
{
    ZkScopedLock lock(m_ioLock);
    if (++m_automaticCount == 1 && !m_automaticPaused)
        m_automaticWorkEvent.Set();
}

void CZkIOThread::RemoveAutomaticStream()
{
    ZkScopedLock lock(m_ioLock);
    if (--m_automaticCount == 0)
        m_automaticWorkEvent.Reset();
}

void CZkIOThread::BeginTransfer()
{
    ZkScopedLock lock(m_ioLock);
    if (++m_transfersInFlight >= m_maxTransfersInFlight)
        m_transferSlotEvent.Reset();
}

void CZkIOThread::EndTransfer()
{
    ZkScopedLock lock(m_ioLock);
    if (m_transfersInFlight == m_maxTransfersInFlight)
        m_transferSlotEvent.Set();
    --m_transfersInFlight;
}

void CZkIOThread::PauseAutomaticStreams()
{
    ZkScopedLock lock(m_ioLock);
    m_automaticPaused = true;
    if (m_automaticCount > 0)
        m_automaticWorkEvent.Reset();
}

void CZkIOThread::ResumeAutomaticStreams()
{
    ZkScopedLock lock(m_ioLock);
    if (!m_automaticPaused)
        return;
    m_automaticPaused = false;
    if (m_automaticCount > 0)
        m_automaticWorkEvent.Set();
}

bool CZkIOThread::AutomaticStreamsPaused()
{
    ZkScopedLock lock(m_ioLock);
    return m_automaticPaused;
}

bool CZkIOThread::IsIdle()
{
    ZkScopedLock lock(m_ioLock);
    return m_transfersInFlight == 0 && m_standardCount == 0 && (m_automaticCount == 0 || m_automaticPaused);
}

uint32_t CZkIOThread::TransfersInFlight()
{
    ZkScopedLock lock(m_ioLock);
    return m_transfersInFlight;
}

uint32_t CZkIOThread::MaxTransfersInFlight()
{
    ZkScopedLock lock(m_ioLock);
    return m_maxTransfersInFlight;
}

void CZkIOThread::SetMaxTransfersInFlight(uint32_t maximum)
{
    ZkScopedLock lock(m_ioLock);
    m_maxTransfersInFlight = maximum;
}
} // namespace ZK::StreamMgr
