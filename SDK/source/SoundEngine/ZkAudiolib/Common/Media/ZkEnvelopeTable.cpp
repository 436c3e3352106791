#include "ZkAudiolib/Common/Media/ZkEnvelopeTable.h"

#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"

namespace ZK::SoundEngine
{
ZkEnvelopeTable ZkEnvelopeTable::FromBytes(const uint8_t* data, uint32_t size)
{
    ZkEnvelopeTable table;
    if (data == nullptr)
        return table;
    ZK::ZkByteCursor cursor(data, size);
    uint32_t count = 0;
    float offset = 0.0f;
    if (!cursor.Read(count) || !cursor.Read(offset) || !cursor.Holds(count, kPointBytes))
        return table;
    table.m_points = cursor.Current();
    table.m_count = count;
    table.m_offset = offset;
    return table;
}

uint32_t ZkEnvelopeTable::PointPosition(uint32_t point) const
{
    return ZK::LoadLittleEndian<uint32_t>(m_points + size_t{point} * kPointBytes);
}

float ZkEnvelopeTable::PointValue(uint32_t point) const
{
    return static_cast<float>(ZK::LoadLittleEndian<uint16_t>(m_points + size_t{point} * kPointBytes + 4));
}

// Render path: a forward walk from the last segment, no allocation.
float ZkEnvelopeTable::Lookup(uint32_t& index, uint32_t position) const
{
    if (m_count == 0)
        return 0.0f;
    const uint32_t last = m_count - 1;
    if (index > last || position < PointPosition(index))
        index = 0;
    if (position < PointPosition(0))
        return -(PointValue(0) + m_offset);
    uint32_t k = index + 1;
    while (k <= last && PointPosition(k) <= position)
        ++k;
    if (k > last)
    {
        index = last;
        return -(PointValue(last) + m_offset);
    }
    index = k - 1;
    const float from = PointValue(k - 1);
    const float to = PointValue(k);
    const float start = static_cast<float>(PointPosition(k - 1));
    const float span = static_cast<float>(PointPosition(k)) - start;
    return -(from + (to - from) * (static_cast<float>(position) - start) / span + m_offset);
}
} // namespace ZK::SoundEngine
