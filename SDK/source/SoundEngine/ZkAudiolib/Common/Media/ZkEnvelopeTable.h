// ZkEnvelopeTable: the amplitude envelope a media may carry in its header's engine chunk: a point
// count, an offset, then the points {u32 sample position, u16 value} (6 bytes each, positions in
// ascending order). A source reads the envelope's value at its play position: the value between
// two points is interpolated linearly, and the table reports it negated with the offset added
// (the values are attenuations).
//
// FromBytes checks the count against the bytes before any point is read; a table whose points do
// not fit is not used (no points).
//
// Threading: the thread rendering the voice. Ownership: a view over the media's (or the source's)
// header bytes, which must outlive it.
#pragma once

#include <cstdint>

namespace ZK::SoundEngine
{
class ZkEnvelopeTable
{
public:
    static constexpr uint32_t kHeaderBytes = 8;
    static constexpr uint32_t kPointBytes = 6;

    // The table in size bytes at data; an empty table when they are too few for its points.
    static ZkEnvelopeTable FromBytes(const uint8_t* data, uint32_t size);

    // The value at sample position; index is the segment found last (the search starts there,
    // and again at the first point when the position lies before it) and is updated. 0 for a table
    // without points; past the last point the last value.
    float Lookup(uint32_t& index, uint32_t position) const;

    uint32_t PointCount() const { return m_count; }

private:
    uint32_t PointPosition(uint32_t point) const;
    float PointValue(uint32_t point) const;

    const uint8_t* m_points = nullptr;
    uint32_t m_count = 0;
    float m_offset = 0.0f;
};
} // namespace ZK::SoundEngine
