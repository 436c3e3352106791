#include "ZkAudiolib/Common/FrontEnd/PlaylistContainerHistory.h"

#include "ZkAudiolib/Common/Hierarchy/CZkPlaylistContainerNode.h"

#include <limits>

namespace ZK::SoundEngine::PlaylistContainerHistory
{
namespace
{
constexpr ZkMemoryId kScratchPool = ZkMemID_Default;
}

// Every object of the node table is a hierarchy node.
bool IsPlaylistContainer(const CZkIndexedObject& node)
{
    return static_cast<const CZkHierarchyNode&>(node).Category() == ZkNodeCategory_Playlist;
}

ZKRESULT WriteHistory(CZkIndexedObject& node, WriteBytesStoreInterface& bytes)
{
    return static_cast<CZkPlaylistContainerNode&>(node).WriteHistories(bytes) ? ZK_Success : ZK_Fail;
}

ZKRESULT ReadHistory(CZkIndexedObject& node, ReadBytesInterface& bytes, uint32_t length)
{
    if (length > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
        return ZK_Fail;
    auto* body = static_cast<uint8_t*>(ZK::MemoryMgr::Malloc(kScratchPool, length > 0 ? length : 1));
    if (body == nullptr)
        return ZK_InsufficientMemory;
    int32_t read = 0;
    ZKRESULT result = ZK_Fail;
    if (length == 0 || bytes.ReadBytes(body, static_cast<int32_t>(length), read))
    {
        ZK::ZkByteCursor cursor(body, length);
        result = static_cast<CZkPlaylistContainerNode&>(node).ReadHistories(cursor);
    }
    ZK::MemoryMgr::Free(kScratchPool, body);
    return result;
}
} // namespace ZK::SoundEngine::PlaylistContainerHistory
