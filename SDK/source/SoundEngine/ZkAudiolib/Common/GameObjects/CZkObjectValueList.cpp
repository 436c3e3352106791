#include "ZkAudiolib/Common/GameObjects/CZkObjectValueList.h"

namespace ZK::SoundEngine
{
CZkObjectValueList::Entry* CZkObjectValueList::Find(uint32_t key)
{
    for (Entry& entry : m_entries)
    {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

void CZkObjectValueList::Remove(uint32_t key)
{
    for (uint32_t index = 0; index < m_entries.Length(); ++index)
    {
        if (m_entries[index].key == key)
        {
            m_entries.Erase(index);
            return;
        }
    }
}
} // namespace ZK::SoundEngine
