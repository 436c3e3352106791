#include "MusicEngine/MusicEngineState.h"

#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

namespace ZK::MusicEngine
{
namespace
{
// The sync kinds a bank can name for a state group: 0 (at once) to 7 (exit cue).
constexpr uint32_t kSyncKindRoom = 8;
} // namespace

MusicEngineState& MusicEngineState::Get()
{
    static MusicEngineState state;
    return state;
}

ZKRESULT MusicEngineState::Start(float lookAheadFactor)
{
    auto* block = static_cast<PendingStateChange*>(
        ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(PendingStateChange) * kPreallocatedRecords));
    if (block == nullptr)
        return ZK_Fail;
    m_lookAheadFactor = lookAheadFactor;
    m_speedRefreshRequested = false;
    m_speedRefreshValue = 0;
    // Chained in address order.
    for (uint32_t index = 0; index < kPreallocatedRecords; ++index)
        block[index] = PendingStateChange{index + 1 < kPreallocatedRecords ? &block[index + 1] : nullptr, 0, 0, 0};
    m_block = block;
    m_freeRecords = block;
    m_preallocated = kPreallocatedRecords;
    // Without the room the search still works: the list then grows when it is used.
    static_cast<void>(m_syncKinds.Reserve(kSyncKindRoom));
    return ZK_Success;
}

void MusicEngineState::Release()
{
    m_playingHead = nullptr;
    m_playingTail = nullptr;
    while (m_pendingHead != nullptr)
    {
        PendingStateChange* next = m_pendingHead->next;
        GiveBack(m_pendingHead);
        m_pendingHead = next;
    }
    m_pendingTail = nullptr;
    m_pendingCount = 0;
    const PendingStateChange* blockEnd = m_block + m_preallocated;
    while (m_freeRecords != nullptr)
    {
        PendingStateChange* next = m_freeRecords->next;
        if (m_freeRecords < m_block || m_freeRecords >= blockEnd)
            ZK::MemoryMgr::Free(ZkMemID_Default, m_freeRecords);
        m_freeRecords = next;
    }
    if (m_block != nullptr)
        ZK::MemoryMgr::Free(ZkMemID_Default, m_block);
    m_block = nullptr;
    m_preallocated = 0;
    m_syncKinds.Term();
    m_lookAheadFactor = 0.0f;
    m_speedRefreshRequested = false;
    m_speedRefreshValue = 0;
}

void MusicEngineState::PushPlaying(CZkMusicTimelineContext* context)
{
    context->nextRoot = m_playingHead;
    m_playingHead = context;
    if (m_playingTail == nullptr)
        m_playingTail = context;
}

void MusicEngineState::RemovePlaying(CZkMusicTimelineContext* context)
{
    CZkMusicTimelineContext* previous = nullptr;
    for (CZkMusicTimelineContext* current = m_playingHead; current != nullptr; current = current->nextRoot)
    {
        if (current != context)
        {
            previous = current;
            continue;
        }
        (previous != nullptr ? previous->nextRoot : m_playingHead) = current->nextRoot;
        if (m_playingTail == current)
            m_playingTail = previous;
        current->nextRoot = nullptr;
        return;
    }
}

void MusicEngineState::RequestSpeedRefresh(uint8_t value)
{
    m_speedRefreshRequested = true;
    m_speedRefreshValue = value;
}

bool MusicEngineState::TakeSpeedRefresh(uint8_t& value)
{
    if (!m_speedRefreshRequested)
        return false;
    value = m_speedRefreshValue;
    m_speedRefreshRequested = false;
    m_speedRefreshValue = 0;
    return true;
}

PendingStateChange* MusicEngineState::TakeRecord()
{
    PendingStateChange* record = m_freeRecords;
    if (record != nullptr)
        m_freeRecords = record->next;
    else
        record = static_cast<PendingStateChange*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(PendingStateChange)));
    if (record != nullptr)
        *record = PendingStateChange{nullptr, 0, 0, 0};
    return record;
}

void MusicEngineState::PushPending(PendingStateChange* record)
{
    record->next = m_pendingHead;
    m_pendingHead = record;
    if (m_pendingTail == nullptr)
        m_pendingTail = record;
    ++m_pendingCount;
}

void MusicEngineState::Unlink(PendingStateChange* previous, PendingStateChange* record)
{
    (previous != nullptr ? previous->next : m_pendingHead) = record->next;
    if (m_pendingTail == record)
        m_pendingTail = previous;
    --m_pendingCount;
}

void MusicEngineState::DropPending(PendingStateChange* record)
{
    PendingStateChange* previous = nullptr;
    for (PendingStateChange* current = m_pendingHead; current != nullptr; current = current->next)
    {
        if (current == record)
        {
            Unlink(previous, current);
            GiveBack(current);
            return;
        }
        previous = current;
    }
}

void MusicEngineState::MarkGroupDone(ZkUniqueID stateGroup)
{
    for (PendingStateChange* current = m_pendingHead; current != nullptr; current = current->next)
    {
        if (current->stateGroup == stateGroup)
            current->flags |= PendingStateChange::kDone;
    }
}

void MusicEngineState::MarkOlderOfGroupDone(const PendingStateChange& record)
{
    // New records are pushed at the head: the ones after this record are older.
    for (PendingStateChange* current = record.next; current != nullptr; current = current->next)
    {
        if (current->stateGroup == record.stateGroup)
            current->flags |= PendingStateChange::kDone;
    }
}

void MusicEngineState::Purge()
{
    PendingStateChange* previous = nullptr;
    for (PendingStateChange* current = m_pendingHead; current != nullptr;)
    {
        PendingStateChange* next = current->next;
        if ((current->flags & PendingStateChange::kWaiting) != 0)
        {
            previous = current;
        }
        else
        {
            Unlink(previous, current);
            GiveBack(current);
        }
        current = next;
    }
}

void MusicEngineState::GiveBack(PendingStateChange* record)
{
    if (record >= m_block && record < m_block + m_preallocated)
    {
        record->next = m_freeRecords;
        m_freeRecords = record;
        return;
    }
    ZK::MemoryMgr::Free(ZkMemID_Default, record);
}
} // namespace ZK::MusicEngine
