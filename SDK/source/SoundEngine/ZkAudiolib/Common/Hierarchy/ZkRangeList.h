// ZkRangeList: the parts of a game parameter's range in which a layered container's child is
// audible on one layer: closed ranges {lo, hi} in ascending order, built from the bank points of
// the child's crossfade curve. A value outside every range keeps the child silent on that layer
// (a continuous container does not start it); no list, or an empty one, means always audible.
//
// Threading: audio thread, under the global engine lock. Ownership: the layer association's
// (one block of memory pool 2, freed with Free).
#pragma once

#include <ZK/SoundEngine/Common/ZkCurveTypes.h>
#include <ZK/SoundEngine/Common/ZkMemoryMgr.h>

#include <cstdint>

namespace ZK::SoundEngine
{
struct ZkAudibleRange
{
    float lo;
    float hi;
};

class ZkRangeList
{
public:
    static constexpr ZkMemoryId kPool = ZkMemID_BankObjects;

    // The ranges of bank points (ascending x): a range opens at the first point that sounds (y > 0,
    // or a shape other than constant, which may rise before the next point) and closes at a point
    // with y <= 0 that is the last point or is followed by another silent one; a range still open
    // after the last point closes there. Null for fewer than 2 points, for none, or out of memory
    // (the child then counts as always audible).
    static ZkRangeList* Build(const ZkCurvePoint* points, uint32_t count);
    static void Free(ZkRangeList* list);

    // Whether value lies outside every range (a null list: never).
    static bool IsOutside(const ZkRangeList* list, float value);

    uint32_t Count() const { return m_count; }
    const ZkAudibleRange& operator[](uint32_t index) const { return Ranges()[index]; }

private:
    ZkAudibleRange* Ranges() { return reinterpret_cast<ZkAudibleRange*>(this + 1); }
    const ZkAudibleRange* Ranges() const { return reinterpret_cast<const ZkAudibleRange*>(this + 1); }

    uint32_t m_count = 0;
    uint32_t m_padding = 0;
};
static_assert(sizeof(ZkRangeList) % alignof(ZkAudibleRange) == 0, "the ranges follow the header");
} // namespace ZK::SoundEngine
