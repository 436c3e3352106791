#include "MusicEngine/Midi/ZkMidiDueEvents.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::MusicEngine
{
bool ZkMidiDueList::Append(const ZkMidiChannelMessage& message, float offsetMs, uint32_t eventNumber)
{
    auto* entry = ZK::ZkNew<ZkMidiDueEvent>(kPool);
    if (entry == nullptr)
        return false;
    entry->message = message;
    entry->offsetMs = offsetMs;
    entry->eventNumber = eventNumber;
    if (m_tail != nullptr)
        m_tail->next = entry;
    else
        m_head = entry;
    m_tail = entry;
    return true;
}

void ZkMidiDueList::Clear()
{
    while (m_head != nullptr)
    {
        ZkMidiDueEvent* next = m_head->next;
        ZK::ZkDelete(kPool, m_head);
        m_head = next;
    }
    m_tail = nullptr;
}

uint32_t ZkMidiDueList::Count() const
{
    uint32_t count = 0;
    for (const ZkMidiDueEvent* entry = m_head; entry != nullptr; entry = entry->next)
        ++count;
    return count;
}
} // namespace ZK::MusicEngine
