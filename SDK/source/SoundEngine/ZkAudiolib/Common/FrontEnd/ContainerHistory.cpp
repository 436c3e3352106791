// The play history of the playlist containers, written to and read from the game's byte streams.
// Each record is u32 container id, u32 byte count, then the container's own bytes.
#include "ZkAudiolib/Common/FrontEnd/EngineLock.h"
#include "ZkAudiolib/Common/FrontEnd/PlaylistContainerHistory.h"
#include "ZkAudiolib/Common/ObjectIndex/ObjectIndex.h"

#include <ZK/SoundEngine/Common/ZkBytes.h>
#include <ZK/SoundEngine/Common/ZkContainerHistory.h>

#include <algorithm>

namespace ZK::SoundEngine
{
namespace
{
constexpr ZkMemoryId kScratchPool = ZkMemID_Default;
// Records of unknown ids are skipped through a scratch block of at most this size.
constexpr uint32_t kScratchBytes = 4096;

bool WriteU32(WriteBytesInterface& bytes, uint32_t value)
{
    int32_t written = 0;
    return bytes.WriteBytes(&value, sizeof(value), written);
}

ZKRESULT WriteContainer(CZkIndexedObject& node, WriteBytesInterface& bytes)
{
    ZK::WriteBytesMem history;
    history.SetMemPool(kScratchPool);
    const ZKRESULT result = PlaylistContainerHistory::WriteHistory(node, history);
    if (result != ZK_Success)
        return result;
    int32_t written = 0;
    if (!WriteU32(bytes, node.ID()) || !WriteU32(bytes, static_cast<uint32_t>(history.Count())) ||
        (history.Count() > 0 && !bytes.WriteBytes(history.Bytes(), history.Count(), written)))
        return ZK_Fail;
    return ZK_Success;
}

// Reads count bytes and forgets them. 1; 2 when the stream ends first; 52 without a scratch block.
ZKRESULT SkipBytes(ReadBytesInterface& bytes, uint32_t count)
{
    if (count == 0)
        return ZK_Success;
    const uint32_t blockBytes = std::min(count, kScratchBytes);
    void* scratch = ZK::MemoryMgr::Malloc(kScratchPool, blockBytes);
    if (scratch == nullptr)
        return ZK_InsufficientMemory;
    ZKRESULT result = ZK_Success;
    for (uint32_t left = count; left > 0 && result == ZK_Success;)
    {
        const uint32_t step = std::min(left, blockBytes);
        int32_t read = 0;
        if (!bytes.ReadBytes(scratch, static_cast<int32_t>(step), read))
            result = ZK_Fail;
        left -= step;
    }
    ZK::MemoryMgr::Free(kScratchPool, scratch);
    return result;
}
// Runs walk with the node table, under the global engine lock and the table's lock. 2 before the
// engine's initialisation.
template <typename Walk>
ZKRESULT WithNodeTable(Walk walk)
{
    ZK::Platform::ZkScopedLock engineLock(g_EngineLock);
    if (g_pObjectIndex == nullptr)
        return ZK_Fail;
    ZkIndexTable& nodes = g_pObjectIndex->Table(ZkIndexKind::Nodes);
    ZK::Platform::ZkScopedLock tableLock(nodes.Lock());
    return walk(nodes.Table());
}
} // namespace

ZKRESULT GetContainerHistory(WriteBytesInterface* bytes)
{
    if (bytes == nullptr)
        return ZK_InvalidParameter;
    return WithNodeTable([&](ZkIndexTable::HashTable& table) {
        for (uint32_t bucket = 0; bucket < table.BucketCount(); ++bucket)
        {
            for (CZkIndexedObject* node = table.Bucket(bucket); node != nullptr; node = node->pNextItem)
            {
                if (PlaylistContainerHistory::IsPlaylistContainer(*node) && WriteContainer(*node, *bytes) != ZK_Success)
                    return ZK_Fail;
            }
        }
        return ZK_Success;
    });
}

ZKRESULT SetContainerHistory(ReadBytesInterface* bytes)
{
    if (bytes == nullptr)
        return ZK_InvalidParameter;
    return WithNodeTable([&](ZkIndexTable::HashTable& table) {
        for (;;)
        {
            uint32_t record[2] = {};
            int32_t read = 0;
            if (!bytes->ReadBytes(&record[0], sizeof(uint32_t), read))
                return read == 0 ? ZK_Success : ZK_Fail; // the stream ends between records
            if (!bytes->ReadBytes(&record[1], sizeof(uint32_t), read))
                return ZK_Fail;
            CZkIndexedObject* node = table.Find(record[0]);
            const ZKRESULT result = node != nullptr && PlaylistContainerHistory::IsPlaylistContainer(*node)
                                        ? PlaylistContainerHistory::ReadHistory(*node, *bytes, record[1])
                                        : SkipBytes(*bytes, record[1]);
            if (result != ZK_Success)
                return result;
        }
    });
}
} // namespace ZK::SoundEngine
