// The play history of the playlist containers (which items played, where each sequence stands), as
// a byte stream the game can keep and give back: each record is u32 container id, u32 byte count,
// then the container's own bytes, little-endian.
//
// Threading: the game thread; both calls take the global engine lock and the node table's lock.
// Ownership: the streams are the caller's.
#pragma once

#include <ZK/SoundEngine/Common/ZkBytesInterfaces.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

namespace ZK::SoundEngine
{
// Writes a record for every playlist container. 1; 2 when a write fails (the stream then holds
// the records before it).
ZKRESULT GetContainerHistory(WriteBytesInterface* bytes);
// Reads records until the stream ends and gives each container its own; a record of an id that
// names no playlist container is skipped. 1 at the end of the stream; 2 for a record cut short;
// 52 when no room can be had to skip a record; a container's own refusal.
ZKRESULT SetContainerHistory(ReadBytesInterface* bytes);
} // namespace ZK::SoundEngine
