// The play history of a playlist container (declaration only): which node of the node table is a
// playlist container, and its history written to or read from a byte stream. Playlist containers
// are not built yet: no node is one, so there is no history to write and every record read is
// skipped.
//
// Threading: the game's thread, under the global engine lock and the node table's lock.
// Ownership: the node is the table's; the streams are the caller's.
#pragma once

#include <ZK/SoundEngine/Common/ZkBytesInterfaces.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

namespace PlaylistContainerHistory
{
// Not built yet: no node is a playlist container.
inline bool IsPlaylistContainer(const CZkIndexedObject&) { return false; }
// Not built yet: 4, nothing written or read.
inline ZKRESULT WriteHistory(CZkIndexedObject&, WriteBytesStoreInterface&) { return ZK_NotImplemented; }
inline ZKRESULT ReadHistory(CZkIndexedObject&, ReadBytesInterface&, uint32_t) { return ZK_NotImplemented; }
} // namespace PlaylistContainerHistory
} // namespace ZK::SoundEngine
