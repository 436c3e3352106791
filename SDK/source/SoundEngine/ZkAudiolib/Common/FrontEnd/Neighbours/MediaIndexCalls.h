// The media index's side of SetMedia, UnsetMedia and TryUnsetMedia (declaration only): media blocks
// given by the game, entered into or removed from the index. The media index is not built yet.
//
// Threading: the game's thread; the index takes its own locks. Ownership: the blocks stay the
// caller's.
#pragma once

#include <ZK/SoundEngine/Common/ZkPluginCalls.h>
#include <ZK/SoundEngine/Common/ZkResult.h>

#include <cstdint>

namespace ZK::SoundEngine::MediaIndexCalls
{
// Not built yet: 4, nothing entered or removed.
inline ZKRESULT SetMedia(const ZkSourceSettings*, uint32_t) { return ZK_NotImplemented; }
inline ZKRESULT UnsetMedia(const ZkSourceSettings*, uint32_t) { return ZK_NotImplemented; }
// Not built yet: 4, and 4 for every entry.
inline ZKRESULT TryUnsetMedia(const ZkSourceSettings*, uint32_t count, ZKRESULT* results)
{
    for (uint32_t index = 0; results != nullptr && index < count; ++index)
        results[index] = ZK_NotImplemented;
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine::MediaIndexCalls
