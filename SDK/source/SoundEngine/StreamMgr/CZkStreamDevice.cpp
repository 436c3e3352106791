#include "StreamMgr/CZkStreamDevice.h"

#include "Platform/PlatformClock.h"
#include "StreamMgr/CZkStreamTask.h"
#include "StreamMgr/StreamMgrAlloc.h"

#include <cmath>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

CZkStreamDevice::CZkStreamDevice(IZkLowLevelIOHook* hook) : m_hook(hook) {}

CZkStreamDevice::~CZkStreamDevice()
{
    // The thread calls back into this object: it must end before any member goes.
    Stop();
    ZkScopedLock lock(IOLock());
    m_ioMemory.Term();
}

ZKRESULT CZkStreamDevice::Init(const ZkDeviceSettings& settings, uint32_t deviceId)
{
    if (settings.granularity == 0)
        return ZK_InvalidParameter;
    // A NaN or infinite target would make every automatic stream's buffering target undefined.
    if (settings.ioMemoryBytes != 0 && !(settings.targetBufferMs >= 0.0f && std::isfinite(settings.targetBufferMs)))
        return ZK_InvalidParameter;
    if ((settings.schedulerKind & ZK_SchedulerDeferred) &&
        (settings.maxTransfersInFlight < 1 || settings.maxTransfersInFlight > ZK_MaxDeferredTransfersInFlight))
        return ZK_InvalidParameter;

    m_granularity = settings.granularity;
    m_targetBufferMs = settings.targetBufferMs;
    m_deviceId = deviceId;
    SetMaxTransfersInFlight(settings.maxTransfersInFlight);
    m_pinnedBytesLimit = settings.pinnedBytesLimit;

    MemoryMgr::ZkIOMemorySettings memory;
    memory.ioMemoryBlock = settings.ioMemoryBlock;
    memory.ioMemoryBytes = settings.ioMemoryBytes;
    memory.ioMemoryAlignment = settings.ioMemoryAlignment;
    memory.ioMemoryId = settings.ioMemoryId;
    memory.granularity = settings.granularity;
    memory.useStreamCache = settings.useStreamCache;
    if (!m_memoryAvailable.Init(Platform::EventReset::Manual))
        return ZK_Fail;
    ZKRESULT result;
    {
        ZkScopedLock lock(IOLock());
        result = m_ioMemory.Setup(memory, &m_memoryAvailable);
    }
    if (result != ZK_Success)
        return result;

    return Start(settings.threadPriority, settings.threadAffinityMask, settings.threadStackBytes);
}

void CZkStreamDevice::Destroy()
{
    Stop();
    {
        ZkScopedLock lock(IOLock());
        m_ioMemory.Term();
    }
    ZkDeleteObject(ZkMemID_StreamMgr, this);
}

CZkStreamTask* CZkStreamDevice::CreateStandardStream(ZkFileDescriptor* fileDesc, uint32_t openMode,
                                                     IZkStandardStream*& outStream)
{
    outStream = nullptr;
    CZkStreamTask* stream = NewStandardStream(fileDesc, openMode, outStream);
    if (!stream)
        return nullptr;
    ZkScopedLock lock(m_streamListLock);
    stream->SetNext(m_streams);
    m_streams = stream;
    return stream;
}

CZkStreamTask* CZkStreamDevice::CreateAutomaticStream(ZkFileDescriptor* fileDesc, uint32_t cacheId,
                                                      const ZkAutomaticStreamHeuristics& heuristics,
                                                      const ZkAutomaticStreamBufferSettings* bufferSettings,
                                                      IZkAutomaticStream*& outStream)
{
    outStream = nullptr;
    CZkStreamTask* stream = NewAutomaticStream(fileDesc, cacheId, heuristics, bufferSettings, outStream);
    if (!stream)
        return nullptr;
    ZkScopedLock lock(m_streamListLock);
    stream->SetNext(m_streams);
    m_streams = stream;
    return stream;
}

CZkStreamTask* CZkStreamDevice::CreateCachingStream(ZkFileDescriptor* fileDesc, uint32_t fileId,
                                                    uint32_t cachedBytes, uint8_t priority,
                                                    IZkAutomaticStream*& outStream)
{
    outStream = nullptr;
    ZkAutomaticStreamHeuristics heuristics{};
    heuristics.priority = priority;
    CZkStreamTask* stream = NewAutomaticStream(fileDesc, fileId, heuristics, nullptr, outStream);
    if (!stream)
        return nullptr;
    stream->SetCaching(true);
    stream->SetCachingBufferSize(cachedBytes);
    ZkScopedLock lock(m_streamListLock);
    stream->SetNext(m_cachingStreams);
    m_cachingStreams = stream;
    return stream;
}

bool CZkStreamDevice::ReclaimIfDestroyed(CZkStreamTask*& head, CZkStreamTask* previous, CZkStreamTask* stream)
{
    if (stream->IsInService() || !stream->IsToBeDestroyed() || !stream->CanBeDestroyed())
        return false;
    if (previous)
        previous->SetNext(stream->Next());
    else
        head = stream->Next();
    ZkDeleteObject(ZkMemID_StreamMgr, stream);
    return true;
}

