#include "StreamMgr/CZkStreamTask.h"

#include "StreamMgr/CZkStreamDevice.h"
#include "StreamMgr/ZkDeferredOpen.h"

#include <ZK/SoundEngine/Common/ZkLowLevelIOHooks.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cwchar>

namespace ZK::StreamMgr
{
using Platform::ZkScopedLock;

CZkStreamTask::CZkStreamTask(CZkStreamDevice* device, ZkFileDescriptor* fileDesc, bool isAutomatic)
    : m_device(device), m_fileDesc(fileDesc), m_isAutomatic(isAutomatic)
{
}

CZkStreamTask::~CZkStreamTask()
{
    // A stream freed while registered would keep its device's thread awake forever.
    SetNeedsIO(false);
    // Records left by a stream that never completed them (only when its device failed to start).
    for (ZkTransferList* list : {&m_pending, &m_cancelled})
    {
        while (ZkStreamTransfer* record = list->PopFront())
            RetireRecord(record);
    }
    if (m_ownsFileDesc && m_fileDesc)
    {
        if (m_fileOpen && m_device && m_device->Hook())
            m_device->Hook()->Close(*m_fileDesc);
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, m_fileDesc);
    }
    FreeDeferredOpen(m_deferredOpen);
    if (m_name)
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, m_name);
}

bool CZkStreamTask::CanBeDestroyed()
{
    ZkScopedLock lock(m_lock);
    return CanBeDestroyedLocked();
}

bool CZkStreamTask::CanBeDestroyedLocked() const
{
    return m_pending.Empty() && m_cancelled.Empty() && !m_clientInside;
}

bool CZkStreamTask::IsWriteRequest()
{
    ZkScopedLock lock(m_lock);
    return m_isWrite;
}

void CZkStreamTask::SetNeedsIO(bool needsIO)
{
    if (needsIO == m_registeredForIO || !m_device)
        return;
    m_registeredForIO = needsIO;
    if (needsIO)
        m_isAutomatic ? m_device->AddAutomaticStream() : m_device->AddStandardStream();
    else
        m_isAutomatic ? m_device->RemoveAutomaticStream() : m_device->RemoveStandardStream();
}

bool CZkStreamTask::PrepareClientWait()
{
    if (!m_waitEvent.IsInitialized() && !m_waitEvent.Init(Platform::EventReset::Manual))
        return false;
    m_waitEvent.Reset();
    m_clientWaiting = true;
    return true;
}

void CZkStreamTask::WaitForDevice()
{
    m_lock.Leave();
    m_waitEvent.Wait();
    m_lock.Enter();
}

void CZkStreamTask::WakeClient()
{
    if (!m_clientWaiting)
        return;
    m_clientWaiting = false;
    m_waitEvent.Set();
}

void CZkStreamTask::FreeRecord(ZkStreamTransfer* record)
{
    if (m_device)
        m_device->FreeTransferRecord(record);
}

void CZkStreamTask::RetireRecord(ZkStreamTransfer* record)
{
    FreeRecord(record);
    if (m_device)
        m_device->EndTransfer();
}

void CZkStreamTask::AttachFile(bool fileOpen)
{
    ZkScopedLock lock(m_lock);
    m_ownsFileDesc = true;
    m_fileOpen = fileOpen;
}

void CZkStreamTask::OnFileOpened()
{
    ZkScopedLock lock(m_lock);
    m_fileOpen = true;
}

void CZkStreamTask::SetDeferredOpen(ZkDeferredOpen* record)
{
    ZkScopedLock lock(m_lock);
    FreeDeferredOpen(m_deferredOpen);
    m_deferredOpen = record;
}

ZkDeferredOpen* CZkStreamTask::TakeDeferredOpen()
{
    ZkScopedLock lock(m_lock);
    ZkDeferredOpen* record = m_deferredOpen;
    m_deferredOpen = nullptr;
    return record;
}

void CZkStreamTask::MarkToBeDestroyed()
{
    ZkScopedLock lock(m_lock);
    m_toBeDestroyed = true;
    m_readyForIO = false;
}

ZKRESULT CZkStreamTask::SetName(const wchar_t* name)
{
    wchar_t* copy = nullptr;
    if (name)
    {
        const size_t characters = std::wcslen(name) + 1;
        copy = static_cast<wchar_t*>(ZK::MemoryMgr::Malloc(ZkMemID_StreamMgr, characters * sizeof(wchar_t)));
        if (!copy)
            return ZK_InsufficientMemory;
        std::wmemcpy(copy, name, characters);
    }
    ZkScopedLock lock(m_lock);
    if (m_name)
        ZK::MemoryMgr::Free(ZkMemID_StreamMgr, m_name);
    m_name = copy;
    return ZK_Success;
}

bool CZkStreamTask::IsToBeDestroyed()
{
    ZkScopedLock lock(m_lock);
    return m_toBeDestroyed;
}

bool CZkStreamTask::IsReady()
{
    ZkScopedLock lock(m_lock);
    return m_readyForIO;
}

bool CZkStreamTask::IsRegisteredForIO()
{
    ZkScopedLock lock(m_lock);
    return m_registeredForIO;
}

bool CZkStreamTask::IsFileOpen()
{
    ZkScopedLock lock(m_lock);
    return m_fileOpen;
}

bool CZkStreamTask::IsCaching()
{
    ZkScopedLock lock(m_lock);
    return m_isCaching;
}

int64_t CZkStreamTask::RequestTime()
{
    ZkScopedLock lock(m_lock);
    return m_requestTime;
}

void CZkStreamTask::SetCaching(bool caching)
{
    ZkScopedLock lock(m_lock);
    m_isCaching = caching;
}
} // namespace ZK::StreamMgr
