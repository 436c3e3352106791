// The play history of the playlist containers in the game's byte streams: which node of the node
// table is a playlist container, and its body of the history blob written or read.
//
// Threading: the game's thread, under the global engine lock and the node table's lock.
// Ownership: the node is the table's; the streams are the caller's; the read's scratch copy of a
// body is pool 0 and freed before the call returns.
#pragma once

#include <ZK/SoundEngine/Common/ZkBytesInterfaces.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

namespace PlaylistContainerHistory
{
// Whether a node of the node table is a playlist container.
bool IsPlaylistContainer(const CZkIndexedObject& node);
// The container's body. 1; 2 when the stream refuses it.
ZKRESULT WriteHistory(CZkIndexedObject& node, WriteBytesStoreInterface& bytes);
// Reads the container's body of length bytes. 1; 2 short or refused (histories unchanged);
// 52 out of memory.
ZKRESULT ReadHistory(CZkIndexedObject& node, ReadBytesInterface& bytes, uint32_t length);
} // namespace PlaylistContainerHistory
} // namespace ZK::SoundEngine
