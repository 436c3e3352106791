// What the queries ask of a hierarchy node found in the object index (declaration only): a custom
// property, the positioning settings, the audio nodes an event plays. The queries find the node
// (with a reference) and release it; the node's own answers belong to the hierarchy, not built yet.
//
// Threading: the game's thread, under the global engine lock. Ownership: the node is the caller's
// reference.
#pragma once

#include <ZK/SoundEngine/Common/ZkQueryParameters.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

namespace NodeQueries
{
// Each: not built yet, 4 and nothing written (the count left as given).
inline ZKRESULT GetCustomProperty(CZkIndexedObject*, uint32_t, uint32_t&) { return ZK_NotImplemented; }
inline ZKRESULT GetPositioningInfo(CZkIndexedObject*, ZkPositioningInfo&) { return ZK_NotImplemented; }
inline ZKRESULT CollectAudioObjects(CZkIndexedObject*, bool, uint32_t&, ZkObjectInfo*) { return ZK_NotImplemented; }
} // namespace NodeQueries
} // namespace ZK::SoundEngine
