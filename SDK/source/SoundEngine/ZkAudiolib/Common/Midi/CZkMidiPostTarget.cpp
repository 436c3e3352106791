#include "ZkAudiolib/Common/Midi/CZkMidiPostTarget.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Midi/CZkMidiPostMgr.h"

namespace ZK::SoundEngine
{
CZkMidiPostTarget* CZkMidiPostTarget::Create(CZkMidiPostMgr& owner, CZkRegisteredObj* gameObject, ZkUniqueID nodeID,
                                             ZkPlayingID playingID)
{
    return ZK::ZkNew<CZkMidiPostTarget>(kPool, owner, gameObject, nodeID, playingID);
}

void CZkMidiPostTarget::Free()
{
    ZK::ZkDelete(kPool, this);
}

bool CZkMidiPostTarget::Enqueue(const ZkMIDIEvent& event, uint32_t offset)
{
    auto* queued = static_cast<QueuedEvent*>(ZK::MemoryMgr::Malloc(kPool, sizeof(QueuedEvent)));
    if (queued == nullptr)
        return false;
    queued->event = event;
    queued->offset = offset;
    // Most posts come in time order: the tail is the usual place.
    QueuedEvent* before = nullptr;
    if (m_tail != nullptr && m_tail->offset <= offset)
        before = m_tail;
    else
        for (QueuedEvent* at = m_head; at != nullptr && at->offset <= offset; at = at->next)
            before = at;
    queued->next = before != nullptr ? before->next : m_head;
    (before != nullptr ? before->next : m_head) = queued;
    if (queued->next == nullptr)
        m_tail = queued;
    return true;
}

void CZkMidiPostTarget::ClearQueue()
{
    while (m_head != nullptr)
    {
        QueuedEvent* next = m_head->next;
        ZK::MemoryMgr::Free(kPool, m_head);
        m_head = next;
    }
    m_tail = nullptr;
}

CZkMidiDispatcher* CZkMidiPostTarget::GetOwner() const
{
    return m_owner;
}

void CZkMidiPostTarget::MarkStopped()
{
    if (IsStopped())
        return;
    m_flags |= kStopped;
    CZkMidiTarget::MarkStopped();
    m_owner = nullptr;
}
} // namespace ZK::SoundEngine
