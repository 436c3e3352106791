// What the engine messages 31, 43, 45 and 46 ask of a hierarchy node or bus found in the object
// index (declaration only): its output device, an effect slot, its mixer, its channel
// configuration. The handlers find the node (with a reference) and release it; the operations on
// the node itself belong to the hierarchy, which is not built yet.
//
// Threading: engine thread, under the global engine lock. Ownership: the node is the caller's
// reference.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

#include <cstdint>

namespace ZK::SoundEngine
{
class CZkIndexedObject;

namespace NodeMessageTargets
{
// Each: not built yet, 4 and nothing changes.
inline ZKRESULT SetBusDeviceID(CZkIndexedObject*, uint32_t) { return ZK_NotImplemented; }
inline ZKRESULT SetNodeEffect(CZkIndexedObject*, uint32_t, ZkUniqueID) { return ZK_NotImplemented; }
inline ZKRESULT SetBusMixer(CZkIndexedObject*, ZkUniqueID) { return ZK_NotImplemented; }
inline ZKRESULT SetBusChannelConfig(CZkIndexedObject*, uint32_t) { return ZK_NotImplemented; }
} // namespace NodeMessageTargets
} // namespace ZK::SoundEngine
