// The ids a source gives its play-position entries: the audio node that plays and its media. The
// play-position table keys its records by the reporting source (a CZkVoiceSource), which stays in
// the table only while it plays (Stop takes it out first), so the ids can be read from it.
//
// Threading: the game's thread, under the play-position repository's lock; the ids read do not
// change while the source plays. Ownership: none.
#pragma once

#include <ZK/SoundEngine/Common/ZkResult.h>
#include <ZK/SoundEngine/Common/ZkTypes.h>

namespace ZK::SoundEngine
{
// 1 with both ids; 2 (both 0) for a null source.
ZKRESULT GetPlayPositionSourceIDs(const void* source, ZkUniqueID& audioNodeID, ZkUniqueID& mediaID);
} // namespace ZK::SoundEngine
