// The ids a sound's source gives its play-position entries (declaration only): the audio node that
// plays and its media. They are read from the source's context in the voice pipeline, which is not
// built yet.
//
// Threading: the game's thread, under the play-position repository's lock. Ownership: none.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
// Not built yet: 4, both ids 0.
inline ZKRESULT GetPlayPositionSourceIDs(const void*, ZkUniqueID& audioNodeID, ZkUniqueID& mediaID)
{
    audioNodeID = 0;
    mediaID = 0;
    return ZK_NotImplemented;
}
} // namespace ZK::SoundEngine
