#include "ZkAudiolib/Common/Hierarchy/CZkLayerAssociation.h"

#include <cstring>

namespace ZK::SoundEngine
{
ZKRESULT CZkLayerAssociation::SetCurve(const ZkCurvePoint* points, uint32_t count)
{
    curve.Term();
    cachedSegment = kCurveFirstSegment;
    ZkRangeList::Free(audibleRanges);
    audibleRanges = nullptr;
    if (count == 0)
        return ZK_Success;
    // The curve's output is used as it is (a gain), so the points carry no scaling.
    const ZKRESULT result = curve.Set(points, count, ZkCurveScaling_None);
    if (result != ZK_Success)
        return ZK_InsufficientMemory;
    audibleRanges = ZkRangeList::Build(points, count);
    return ZK_Success;
}

bool CZkLayerAssociation::AddInstance(CZkPlayingInstance* instance)
{
    for (uint32_t index = 0; index < instanceCount; ++index)
    {
        if (instances[index] == instance)
            return true;
    }
    if (instanceCount == instanceCapacity)
    {
        const uint32_t capacity = instanceCapacity == 0 ? 2 : instanceCapacity * 2;
        auto* grown = static_cast<CZkPlayingInstance**>(
            ZK::MemoryMgr::Malloc(kInstancePool, sizeof(CZkPlayingInstance*) * capacity));
        if (grown == nullptr)
            return false;
        if (instanceCount != 0)
            std::memcpy(grown, instances, sizeof(CZkPlayingInstance*) * instanceCount);
        if (instances != nullptr)
            ZK::MemoryMgr::Free(kInstancePool, instances);
        instances = grown;
        instanceCapacity = capacity;
    }
    instances[instanceCount++] = instance;
    return true;
}

void CZkLayerAssociation::RemoveInstance(CZkPlayingInstance* instance)
{
    for (uint32_t index = 0; index < instanceCount; ++index)
    {
        if (instances[index] != instance)
            continue;
        instances[index] = instances[--instanceCount];
        if (instanceCount == 0)
        {
            ZK::MemoryMgr::Free(kInstancePool, instances);
            instances = nullptr;
            instanceCapacity = 0;
        }
        return;
    }
}

void CZkLayerAssociation::Term()
{
    curve.Term();
    ZkRangeList::Free(audibleRanges);
    audibleRanges = nullptr;
    if (instances != nullptr)
        ZK::MemoryMgr::Free(kInstancePool, instances);
    instances = nullptr;
    instanceCount = 0;
    instanceCapacity = 0;
    child = nullptr;
}
} // namespace ZK::SoundEngine
