// CZkHierarchyNode::ReadPathFromBank: the path block of a path-driven 3-D mode (1 or 2):
//
//   u8 path mode, u32 transition time (the default duration of each path's last vertex),
//   u32 vertex count V, V x {f32 x, f32 y, f32 z, u32 duration ms},
//   u32 path-item count K, K x {u32 first vertex, u32 vertex count}, K x {f32 ranges x, z, y}
//
// The whole block is checked against the item before anything is applied (7 when it runs past).
// The node's path data is made on the first block (memory pool 2); vertices and items replace the
// stored paths only when they differ from them, so that a bank read again keeps the players of
// the paths that did not change. A block without vertices or items keeps the stored paths.
#include "ZkAudiolib/Common/Bytes/ZkByteCursor.h"
#include "ZkAudiolib/Common/Containers/ZkNew.h"
#include "ZkAudiolib/Common/Hierarchy/CZkHierarchyNode.h"
#include "ZkAudiolib/Common/Positioning/ZkPathData.h"

#include <cstring>

namespace ZK::SoundEngine
{
namespace
{
constexpr size_t kVertexBytes = 16;
constexpr size_t kItemBytes = 8;
constexpr size_t kRangeBytes = 12;

// Bank bytes are not aligned: the records are copied out into arrays of their own (memory pool 0,
// freed at the end of the read).
template <typename T>
struct Copied
{
    T* items = nullptr;
    ~Copied()
    {
        if (items != nullptr)
            ZK::MemoryMgr::Free(ZkMemID_Default, items);
    }
    bool From(const uint8_t* bytes, uint32_t count)
    {
        if (count == 0)
            return true;
        items = static_cast<T*>(ZK::MemoryMgr::Malloc(ZkMemID_Default, sizeof(T) * size_t{count}));
        if (items == nullptr)
            return false;
        std::memcpy(items, bytes, sizeof(T) * size_t{count});
        return true;
    }
};
} // namespace

ZKRESULT CZkHierarchyNode::ReadPathFromBank(ZK::ZkByteCursor& cursor, bool listenerRelative)
{
    uint8_t pathMode = 0;
    uint32_t transitionTime = 0;
    uint32_t vertexCount = 0;
    uint32_t itemCount = 0;
    const uint8_t* vertexBytes = nullptr;
    const uint8_t* itemBytes = nullptr;
    const uint8_t* rangeBytes = nullptr;
    if (!cursor.Read(pathMode) || !cursor.Read(transitionTime) || !cursor.Read(vertexCount) ||
        !cursor.Holds(vertexCount, kVertexBytes) ||
        (vertexBytes = cursor.Take(size_t{vertexCount} * kVertexBytes)) == nullptr || !cursor.Read(itemCount) ||
        !cursor.Holds(itemCount, kItemBytes + kRangeBytes) ||
        (itemBytes = cursor.Take(size_t{itemCount} * kItemBytes)) == nullptr ||
        (rangeBytes = cursor.Take(size_t{itemCount} * kRangeBytes)) == nullptr)
        return ZK_InvalidFile;

    if (m_pathData == nullptr)
    {
        m_pathData = ZK::ZkNew<ZkPathData>(kPool);
        if (m_pathData == nullptr)
            return ZK_InsufficientMemory;
        m_pathData->pool = ZkPathData::kNodePool;
        SetOverrideBits(kOverridePositioning, true);
    }
    ZkPathData& data = *m_pathData;
    data.mode = pathMode;
    data.SetListenerRelative(listenerRelative);
    if (vertexCount != 0 && itemCount != 0)
    {
        Copied<ZkPositionVertex> vertices;
        Copied<ZkPathItem> items;
        if (!vertices.From(vertexBytes, vertexCount) || !items.From(itemBytes, itemCount))
            return ZK_InsufficientMemory;
        if (data.Differs(vertices.items, vertexCount, items.items, itemCount))
        {
            data.lastVertexDurationMs = transitionTime;
            const ZKRESULT result = data.Set(vertices.items, vertexCount, items.items, itemCount);
            if (result != ZK_Success)
                return result;
        }
    }
    data.SetLastVertexDuration(transitionTime);
    for (uint32_t k = 0; k < itemCount; ++k)
    {
        float ranges[3];
        std::memcpy(ranges, rangeBytes + size_t{k} * kRangeBytes, sizeof(ranges));
        data.SetRanges(k, ranges[0], ranges[1], ranges[2]);
    }
    return ZK_Success;
}
} // namespace ZK::SoundEngine
