#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include "ZkAudiolib/Common/Positioning/CZkPositionPath.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
bool SamePosition(const ZkPositionVertex& a, const ZkPositionVertex& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// Whether an item's vertices lie within vertexCount vertices. The count is compared with what is
// left after the first vertex, a form that cannot wrap.
bool ItemFits(const ZkPathItem& item, uint32_t vertexCount)
{
    return item.firstVertex < vertexCount && item.vertexCount <= vertexCount - item.firstVertex;
}
} // namespace

void ZkPathData::Clear()
{
    mode = 0;
    lastVertexDurationMs = 0;
    vertices = nullptr;
    vertexCount = 0;
    paths = nullptr;
    pathCountWord = 0;
    saved = {};
}

void ZkPathData::FreeArrays()
{
    if (vertices != nullptr)
        ZK::MemoryMgr::Free(pool, vertices);
    if (paths != nullptr)
        ZK::MemoryMgr::Free(pool, paths);
    vertices = nullptr;
    paths = nullptr;
    vertexCount = 0;
    pathCountWord &= kListenerRelativeBit;
}

ZKRESULT ZkPathData::Set(const ZkPositionVertex* newVertices, uint32_t newVertexCount, const ZkPathItem* items,
                         uint32_t itemCount)
{
    FreeArrays();
    if (newVertexCount == 0 || itemCount == 0 || newVertices == nullptr || items == nullptr ||
        itemCount > kCountMask)
        return ZK_InvalidParameter;
    const size_t vertexBytes = sizeof(ZkPositionVertex) * size_t{newVertexCount};
    vertices = static_cast<ZkPositionVertex*>(ZK::MemoryMgr::Malloc(pool, vertexBytes));
    if (vertices == nullptr)
        return ZK_InsufficientMemory;
    std::memcpy(vertices, newVertices, vertexBytes);
    vertexCount = newVertexCount;
    paths = static_cast<ZkPositionPathDef*>(ZK::MemoryMgr::Malloc(pool, sizeof(ZkPositionPathDef) * size_t{itemCount}));
    if (paths == nullptr)
        return ZK_InsufficientMemory;
    for (uint32_t k = 0; k < itemCount; ++k)
    {
        // A path must lie within the vertices, or the player would walk past them.
        if (!ItemFits(items[k], newVertexCount))
        {
            FreeArrays();
            return ZK_Fail;
        }
        paths[k] = {vertices + items[k].firstVertex, items[k].vertexCount, 0.0f, 0.0f, 0.0f};
    }
    pathCountWord = (pathCountWord & kListenerRelativeBit) | itemCount;
    SetLastVertexDuration(lastVertexDurationMs);
    return ZK_Success;
}

bool ZkPathData::Differs(const ZkPositionVertex* newVertices, uint32_t newVertexCount, const ZkPathItem* items,
                         uint32_t itemCount) const
{
    if (newVertexCount != vertexCount || itemCount != PathCount())
        return true;
    for (uint32_t k = 0; k < itemCount; ++k)
    {
        const ZkPositionPathDef& path = paths[k];
        if (!ItemFits(items[k], newVertexCount) || items[k].vertexCount != path.vertexCount)
            return true;
        const ZkPositionVertex* given = newVertices + items[k].firstVertex;
        for (uint32_t v = 0; v < path.vertexCount; ++v)
        {
            if (!SamePosition(path.vertices[v], given[v]))
                return true;
            if (v + 1 < path.vertexCount && path.vertices[v].durationMs != given[v].durationMs)
                return true;
        }
    }
    return false;
}

void ZkPathData::SetLastVertexDuration(uint32_t milliseconds)
{
    lastVertexDurationMs = milliseconds;
    for (uint32_t k = 0; k < PathCount(); ++k)
    {
        if (paths[k].vertexCount != 0)
            paths[k].vertices[paths[k].vertexCount - 1].durationMs = milliseconds;
    }
}

void ZkPathData::SetRanges(uint32_t index, float rangeX, float rangeZ, float rangeY)
{
    if (index >= PathCount())
        return;
    paths[index].rangeX = rangeX;
    paths[index].rangeZ = rangeZ;
    paths[index].rangeY = rangeY;
}

ZKRESULT ZkPathData::CopyFrom(const ZkPathData& source)
{
    FreeArrays();
    mode = source.mode;
    lastVertexDurationMs = source.lastVertexDurationMs;
    pathCountWord = source.pathCountWord & kListenerRelativeBit;
    if (source.vertexCount == 0 || source.PathCount() == 0)
        return ZK_Success;
    const size_t vertexBytes = sizeof(ZkPositionVertex) * size_t{source.vertexCount};
    const size_t pathBytes = sizeof(ZkPositionPathDef) * size_t{source.PathCount()};
    vertices = static_cast<ZkPositionVertex*>(ZK::MemoryMgr::Malloc(pool, vertexBytes));
    paths = static_cast<ZkPositionPathDef*>(ZK::MemoryMgr::Malloc(pool, pathBytes));
    if (vertices == nullptr || paths == nullptr)
    {
        FreeArrays();
        return ZK_InsufficientMemory;
    }
    std::memcpy(vertices, source.vertices, vertexBytes);
    std::memcpy(paths, source.paths, pathBytes);
    for (uint32_t k = 0; k < source.PathCount(); ++k)
        paths[k].vertices = vertices + (source.paths[k].vertices - source.vertices);
    vertexCount = source.vertexCount;
    pathCountWord = source.pathCountWord;
    return ZK_Success;
}

ZKRESULT ZkPathData::StartPlayer(CZkPositionPath& player, const ZkSavedPathState* savedState) const
{
    const ZKRESULT result = player.Init(paths, PathCount(), static_cast<uint8_t>(mode & (kModeRandom | kModeContinuous)),
                                        (mode & kModeLoop) != 0, savedState);
    player.SetListenerRelative(IsListenerRelative());
    return result;
}

void ZkPathData::Term()
{
    FreeArrays();
    ReleasePlayedFlags();
}
} // namespace ZK::SoundEngine
