#include "ZkAudiolib/Common/Playback/ZkValueContributions.h"

namespace ZK::SoundEngine
{
uint32_t ZkValueContributions::IndexOf(const void* owner, uint8_t kind) const
{
    for (uint32_t index = 0; index < m_entries.Length(); ++index)
    {
        if (m_entries[index].owner == owner && ((m_entries[index].kind ^ kind) & kKindBit) == 0)
            return index;
    }
    return m_entries.Length();
}

bool ZkValueContributions::Set(float factor, const void* owner, uint8_t kind, bool exclusive)
{
    if (exclusive)
    {
        const uint8_t other = static_cast<uint8_t>(kind ^ kKindBit);
        const uint32_t otherIndex = IndexOf(owner, other);
        if (otherIndex != m_entries.Length())
        {
            if ((kind & kKindBit) != 0)
                return false;
            m_entries.EraseSwap(otherIndex);
        }
    }
    const bool keep = factor != 1.0f || (exclusive && (kind & kKindBit) == 0);
    const uint32_t index = IndexOf(owner, kind);
    if (!keep)
    {
        m_entries.EraseSwap(index);
        return true;
    }
    if (index != m_entries.Length())
    {
        m_entries[index].kind = kind;
        m_entries[index].factor = factor;
    }
    else
    {
        m_entries.AddLast(Entry{owner, kind, factor});
    }
    return true;
}

bool ZkValueContributions::Remove(const void* owner, uint8_t kind)
{
    const uint32_t index = IndexOf(owner, kind);
    if (index == m_entries.Length())
        return false;
    m_entries.EraseSwap(index);
    return true;
}

void ZkValueContributions::DropUnkept()
{
    for (uint32_t index = 0; index < m_entries.Length();)
    {
        if ((m_entries[index].kind & kKeptBit) == 0)
            m_entries.EraseSwap(index);
        else
            ++index;
    }
}

float ZkValueContributions::Product() const
{
    float product = 1.0f;
    for (const Entry& entry : m_entries)
        product *= entry.factor;
    return product;
}
} // namespace ZK::SoundEngine
