#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistEntries.h"

#include "ZkAudiolib/Common/Containers/ZkNew.h"

namespace ZK::SoundEngine
{
CZkPlaylistEntries* CZkPlaylistEntries::Create(uint8_t playMode)
{
    if (playMode == 0)
        return ZK::ZkNew<CZkWeightedPlaylist>(kPool);
    return ZK::ZkNew<CZkSequencePlaylist>(kPool);
}

void CZkPlaylistEntries::Release() { ZK::ZkDelete(kPool, this); }

ZKRESULT CZkWeightedPlaylist::Append(ZkUniqueID id, int32_t weight)
{
    return m_entries.AddLast(Entry{id, weight}) != nullptr ? ZK_Success : ZK_Fail;
}

void CZkWeightedPlaylist::Remove(ZkUniqueID id)
{
    for (uint32_t index = m_entries.Length(); index-- > 0;)
    {
        if (m_entries[index].id == id)
            m_entries.Erase(index);
    }
}

int32_t CZkWeightedPlaylist::IndexOf(ZkUniqueID id) const
{
    for (uint32_t index = 0; index < m_entries.Length(); ++index)
    {
        if (m_entries[index].id == id)
            return static_cast<int32_t>(index);
    }
    return -1;
}

int64_t CZkWeightedPlaylist::TotalWeight() const
{
    int64_t total = 0;
    for (const Entry& entry : m_entries)
        total += entry.weight;
    return total;
}

void CZkSequencePlaylist::Remove(ZkUniqueID id)
{
    const int32_t index = IndexOf(id);
    if (index >= 0)
        m_ids.Erase(static_cast<uint32_t>(index));
}

int32_t CZkSequencePlaylist::IndexOf(ZkUniqueID id) const
{
    const uint32_t index = m_ids.Find(id);
    return index < m_ids.Length() ? static_cast<int32_t>(index) : -1;
}
} // namespace ZK::SoundEngine
