#include "ZkAudiolib/Common/Hierarchy/ZkRangeList.h"

#include <new>

namespace ZK::SoundEngine
{
namespace
{
bool Sounds(const ZkCurvePoint& point)
{
    return point.y > 0.0f || point.interpolation != ZkCurveInterpolation_Constant;
}
} // namespace

ZkRangeList* ZkRangeList::Build(const ZkCurvePoint* points, uint32_t count)
{
    if (points == nullptr || count < 2)
        return nullptr;
    // At most one range per two points, plus one: the block is sized for the worst case.
    const uint32_t most = count / 2 + 1;
    void* block = ZK::MemoryMgr::Malloc(kPool, sizeof(ZkRangeList) + sizeof(ZkAudibleRange) * most);
    if (block == nullptr)
        return nullptr;
    auto* list = new (block) ZkRangeList;
    bool open = false;
    float lo = 0.0f;
    for (uint32_t k = 0; k < count; ++k)
    {
        const ZkCurvePoint& point = points[k];
        if (!open)
        {
            if (Sounds(point))
            {
                open = true;
                lo = point.x;
            }
            continue;
        }
        const bool last = k + 1 == count;
        if (point.y <= 0.0f && (last || points[k + 1].y <= 0.0f))
        {
            list->Ranges()[list->m_count++] = ZkAudibleRange{lo, point.x};
            open = false;
        }
    }
    if (open)
        list->Ranges()[list->m_count++] = ZkAudibleRange{lo, points[count - 1].x};
    return list;
}

void ZkRangeList::Free(ZkRangeList* list)
{
    if (list != nullptr)
        ZK::MemoryMgr::Free(kPool, list);
}

bool ZkRangeList::IsOutside(const ZkRangeList* list, float value)
{
    if (list == nullptr || list->m_count == 0)
        return false;
    for (uint32_t index = 0; index < list->m_count; ++index)
    {
        const ZkAudibleRange& range = (*list)[index];
        if (!(value < range.lo || value > range.hi))
            return false;
    }
    return true;
}
} // namespace ZK::SoundEngine