bool CZkStreamDevice::ClearStreamsOnStop()
{
    ZkScopedLock lock(m_streamListLock);
    for (CZkStreamTask** head : {&m_streams, &m_cachingStreams})
    {
        CZkStreamTask* previous = nullptr;
        CZkStreamTask* stream = *head;
        while (stream)
        {
            CZkStreamTask* next = stream->Next();
            if (!stream->IsToBeDestroyed())
                stream->Kill();
            if (!ReclaimIfDestroyed(*head, previous, stream))
                previous = stream;
            stream = next;
        }
    }
    return !m_streams && !m_cachingStreams;
}

void CZkStreamDevice::OnThreadStart()
{
    ZkScopedLock lock(m_streamListLock);
    m_passTime.store(Platform::PerformanceCounter(), std::memory_order_relaxed);
}

ZkStreamTransfer* CZkStreamDevice::NewTransferRecord()
{
    return ZkNewObject<ZkStreamTransfer>(ZkMemID_StreamMgr);
}

void CZkStreamDevice::FreeTransferRecord(ZkStreamTransfer* record)
{
    if (!record)
        return;
    if (record->view)
    {
        ZkScopedLock lock(IOLock());
        ReleaseIOView(record->view);
        record->view = nullptr;
    }
    ZkDeleteObject(ZkMemID_StreamMgr, record);
}

bool CZkStreamDevice::ReadFromCacheNow(CZkStreamTask* stream)
{
    {
        ZkScopedLock lock(IOLock());
        if (!m_ioMemory.UsesStreamCache())
            return false;
    }
    ZkStreamTransfer* record = stream->PrepareTransfer(true);
    if (!record)
        return false;
    stream->CompleteTransfer(record, ZK_Success);
    return true;
}

MemoryMgr::ZkIOMemoryView* CZkStreamDevice::TakeIOView(uint32_t dataSize, uint32_t roundingUnit)
{
    ZkScopedLock lock(IOLock());
    MemoryMgr::ZkIOMemoryView* view = m_ioMemory.TakeView(dataSize, roundingUnit);
    if (!view)
        PauseAutomaticStreams();
    return view;
}

void CZkStreamDevice::ReleaseIOView(MemoryMgr::ZkIOMemoryView* view)
{
    ZkScopedLock lock(IOLock());
    m_ioMemory.ReleaseView(view);
    ResumeAutomaticStreams();
}

void CZkStreamDevice::ForgetCachedData(MemoryMgr::ZkIOMemoryView* view)
{
    ZkScopedLock lock(IOLock());
    if (view->fileKey != MemoryMgr::kViewNotIndexed)
        m_ioMemory.RemoveFromIndex(view);
}

uint32_t CZkStreamDevice::PinnedBytesInUse()
{
    ZkScopedLock lock(m_streamListLock);
    return m_pinnedBytesInUse;
}

void CZkStreamDevice::FlushCache()
{
    ZkScopedLock lock(IOLock());
    m_ioMemory.FlushCache();
}

void CZkStreamDevice::ResumeAllCaching()
{
    for (CZkStreamTask* stream = m_cachingStreams; stream; stream = stream->Next())
        stream->ResumeCaching();
}

void CZkStreamDevice::SetCachingStreamPriority(CZkStreamTask* stream, uint8_t priority)
{
    if (stream->Priority() == priority)
        return;
    if (priority <= kMaxStreamPriority)
        stream->SetPriority(priority);
    ZkScopedLock lock(m_streamListLock);
    ResumeAllCaching();
}

CZkStreamTask* CZkStreamDevice::LowestPriorityReady(CZkStreamTask* head, uint8_t below)
{
    CZkStreamTask* lowest = nullptr;
    for (CZkStreamTask* stream = head; stream; stream = stream->Next())
    {
        if (!stream->IsReady() || stream->Priority() >= below)
            continue;
        if (!lowest || stream->Priority() < lowest->Priority())
            lowest = stream;
    }
    return lowest;
}

bool CZkStreamDevice::ReleaseMemoryForStream(bool requesting, uint8_t priority)
{
    ZkScopedLock lock(m_streamListLock);
    for (CZkStreamTask** head : {&m_cachingStreams, &m_streams})
    {
        CZkStreamTask* previous = nullptr;
        CZkStreamTask* stream = *head;
        while (stream)
        {
            CZkStreamTask* next = stream->Next();
            if (!ReclaimIfDestroyed(*head, previous, stream))
                previous = stream;
            stream = next;
        }
    }
    if (!requesting)
        return false;
    for (CZkStreamTask* head : {m_cachingStreams, m_streams})
    {
        if (CZkStreamTask* victim = LowestPriorityReady(head, priority))
        {
            victim->Kill();
            return true;
        }
    }
    return false;
}
} // namespace ZK::StreamMgr
