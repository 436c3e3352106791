#include "MusicEngine/Contexts/ZkMusicActionList.h"

namespace ZK::MusicEngine
{
void ZkMusicAction::Destroy(ZkMusicAction* action)
{
    action->~ZkMusicAction();
    ZK::MemoryMgr::Free(kPool, action);
}

void ZkMusicActionList::Insert(ZkMusicAction* action)
{
    // The common case: scheduled at or after the last action.
    if (m_tail == nullptr || m_tail->time <= action->time)
    {
        action->next = nullptr;
        (m_tail != nullptr ? m_tail->next : m_head) = action;
        m_tail = action;
        return;
    }
    ZkMusicAction* previous = nullptr;
    ZkMusicAction* current = m_head;
    while (current->time <= action->time)
    {
        previous = current;
        current = current->next;
    }
    action->next = current;
    (previous != nullptr ? previous->next : m_head) = action;
}

ZKRESULT ZkMusicActionList::PopDue(int32_t from, uint32_t length, ZkMusicAction*& action)
{
    action = nullptr;
    // The frame's end in the list's signed time.
    const auto end = static_cast<int32_t>(static_cast<uint32_t>(from) + length);
    if (m_head == nullptr || m_head->time > end)
        return ZK_NoMoreData;
    action = m_head;
    m_head = action->next;
    if (m_head == nullptr)
        m_tail = nullptr;
    action->next = nullptr;
    return ZK_DataReady;
}

void ZkMusicActionList::Clear()
{
    while (m_head != nullptr)
    {
        ZkMusicAction* next = m_head->next;
        ZkMusicAction::Destroy(m_head);
        m_head = next;
    }
    m_tail = nullptr;
}

void ZkMusicActionList::RemoveStopsOf(const CZkMusicChild* child)
{
    RemoveIf([child](const ZkMusicAction& action) {
        return action.Kind() == ZkMusicAction::kKindStop && action.StopTarget() == child;
    });
}
} // namespace ZK::MusicEngine
